#include "FmtScriptCommand.h"

#include "FmtScript.h"
#include "FormatScript.h"
#include "IniFile.h"
#include "Main.h"
#include "ScriptFile.h"
#include "Settings.h"
#include "TreeLogic.h"

#include <QAction>
#include <QPushButton>
#include <QTreeWidget>

TFmtScriptCommand::TFmtScriptCommand(Tform_Main *main)
    : QObject(main)
    , m(main)
{
    setObjectName(QStringLiteral("FmtScriptCommand"));
    connect(m->mnuSQLFmtScrp, &QAction::triggered, this, &TFmtScriptCommand::mnuSQLFmtScrpClick);
    connect(m->mnuPopCodeIn, &QAction::triggered, this, &TFmtScriptCommand::mnuPopCodeInClick);
}

void TFmtScriptCommand::mnuSQLFmtScrpClick()
{
    if (!m_window) {
        m_window = new TfrmFmtScript(m, &m->DB_Orvane.Session());
        m_window->move(m->Ini().ReadInteger(Ini::Config, Ini::FmtLeft, m_window->x()),
                       m->Ini().ReadInteger(Ini::Config, Ini::FmtTop, m_window->y()));
        m_window->Target = m->memSQL;
        m_window->Settings = &m->Ini();
        m_window->Progress = m->prgB;
        m_window->tabSource.DatabaseName = m->DB_Orvane.DatabaseName();
        m_window->OnClosing = [this](TfrmFmtScript *s) {
            FmtClosing(s);
        };
        m_window->OnActivated = [this](TfrmFmtScript *s) {
            FmtActivated(s);
        };
        m_window->OnProgress = [this](int count) {
            FmtProgress(count);
        };
    }
    FmtActivated(m_window);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void TFmtScriptCommand::FmtActivated(TfrmFmtScript *sender)
{
    QTreeWidgetItem *node = m->MainTree->currentItem();
    const int kind = NodeKind(node);
    if (!node || kind == nkLink)
        return;
    if (kind != nkAlias && kind != nkTable) {
        sender->btnApply->setEnabled(false);
        return;
    }
    const QTreeWidgetItem *aliasNode = node;
    while (aliasNode->parent())
        aliasNode = aliasNode->parent();
    // A table is read through the main database, which must be on the table's own alias.
    const QString alias = aliasNode->text(0);
    if (m->DB_Orvane.AliasName().compare(alias, Qt::CaseInsensitive) != 0) {
        m->DB_Orvane.Close();
        m->DB_Orvane.SetAliasName(alias);
    }
    sender->tabSource.TableName = kind == nkTable ? node->text(0) : QString();
    sender->btnApply->setEnabled(true);
}

void TFmtScriptCommand::FmtClosing(TfrmFmtScript *sender)
{
    m->Ini().WriteInteger(Ini::Config, Ini::FmtLeft, sender->x());
    m->Ini().WriteInteger(Ini::Config, Ini::FmtTop, sender->y());
    m_window = nullptr;
}

void TFmtScriptCommand::FmtProgress(int count)
{
    if (count != -1) {
        m->SetStatusText(QStringLiteral("Running Format Script..."));
        m->BusyStart(count);
    } else {
        m->BusyStop();
        m->SetStatusText(m->NodePathText());
    }
}

void TFmtScriptCommand::mnuPopCodeInClick()
{
    TMemoCursor cursor = m->memSQL->textCursor();
    const QString before
        = m->memSQL->document()->LineText(cursor.blockNumber(), 0, cursor.positionInBlock());
    const QString word = before.trimmed();
    if (word.isEmpty()) {
        m->SetStatusText(QStringLiteral("Code Insight expands the word before the caret."));
        return;
    }
    // The word with the blanks between it and the caret: the expansion replaces them all.
    qsizetype trailing = 0;
    while (before[before.size() - 1 - trailing].isSpace())
        ++trailing;
    const int caret = cursor.position();
    cursor.setPosition(caret - int(word.size() + trailing));
    cursor.setPosition(caret, QTextCursor::KeepAnchor);
    m->memSQL->setTextCursor(cursor);
    const QString name = InsightFormat(m->Ini(), word);
    QStringList lines;
    if (name.isEmpty() || !LoadFormat(name, lines)) {
        m->SetStatusText(QStringLiteral("No saved format script is named like \"%1\".").arg(word));
        return;
    }
    cursor.insertText(lines.join(u'\n') + u'\n');
    m->memSQL->setTextCursor(cursor);
}
