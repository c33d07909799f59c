#pragma once

// The CREATE scripts of a table and of every table of an alias.

#include "FieldTypes.h"
#include "SqlNames.h"

#include <QStringList>
#include <functional>

class TTable;

struct TTableScriptOptions
{
    bool notNull = false; // key fields marked NOT NULL
    bool varchar = false; // strings above 20 characters as VARCHAR
    TSqlDialect dialect = TSqlDialect::Sqlite;
};

// The type a script writes for a field: the program's type name, except where the engine
// the script is written for cannot read that name (AUTO INC, MEMO and BIT on PostgreSQL and
// Firebird), which get the engine's own type of the same kind, and TIME and TIMESTAMP for
// times and date-times, which DATE would cut to their date.
QString ScriptTypeName(const TFieldDef &field, const TTableScriptOptions &options);

// The CREATE TABLE statement of a structure and a CREATE INDEX line per secondary index
// (CREATE UNIQUE INDEX for a unique one). In template mode the table is written as the
// placeholder "<TableName>". Key fields are matched by their whole names, so a key ID never
// marks a field CUSTID.
QStringList TableScriptLines(const QString &tableName, const QList<TFieldDef> &fields,
                             const QList<TIndexDef> &indexes, bool templateMode,
                             const TTableScriptOptions &options);

// Reads the table's fields and indexes into the table object (it becomes the current
// table) and writes its script; throws EDatabaseError when the table cannot be read.
QStringList TableScriptLines(TTable &table, const QString &tableName, bool templateMode,
                             const TTableScriptOptions &options);

// What the whole-alias script needs around it.
struct TAliasScriptHost
{
    // Called before each table: lets pending events through and answers whether to go on.
    std::function<bool(const QString &table)> proceed;
    // Receives each table's script as soon as it is written.
    std::function<void(const QStringList &lines)> write;
    // Called after each table.
    std::function<void()> step;
};

// Writes the script of each table in order, read through the table object; SQLite's
// internal tables (sqlite_sequence...) are passed over. Returns false
// when proceed said stop (the tables written so far stay written); engine errors reach the
// caller.
bool AliasScript(TTable &table, const QStringList &tableNames, const TTableScriptOptions &options,
                 const TAliasScriptHost &host);
