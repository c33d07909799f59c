#pragma once

// The "Query Properties" tool window: the statement of qrySource as a tree of clauses and
// items that the user adds to, drops from, edits and reorders; every change is written back
// into qrySource and reported to the owner. What the commands do lives in QueryPropLogic.

#include "DataSet.h"
#include "QueryPropLogic.h"

#include <QDialog>
#include <QIcon>
#include <array>
#include <functional>

class QLineEdit;
class QMenu;
class QAction;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class TfrmQueryProp : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmQueryProp(QWidget *owner = nullptr, TSession *session = nullptr);

    using TQueryEvent = std::function<void(TfrmQueryProp *sender)>;
    TQueryEvent OnQueryClose;
    TQueryEvent OnQueryChange;
    TQueryEvent OnQueryActivate;

    // True when the statement was read; otherwise every control is disabled and edtProp
    // shows the first sentence of the error.
    virtual bool LoadQuery();
    // The node of a clause kind (0 to 4): the selected one when it has that kind, else the
    // first, which becomes selected; -1 when there is none.
    virtual int FindClause(int image);

    void treePropsChanging(QTreeWidgetItem *node);
    void btnAddClick();
    void btnDropClick();
    void btnEditClick();
    void btnUpClick();
    void btnDownClick();
    void popCmdSelectClick(QAction *item);
    void FormActivate();

    const TQueryPropTree &Tree() const { return m_tree; }

    QTreeWidget *treeProps;
    QLineEdit *edtProp;
    QToolButton *btnAdd, *btnDrop, *btnEdit, *btnUp, *btnDown;
    QMenu *popCmd;
    QAction *popCmdSelect, *popCmdFrom, *popCmdWhere, *popCmdGroupBy, *popCmdOrderBy;
    TQuery qrySource;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Escape closes the window as its close button does, telling the owner.
    void reject() override { close(); }

private:
    // Shows the tree as the model has it, with the model's selection.
    void ShowTree();
    bool SameShape() const;
    void ShowSelection();
    void WriteQuery();
    void SetControlsEnabled(bool enabled);

    std::array<QIcon, piItem + 1> m_images;
    TQueryPropTree m_tree;
    QList<QTreeWidgetItem *> m_items; // in the tree's absolute order
    bool m_showing = false;
};
