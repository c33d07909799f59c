#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// Settings in the classic profile-file format: [Section] headers and key=value lines.
// Keys are matched case-insensitively, order is kept, every write reaches the disk at
// once through an atomic replace, and lines we do not understand survive a rewrite.
class TIniFile
{
public:
    explicit TIniFile(QString fileName);

    const QString &FileName() const { return m_fileName; }

    QString ReadString(const QString &section, const QString &key, const QString &def = {}) const;
    int ReadInteger(const QString &section, const QString &key, int def = 0) const;
    bool ReadBool(const QString &section, const QString &key, bool def = false) const;
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);

    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    QStringList ReadSections() const;
    QStringList ReadSection(const QString &section) const; // key names in file order
    QStringList ReadSectionValues(const QString &section) const; // "key=value" lines
    void EraseSection(const QString &section);
    void DeleteKey(const QString &section, const QString &key);

    // Throws EDatabaseError when the file cannot be written.
    void UpdateFile() const;

private:
    struct Line
    {
        QString raw; // kept verbatim for lines that are neither header nor key=value
        QString key;
        QString value;
        bool isPair = false;
    };
    struct Section
    {
        QString name;
        std::vector<Line> lines;
    };

    void Load();
    const Section *FindSection(const QString &name) const;
    Section *FindSection(const QString &name);
    Line *FindKey(Section &s, const QString &key);
    void Save() const;

    QString m_fileName;
    std::vector<Line> m_preamble; // lines before the first header
    std::vector<Section> m_sections;
};
