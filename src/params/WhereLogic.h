#pragma once

// The WHERE builder's rules: operators and value defaults by field type, and the condition
// joined from field, operator and value.

#include "FieldTypes.h"

#include <QDate>
#include <QString>
#include <QStringList>

// The value box's text and length limit (0: no limit).
struct TWhereValue
{
    QString text;
    int maxLength = 0;
};

// "=", ">", "<", "<>", then "like" for a string field or an unknown one, then "in".
QStringList WhereOperators(TFieldType type);

// The value box after leaving the field combo with an empty value box: two double quotes
// limited to the size plus the quotes for a string field, the date in double quotes without
// a limit for date and time fields, left alone otherwise. field is null when not found.
TWhereValue WhereFieldValue(const TFieldDef *field, const TWhereValue &current, const QDate &today);

// The value box after leaving the operator combo: "IN" encloses the value in brackets (and
// widens a limit for them), "LIKE" puts two double quotes into an empty box. A value that
// already holds "(" is left alone.
TWhereValue WhereOperatorValue(const QString &op, const TWhereValue &current);

// The field, a blank and the operator when one is chosen, then a blank and the value when
// one is given ("=" standing in for a missing operator).
QString WhereCondition(const QString &field, const QString &op, const QString &value);
