#pragma once

#include "FieldTypes.h"

#include <QString>
#include <QStringList>

class TSession;

// The SQL type written for a field: CHAR(n), VARCHAR(n) for strings above 20 characters
// when the Varchar option is on, SMALLINT, INTEGER...; "/*???*/" for types SQL cannot name.
QString TypeName(TFieldType dataType, int size, bool varcharOption);
// An index field list ("ID;NAME") as SQL writes it ("ID,NAME").
QString Commas(const QString &text);
// The sorted table names of a database known by name.
QStringList AliasTableNames(const QString &databaseName, TSession *session = nullptr);
// The folder of the files the program keeps for the user, ending with "/".
QString ApplicationFolder();
// The trimmed text cut at every separator; empty entries between separators stay, a
// trailing separator adds nothing.
QStringList Split(const QString &text, QChar separator);
// The entries joined by the separator; empty entries leave no separator behind them.
QString Join(const QStringList &list, QChar separator);
