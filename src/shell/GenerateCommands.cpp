#include "GenerateCommands.h"

#include "AskParam.h"
#include "BusyIndicator.h"
#include "EngineError.h"
#include "Executor.h"
#include "IniFile.h"
#include "Main.h"
#include "MessageDlg.h"
#include "Options.h"
#include "Queries.h"
#include "QueryResult.h"
#include "Records.h"
#include "ResultWindows.h"
#include "Session.h"
#include "Settings.h"
#include "TableScript.h"
#include "Templates.h"
#include "TreeLogic.h"
#include "TreeReading.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QScopeGuard>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QTreeWidget>

namespace {

bool IsFieldKind(int kind)
{
    return kind == nkField || kind == nkPrimaryField || kind == nkIndexField;
}

// The first primary-key field node among the node's descendants, in tree order.
QTreeWidgetItem *FirstKeyField(QTreeWidgetItem *node)
{
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem *child = node->child(i);
        if (NodeKind(child) == nkPrimaryField)
            return child;
        if (QTreeWidgetItem *found = FirstKeyField(child))
            return found;
    }
    return nullptr;
}

} // namespace

TGenerateCommands::TGenerateCommands(Tform_Main *main)
    : QObject(main)
    , m(main)
{
    setObjectName(QStringLiteral("GenerateCommands"));
    const auto wire
        = [this](std::initializer_list<QAction *> actions, void (TGenerateCommands::*f)()) {
              for (QAction *a : actions)
                  connect(a, &QAction::triggered, this, [this, f] { (this->*f)(); });
          };
    for (QAction *a : {m->mnuPopAdd, m->mnuSQLAdd, m->btnAdd})
        connect(a, &QAction::triggered, this, [this] { mnuPopAddClick(); });
    wire({m->mnuPopDrop, m->mnuSQLDrop, m->btnDrop}, &TGenerateCommands::mnuPopDropClick);
    wire({m->mnuSQLTemplate, m->btnTemplate}, &TGenerateCommands::mnuSQLTemplateClick);
    wire({m->mnuPopScript, m->mnuSQLScript, m->btnScript}, &TGenerateCommands::mnuPopScriptClick);
    wire({m->mnuPopQuery, m->mnuSQLQuery, m->btnQuery}, &TGenerateCommands::mnuSQLQueryClick);
    wire({m->mnuPopOpenTable, m->mnuSQLOpenTable}, &TGenerateCommands::mnuSQLOpenTableClick);
    wire({m->mnuSQLJoin}, &TGenerateCommands::mnuSQLJoinClick);
    wire({m->mnuPopGroup}, &TGenerateCommands::mnuPopGroupClick);
    wire({m->mnuPopIndex}, &TGenerateCommands::mnuPopIndexClick);
    wire({m->mnuPopTable}, &TGenerateCommands::mnuPopTableClick);
    wire({m->mnuRecordUpdate}, &TGenerateCommands::mnuRecordUpdateClick);
    wire({m->mnuRecordInsert}, &TGenerateCommands::mnuRecordInsertClick);
    wire({m->mnuRecordDelete}, &TGenerateCommands::mnuRecordDeleteClick);
    for (QAction *a : {m->btnAdd, m->btnDrop, m->btnTemplate, m->btnQuery, m->btnScript})
        if (QWidget *button = m->toolBCtrl->widgetForAction(a))
            button->installEventFilter(this);
}

bool TGenerateCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (m_busy) {
        if (event->type() == QEvent::Close && watched == m) {
            if (MessageDlg(QStringLiteral("Stop writing the script and close?"),
                           TMsgDlgType::Confirmation, QMessageBox::Ok | QMessageBox::Cancel)
                != QMessageBox::Cancel) {
                m->CancelFlag = true;
                m_closeAfterBusy = true;
            }
            event->ignore();
            return true;
        }
        if (IsBlockedWhileBusy(event))
            return true;
    }
    if (event->type() == QEvent::ToolTip) {
        auto *button = qobject_cast<QWidget *>(watched);
        if (!button || !button->isEnabled())
            return true;
        const QString hint = GenerationHint(button->objectName(), SelectedKind());
        if (!hint.isEmpty()) {
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), hint, button);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QTreeWidgetItem *TGenerateCommands::Selected() const
{
    return m->MainTree->currentItem();
}

