#pragma once

// What a table's project file keeps for each of its fields, and the texts the link
// commands work with. No widgets: the tree popup and the field properties dialog use it.

#include <QString>

class TIniFile;

inline const QString LookupKey = QStringLiteral("Lookup");

// The keys of one field's section. Absent keys read as empty, "Required" as false.
struct TFieldProps
{
    bool required = false;
    QString title;
    QString minValue;
    QString maxValue;
    QString lookup;
    QString resultField;
};
TFieldProps ReadFieldProps(const TIniFile &project, const QString &field);
// Writes all six keys, in the order Required, Title, MinValue, MaxValue, Lookup, ResultField.
void WriteFieldProps(TIniFile &project, const QString &field, const TFieldProps &props);

// A node path as a link target: the "Primary key" level that a key field's path passes
// through is cut out (only a whole piece of that name), so that the target again names
// alias, table and field.
QString CutPrimaryKeyPart(const QString &nodePath);

// The table a lookup text names, for listing its fields: the alias is the first part, the
// table what follows up to the field, or the second part when there is no field. Empty
// parts when the text names no table.
struct TLookupTable
{
    QString alias;
    QString table;
    bool IsValid() const { return !alias.isEmpty() && !table.isEmpty(); }
};
TLookupTable LookupTableOf(const QString &lookup);
