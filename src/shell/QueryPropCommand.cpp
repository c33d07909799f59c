#include "QueryPropCommand.h"
#include "IniFile.h"
#include "Main.h"
#include "QueryProp.h"
#include "QueryPropLogic.h"
#include "TreeLogic.h"

#include <QAction>
#include <QLineEdit>
#include <QTreeWidget>

namespace {
const QString Config = QStringLiteral("Config");
}

TQueryPropCommand::TQueryPropCommand(Tform_Main *main)
    : QObject(main)
    , m(main)
{
    setObjectName(QStringLiteral("QueryPropCommand"));
    connect(m->mnuPopQryProp, &QAction::triggered, this, &TQueryPropCommand::mnuPopQryPropClick);
    connect(m->MainTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *node) { MainTreeChange(node); });
}

void TQueryPropCommand::mnuPopQryPropClick()
{
    if (!m_dialog) {
        m_dialog = new TfrmQueryProp(m, &m->DB_Orvane.Session());
        m_dialog->move(m->Ini().ReadInteger(Config, QStringLiteral("PropLeft"), m_dialog->x()),
                       m->Ini().ReadInteger(Config, QStringLiteral("PropTop"), m_dialog->y()));
        m_held.clear();
    }
    if (m->DB_Orvane.AliasName().isEmpty() && m->SelectedKind() == nkAlias) {
        m->DB_Orvane.Close();
        m->DB_Orvane.SetAliasName(m->MainTree->currentItem()->text(0));
    }
    m_dialog->qrySource.DatabaseName = m->DB_Orvane.DatabaseName();
    m_dialog->OnQueryActivate = [this](TfrmQueryProp *s) {
        QueryActivate(s);
    };
    m_dialog->OnQueryChange = [this](TfrmQueryProp *s) {
        QueryChange(s);
    };
    m_dialog->OnQueryClose = [this](TfrmQueryProp *s) {
        QueryClose(s);
    };
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

QString TQueryPropCommand::SelectedText() const
{
    const TMemoCursor c = m->memSQL->textCursor();
    return m->memSQL->document()->Text(c.selectionStart(), c.selectionEnd() - c.selectionStart());
}

void TQueryPropCommand::QueryActivate(TfrmQueryProp *sender)
{
    const TMemoCursor cursor = m->memSQL->textCursor();
    if (!cursor.hasSelection()) {
        LocateStatement();
        if (!m->memSQL->textCursor().hasSelection()) {
            sender->qrySource.Close();
            sender->qrySource.SQL.clear();
            m_held.clear();
            sender->setWindowTitle(QStringLiteral("Query Properties"));
            sender->LoadQuery();
            return;
        }
    }
    const QString text = SelectedText();
    if (ComparisonForm(text) == ComparisonForm(sender->qrySource.SQL.join(u'\n'))) {
        m_held = text;
        return;
    }
    // A selection of the user's own: the directives above its first line apply.
    if (cursor.hasSelection())
        Locate(m->memSQL->document()->findBlock(cursor.selectionStart()).blockNumber(), false);
    Reload(m_queryName);
}

void TQueryPropCommand::Reload(const QString &queryName)
{
    m_held = SelectedText();
    m_dialog->qrySource.Close();
    m_dialog->qrySource.SQL = m_held.split(u'\n');
    m_dialog->setWindowTitle(queryName.isEmpty() ? QStringLiteral("Query Properties") : queryName);
    m_dialog->LoadQuery();
}

void TQueryPropCommand::QueryChange(TfrmQueryProp *sender)
{
    // The caret may have moved since the window read the statement: the change then
    // belongs to a statement that is no longer selected, and the window reads again.
    if (m_held.isEmpty() || ComparisonForm(SelectedText()) != ComparisonForm(m_held)) {
        TMemoCursor c = m->memSQL->textCursor();
        c.clearSelection();
        m->memSQL->setTextCursor(c);
        QueryActivate(sender);
        m->SetStatusText(QStringLiteral("The statement changed in the editor and was read again."));
        return;
    }
    const QString text = sender->qrySource.SQL.join(u'\n');
    TMemoCursor c = m->memSQL->textCursor();
    c.insertText(text);
    m->memSQL->setTextCursor(c); // the statement is found again from the caret's new line
    LocateStatement();
    m_held = SelectedText();
}

void TQueryPropCommand::QueryClose(TfrmQueryProp *sender)
{
    m->Ini().WriteInteger(Config, QStringLiteral("PropLeft"), sender->x());
    m->Ini().WriteInteger(Config, QStringLiteral("PropTop"), sender->y());
    m_dialog = nullptr;
    m_held.clear();
    TMemoCursor c = m->memSQL->textCursor();
    c.clearSelection();
    m->memSQL->setTextCursor(c);
}

QString TQueryPropCommand::LocateStatement()
{
    return Locate(m->memSQL->textCursor().blockNumber(), true);
}

QString TQueryPropCommand::Locate(int line, bool select)
{
    const QStringList lines = m->memSQL->toPlainText().split(u'\n');
    const TStatementSpot spot = ::LocateStatement(lines, line);
    if (m_dialog) {
        // Each statement names its own alias; without a directive it runs on the main one.
        m_dialog->qrySource.DatabaseName = m->DB_Orvane.DatabaseName();
        if (!spot.Alias.isEmpty()
            && spot.Alias.compare(m->DB_Orvane.AliasName(), Qt::CaseInsensitive) != 0)
            m_dialog->qrySource.DatabaseName = spot.Alias;
    }
    m_queryName = spot.QueryName;
    if (select && spot.Length > 0) {
        TMemoCursor c = m->memSQL->textCursor();
        c.setPosition(spot.Start);
        c.setPosition(spot.Start + spot.Length, QTextCursor::KeepAnchor);
        m->memSQL->setTextCursor(c);
    }
    return spot.QueryName;
}

void TQueryPropCommand::MainTreeChange(QTreeWidgetItem *node)
{
    if (!m_dialog || !node)
        return;
    const int kind = NodeKind(node);
    const int clause = kind == nkTable                   ? piFrom
        : kind == nkField                                ? piItem
        : kind == nkPrimaryField || kind == nkIndexField ? piOrderBy
                                                         : -1;
    if (kind != nkTable && kind != nkField && clause < 0 && kind != nkLink)
        return;
    if (clause >= 0)
        m_dialog->FindClause(clause);
    QString text = StripType(node->text(0));
    if (kind == nkTable)
        text = node->text(0);
    else if (kind == nkField && node->parent())
        text = node->parent()->text(0) + u'.' + text;
    m_dialog->edtProp->setText(text);
}
