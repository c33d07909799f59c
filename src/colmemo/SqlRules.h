#pragma once

// The SQL editor's two colour rules: keywords, then placeholders, comments and strings.

#include "ColorRules.h"

// The keyword lines, in the order they are searched.
QStringList SqlKeywordLines();
// The begin/end marker lines: placeholders and comments grey, strings red.
QStringList SqlMarkerLines();
// Appends the keyword rule and, after it with the same ZOrder so that it wins inside
// comments, strings and placeholders, the marker rule.
void AddSqlColorRules(TDrawRules &Rules);
