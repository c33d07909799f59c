#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>

class TIniFile;
class TTable;

// The project file of a table: "Projects/" + alias + "/" + table + ".orv" in the data folder,
// alias and table in their file-name form, so that no name leads out of the alias's folder.
QString ProjectFileName(const QString &alias, const QString &table);
// The table's project file, open for one operation; its folder is created when missing, the
// file itself at the first write. Throws EDatabaseError when the folder cannot be made.
std::unique_ptr<TIniFile> OpenProjectFile(const QString &alias, const QString &table);
// The non-empty "Lookup" values of the table's fields, by field name, from its project file,
// which is read once for the whole list.
QList<QPair<QString, QString>> ReadLookups(const QString &alias, const QString &table,
                                           const QStringList &fieldNames);

// Loads a table's field definitions into the table object. A name the engine does not
// list is tried again with ".dbf"; a listed table that cannot be read keeps its name.
// Without fields read, the table is left without fields. Returns whether fields were read.
bool ReadStructure(TTable &table, const QString &tableName);
