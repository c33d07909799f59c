#pragma once

// The statement skeletons and small statements written for a tree node. Placeholders stand
// between "<" and ">" for the parameter walk to fill; real names go through the name helpers.

#include "SqlNames.h"

#include <QString>
#include <QStringList>

// Add: the skeleton of a node kind (table, field or index; nothing for the others), or every
// skeleton in that order. notNull writes the field line of CREATE TABLE with NOT NULL.
QStringList AddSkeletonLines(int kind, bool allSkeletons, bool notNull);

// Query on a node that is not a table: SELECT with every clause a placeholder.
QStringList QuerySkeletonLines();

// Drop of a table, a field of a table or an index; empty for the other kinds, which Drop
// either handles without SQL (alias, link) or leaves alone.
QString DropStatement(int kind, const QString &table, const QString &name, TSqlDialect dialect);

// Index on a field: CREATE INDEX <IndexName> ON table (field);
QString IndexSkeletonLine(const QString &table, const QString &field, TSqlDialect dialect);

// Table from a field node "NAME: TYPE": a lookup table named after the field whose key has
// the field's type.
QStringList LookupTableLines(const QString &fieldNodeText, bool notNull, TSqlDialect dialect);

// The hint of a generation tool button (by its component name) for the selected node kind:
// its caption, and on a second line what it does for that kind when it does something.
// Empty for a button that is not a generation button.
QString GenerationHint(const QString &button, int kind);
