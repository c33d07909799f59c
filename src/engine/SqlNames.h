#pragma once

// Names and values as the SQL of one engine, and names as file names. Every generator,
// dialog and record statement writes identifiers and values through these routines, so
// that a name with a blank or a quote, or a value holding a quote, never breaks a
// statement and a table name never leads a file out of its folder.

#include <QString>
#include <QVariant>

class TSession;

// The SQL flavour an alias's statements are written in, known from its driver alone
// (no connection is needed). Table-file and Access aliases run their SQL in SQLite.
enum class TSqlDialect { Sqlite, Postgres, Firebird };

TSqlDialect DialectOfDriver(const QString &driverName);
// The dialect of an alias of the default session; SQLite's for an unknown alias.
TSqlDialect DialectOfAlias(const QString &alias);
// The dialect of a database known by name in a session, as tables and queries find it: a
// registered database component's alias, or else the alias of that name.
TSqlDialect DialectOfDatabase(TSession &session, const QString &databaseName);

// --- identifiers -------------------------------------------------------------------

// True when the engine reads the name unquoted as exactly this name: it starts with a
// letter or "_", holds only letters, digits, "_" (and "$" where allowed), is no reserved
// word, and keeps the case the engine folds unquoted names to (lower on PostgreSQL,
// upper on Firebird).
bool IsPlainIdentifier(const QString &name, TSqlDialect dialect);
// The name as written in a statement: unchanged when plain, otherwise in double quotes
// with embedded double quotes doubled.
QString QuoteIdentifier(const QString &name, TSqlDialect dialect);
// A table name from a table list: on PostgreSQL "schema.table" quotes its two parts.
QString QuoteTableName(const QString &table, TSqlDialect dialect);

// --- values ------------------------------------------------------------------------

// A value as a literal of the engine: NULL, numbers as they are, strings in single
// quotes with embedded quotes doubled, dates and times in ISO form, byte arrays in the
// engine's hexadecimal notation.
QString SqlLiteral(const QVariant &value, TSqlDialect dialect);
// A value the user typed for a field of that type code: numbers stay numbers when they
// are numbers, dates written as dd.mm.yyyy, mm/dd/yyyy or ISO become ISO dates, booleans
// become the engine's truth values; anything else is a string literal of the text.
QString SqlLiteralOfText(const QString &text, int fieldType, TSqlDialect dialect);

// --- file names --------------------------------------------------------------------

// An alias, table or format name as one file-name component: letters (any script),
// digits, blank, "_", ".", "-" stay byte for byte, so existing files keep matching;
// every other character becomes "%" and two hexadecimal digits per UTF-8 byte, and so do
// leading dots (no hidden files, no "." or ".."); an empty name is "%". The result never
// holds "/" or NUL.
QString SafeFileName(const QString &name);
// The name a SafeFileName() came from.
QString NameFromSafeFileName(const QString &fileName);

// --- link paths --------------------------------------------------------------------

// A link path "alias.table.field": the alias is the first part, the field the last and
// the table everything between, so a PostgreSQL "schema.table" survives.
struct TLinkPath
{
    QString alias;
    QString table;
    QString field;
    bool IsValid() const { return !alias.isEmpty() && !table.isEmpty() && !field.isEmpty(); }
};
TLinkPath ParseLinkPath(const QString &path);
QString LinkPathText(const QString &alias, const QString &table, const QString &field);
