#pragma once

// The main window's Query Properties command: opens the query properties window on the
// SELECT statement at the editor's caret and keeps the two in step, the window taking the
// statement when it becomes active and every change in it written back over the statement.
//
// Tform_Main creates one after its subsystems: `new TQueryPropCommand(this);`

#include "QueryProp.h"

#include <QObject>
#include <QPointer>

class QTreeWidgetItem;
class Tform_Main;

class TQueryPropCommand : public QObject
{
    Q_OBJECT
public:
    explicit TQueryPropCommand(Tform_Main *main);

    void mnuPopQryPropClick();
    // The open window; null when none is open.
    TfrmQueryProp *Dialog() const { return m_dialog; }

    void QueryActivate(TfrmQueryProp *sender);
    void QueryChange(TfrmQueryProp *sender);
    void QueryClose(TfrmQueryProp *sender);
    // Selects the statement at the caret and returns its query name; points the window's
    // query at the alias of an ALIAS directive above it, else at the main database.
    QString LocateStatement();

private:
    // The statement at a line: the window's query pointed at its alias, its query name
    // kept, and with select the statement selected.
    QString Locate(int line, bool select);
    // Puts the selected statement into the window and loads it.
    void Reload(const QString &queryName);
    QString SelectedText() const;
    // The tree's selected node offered to the window as the next item to add.
    void MainTreeChange(QTreeWidgetItem *node);

    Tform_Main *m;
    QPointer<TfrmQueryProp> m_dialog;
    // The editor's statement as the window last read or wrote it: a change is written over
    // the editor's selection only while the selection still holds it.
    QString m_held;
    QString m_queryName; // of the statement the locator selected last
};
