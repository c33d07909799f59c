#pragma once

#include "FieldTypes.h"
#include "SqlNames.h"

#include <QStringList>

class TTable;

struct TTableScriptOptions
{
    bool notNull = false; // key fields marked NOT NULL
    bool varchar = false; // strings above 20 characters as VARCHAR
    TSqlDialect dialect = TSqlDialect::Sqlite;
};

// The CREATE TABLE statement of a structure and a CREATE INDEX line per secondary index.
// In template mode the table is written as the placeholder "<TableName>". Key fields are
// matched by their whole names, so a key ID never marks a field CUSTID.
QStringList TableScriptLines(const QString &tableName, const QList<TFieldDef> &fields,
                             const QList<TIndexDef> &indexes, bool templateMode,
                             const TTableScriptOptions &options);

// Reads the table's fields and indexes into the table object (it becomes the current
// table) and writes its script; throws EDatabaseError when the table cannot be read.
QStringList TableScriptLines(TTable &table, const QString &tableName, bool templateMode,
                             const TTableScriptOptions &options);
