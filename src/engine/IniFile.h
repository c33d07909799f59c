#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Settings in the classic profile-file format: [Section] headers and key=value lines.
// Keys are matched case-insensitively, order is kept, every write reaches the disk at
// once through an atomic replace, and lines we do not understand survive a rewrite.
//
// Two running copies of the program share these files. A write therefore never puts back
// the copy read at opening: under a lock file beside the file it re-reads the file as it
// is on disk now, changes only its own key and writes the result. Reads answer from the
// copy read at opening or at the last write.
class TIniFile
{
public:
    explicit TIniFile(QString fileName);
    // A profile held in memory, read from text: writes change it and no file.
    static TIniFile FromText(const QByteArray &text);
    // The profile as it would be written.
    QByteArray Text() const;

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

    // Runs the edits (writes, erases) as one change of the file as it is on disk now:
    // locked, re-read, edited, written once. Reads inside see the re-read file, so a
    // value computed from another key is computed from what the other copy wrote.
    void Update(const std::function<void()> &edits);

    // Every write throws EDatabaseError when the file cannot be locked or written.
    void UpdateFile();

private:
    // A section name compared and hashed without regard to letter case.
    struct FoldedName
    {
        QStringView name;
        friend bool operator==(FoldedName a, FoldedName b)
        {
            return a.name.compare(b.name, Qt::CaseInsensitive) == 0;
        }
        friend size_t qHash(FoldedName key, size_t seed) { return key.Hash(seed); }
        size_t Hash(size_t seed) const;
    };
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

    // False when the file is there but cannot be read (a missing file reads as empty).
    TIniFile() = default;
    bool Load(QString *error = nullptr);
    void Parse(const QByteArray &text);
    const Section *FindSection(const QString &name) const;
    Section *FindSection(const QString &name);
    Line *FindKey(Section &s, const QString &key);
    void Save() const;
    // A single edit: its own locked re-read and write unless an Update is running. The
    // edit returns whether it changed anything.
    void Change(const std::function<bool()> &edit);

    QString m_fileName;
    std::vector<Line> m_preamble; // lines before the first header
    std::vector<Section> m_sections;
    // Sections by case-folded name, built on the first look after a change: a project file
    // holds a section per field, and a table of a thousand fields looks each one up.
    mutable QHash<FoldedName, size_t> m_index;
    mutable bool m_indexed = false;
    bool m_inMemory = false;
    bool m_updating = false;
    bool m_dirty = false;
};
