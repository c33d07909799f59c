#include "FormatScript.h"

#include "IniFile.h"
#include "ScriptFile.h"
#include "Settings.h"
#include "SharedRoutines.h"
#include "SqlNames.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <vector>

const QString DefaultFormatName = QStringLiteral("(default)");

const QStringList &DefaultFormat()
{
    static const QStringList lines {
        QStringLiteral("CREATE TABLE <TableName> ("), QStringLiteral("\t<FieldName> <FieldType>"),
        QStringLiteral(");"),
        QStringLiteral("CREATE INDEX <IndexName> ON <TableName> (<IndexField>);")};
    return lines;
}

namespace {

const QString FieldNameTag = QStringLiteral("<FIELDNAME");
const QString FieldTypeTag = QStringLiteral("<FIELDTYPE");
const QString IndexNameTag = QStringLiteral("<INDEXNAME");
const QString IndexFieldTag = QStringLiteral("<INDEXFIELD");
const QString TableNameTag = QStringLiteral("<TABLENAME>");
// What makes a line a field line or an index line.
const QString FieldNameClosed = FieldNameTag + u'>';
const QString IndexNameClosed = IndexNameTag + u'>';

// A field or index line cut at its two tags, so that each of its numbered copies
// ("<FieldName>" becoming "<FIELDNAME3>") is made in one piece: a table of many fields
// would otherwise search and replace the line again for every field.
class TNumberedLine
{
public:
    TNumberedLine(const QString &line, const QString &first, const QString &second)
        : m_line(line)
    {
        for (const QString *tag : {&first, &second}) {
            const QString closed = *tag + u'>';
            for (qsizetype at = line.indexOf(closed, 0, Qt::CaseInsensitive); at >= 0;
                 at = line.indexOf(closed, at + closed.size(), Qt::CaseInsensitive))
                m_tags.push_back({at, closed.size(), tag});
        }
        // The two tags never overlap: each holds its only "<" at its start.
        std::sort(m_tags.begin(), m_tags.end(),
                  [](const TTag &a, const TTag &b) { return a.at < b.at; });
    }

    QString Line(int n) const
    {
        const QString number = QString::number(n);
        QString out;
        out.reserve(m_line.size() + qsizetype(m_tags.size()) * number.size() + 1);
        qsizetype from = 0;
        for (const TTag &t : m_tags) {
            out.append(QStringView(m_line).sliced(from, t.at - from))
                .append(*t.name)
                .append(number)
                .append(u'>');
            from = t.at + t.length;
        }
        return out.append(QStringView(m_line).sliced(from));
    }

private:
    struct TTag
    {
        qsizetype at;
        qsizetype length;
        const QString *name;
    };
    const QString &m_line;
    std::vector<TTag> m_tags;
};

// The value of the tag at pos (<TableName>, or a numbered one like <FieldName3>) and its
// length; false when no tag of the table or of a field or index that exists starts there.
bool TagValue(const QString &line, qsizetype pos, const QString &table,
              const QList<TFieldDef> &fields, const QList<TIndexDef> &indexes, QString &value,
              qsizetype &length)
{
    if (QStringView(line).mid(pos, TableNameTag.size()).compare(TableNameTag, Qt::CaseInsensitive)
        == 0) {
        value = table;
        length = TableNameTag.size();
        return true;
    }
    static const QString *const tags[]
        = {&FieldNameTag, &FieldTypeTag, &IndexNameTag, &IndexFieldTag};
    for (int kind = 0; kind < 4; ++kind) {
        const QString &tag = *tags[kind];
        if (QStringView(line).mid(pos, tag.size()).compare(tag, Qt::CaseInsensitive) != 0)
            continue;
        qsizetype end = pos + tag.size();
        while (end < line.size() && line[end].isDigit() && line[end].unicode() < 128)
            ++end;
        if (end == pos + tag.size() || end >= line.size() || line[end] != u'>')
            return false;
        bool ok = false;
        const int n = QStringView(line).mid(pos + tag.size(), end - pos - tag.size()).toInt(&ok);
        const int count = kind < 2 ? int(fields.size()) : int(indexes.size());
        if (!ok || n >= count)
            return false;
        switch (kind) {
        case 0:
            value = fields[n].Name;
            break;
        case 1:
            value = TypeName(fields[n].DataType, fields[n].Size, false);
            break;
        case 2:
            value = indexes[n].Name;
            break;
        default:
            value = Commas(indexes[n].Fields);
        }
        length = end + 1 - pos;
        return true;
    }
    return false;
}

} // namespace

