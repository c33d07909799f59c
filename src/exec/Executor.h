#pragma once

// The script executor: runs the editor's lines statement by statement.
//
// How the main window wires it (a few lines in Tform_Main):
//
//   TExecutorHost host;
//   host.Lines = [this] { return memSQL->Lines(); };
//   host.SetStatus = [this](const QString &t) { stbSQL->showMessage(t); };
//   host.RepaintStatus = [this] { stbSQL->repaint(); };
//   host.SelectLine = [this](int line) { SelectLine(line); }; // caret to column 0, line selected
//   host.FocusEditor = [this] { memSQL->setFocus(); };
//   host.Refresh = [this] { Refresh(); };                      // tree, back to the same node
//   host.Busy = [this](bool on) { on ? ani->start() : ani->stop(); };
//   host.NodePath = [this] { return NodePath(); };
//   host.LiveAnswerOption = [this] { return OptionChecked(0); };
//   host.AliasOption = [this] { return OptionChecked(1); };
//   host.SelectedAliasNode = [this] { return aliasNodeSelected ? node->text(0) : QString(); };
//   host.AppendLines = [this](const QStringList &l) { AppendToEditor(l); };
//   host.OpenResultWindow = m_results->Opener(); // m_results: TResultWindows (ResultWindows.h)
//   m_executor = std::make_unique<TExecutor>(DB_Orvane, qryCmdsSQL, host);
//
// mnuSQLExecute (F9), btnExecute and mnuPopExecute all connect to mnuSQLExecuteClick, whose
// body is `m_executor->Execute();`. The generators call `m_executor->WriteHeader(lines)`.

#include "ScriptSplitter.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>

class TDatabase;
class TQuery;

// What the executor needs of the main window. Every member may be left empty.
struct TExecutorHost
{
    std::function<QStringList()> Lines; // the editor's lines
    std::function<void(const QString &)> SetStatus;
    std::function<void()> RepaintStatus; // called at most a few times a second during a run
    std::function<void(int line)> SelectLine; // 0-based; caret to column 0, whole line selected
    std::function<void()> FocusEditor;
    std::function<void()> Refresh;
    std::function<void(bool on)> Busy;
    std::function<QString()> NodePath;
    std::function<bool()> LiveAnswerOption;
    std::function<bool()> AliasOption;
    // The selected node's text when it is an alias node, otherwise empty.
    std::function<QString()> SelectedAliasNode;
    std::function<void(const QStringList &)> AppendLines; // at the end of the editor
    // Shows the statement's result in a window; throws EDatabaseError when it cannot open.
    std::function<void(const QStringList &sql, const QString &name, int number, bool live)>
        OpenResultWindow;
};

class TExecutor
{
public:
    TExecutor(TDatabase &db, TQuery &query, TExecutorHost host);

    // The Execute command: runs the editor's script with the busy animation on, and puts the
    // node path in the status bar when every statement succeeded.
    bool Execute();
    // Returns true when every statement succeeded, false at the first failure.
    bool RunScript(const QStringList &lines);
    // Appends the directive comment block, with the given lines first, to the editor.
    void WriteHeader(const QStringList &lines);

    const QString &ErrorText() const { return m_errorText; }
    int SelectCount() const { return m_selectCount; }
    bool Changed() const { return m_changed; }
    bool LiveAnswer() const { return m_liveAnswer; }
    const QString &QueryName() const { return m_queryName; }

    // Status texts, kept here so that the tests and the main window agree on them.
    static QString ExecutingText(const QString &line, int lineIndex);
    static QString ErrorStatusText(const QString &errorText);
    static QString HeaderAlias(const QString &selectedAliasNode, const QString &dbAlias);

private:
    void Status(const QString &text, bool force);
    bool ExecuteStatement();
    bool Fail();
    void ApplyDirective(TDirectiveKey key, const QString &value);

    TDatabase &m_db;
    TQuery &m_query;
    TExecutorHost m_host;
    QElapsedTimer m_repaintClock;

    int m_startLine = 0;
    int m_selectCount = 0;
    bool m_changed = false;
    bool m_liveAnswer = false;
    QString m_queryName;
    QString m_errorText;
};
