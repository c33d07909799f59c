#pragma once

// SELECT statements built with the SELECT model from the structure the engine reports: the
// query of a table following its lookup links, the join of two tables and the grouping
// query over one field. Names are written through the name helpers in the dialect of the
// alias the statement runs on.

#include "SqlNames.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TQuery;
class TSelect;
class TSession;
class TTable;

// The SELECT model of a table over the query: every field, ORDER BY the fields of the first
// index that is not primary. With a group field: the sums of the other numeric fields, the
// group field and Count(*), GROUP BY the group field. The table object is read on the way
// (it becomes the current table). Engine and model errors reach the caller.
std::unique_ptr<TSelect> BuildSelect(TQuery &query, TTable &structure, const QString &table,
                                     const QString &groupField, TSqlDialect dialect);

// Where the statements run and where links come from.
struct TQueryContext
{
    TSession *session = nullptr; // null: the default session
    QString mainAlias; // the alias of the main database component
    QString mainDatabase; // that component's database name
    // The non-empty lookup targets of a table's fields, as its project file keeps them.
    std::function<QList<QPair<QString, QString>>(const QString &alias, const QString &table,
                                                 const QStringList &fieldNames)>
        lookups;
};

// A table of an alias, as the statements name it.
struct TTableRef
{
    QString alias;
    QString table;
};

// The SELECT of a table of the main alias joined to the tables its lookup links name,
// following their links in turn. Each table is read on its own alias with that alias's
// project file; a link into a table already in the chain that led to it is not followed.
QStringList QueryFromTableLines(const TQueryContext &context, const QString &table);

// The SELECT of source joined to target on sourceField = targetField.
QStringList JoinLines(const TQueryContext &context, const TTableRef &source,
                      const QString &sourceField, const TTableRef &target,
                      const QString &targetField);

// The grouping SELECT of a table over one of its fields.
QStringList GroupLines(const TQueryContext &context, const TTableRef &table,
                       const QString &groupField);
