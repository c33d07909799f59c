#pragma once

// Placeholders are written between "<" and ">" on one line. The walk visits them from a
// start line on, asks for each value and writes it in place of the placeholder.

#include <QString>
#include <QStringList>
#include <functional>

class TIniFile;

// The dialog a placeholder gets, by its name compared in upper case.
enum class TParamKind { Free, Table, Field, Type, Where };
TParamKind ParamKindOf(const QString &name);

// The type names offered for a FieldType placeholder, sorted.
QStringList TypeParamItems();

// Asks for one placeholder's value: caption is the statement's text before its first
// placeholder, value comes in as the remembered value. False ends the walk.
using TAskParam = std::function<bool(const QString &caption, const QString &name, QString &value)>;
// Receives a line the walk has rewritten.
using TLineWritten = std::function<void(int line, const QString &text)>;

// The text written in place of a placeholder for the value given (an SQL literal of it, for
// instance); without one the value itself is written.
using TParamText = std::function<QString(const QString &name, const QString &value)>;

// Walks lines from startLine to the end, replacing each placeholder by the asked value and
// remembering it under the placeholder's name. The value is scanned again from just after its
// first character, so a value that holds a placeholder leads straight to it. Lines of any length
// are handled whole. Returns false when the user cancelled (replacements made so far stay).
// The value as entered is remembered, whatever text writes for it.
bool ParamWalk(QStringList &lines, int startLine, QStringList &remembered, const TAskParam &ask,
               const TLineWritten &written = {}, const TParamText &text = {});

// The next placeholder of a line from position from: the index of its "<" and its ">" (-1
// when there is none). The last "<" before a ">" opens it; "<>" alone is none, but its "<"
// still opens a placeholder closed by a later ">".
bool NextPlaceholder(const QString &line, int from, int &open, int &close);

// A name like the remembered login passwords ("Password_" + alias, any case): its value is
// never proposed, remembered nor kept in the history.
bool IsSecretParam(const QString &name);

// The name the New Param command inserts for a counter value.
QString NewParamName(int counter);

// The history of a free-value parameter: section "ValuesOfParam_" + the upper-case name,
// each confirmed value a key with an empty value.
QString ParamHistorySection(const QString &name);
QStringList ParamHistory(const TIniFile &ini, const QString &name);
// Adds a confirmed value; a value that would not read back as the same key (it holds "=",
// a line break, a comment start or surrounding blanks) is left out. Returns whether written.
bool AddParamHistory(TIniFile &ini, const QString &name, const QString &value);
