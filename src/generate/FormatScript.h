#pragma once

// Format scripts: a text pattern whose tags are repeated for every field and every index
// of a table and then filled from its structure, and the files the patterns are kept in.

#include "FieldTypes.h"

#include <QStringList>

class TIniFile;

// The name of the built-in pattern, which has no file and always writes commas.
extern const QString DefaultFormatName;
const QStringList &DefaultFormat();

// A line holding <FieldName> becomes one copy per field, <FieldName> and <FieldType>
// numbered after the field (a comma after every copy but the last when commas is set);
// otherwise a line holding <IndexName> becomes one copy per secondary index, numbered
// after the index's place among all indexes, the primary one counted. Other lines stay.
QStringList ExpandFormat(const QStringList &format, bool commas, const QList<TFieldDef> &fields,
                         const QList<TIndexDef> &indexes);
// Fills <TableName> and the numbered tags of fields and indexes that exist, in one pass:
// a name that happens to read like a tag is written as it is, never filled again.
QStringList SubstituteFormat(const QStringList &lines, const QString &table,
                             const QList<TFieldDef> &fields, const QList<TIndexDef> &indexes);
QStringList ApplyFormat(const QStringList &format, bool commas, const QString &table,
                        const QList<TFieldDef> &fields, const QList<TIndexDef> &indexes);

// The characters a format name may not hold (they would not survive as a file name on
// the systems the names come from).
bool IsFormatNameChar(QChar c);
// The name without the characters it may not hold.
QString CleanFormatName(const QString &name);

// The file a format of that name is kept in, inside the program's folder for the user.
QString FormatFileName(const QString &name);
// The names of the saved formats, sorted.
QStringList FormatNames();
// The lines of a saved format; false when it has no file or the file cannot be read.
bool LoadFormat(const QString &name, QStringList &lines, QString *error = nullptr);
// Returns the message for the user, empty when the file was written.
QString SaveFormat(const QString &name, const QStringList &lines);
bool DeleteFormat(const QString &name);

// The saved format Code Insight expands for a typed word: the first key of the settings'
// format section, in file order, whose name holds the word in any letter case and whose
// file exists. Empty when there is none.
QString InsightFormat(const TIniFile &settings, const QString &word);

// Writes the formats the first start names in the settings, where no file of that name is.
void InstallSampleFormats();