QStringList ExpandFormat(const QStringList &format, bool commas, const QList<TFieldDef> &fields,
                         const QList<TIndexDef> &indexes)
{
    QStringList out;
    for (const QString &line : format) {
        if (line.contains(FieldNameClosed, Qt::CaseInsensitive)) {
            const TNumberedLine numbered(line, FieldNameTag, FieldTypeTag);
            for (int n = 0; n < fields.size(); ++n) {
                QString copy = numbered.Line(n);
                if (commas && n + 1 < fields.size())
                    copy += u',';
                out << copy;
            }
        } else if (line.contains(IndexNameClosed, Qt::CaseInsensitive)) {
            const TNumberedLine numbered(line, IndexNameTag, IndexFieldTag);
            for (int n = 0; n < indexes.size(); ++n)
                if (!indexes[n].IsPrimary())
                    out << numbered.Line(n);
        } else {
            out << line;
        }
    }
    return out;
}

QStringList SubstituteFormat(const QStringList &lines, const QString &table,
                             const QList<TFieldDef> &fields, const QList<TIndexDef> &indexes)
{
    QStringList out;
    out.reserve(lines.size());
    for (const QString &line : lines) {
        qsizetype pos = line.indexOf(u'<');
        if (pos < 0) {
            out << line;
            continue;
        }
        QString filled = line.left(pos);
        while (pos < line.size()) {
            QString value;
            qsizetype length = 0;
            if (line[pos] == u'<' && TagValue(line, pos, table, fields, indexes, value, length)) {
                filled += value;
                pos += length;
            } else {
                qsizetype next = line.indexOf(u'<', pos + 1);
                if (next < 0)
                    next = line.size();
                filled += QStringView(line).sliced(pos, next - pos);
                pos = next;
            }
        }
        out << filled;
    }
    return out;
}

QStringList ApplyFormat(const QStringList &format, bool commas, const QString &table,
                        const QList<TFieldDef> &fields, const QList<TIndexDef> &indexes)
{
    return SubstituteFormat(ExpandFormat(format, commas, fields, indexes), table, fields, indexes);
}

bool IsFormatNameChar(QChar c)
{
    return !QStringLiteral("\"()*./:<>?\\|").contains(c) && c.unicode() >= 32;
}

QString CleanFormatName(const QString &name)
{
    QString clean;
    for (QChar c : name)
        if (IsFormatNameChar(c))
            clean += c;
    return clean;
}

QString FormatFileName(const QString &name)
{
    return ApplicationFolder() + SafeFileName(name) + QStringLiteral(".fsc");
}

QStringList FormatNames()
{
    QStringList names;
    const QFileInfoList files
        = QDir(ApplicationFolder()).entryInfoList({QStringLiteral("*.fsc")}, QDir::Files);
    for (const QFileInfo &file : files)
        names << NameFromSafeFileName(file.completeBaseName());
    names.sort(Qt::CaseInsensitive);
    return names;
}

bool LoadFormat(const QString &name, QStringList &lines, QString *error)
{
    const QString file = FormatFileName(name);
    if (!QFileInfo::exists(file))
        return false;
    const TScriptLoad load = LoadScriptFile(file);
    if (!load.ok) {
        if (error)
            *error = load.error;
        return false;
    }
    lines = load.text.isEmpty() ? QStringList() : load.text.split(u'\n');
    return true;
}

QString SaveFormat(const QString &name, const QStringList &lines)
{
    TScriptFormat format;
    format.crlf = true;
    format.finalBreak = true;
    return SaveScriptFile(FormatFileName(name), lines.join(u'\n'), format);
}

bool DeleteFormat(const QString &name)
{
    return QFile::remove(FormatFileName(name));
}

QString InsightFormat(const TIniFile &settings, const QString &word)
{
    const QString wanted = word.toUpper();
    for (const QString &key : settings.ReadSection(Ini::Fsc))
        if (key.toUpper().contains(wanted))
            return QFileInfo::exists(FormatFileName(key)) ? key : QString();
    return {};
}

void InstallSampleFormats()
{
    // Kept to what every engine of the program reads; <Condition> is no tag and is left
    // for the parameter walk.
    static const struct
    {
        const char *name;
        const char *text;
    } samples[] = {
        {"Alter Table", "ALTER TABLE <TableName>\n\tADD <FieldName> <FieldType>\n;"},
        {"Create Index", "CREATE INDEX <IndexName> ON <TableName> (<IndexField>);"},
        {"Create Table", "CREATE TABLE <TableName> (\n\t<FieldName> <FieldType>\n);"},
        {"Delete", "DELETE FROM <TableName>\nWHERE <Condition>;"},
        {"Drop Index", "DROP INDEX <IndexName>;"},
        {"Drop Table", "DROP TABLE <TableName>;"},
        {"Insert",
         "INSERT INTO <TableName> (\n\t<FieldName>\n) VALUES (\n\tNULL /* <FieldName> */\n);"},
        {"Select", "SELECT\n\t<FieldName>\nFROM <TableName>;"},
        {"Update", "UPDATE <TableName> SET\n\t<FieldName> = NULL\nWHERE <Condition>;"},
    };
    for (const auto &sample : samples) {
        const QString name = QString::fromLatin1(sample.name);
        if (!QFileInfo::exists(FormatFileName(name)))
            SaveFormat(name, QString::fromLatin1(sample.text).split(u'\n'));
    }
}
