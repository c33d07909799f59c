#pragma once

#include <QList>
#include <QPair>
#include <QString>

class TTable;

// The project file of a table: "Projects/" + alias + "/" + table + ".orv" in the data folder.
QString ProjectFileName(const QString &alias, const QString &table);
// The non-empty "Lookup" values of the table's fields, by field name, from its project file.
QList<QPair<QString, QString>> ReadLookups(const QString &alias, const QString &table,
                                           const QStringList &fieldNames);

// Loads a table's field definitions into the table object. A dBASE table that the engine
// lists without extension is tried again with ".dbf"; when that fails too, the table is
// left without fields. Returns whether fields were read.
bool ReadStructure(TTable &table, const QString &tableName);
