// The database tree of the main window: lazy levels, selection, and moving to a node by name.
#include "EngineError.h"
#include "FindTree.h"
#include "Icons.h"
#include "IniFile.h"
#include "Logins.h"
#include "Main.h"
#include "MessageDlg.h"
#include "Options.h"
#include "Session.h"
#include "Settings.h"
#include "SharedRoutines.h"
#include "TreeLogic.h"
#include "TreeReading.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

int NodeKind(const QTreeWidgetItem *node)
{
    return node ? node->data(0, Qt::UserRole).toInt() : -1;
}

int NodeLevel(const QTreeWidgetItem *node)
{
    int level = -1;
    for (; node; node = node->parent())
        ++level;
    return level;
}

namespace {

// A node answers its kind and icon from the kind alone: a table of a thousand linked
// fields makes two thousand nodes, each of which would otherwise store both.
class TTreeNode : public QTreeWidgetItem
{
public:
    TTreeNode(int kind, const QString &text)
        : QTreeWidgetItem(QStringList {text})
        , m_kind(kind)
    {}
    QVariant data(int column, int role) const override
    {
        if (column == 0 && role == Qt::UserRole)
            return m_kind;
        if (column == 0 && role == Qt::DecorationRole)
            return TreeIcon(m_kind);
        return QTreeWidgetItem::data(column, role);
    }

private:
    int m_kind;
};

} // namespace

static QTreeWidgetItem *NewNode(int kind, const QString &text, bool hasChildren = false)
{
    auto *node = new TTreeNode(kind, text);
    if (hasChildren)
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return node;
}

static QList<QTreeWidgetItem *> NewNodes(const QList<TNodeSpec> &specs)
{
    QList<QTreeWidgetItem *> nodes;
    nodes.reserve(specs.size());
    for (const TNodeSpec &wanted : specs) {
        QTreeWidgetItem *node = NewNode(wanted.kind, wanted.text);
        node->addChildren(NewNodes(wanted.children));
        nodes << node;
    }
    return nodes;
}

