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

// Loads a table's field definitions into the table object. A name the engine does not
// list is tried again with ".dbf"; a listed table that cannot be read keeps its name.
// Without fields read, the table is left without fields. Returns whether fields were read.
bool ReadStructure(TTable &table, const QString &tableName);
