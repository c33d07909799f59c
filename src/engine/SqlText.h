#pragma once

// What kind of statement a text is, seen from its words rather than from a round trip to
// the engine: whether running it would return rows decides whether it may be opened as a
// result or must be carried out as a change.

#include <QString>

// The statement's leading keyword in upper case, after blanks, comments ("--" and "/* */")
// and opening parentheses; for WITH, the keyword of the statement its common table
// expressions feed (SELECT, INSERT, UPDATE...), or "WITH" when none follows. Empty when
// the text does not begin with a word.
QString StatementKeyword(const QString &sql);

// A blank to the engines (space, tab to carriage return): SQLite takes a no-break space
// into a name ("T1\u00a0" is no T1).
bool IsEngineBlank(QChar c);

// Whether a statement led by this keyword returns rows in every engine's SQL: SELECT,
// VALUES and EXPLAIN. The engines' own forms are their drivers' to tell.
bool IsQueryKeyword(const QString &keyword);

// Throws EDatabaseError when the text holds a NUL character: the engines read a statement
// only up to it, so "DELETE FROM t<NUL> WHERE ..." would delete every row.
void RequireNoNul(const QString &sql);

// The statement as a query of its columns that yields no row and runs nothing of it:
// "SELECT * FROM (<sql>) alias WHERE 1 = 0", without empty statements (";") before or after
// it. A comment the statement leaves open is closed first, or it would swallow the rest.
QString NoRowsForm(const QString &sql, const QString &alias);
// Whether the no-rows form holds the statement whole, so that the engine compiling it has
// compiled the statement as it stands: a SELECT first of all (not "(SELECT" nor a table
// list), whose parentheses close within it ("1) UNION SELECT (1" would close the form's),
// with no comment left open.
bool NoRowsFormHoldsWhole(const QString &sql);
