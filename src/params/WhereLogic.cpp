#include "WhereLogic.h"

namespace {

bool IsQuote(QChar c)
{
    return c == u'\'' || c == u'"';
}

// A value typed whole in quotes, as the builder used to propose it, is the text inside.
QString Unquoted(const QString &value)
{
    const QString v = value.trimmed();
    if (v.size() < 2 || !IsQuote(v.front()) || v.back() != v.front())
        return value;
    const QString quote(v.front());
    return v.mid(1, v.size() - 2).replace(quote + quote, quote);
}

// The entries of an IN list, split at commas; an entry that begins with a quote runs to its
// closing quote, commas included ("O'Brien" stays one entry).
QStringList ListEntries(const QString &list)
{
    QStringList entries;
    QString entry;
    QChar quote;
    for (const QChar c : list) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (IsQuote(c) && entry.trimmed().isEmpty()) {
            quote = c;
        } else if (c == u',') {
            entries << entry;
            entry.clear();
            continue;
        }
        entry += c;
    }
    entries << entry;
    return entries;
}

QString ListLiteral(const QString &value, TFieldType type, TSqlDialect dialect)
{
    QString list = value.trimmed();
    if (list.startsWith(u'(') && list.endsWith(u')'))
        list = list.mid(1, list.size() - 2);
    QStringList literals;
    for (const QString &entry : ListEntries(list))
        literals << SqlLiteralOfText(Unquoted(entry.trimmed()), type, dialect);
    return u'(' + literals.join(QStringLiteral(", ")) + u')';
}

} // namespace

QStringList WhereOperators(TFieldType type)
{
    QStringList ops {QStringLiteral("="), QStringLiteral(">"), QStringLiteral("<"),
                     QStringLiteral("<>")};
    if (type == ftString || type == ftUnknown)
        ops << QStringLiteral("like");
    ops << QStringLiteral("in");
    return ops;
}

TWhereValue WhereFieldValue(const TFieldDef *field, const TWhereValue &current, const QDate &today)
{
    const TFieldType type = field ? field->DataType : ftUnknown;
    switch (type) {
    case ftString:
        return {QString(), field->Size};
    case ftDate:
    case ftTime:
    case ftDateTime:
        return {today.toString(Qt::ISODate), 0};
    default:
        return {QString(), current.maxLength};
    }
}

TWhereValue WhereOperatorValue(const QString &op, const TWhereValue &current)
{
    TWhereValue v = current;
    if (v.text.contains(u'(') || op.toUpper() != u"IN")
        return v;
    if (v.maxLength > 0)
        v.maxLength += 2;
    v.text = u'(' + v.text + u')';
    return v;
}

QString WhereCondition(const QString &field, const QString &op, const QString &value,
                       TFieldType type, TSqlDialect dialect)
{
    const QString upper = op.trimmed().toUpper();
    if (upper == u"LIKE")
        type = ftString;
    QString s = field;
    if (!op.isEmpty())
        s += u' ' + op;
    if (value.isEmpty()) {
        if (!op.isEmpty() && type == ftString)
            s += u' ' + SqlLiteral(QString(""), dialect);
        return s;
    }
    if (op.isEmpty())
        s += QStringLiteral(" =");
    s += u' '
        + (upper == u"IN" ? ListLiteral(value, type, dialect)
                          : SqlLiteralOfText(Unquoted(value), type, dialect));
    return s;
}
