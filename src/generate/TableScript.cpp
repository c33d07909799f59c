#include "TableScript.h"
#include "EngineError.h"
#include "SharedRoutines.h"
#include "Table.h"
#include "TreeReading.h"

#include <QSet>

namespace {

QString QuotedList(const QString &fieldList, TSqlDialect dialect)
{
    QStringList names;
    for (const QString &name : fieldList.split(u';', Qt::SkipEmptyParts))
        names.append(QuoteIdentifier(name.trimmed(), dialect));
    return names.join(u',');
}

} // namespace

QStringList TableScriptLines(const QString &tableName, const QList<TFieldDef> &fields,
                             const QList<TIndexDef> &indexes, bool templateMode,
                             const TTableScriptOptions &options)
{
    const TSqlDialect d = options.dialect;
    const QString name
        = templateMode ? QStringLiteral("<TableName>") : QuoteTableName(tableName, d);

    const TIndexDef *primary = nullptr;
    for (const TIndexDef &index : indexes)
        if (index.IsPrimary()) {
            primary = &index;
            break;
        }
    QSet<QString> keyNames;
    if (primary && options.notNull)
        for (const QString &key : primary->Fields.split(u';', Qt::SkipEmptyParts))
            keyNames.insert(key.trimmed());

    QStringList lines;
    lines.reserve(fields.size() + indexes.size() + 3);
    lines.append(QStringLiteral("CREATE TABLE ") + name + u'(');
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const TFieldDef &f = fields[i];
        QString line = u'\t' + QuoteIdentifier(f.Name, d) + u' '
            + TypeName(f.DataType, f.Size, options.varchar);
        if (keyNames.contains(f.Name))
            line += QStringLiteral(" NOT NULL");
        if (i + 1 < fields.size() || primary)
            line += u',';
        lines.append(line);
    }
    if (primary)
        lines.append(QStringLiteral("\tPRIMARY KEY (") + QuotedList(primary->Fields, d) + u')');
    lines.append(QStringLiteral(");"));
    for (const TIndexDef &index : indexes) {
        if (index.IsPrimary())
            continue;
        lines.append(QStringLiteral("CREATE INDEX ") + QuoteIdentifier(index.Name, d)
                     + QStringLiteral(" ON ") + name + u'(' + QuotedList(index.Fields, d)
                     + QStringLiteral(");"));
    }
    return lines;
}

QStringList TableScriptLines(TTable &table, const QString &tableName, bool templateMode,
                             const TTableScriptOptions &options)
{
    if (!ReadStructure(table, tableName))
        throw EDatabaseError(QStringLiteral("Table ") + tableName + QStringLiteral(" not found."));
    table.UpdateIndexDefs();
    return TableScriptLines(tableName, table.FieldDefs, table.IndexDefs, templateMode, options);
}
