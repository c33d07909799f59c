#pragma once

#include "FieldTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

// A tree node's kind is its image index; nothing else is stored in a node.
enum TNodeKind : int {
    nkAlias = 0,
    nkTable = 1,
    nkField = 2,
    nkIndex = 3,
    nkPrimaryKey = 4,
    nkPrimaryField = 5,
    nkIndexField = 6,
    nkLink = 7,
};
constexpr int NodeKindCount = 8;

inline const QString PrimaryKeyText = QStringLiteral("Primary key");
// The database component of the main window is known to the session by this name.
inline const QString MainDatabaseName = QStringLiteral("DBOrvane");

// The name of a field-like node: its text before the first ":" (empty without one).
QString StripType(const QString &text);
// "NAME: TYPE" as field, primary-key field and index field nodes show it.
QString FieldNodeText(const TFieldDef &field, bool varcharOption);

struct TNodeStep
{
    int kind;
    QString text;
};
// The name a node contributes to a path: the bare name of a field-like node, "->" and
// the target of a link node, the text of any other.
QString NodeName(int kind, const QString &text);
// The dotted path of a node given with its ancestors, root first: field-like nodes give
// their bare name, a link node "->" and its text.
QString NodePath(const QList<TNodeStep> &rootFirst);

// One node of a table's level, built without widgets so the tree only copies it.
struct TNodeSpec
{
    int kind;
    QString text;
    QList<TNodeSpec> children;
};
// A field node per field, each with a link node when the field has a lookup target
// (pairs of field name and target, as the table's project file keeps them).
QList<TNodeSpec> FieldLevel(const QList<TFieldDef> &fields,
                            const QList<QPair<QString, QString>> &lookups, bool varcharOption);
// An index or primary-key node per index with one node per indexed field; a field that is
// not among the table's fields shows its bare name.
QList<TNodeSpec> IndexLevel(const QList<TFieldDef> &fields, const QList<TIndexDef> &indexes,
                            bool varcharOption);

// What the commands look like for a selection of this kind.
struct TCommandStates
{
    QString templateCaption;
    QString addCaption;
    QString dropCaption;
    bool fieldItemsVisible; // Group, Index, Table in the tree popup
    bool propsVisible; // and enabled
    bool tableOnly; // Record menu, Open Table, Compare
    bool linkVisible;
    bool htmlVisible;
    bool addEnabled;
    bool scriptEnabled;
};
TCommandStates CommandStates(int kind);

// Which node of one level the next pieces of a path name, and how many pieces it takes:
// a name may hold dots ("schema.table"), so the longest run of pieces that names a node
// or begins its text wins, a node of exactly that name first. Pieces are upper case.
struct TPathMatch
{
    int node = -1; // index into the level's nodes; -1 when nothing matches
    int pieces = 0;
};
TPathMatch MatchPathPieces(const QList<TNodeStep> &level, const QStringList &pieces);

constexpr int MaxBookmarks = 15;
// The bookmark list after adding a path: new paths go on top, the oldest fall off.
QStringList AddBookmark(QStringList items, const QString &path);

// The node path that a script names at a line: alias, table, then a field, index or
// primary key, then an index field, each cut to 11 characters, joined by "." up to the
// first empty part. aliasPart is used unless a directive above the statement names one.
QString GotoTreePath(const QStringList &lines, int caretLine, const QString &aliasPart);
// The alias a script line runs on: the first ALIAS directive met walking up from the
// line once a comment's end has been seen, upper case without blanks; otherwise aliasPart.
QString ScriptAliasAt(const QStringList &lines, int line, const QString &aliasPart);
// The dotted name under or just before the caret ("sales.orders", "ORDERS"), with the
// double quotes of quoted names taken away; empty when the caret is not on a name.
QString NameAtCaret(const QString &line, int column);
// The table a dotted name begins with, as the table list spells it: the longest run of
// leading pieces that is a table's name (any letter case); empty when there is none.
QString TableOfName(const QString &name, const QStringList &tables);
// Position just after a phrase's last word when every word occurs in order, or -1.
int PhrasePosition(const QString &line, const QString &phrase);
// The identifier that starts at the first letter from position on; empty without one.
QString IdentifierAfter(const QString &line, int position);

// Caret moves of Alt+Right and Alt+Left within one line: the start of the next word, and
// the start of the current or previous word. Words are runs of letters and digits.
int NextWordStart(const QString &line, int column);
int WordStartBefore(const QString &line, int column);
