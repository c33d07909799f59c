#include "WhereLogic.h"

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
        return {QStringLiteral("\"\""), field->Size + 2};
    case ftDate:
    case ftTime:
    case ftDateTime:
        return {u'"' + today.toString(QStringLiteral("MM/dd/yyyy")) + u'"', 0};
    default:
        return {QString(), current.maxLength};
    }
}

TWhereValue WhereOperatorValue(const QString &op, const TWhereValue &current)
{
    TWhereValue v = current;
    if (v.text.contains(u'('))
        return v;
    const QString upper = op.toUpper();
    if (upper == u"IN") {
        if (v.maxLength > 0)
            v.maxLength += 2;
        v.text = u'(' + v.text + u')';
    } else if (upper == u"LIKE" && v.text.isEmpty()) {
        v.text = QStringLiteral("\"\"");
    }
    return v;
}

QString WhereCondition(const QString &field, const QString &op, const QString &value)
{
    QString s = field;
    if (!op.isEmpty())
        s += u' ' + op;
    if (!value.isEmpty()) {
        if (op.isEmpty())
            s += QStringLiteral(" =");
        s += u' ' + value;
    }
    return s;
}
