#include "LinkLogic.h"
#include "IniFile.h"
#include "SqlNames.h"

TFieldProps ReadFieldProps(const TIniFile &project, const QString &field)
{
    TFieldProps p;
    p.required = project.ReadBool(field, QStringLiteral("Required"), false);
    p.title = project.ReadString(field, QStringLiteral("Title"));
    p.minValue = project.ReadString(field, QStringLiteral("MinValue"));
    p.maxValue = project.ReadString(field, QStringLiteral("MaxValue"));
    p.lookup = project.ReadString(field, LookupKey);
    p.resultField = project.ReadString(field, QStringLiteral("ResultField"));
    return p;
}

void WriteFieldProps(TIniFile &project, const QString &field, const TFieldProps &props)
{
    project.WriteBool(field, QStringLiteral("Required"), props.required);
    project.WriteString(field, QStringLiteral("Title"), props.title);
    project.WriteString(field, QStringLiteral("MinValue"), props.minValue);
    project.WriteString(field, QStringLiteral("MaxValue"), props.maxValue);
    project.WriteString(field, LookupKey, props.lookup);
    project.WriteString(field, QStringLiteral("ResultField"), props.resultField);
}

QString CutPrimaryKeyPart(const QString &nodePath)
{
    static const QString piece = QStringLiteral(".PRIMARY KEY.");
    const qsizetype at = nodePath.indexOf(piece, 0, Qt::CaseInsensitive);
    if (at < 0)
        return nodePath;
    return nodePath.left(at + 1) + nodePath.mid(at + piece.size());
}

TLookupTable LookupTableOf(const QString &lookup)
{
    const qsizetype first = lookup.indexOf(u'.');
    if (first <= 0)
        return {};
    const qsizetype last = lookup.lastIndexOf(u'.');
    if (last == first)
        return {lookup.left(first), lookup.mid(first + 1)};
    const TLinkPath path = ParseLinkPath(lookup);
    return {path.alias, path.table};
}
