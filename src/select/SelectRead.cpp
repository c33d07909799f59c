// WHERE conditions and reading a statement back into the model.

#include "DataSet.h"
#include "Select.h"
#include "SelectText.h"

namespace {

QString Quoted(QString value)
{
    // A quote inside the value is doubled so that it cannot end the text early.
    value.replace(u'"', QStringLiteral("\"\""));
    return u'"' + value + u'"';
}

} // namespace

QString TWhereItem::GetLine(const QString &prefix) const
{
    QString line = u'\t' + prefix + FieldName + u' ' + Condition;
    if (!Connector.isEmpty())
        line += u' ' + Connector;
    return line;
}

void TWhere::Add(const QString &fieldName, const QString &op, const QString &value,
                 const QString &connector)
{
    QString written = value;
    if (!value.isEmpty()) {
        switch (Owner()->FieldType(fieldName)) {
        case ftUnknown:
            throw ESelectError(QStringLiteral("Field ") + fieldName
                               + QStringLiteral(" not found."));
        case ftString:
            written = Quoted(value);
            break;
        case ftDate:
        case ftDateTime:
            written = Quoted(SqlDateText(value));
            break;
        default:
            break;
        }
    }
    if (!IsEmpty() && Last()->Connector.isEmpty())
        Last()->Connector = QStringLiteral("AND");
    Append(std::make_unique<TWhereItem>(fieldName, op + u' ' + written, connector));
}

void TSelect::Read(int clauses)
{
    const TClauses text = ReadClauses(Query()->SQL);
    QStringList entries;
    // Join conditions from FROM ... ON, each closed by "}", read ahead of the WHERE text.
    QString joins;

    if (clauses & scFrom) {
        TableName.clear();
        SplitText(entries, text.From, u',');
        for (QString entry : entries) {
            const QString table = CutAtBrace(entry);
            if (!TableName.isEmpty())
                TableName += u',';
            TableName += table;
            if (!entry.isEmpty())
                joins += entry + u'}';
        }
    }
    if (clauses & scWhere) {
        SplitText(entries, joins + text.Where, u'}');
        for (QString entry : entries) {
            const QString field = NextToken(entry);
            const QString op = CutAtBrace(entry);
            Where.Add(field, op, QString(), entry);
        }
    }
    if (clauses & scSelect) {
        SplitText(entries, text.Select == u"*" ? AllFieldNames(*this) : text.Select, u',');
        for (const QString &entry : entries)
            Fields.Add(entry);
    }
    if (clauses & scGroupBy) {
        SplitText(entries, text.Group, u',');
        for (const QString &entry : entries)
            GroupBy.Add(entry);
    }
    if (clauses & scOrderBy) {
        SplitText(entries, text.Order, u',');
        for (const QString &entry : entries)
            OrderBy.Add(entry);
    }
}