// The hourglass while a level is read, back to normal however the reading ends.
struct TWaitCursor
{
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

void Tform_Main::FillAliases()
{
    MainTree->clear();
    m_nodePath.clear();
    QList<QTreeWidgetItem *> nodes;
    for (const QString &alias : DB_Orvane.Session().GetAliasNames())
        if (alias.compare(MainDatabaseName, Qt::CaseInsensitive) != 0)
            nodes << NewNode(nkAlias, alias, true);
    MainTree->addTopLevelItems(nodes);
}

int Tform_Main::SelectedKind() const
{
    return NodeKind(MainTree->currentItem());
}

void Tform_Main::MainTreeExpanding(QTreeWidgetItem *node)
{
    // Levels opened again by Refresh are not a choice of the user: the selection stays.
    if (!m_reopening)
        MainTreeChange(node);
    const int level = NodeLevel(node);
    if (level > 1 || node->childCount() > 0)
        return;
    TWaitCursor wait;
    try {
        if (level == 0)
            ReadAlias(node);
        else
            ReadTable(node);
    } catch (const EDatabaseError &e) {
        SetStatusText(m_nodePath);
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
    }
}

void Tform_Main::ReadAlias(QTreeWidgetItem *node)
{
    QList<QTreeWidgetItem *> tables;
    const QStringList names = AliasTableNames(node->text(0));
    tables.reserve(names.size());
    for (const QString &name : names)
        tables << NewNode(nkTable, name, true);
    node->addChildren(tables);
}

QStringList Tform_Main::AliasTableNames(const QString &alias)
{
    // Reconnecting to the alias already open would make the engine read the whole schema
    // again (long for thousands of tables) and show nothing new; Refresh still reconnects.
    const bool kept = DB_Orvane.Connected() && DB_Orvane.AliasName() == alias;
    if (!kept) {
        DB_Orvane.Close();
        DB_Orvane.SetAliasName(alias);
    }
    LoginCancelled = false;
    try {
        return ::AliasTableNames(DB_Orvane.DatabaseName(), &DB_Orvane.Session());
    } catch (const EDatabaseError &e) {
        if (!kept)
            return AliasReadFailed(alias, e);
    }
    // The connection kept from an earlier read may have died with its server since.
    DB_Orvane.Close();
    try {
        return ::AliasTableNames(DB_Orvane.DatabaseName(), &DB_Orvane.Session());
    } catch (const EDatabaseError &e) {
        return AliasReadFailed(alias, e);
    }
}

QStringList Tform_Main::AliasReadFailed(const QString &alias, const EDatabaseError &error)
{
    if (LoginAccepted)
        ForgetPassword(RememberedValues(), alias);
    // The user who cancelled the login knows why there are no tables; anyone else is told.
    if (LoginCancelled)
        return {};
    throw error;
}

void Tform_Main::ReadStructure(const QString &tableName)
{
    ::ReadStructure(tab_Orvane, tableName);
}

void Tform_Main::ReadTable(QTreeWidgetItem *node)
{
    tab_Orvane.FieldDefs.clear();
    tab_Orvane.IndexDefs.clear();
    const QString alias = node->parent()->text(0);
    if (DB_Orvane.AliasName() != alias) {
        DB_Orvane.Close();
        DB_Orvane.SetAliasName(alias);
    }
    const QString table = node->text(0);
    SetStatusText(QStringLiteral("Reading ") + table + QStringLiteral("..."));
    // The connection kept since the tables were listed may have died with its server.
    if (!::ReadStructure(tab_Orvane, table) && DB_Orvane.Connected()
        && !DB_Orvane.Connection().Answers()) {
        DB_Orvane.Close();
        ::ReadStructure(tab_Orvane, table);
    }
    SetStatusText(QString());
    QStringList fieldNames;
    for (const TFieldDef &f : tab_Orvane.FieldDefs)
        fieldNames << f.Name;
    const bool varchar = OptionChecked(optVarchar);
    node->addChildren(
        NewNodes(FieldLevel(tab_Orvane.FieldDefs, ReadLookups(alias, table, fieldNames), varchar)));
    tab_Orvane.UpdateIndexDefs();
    node->addChildren(NewNodes(IndexLevel(tab_Orvane.FieldDefs, tab_Orvane.IndexDefs, varchar)));
    SetStatusText(m_nodePath);
}

void Tform_Main::MainTreeCollapsed(QTreeWidgetItem *node)
{
    if (NodeLevel(node) > 1)
        return;
    qDeleteAll(node->takeChildren());
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

void Tform_Main::MainTreeChange(QTreeWidgetItem *node)
{
    const QTreeWidgetItem *selected = MainTree->currentItem();
    if (!node || !selected) {
        m_nodePath.clear();
        return;
    }
    const int kind = NodeKind(selected);
    QList<TNodeStep> steps;
    for (const QTreeWidgetItem *n = node; n; n = n->parent()) {
        steps.prepend({NodeKind(n), n->text(0)});
        if (NodeKind(n) == nkTable)
            SetValue(QStringLiteral("TableName"), n->text(0));
        if (!n->parent() && kind != nkAlias && n->text(0) != DB_Orvane.AliasName()) {
            DB_Orvane.Close();
            DB_Orvane.SetAliasName(n->text(0));
        }
    }
    m_nodePath = NodePath(steps);

    if (kind == nkAlias) {
        QString driver;
        try {
            driver = DB_Orvane.Session().GetAliasDriverName(selected->text(0));
        } catch (const EDatabaseError &) {
            // an alias deleted behind our back shows without its driver
        }
        SetStatusText(selected->text(0) + QStringLiteral(" (") + driver + u')');
    } else {
        SetStatusText(m_nodePath);
    }

    const TCommandStates s = CommandStates(kind);
    mnuSQLTemplate->setText(s.templateCaption);
    for (QAction *a : {mnuPopGroup, mnuPopIndex, mnuPopTable})
        a->setVisible(s.fieldItemsVisible);
    mnuPopProps->setVisible(s.propsVisible);
    mnuPopProps->setEnabled(s.propsVisible);
    mnuRecord->menuAction()->setEnabled(s.tableOnly);
    mnuPopOpenTable->setEnabled(s.tableOnly);
    mnuPopLink->setVisible(s.linkVisible);
    mnuPopHTML->setVisible(s.htmlVisible);
    btnCompare->setEnabled(s.tableOnly);
    mnuEdtCompare->setEnabled(btnCompare->isEnabled());
    btnAdd->setEnabled(s.addEnabled);
    mnuSQLAdd->setEnabled(btnAdd->isEnabled());
    btnScript->setEnabled(s.scriptEnabled);
    mnuSQLScript->setEnabled(btnScript->isEnabled());
    mnuSQLAdd->setText(s.addCaption);
    mnuSQLDrop->setText(s.dropCaption);
}

// The names of a node and its ancestors, root first, as a path names them.
static QStringList NodeNames(const QTreeWidgetItem *node)
{
    QStringList names;
    for (; node; node = node->parent())
        names.prepend(NodeName(NodeKind(node), node->text(0)));
    return names;
}

// The node that these names lead to exactly, or null.
static QTreeWidgetItem *NodeByNames(QTreeWidget *tree, const QStringList &names)
{
    QTreeWidgetItem *node = nullptr;
    for (const QString &name : names) {
        QTreeWidgetItem *next = nullptr;
        const int count = node ? node->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem *child = node ? node->child(i) : tree->topLevelItem(i);
            if (NodeName(NodeKind(child), child->text(0)) == name)
                next = child;
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return node;
}

void Tform_Main::mnuEdtRefreshClick()
{
    const QString kept = m_nodePath;
    const QString keptAlias = DB_Orvane.AliasName();
    // What the user had open is opened again where it still exists. The selected table's
    // branch comes last, so that the table read last, the current one, is the selected one.
    QStringList selectedTable = NodeNames(MainTree->currentItem()).mid(0, 2);
    const QString tablePath = selectedTable.join(u'.');
    if (selectedTable.size() < 2 || (kept != tablePath && !kept.startsWith(tablePath + u'.')))
        selectedTable.clear();
    QList<QStringList> reopen, branch;
    for (QTreeWidgetItemIterator it(MainTree); *it; ++it)
        if ((*it)->isExpanded()) {
            const QStringList names = NodeNames(*it);
            const bool inBranch = !selectedTable.isEmpty() && names.mid(0, 2) == selectedTable;
            (inBranch ? branch : reopen) << names;
        }

    tab_Orvane.FieldDefs.clear();
    tab_Orvane.IndexDefs.clear();
    // A transaction the script began stays open: closing its connection would roll it back.
    if (!DB_Orvane.Connected() || !DB_Orvane.Connection().InTransaction())
        DB_Orvane.Close();
    FillAliases();
    auto open = [this](const QList<QStringList> &paths) {
        m_reopening = true;
        for (const QStringList &names : paths)
            if (QTreeWidgetItem *node = NodeByNames(MainTree, names))
                node->setExpanded(true);
        m_reopening = false;
    };
    open(reopen);
    tab_Orvane.FieldDefs.clear();
    tab_Orvane.IndexDefs.clear();
    open(branch);

    if (!kept.isEmpty()) {
        AddBookmark(kept);
        if (WalkPath(kept) && isVisible())
            MainTree->setFocus(Qt::OtherFocusReason);
    }
    // Reading other aliases moved the database; an alias selection never does.
    if (SelectedKind() <= nkAlias && DB_Orvane.AliasName() != keptAlias) {
        DB_Orvane.Close();
        DB_Orvane.SetAliasName(keptAlias);
    }
    m_nodePath = kept;
}

void Tform_Main::CollapseAll()
{
    for (int i = 0; i < MainTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *alias = MainTree->topLevelItem(i);
        if (alias->isExpanded())
            alias->setExpanded(false);
        else if (alias->childCount() > 0) // read, but folded without the collapse event
            MainTreeCollapsed(alias);
    }
}

void Tform_Main::FindByPath(const QString &path)
{
    if (path.isEmpty() || path.compare(m_nodePath, Qt::CaseInsensitive) == 0)
        return;
    CollapseAll();
    AddBookmark(path);
    if (WalkPath(path) && isVisible())
        MainTree->setFocus(Qt::OtherFocusReason);
}

bool Tform_Main::WalkPath(const QString &path)
{
    const QStringList pieces = path.toUpper().split(u'.');
    qsizetype next = 0;
    int start = 0;
    int level = 0;
    while (next < pieces.size()) {
        QList<QTreeWidgetItem *> nodes;
        for (QTreeWidgetItemIterator it(MainTree); *it; ++it)
            nodes << *it;
        // The nodes of this level from the start on, up to the first shallower one.
        QList<QTreeWidgetItem *> candidates;
        QList<int> indexes;
        QList<TNodeStep> steps;
        bool shallower = false;
        for (int i = start; i < nodes.size() && !shallower; ++i) {
            const int nodeLevel = NodeLevel(nodes[i]);
            shallower = nodeLevel < level;
            if (nodeLevel == level) {
                candidates << nodes[i];
                indexes << i;
                steps.append({NodeKind(nodes[i]), nodes[i]->text(0)});
            }
        }
        const TPathMatch match = MatchPathPieces(steps, pieces.mid(next));
        if (match.node < 0) {
            if (shallower)
                return false;
            ++next; // a piece that names nothing is passed over
            continue;
        }
        QTreeWidgetItem *node = candidates[match.node];
        next += match.pieces;
        MainTree->setCurrentItem(node);
        if (next < pieces.size() && node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator)
            node->setExpanded(true);
        start = indexes[match.node] + 1;
        ++level;
    }
    return true;
}

void Tform_Main::AddBookmark(const QString &path)
{
    QStringList items;
    for (int i = 0; i < cmbBookMark->count(); ++i)
        items << cmbBookMark->itemText(i);
    const QStringList updated = ::AddBookmark(items, path);
    if (updated != items) {
        const QString typed = cmbBookMark->currentText();
        const QSignalBlocker block(cmbBookMark);
        cmbBookMark->clear();
        cmbBookMark->addItems(updated);
        cmbBookMark->setCurrentIndex(-1);
        cmbBookMark->setEditText(typed);
    }
    // The path is still looked for when the settings cannot keep it.
    try {
        WriteBookmarks(*m_ini, updated);
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
    }
}

void Tform_Main::cmbBookMarkClick(int index)
{
    if (index < 0)
        return;
    FindByPath(cmbBookMark->itemText(index));
    MainTree->setFocus(Qt::OtherFocusReason);
}

void Tform_Main::cmbBookMarkKeyDown(int key)
{
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || cmbBookMark->currentText().isEmpty())
        return;
    FindByPath(cmbBookMark->currentText());
    MainTree->setFocus(Qt::OtherFocusReason);
}

void Tform_Main::mnuEdtFindClick()
{
    TfrmFindTree dialog(this);
    const QString remembered = Value(QStringLiteral("Find"));
    dialog.edtFind->setText(remembered.isEmpty() ? m_nodePath : remembered);
    if (dialog.exec() != QDialog::Accepted)
        return;
    FindByPath(dialog.edtFind->text());
    SetValue(QStringLiteral("Find"), dialog.edtFind->text());
}

void Tform_Main::mnuPopGotoTClick()
{
    QString alias = DB_Orvane.AliasName();
    if (alias.isEmpty() && MainTree->currentItem())
        alias = MainTree->currentItem()->text(0);
    const QStringList lines = memSQL->toPlainText().split(u'\n');
    const int caretLine = std::clamp(memSQL->CaretLine(), 0, int(lines.size()) - 1);
    QString path;
    // A table named at the caret is the node meant, wherever the statement stands.
    const QString name = NameAtCaret(lines[caretLine], memSQL->CaretCol());
    if (!name.isEmpty()) {
        const QString scriptAlias = ScriptAliasAt(lines, caretLine, alias);
        const QString table = TableOfName(name, TreeTableNames(scriptAlias));
        if (!table.isEmpty())
            path = scriptAlias + u'.' + table + name.mid(table.size());
    }
    if (path.isEmpty())
        path = GotoTreePath(lines, caretLine, alias);
    if (path.isEmpty())
        return;
    FindByPath(path);
    MainTree->setFocus(Qt::OtherFocusReason);
}

QStringList Tform_Main::TreeTableNames(const QString &alias)
{
    const auto found = MainTree->findItems(alias, Qt::MatchFixedString);
    if (found.isEmpty())
        return {};
    QStringList names;
    QTreeWidgetItem *node = found.first();
    for (int i = 0; i < node->childCount(); ++i)
        names << node->child(i)->text(0);
    if (!names.isEmpty())
        return names;
    try {
        return AliasTableNames(node->text(0));
    } catch (const EDatabaseError &) {
        return {}; // the walk to the alias reads it again and shows why
    }
}
