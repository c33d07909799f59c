#pragma once

// The Record menu's statements: UPDATE with one assignment per field, INSERT of a key value,
// DELETE. Values are placeholders named after their fields; RecordValueText turns what the
// user enters for them into literals of the alias's engine.

#include "FieldTypes.h"
#include "SqlNames.h"

#include <QString>
#include <QStringList>

// UPDATE of the table setting each field but keyField (a whole name, any case) to its
// placeholder; the WHERE line is where, or the placeholder <Where> when it is empty.
QStringList UpdateLines(const QString &table, const QList<TFieldDef> &fields,
                        const QString &keyField, const QString &where, TSqlDialect dialect);

QString InsertKeyLine(const QString &table, TSqlDialect dialect);
QString DeleteLine(const QString &table, TSqlDialect dialect);

// The condition of the UPDATE that follows an Insert: the key field and the entered value
// as a literal of the field's type.
QString KeyCondition(const QString &keyField, const QString &value, const QList<TFieldDef> &fields,
                     TSqlDialect dialect);

// What the parameter walk writes for a value entered for a placeholder of these statements:
// <FieldName> a quoted identifier, <Value> a literal of the type of the field named by
// fieldName (the name entered for <FieldName>), a placeholder named after a field a literal
// of that field's type; any other placeholder the value as it stands.
QString RecordValueText(const QString &placeholder, const QString &value,
                        const QList<TFieldDef> &fields, const QString &fieldName,
                        TSqlDialect dialect);
