#pragma once

// The editor commands' rules without widgets: the caret status text, the Goto Line target,
// the Find Command proposal and search, and where the Quick Tour page is looked for.

#include <QString>
#include <QStringList>
#include <optional>

// "Line:" + line (from 1) + ", Char:" + column (from 0) + "/" + the line's length.
QString CaretStatusText(int caretLine, int caretCol, int lineLength);

// The line (0-based) a Goto Line text names from the caret line: "+n" and "-n" move
// relative to it, a plain number names a line counted from 1. Nothing for text that is no
// number. The result is not clamped; select-line keeps it within the text.
std::optional<int> GotoLineTarget(const QString &text, int caretLine);
// Clamps a line to the text's lines (an empty text still has line 0).
int ClampLine(int line, int lineCount);

// The Find Command text proposed for the tree's selected node (kind and node text; kind -1
// when nothing is selected), or the last search when the editor is active or the node kind
// has no statement of its own.
QString FindCmdProposal(bool editorActive, int nodeKind, const QString &nodeText,
                        const QString &lastFind);

struct TFindCmdOptions
{
    bool caseSensitive = false;
    bool wholeWords = false; // the first word must be followed by a blank
    bool backward = false;
};
// Whether the blank-separated words of text occur in line in their order; an empty word
// (two blanks in a row, or a leading or trailing blank) matches nothing.
bool FindCmdMatches(const QString &line, const QString &text, const TFindCmdOptions &options);
// The first matching line from startLine (included) toward the end or, backward, toward
// line 0; -1 without a match. A start beyond the last line starts at the first.
int FindCmdLine(const QStringList &lines, const QString &text, int startLine,
                const TFindCmdOptions &options);

// Where the help page is looked for, in order: the user's data folder, the installed
// share/orvane folder beside bin/, then the executable's own folder.
QStringList QuickTourCandidates(const QString &dataFolder, const QString &executableFolder);
// "File \"" + path + "\" not found."
QString QuickTourMissingText(const QString &path);