int TGenerateCommands::SelectedKind() const
{
    return NodeKind(Selected());
}

TTableRef TGenerateCommands::TableOf(const QTreeWidgetItem *node) const
{
    const QTreeWidgetItem *table = node;
    while (table && NodeKind(table) != nkTable)
        table = table->parent();
    const QTreeWidgetItem *alias = node;
    while (alias && alias->parent())
        alias = alias->parent();
    return {alias ? alias->text(0) : QString(), table ? table->text(0) : QString()};
}

TSqlDialect TGenerateCommands::Dialect(const QString &alias) const
{
    try {
        return DialectOfDriver(m->DB_Orvane.Session().GetAliasDriverName(alias));
    } catch (const EDatabaseError &) {
        return TSqlDialect::Sqlite;
    }
}

TQueryContext TGenerateCommands::QueryContext() const
{
    TQueryContext c;
    c.session = &m->DB_Orvane.Session();
    c.mainAlias = m->DB_Orvane.AliasName();
    c.mainDatabase = m->DB_Orvane.DatabaseName();
    c.lookups = ReadLookups;
    return c;
}

void TGenerateCommands::Append(const QStringList &lines)
{
    if (!lines.isEmpty())
        m->memSQL->appendPlainText(lines.join(u'\n'));
}

int TGenerateCommands::CaretLine() const
{
    return m->memSQL->textCursor().blockNumber();
}

void TGenerateCommands::ReturnCaret(int line)
{
    TMemoDocument *doc = m->memSQL->document();
    TMemoCursor c(doc->findBlockByNumber(std::clamp(line, 0, doc->blockCount() - 1)));
    m->memSQL->setTextCursor(c);
}

void TGenerateCommands::ParameterWalk()
{
    m->mnuPopParametersClick();
}

bool TGenerateCommands::RecordWalk(const QList<TFieldDef> &fields, const QString &alias)
{
    const TSqlDialect d = Dialect(alias);
    return ParamWalkEditor(m->memSQL, CaretLine(), m->RememberedValues(), m->ParamContext(),
                           [this, fields, d](const QString &name, const QString &value) {
                               return RecordValueText(name, value, fields,
                                                      m->Value(QStringLiteral("FieldName")), d);
                           });
}

void TGenerateCommands::Report(const QString &text)
{
    m->SetStatusText(text);
}

void TGenerateCommands::ShowError(const QString &message)
{
    m->SetStatusText(m->NodePathText());
    MessageDlg(message, TMsgDlgType::Error, QMessageBox::Ok);
}

// --- Add, Drop, Template ---------------------------------------------------------------

void TGenerateCommands::mnuPopAddClick(bool allSkeletons)
{
    const int caret = CaretLine();
    const QStringList lines
        = AddSkeletonLines(SelectedKind(), allSkeletons, OptionChecked(optNotNull));
    Append(lines);
    ReturnCaret(caret);
    ParameterWalk();
    if (lines.isEmpty())
        Report(QStringLiteral("Add writes statements for a table, a field or an index."));
}

void TGenerateCommands::mnuPopDropClick()
{
    QTreeWidgetItem *node = Selected();
    const int kind = NodeKind(node);
    if (kind == nkAlias) {
        DeleteAlias(node->text(0));
        return;
    }
    if (kind == nkLink) {
        DeleteLink(node);
        return;
    }
    const TTableRef ref = node ? TableOf(node) : TTableRef();
    const QString name = kind == nkField ? StripType(node->text(0))
        : node                           ? node->text(0)
                                         : QString();
    const QString statement = DropStatement(kind, ref.table, name, Dialect(ref.alias));
    if (statement.isEmpty()) {
        Report(QStringLiteral("Drop works on an alias, a table, a field, an index or a link."));
        return;
    }
    Append({statement});
}

