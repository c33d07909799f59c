#pragma once

// What the query properties window does, without widgets: a SELECT statement shown as a
// tree of clause nodes and their items, the commands that change the tree, and the
// statement written back from it. The window only mirrors this tree.

#include <QList>
#include <QString>
#include <QStringList>

class TQuery;

// Image indexes of the tree: clause kinds 0 to 4, then the image of every item.
enum TPropImage { piSelect = 0, piFrom = 1, piWhere = 2, piGroupBy = 3, piOrderBy = 4, piItem = 5 };

// "Select", "From", "Where", "Group By" or "Order By"; empty for anything else.
QString ClauseCaption(int image);

// A WHERE item as it is written: its trailing AND or OR taken as the connector in capitals;
// the last item of the clause loses it, any other without one gets AND. A blank and the
// connector end the text, so the last item ends with a blank.
QString SettleConnector(const QString &item, bool lastOfClause);

struct TPropNode
{
    int Image = piItem;
    QString Text;
};

// The item last picked by the user, found again after a reload.
struct TLastPosRec
{
    int ClauseIndex = -1;
    QString ItemText;
};

class TQueryPropTree
{
public:
    // Nodes in display order: a clause node is followed by its items.
    const QList<TPropNode> &Nodes() const { return m_nodes; }
    int Count() const { return int(m_nodes.size()); }
    bool IsItem(int index) const;
    // The clause node an item belongs to; -1 for a clause node or an index outside the tree.
    int ParentOf(int index) const;

    int Selected() const { return m_selected; }
    // What the window reports when the user picks a node; -1 for none. An item picked
    // outside a load becomes the last position.
    void Select(int index);
    const TLastPosRec &LastPos() const { return m_lastPos; }
    bool Updating() const { return m_updating; }

    // Rebuilds the tree from the query's statement, read into a select with every clause.
    // False with error holding "ERROR:" and the reader's message when it cannot be read:
    // the tree is then empty and the last position is kept.
    bool Load(TQuery &query, QString &error);

    // The selected node when it has the image, else the first node with it, which becomes
    // selected; -1 when there is none.
    int FindClause(int image);
    // The first node whose text begins with text, letter case ignored: over the whole tree
    // for start -1, else from the node start through the items of that clause.
    int FindNodeText(const QString &text, int start) const;
    // A clause node at its place in the clause order; it becomes selected.
    int AddClause(const QString &caption, int image);
    // An item appended to the clause's items.
    int AddItem(int clause, const QString &text);

    // The commands. Each returns true when the tree changed and the statement is to be
    // written again; they do nothing (false) without what they need.
    bool Add(const QString &text);
    bool Drop();
    bool Edit(const QString &text);
    bool Up();
    bool Down();
    // The clause of that caption and image selected, created first when missing.
    void ClauseCommand(const QString &caption, int image);

    // The statement lines of the tree: each clause with items under its header in capitals,
    // each item on its own line after a tab.
    QStringList Write() const;

private:
    void Clear();
    int LastChildOf(int clause) const;
    // Two neighbouring items of a clause change places.
    void Exchange(int index1, int index2);

    QList<TPropNode> m_nodes;
    int m_selected = -1;
    bool m_updating = false;
    TLastPosRec m_lastPos;
};

// The statement at the caret of a script, as the window's owner takes it.
struct TStatementSpot
{
    int Start = 0; // offset of the selection in the text, lines joined by "\n"
    int Length = 0; // 0 when there is no SELECT statement at the caret
    QString QueryName;
    QString Alias; // of an ALIAS directive above it; empty when none
};

// Walks up from the caret's line to the line above that holds a ";", taking the nearest
// SELECT line and the QUERYNAME and ALIAS directives of comment blocks met on the way; the
// statement runs from its SELECT line to just before the next ";", or to the end.
TStatementSpot LocateStatement(const QStringList &lines, int caretLine);

// A text in capitals without blanks, tabs and line breaks: two statements that differ
// only in layout and letter case compare alike.
QString ComparisonForm(const QString &text);
