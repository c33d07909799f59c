#include "Records.h"

namespace {

const TFieldDef *FindField(const QList<TFieldDef> &fields, const QString &name)
{
    for (const TFieldDef &f : fields)
        if (f.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

} // namespace

QStringList UpdateLines(const QString &table, const QList<TFieldDef> &fields,
                        const QString &keyField, const QString &where, TSqlDialect dialect)
{
    QStringList lines {QStringLiteral("UPDATE"), u'\t' + QuoteTableName(table, dialect),
                       QStringLiteral("SET")};
    QStringList assignments;
    for (const TFieldDef &f : fields)
        if (keyField.isEmpty() || f.Name.compare(keyField, Qt::CaseInsensitive) != 0)
            assignments << u'\t' + QuoteIdentifier(f.Name, dialect) + QStringLiteral(" = <")
                    + f.Name + u'>';
    for (qsizetype i = 0; i + 1 < assignments.size(); ++i)
        assignments[i] += u',';
    lines << assignments << QStringLiteral("WHERE")
          << (where.isEmpty() ? QStringLiteral("\t<Where>") : u'\t' + where) << QStringLiteral(";");
    return lines;
}

QString InsertKeyLine(const QString &table, TSqlDialect dialect)
{
    return QStringLiteral("INSERT INTO ") + QuoteTableName(table, dialect)
        + QStringLiteral(" (<FieldName>) VALUES (<Value>);");
}

QString DeleteLine(const QString &table, TSqlDialect dialect)
{
    return QStringLiteral("DELETE FROM ") + QuoteTableName(table, dialect)
        + QStringLiteral(" WHERE <Where>;");
}

QString KeyCondition(const QString &keyField, const QString &value, const QList<TFieldDef> &fields,
                     TSqlDialect dialect)
{
    const TFieldDef *f = FindField(fields, keyField);
    return QuoteIdentifier(keyField, dialect) + QStringLiteral(" = ")
        + SqlLiteralOfText(value, f ? f->DataType : ftString, dialect);
}

QString RecordValueText(const QString &placeholder, const QString &value,
                        const QList<TFieldDef> &fields, const QString &fieldName,
                        TSqlDialect dialect)
{
    if (placeholder.compare(QLatin1String("FieldName"), Qt::CaseInsensitive) == 0)
        return QuoteIdentifier(value, dialect);
    if (placeholder.compare(QLatin1String("Value"), Qt::CaseInsensitive) == 0) {
        const TFieldDef *f = FindField(fields, fieldName);
        return SqlLiteralOfText(value, f ? f->DataType : ftString, dialect);
    }
    if (const TFieldDef *f = FindField(fields, placeholder))
        return SqlLiteralOfText(value, f->DataType, dialect);
    return value;
}