void TGenerateCommands::DeleteAlias(const QString &alias)
{
    if (MessageDlg(QStringLiteral("Delete ") + alias + u'?', TMsgDlgType::Confirmation,
                   QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Cancel)
        return;
    try {
        m->DB_Orvane.Close();
        m->DB_Orvane.Session().DeleteAlias(alias);
        m->SessionAliases.removeAll(alias);
        m->DB_Orvane.Session().SaveConfigFile();
    } catch (const EDatabaseError &e) {
        ShowError(e.Message());
    }
    m->mnuEdtRefreshClick();
}

void TGenerateCommands::DeleteLink(QTreeWidgetItem *link)
{
    if (MessageDlg(QStringLiteral("Delete link?"), TMsgDlgType::Confirmation,
                   QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Cancel)
        return;
    QTreeWidgetItem *field = link->parent();
    const TTableRef ref = TableOf(field);
    TIniFile project(ProjectFileName(ref.alias, ref.table));
    project.WriteString(StripType(field->text(0)), QStringLiteral("Lookup"), QString());
    qDeleteAll(field->takeChildren());
    m->MainTree->setCurrentItem(field);
}

void TGenerateCommands::mnuSQLTemplateClick()
{
    if (SelectedKind() == nkTable)
        TableScript(Selected()->text(0), true);
    else
        mnuPopAddClick(true);
}

// --- Script ------------------------------------------------------------------------------

void TGenerateCommands::TableScript(const QString &table, bool templateMode)
{
    const int caret = CaretLine();
    Report((templateMode ? QStringLiteral("Generating Template from table ")
                         : QStringLiteral("Generating Script for table "))
           + table + QStringLiteral("..."));
    const TTableScriptOptions options {OptionChecked(optNotNull), OptionChecked(optVarchar),
                                       Dialect(TableOf(Selected()).alias)};
    Append(TableScriptLines(m->tab_Orvane, table, templateMode, options));
    Report(m->NodePathText());
    if (templateMode) {
        ReturnCaret(caret);
        ParameterWalk();
    }
    Report(QString());
}

void TGenerateCommands::mnuPopScriptClick()
{
    if (m_busy)
        return;
    const int kind = SelectedKind();
    if (kind != nkAlias && kind != nkTable) {
        Report(QStringLiteral("Script works on an alias or a table."));
        return;
    }
    const QString name = Selected()->text(0);
    if (OptionChecked(optAlias))
        m->Executor().WriteHeader({QStringLiteral("Script")});
    m->CancelFlag = false;
    m->BusyStart();
    try {
        if (kind == nkAlias)
            AliasScript(name);
        else
            TableScript(name, false);
    } catch (const EDatabaseError &e) {
        m->BusyStop();
        ShowError(e.Message());
        return;
    }
    m->BusyStop();
}

void TGenerateCommands::AliasScript(const QString &alias)
{
    const QStringList names = m->AliasTableNames(alias);
    m->BusyStart(int(names.size()));
    const TTableScriptOptions options {OptionChecked(optNotNull), OptionChecked(optVarchar),
                                       Dialect(alias)};
    TAliasScriptHost host;
    // Escape is looked for before every table; the status text changes a few dozen times a
    // second, not once per table, so a thousand small tables are not spent repainting it.
    QElapsedTimer sinceReport;
    host.proceed = [this, &sinceReport](const QString &table) {
        QCoreApplication::processEvents();
        if (m->CancelFlag) {
            Report(QStringLiteral("Canceled by user"));
            return false;
        }
        if (!sinceReport.isValid() || sinceReport.elapsed() >= 30) {
            sinceReport.restart();
            Report(QStringLiteral("Generating Script for table ") + table + QStringLiteral("..."));
        }
        return true;
    };
    // Written into the editor once, at the end or where the user stopped: inserting a
    // thousand pieces one by one costs the editor ten times the reading of the catalog.
    QStringList written;
    host.write = [&written](const QStringList &lines) {
        written += lines;
    };
    host.step = [this] {
        m->BusyStep();
    };
    // Only Escape, painting and scrolling reach the window until the script is written.
    m_busy = true;
    qApp->installEventFilter(this);
    const auto done = qScopeGuard([this, &written] {
        Append(written);
        qApp->removeEventFilter(this);
        m_busy = false;
        if (m_closeAfterBusy) {
            m_closeAfterBusy = false;
            QTimer::singleShot(0, m, &QWidget::close);
        }
    });
    bool whole = false;
    m->tab_Orvane.ReadSnapshot([&] { whole = ::AliasScript(m->tab_Orvane, names, options, host); });
    if (whole)
        Report(QString());
}

// --- Query, Open Table, Join, Group, Index, Table ------------------------------------------

void TGenerateCommands::WriteQuery(const QString &queryName, const QStringList &select)
{
    m->Executor().WriteHeader({QStringLiteral("QueryName:") + queryName});
    Append(select);
    Append({QStringLiteral(";")});
}

void TGenerateCommands::mnuSQLQueryClick()
{
    if (SelectedKind() != nkTable) {
        const int caret = CaretLine();
        Append(QuerySkeletonLines());
        ReturnCaret(caret);
        ParameterWalk();
        return;
    }
    const QString table = Selected()->text(0);
    Report(QStringLiteral("Generating Query from table ") + table + QStringLiteral("..."));
    try {
        const QStringList select = QueryFromTableLines(QueryContext(), table);
        WriteQuery(QStringLiteral("Q_Table") + table, select);
    } catch (const EDatabaseError &e) {
        ShowError(e.Message());
        return;
    }
    Report(m->NodePathText());
}

void TGenerateCommands::mnuSQLOpenTableClick()
{
    if (SelectedKind() != nkTable) {
        Report(QStringLiteral("Open Table works on a table."));
        return;
    }
    const TTableRef ref = TableOf(Selected());
    Report(QStringLiteral("Opening table ") + ref.table + QStringLiteral("..."));
    m->qryCmdsSQL.Close();
    m->qryCmdsSQL.SQL = QStringList {QStringLiteral("Select * from ")
                                     + QuoteTableName(ref.table, Dialect(ref.alias))};
    try {
        Tform_QueryResult *w = m->ResultWindows().OpenResultWindow(
            m->qryCmdsSQL.SQL, QStringLiteral("Table ") + ref.table, 0, true);
        if (w)
            w->SetProjectFile(ProjectFileName(ref.alias, ref.table));
    } catch (const EDatabaseError &e) {
        ShowError(e.Message());
        return;
    }
    Report(m->NodePathText());
}

// The field node a Join starts from or goes to: a field node itself, or a table's first key
// field (the table is expanded and that field selected).
static QTreeWidgetItem *JoinField(QTreeWidget *tree, QTreeWidgetItem *node)
{
    const int kind = NodeKind(node);
    if (IsFieldKind(kind))
        return node;
    if (kind != nkTable)
        return nullptr;
    node->setExpanded(true);
    QTreeWidgetItem *key = FirstKeyField(node);
    if (key)
        tree->setCurrentItem(key);
    return key;
}

void TGenerateCommands::mnuSQLJoinClick()
{
    QTreeWidgetItem *sourceNode = JoinField(m->MainTree, Selected());
    if (!sourceNode) {
        Report(QStringLiteral("Join works on a field or on a table with a key field."));
        return;
    }
    // The source is taken now: finding the target moves the tree, maybe to another alias.
    const TTableRef source = TableOf(sourceNode);
    const QString sourceField = StripType(sourceNode->text(0));
    const QString remembered = m->Value(QStringLiteral("Join"));
    bool ok = false;
    const QString target = QInputDialog::getText(
        m, QStringLiteral("Join"), QStringLiteral("Target field (alias.table.field):"),
        QLineEdit::Normal, remembered.isEmpty() ? m->NodePathText() : remembered, &ok);
    if (!ok || target.trimmed().isEmpty())
        return;
    m->FindByPath(target.trimmed());
    QTreeWidgetItem *targetNode = JoinField(m->MainTree, Selected());
    if (!targetNode || targetNode == sourceNode) {
        Report(QStringLiteral("Target Field not found."));
        return;
    }
    m->SetValue(QStringLiteral("Join"), target.trimmed());
    const TTableRef to = TableOf(targetNode);
    try {
        const QStringList select
            = JoinLines(QueryContext(), source, sourceField, to, StripType(targetNode->text(0)));
        WriteQuery(QStringLiteral("Q_Join") + source.table + u'_' + to.table, select);
    } catch (const EDatabaseError &e) {
        ShowError(e.Message());
    }
}

void TGenerateCommands::mnuPopGroupClick()
{
    QTreeWidgetItem *node = Selected();
    if (!IsFieldKind(NodeKind(node))) {
        Report(QStringLiteral("Group works on a field."));
        return;
    }
    const TTableRef ref = TableOf(node);
    const QString field = StripType(node->text(0));
    try {
        const QStringList select = GroupLines(QueryContext(), ref, field);
        WriteQuery(QStringLiteral("Q_") + ref.table + QStringLiteral("_GROUP") + field, select);
    } catch (const EDatabaseError &e) {
        ShowError(e.Message());
    }
}

void TGenerateCommands::mnuPopIndexClick()
{
    QTreeWidgetItem *node = Selected();
    if (!IsFieldKind(NodeKind(node))) {
        Report(QStringLiteral("Index works on a field."));
        return;
    }
    const TTableRef ref = TableOf(node);
    const int caret = CaretLine();
    Append({IndexSkeletonLine(ref.table, StripType(node->text(0)), Dialect(ref.alias))});
    ReturnCaret(std::max(caret - 1, 0));
    ParameterWalk();
}

void TGenerateCommands::mnuPopTableClick()
{
    QTreeWidgetItem *node = Selected();
    if (!IsFieldKind(NodeKind(node))) {
        Report(QStringLiteral("Table works on a field."));
        return;
    }
    const int caret = CaretLine();
    Append(
        LookupTableLines(node->text(0), OptionChecked(optNotNull), Dialect(TableOf(node).alias)));
    ReturnCaret(caret);
    ParameterWalk();
}

// --- Record menu ---------------------------------------------------------------------------

bool TGenerateCommands::ReadFields(const TTableRef &table, QList<TFieldDef> &fields)
{
    if (!::ReadStructure(m->tab_Orvane, table.table)) {
        ShowError(QStringLiteral("Table ") + table.table + QStringLiteral(" not found."));
        return false;
    }
    fields = m->tab_Orvane.FieldDefs;
    return true;
}

void TGenerateCommands::UpdateWriter(const TTableRef &table, const QList<TFieldDef> &fields,
                                     const QString &keyField, const QString &where)
{
    const int caret = CaretLine();
    Append(UpdateLines(table.table, fields, keyField, where, Dialect(table.alias)));
    Report(m->NodePathText());
    ReturnCaret(caret);
    RecordWalk(fields, table.alias);
}

void TGenerateCommands::mnuRecordUpdateClick()
{
    if (SelectedKind() != nkTable) {
        Report(QStringLiteral("The Record commands work on a table."));
        return;
    }
    const TTableRef ref = TableOf(Selected());
    QList<TFieldDef> fields;
    if (ReadFields(ref, fields))
        UpdateWriter(ref, fields, {}, {});
}

void TGenerateCommands::mnuRecordInsertClick()
{
    QTreeWidgetItem *node = Selected();
    if (NodeKind(node) != nkTable) {
        Report(QStringLiteral("The Record commands work on a table."));
        return;
    }
    const TTableRef ref = TableOf(node);
    node->setExpanded(true);
    if (const QTreeWidgetItem *key = FirstKeyField(node))
        m->SetValue(QStringLiteral("FieldName"), StripType(key->text(0)));
    QList<TFieldDef> fields;
    if (!ReadFields(ref, fields))
        return;
    const int caret = CaretLine();
    Append({InsertKeyLine(ref.table, Dialect(ref.alias))});
    ReturnCaret(caret);
    if (!RecordWalk(fields, ref.alias))
        return;
    const QString keyField = m->Value(QStringLiteral("FieldName"));
    const QString value = m->Value(QStringLiteral("Value"));
    if (keyField.isEmpty() || value.isEmpty())
        return;
    const TSqlDialect d = Dialect(ref.alias);
    ReturnCaret(m->memSQL->document()->blockCount() - 1);
    UpdateWriter(ref, fields, keyField, KeyCondition(keyField, value, fields, d));
}

void TGenerateCommands::mnuRecordDeleteClick()
{
    if (SelectedKind() != nkTable) {
        Report(QStringLiteral("The Record commands work on a table."));
        return;
    }
    const TTableRef ref = TableOf(Selected());
    const int caret = CaretLine();
    Append({DeleteLine(ref.table, Dialect(ref.alias))});
    ReturnCaret(caret);
    ParameterWalk();
}
