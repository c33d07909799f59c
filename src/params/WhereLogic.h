#pragma once

// The WHERE builder's rules: operators and value defaults by field type, and the condition
// joined from field, operator and value.

#include "FieldTypes.h"
#include "SqlNames.h"

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

// The value box after leaving the field combo with an empty value box: empty and limited to
// the size for a string field, today's date in ISO form without a limit for date and time
// fields, left alone otherwise. field is null when not found. The box holds the value
// itself; the condition writes it as a literal.
TWhereValue WhereFieldValue(const TFieldDef *field, const TWhereValue &current, const QDate &today);

// The value box after leaving the operator combo: "IN" encloses the value in brackets (and
// widens a limit for them). A value that already holds "(" is left alone.
TWhereValue WhereOperatorValue(const QString &op, const TWhereValue &current);

// The field, a blank and the operator when one is chosen, then a blank and the value when
// one is given ("=" standing in for a missing operator). The value is written as a literal
// of the engine for the field's type: text in single quotes with quotes doubled, dates in
// ISO form, numbers as numbers; a value typed whole in quotes is taken as the text inside
// them. "IN" writes each comma-separated entry of its list so; "LIKE" always compares text.
// An operator with no value compares a string field (or LIKE) with the empty text.
QString WhereCondition(const QString &field, const QString &op, const QString &value,
                       TFieldType type, TSqlDialect dialect);
