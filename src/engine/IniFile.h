#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <span>
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
    // Text as read is a stretch of m_text, so that reading a file of many lines makes no
    // string per line; a line written or a section made since has its text in own.
    struct Piece
    {
        qsizetype from = 0;
        qsizetype length = 0;
        QString own;
        bool owned = false;
    };
    struct Line
    {
        Piece text;
        qsizetype keyFrom = 0; // the trimmed key and the value, within the line's text
        qsizetype keyLength = 0;
        qsizetype valueFrom = -1; // -1 for a line that is neither header nor key=value
        bool IsPair() const { return valueFrom >= 0; }
    };
    // Its lines are m_lines from begin to the next section's begin; those before the first
    // section are the lines before the first header.
    struct Section
    {
        Piece name;
        qsizetype begin = 0;
    };
    using TLines = std::span<const Line>;

    // False when the file is there but cannot be read (a missing file reads as empty).
    TIniFile() = default;
    bool Load(QString *error = nullptr);
    void Parse(const QByteArray &text);
    // The index of the first section of that name, or -1.
    qsizetype FindSection(const QString &name) const;
    qsizetype End(qsizetype section) const;
    TLines Lines(qsizetype section) const;
    qsizetype FindKey(qsizetype section, const QString &key) const; // in m_lines, or -1
    // Lines added or removed at the end of a section move the sections after it.
    void MoveSections(qsizetype after, qsizetype by);
    QStringView View(const Piece &p) const
    {
        return p.owned ? QStringView(p.own) : QStringView(m_text).sliced(p.from, p.length);
    }
    QStringView Key(const Line &l) const { return View(l.text).sliced(l.keyFrom, l.keyLength); }
    QStringView Value(const Line &l) const { return View(l.text).sliced(l.valueFrom); }
    bool IsKey(const Line &l, const QString &key) const
    {
        return l.IsPair() && Key(l).compare(key, Qt::CaseInsensitive) == 0;
    }
    static Line WrittenPair(QStringView key, const QString &value);
    void Save() const;
    // A single edit: its own locked re-read and write unless an Update is running. The
    // edit returns whether it changed anything.
    void Change(const std::function<bool()> &edit);

    QString m_fileName;
    QString m_text; // the file as read, without its carriage returns
    std::vector<Line> m_lines;
    std::vector<Section> m_sections;
    // Sections by case-folded name, built after a few lookups since the last change: a
    // project file holds a section per field, and a table of a thousand fields looks each
    // one up.
    mutable QHash<FoldedName, size_t> m_index;
    mutable int m_lookups = 0; // since the last change; past a few the index stands
    bool m_inMemory = false;
    bool m_updating = false;
    bool m_dirty = false;
};
