// The main window's commands: menu items, tool buttons and popup menus.
#include "About.h"
#include "AskParam.h"
#include "CompareCommand.h"
#include "EditorCommands.h"
#include "EngineError.h"
#include "Executor.h"
#include "FmtScriptCommand.h"
#include "GenerateCommands.h"
#include "Icons.h"
#include "Main.h"
#include "MessageDlg.h"
#include "NewAliasDialog.h"
#include "Options.h"
#include "QueryPropCommand.h"
#include "ResultWindows.h"
#include "RunGuard.h"
#include "Session.h"
#include "TreeLogic.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

QAction *Tform_Main::NewAction(const char *name, const char *caption, const QKeySequence &shortcut)
{
    auto *action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}

QAction *Tform_Main::NewButton(const char *name, const char *hint, const char *image)
{
    auto *action
        = new QAction(OrvaneIcon(QString::fromLatin1(image)), QString::fromUtf8(hint), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(QString::fromUtf8(hint));
    return action;
}

void Tform_Main::CreateActions()
{
    btnFileNew = NewButton("btnFileNew", "New File (Ctrl+N)", "file-new");
    btnFileOpen = NewButton("btnFileOpen", "Open File (Ctrl+O)", "file-open");
    btnFileSave = NewButton("btnFileSave", "Save File (Ctrl+S)", "file-save");
    btnRefresh = NewButton("btnRefresh", "Refresh (Ctrl+R): Update the tree", "refresh");
    btnParameters
        = NewButton("btnParameters", "Edit Parameters (between \"<\" and \">\")", "parameters");
    btnFind = NewButton("btnFind", "Find in Tree (F3)", "find-tree");
    btnFindCmd = NewButton("btnFindCmd", "Find Command (Ctrl+F)", "find-command");
    btnCompare = NewButton("btnCompare", "Compare", "compare");
    btnAdd = NewButton("btnAdd", "Add", "add");
    btnDrop = NewButton("btnDrop", "Drop", "drop");
    btnTemplate = NewButton("btnTemplate", "Template", "template");
    btnScript = NewButton("btnScript", "Script", "script");
    btnExecute = NewButton("btnExecute", "Execute Script (F9)", "execute");
    btnStop = NewButton("btnStop", "Stop the running statement (Esc)", "stop");
    btnQuery = NewButton("btnQuery", "Query (Ctrl+Q)", "query");
    btnFileSave->setEnabled(false);

    mnuFileNew = NewAction("mnuFileNew", "New", Qt::CTRL | Qt::Key_N);
    mnuFileOpen = NewAction("mnuFileOpen", "Open...", Qt::CTRL | Qt::Key_O);
    mnuFileSave = NewAction("mnuFileSave", "Save", Qt::CTRL | Qt::Key_S);
    mnuFileSave->setEnabled(false);
    mnuFileSaveAs = NewAction("mnuFileSaveAs", "Save As...");
    mnuFileExit = NewAction("mnuFileExit", "Exit");

    mnuEdtRefresh = NewAction("mnuEdtRefresh", "Refresh", Qt::CTRL | Qt::Key_R);
    mnuEdtUndo = NewAction("mnuEdtUndo", "&Undo", QKeySequence::Undo);
    mnuEdtRedo = NewAction("mnuEdtRedo", "&Redo", QKeySequence::Redo);
    mnuEdtCut = NewAction("mnuEdtCut", "Cu&t", QKeySequence::Cut);
    mnuEdtCopy = NewAction("mnuEdtCopy", "&Copy", QKeySequence::Copy);
    mnuEdtPaste = NewAction("mnuEdtPaste", "&Paste", QKeySequence::Paste);
    mnuEdtSelectAll = NewAction("mnuEdtSelectAll", "Select &All", QKeySequence::SelectAll);
    mnuEdtParameters = NewAction("mnuEdtParameters", "Parameters");
    mnuEdtFind = NewAction("mnuEdtFind", "Find", Qt::Key_F3);
    mnuEdtFindCmd = NewAction("mnuEdtFindCmd", "Find Command", Qt::CTRL | Qt::Key_F);
    mnuEdtCompare = NewAction("mnuEdtCompare", "Compare");
    mnuEdtNewParam = NewAction("mnuEdtNewParam", "New Param", Qt::CTRL | Qt::Key_W);
    mnuEdtGotoLine = NewAction("mnuEdtGotoLine", "Goto Line...");

    mnuSQLAdd = NewAction("mnuSQLAdd", "Add", Qt::CTRL | Qt::Key_Insert);
    mnuSQLDrop = NewAction("mnuSQLDrop", "Drop", Qt::CTRL | Qt::Key_Delete);
    mnuSQLTemplate = NewAction("mnuSQLTemplate", "Template");
    mnuSQLScript = NewAction("mnuSQLScript", "Script...", Qt::Key_F8);
    mnuSQLFmtScrp = NewAction("mnuSQLFmtScrp", "Format Script");
    mnuSQLExecute = NewAction("mnuSQLExecute", "Execute SQL...", Qt::Key_F9);
    mnuSQLStop = NewAction("mnuSQLStop", "Stop");
    mnuSQLQuery = NewAction("mnuSQLQuery", "Query", Qt::CTRL | Qt::Key_Q);
    mnuSQLOpenTable = NewAction("mnuSQLOpenTable", "Open Table", Qt::Key_F7);
    mnuSQLJoin = NewAction("mnuSQLJoin", "Join...");
    mnuSQLOpt = NewAction("mnuSQLOpt", "Options...");

    mnuRecordUpdate = NewAction("mnuRecordUpdate", "Update");
    mnuRecordInsert = NewAction("mnuRecordInsert", "Insert");
    mnuRecordDelete = NewAction("mnuRecordDelete", "Delete");
    mnuHelpQuickTour = NewAction("mnuHelpQuickTour", "Quick Tour");
    mnuHelpAbout = NewAction("mnuHelpAbout", "About...");

    mnuPopRefresh = NewAction("mnuPopRefresh", "Refresh");
    mnuPopAdd = NewAction("mnuPopAdd", "Add");
    mnuPopDrop = NewAction("mnuPopDrop", "Drop");
    mnuPopScript = NewAction("mnuPopScript", "Script...");
    mnuPopGroup = NewAction("mnuPopGroup", "Group");
    mnuPopIndex = NewAction("mnuPopIndex", "Index");
    mnuPopTable = NewAction("mnuPopTable", "Table");
    mnuPopLinkEdit = NewAction("mnuPopLinkEdit", "Edit", Qt::CTRL | Qt::SHIFT | Qt::Key_F2);
    mnuPopLinkGoto = NewAction("mnuPopLinkGoto", "Go to", Qt::CTRL | Qt::SHIFT | Qt::Key_F3);
    mnuPopLinkRemove = NewAction("mnuPopLinkRemove", "Remove");
    mnuPopHTML = NewAction("mnuPopHTML", "HTML");
    mnuPopQuery = NewAction("mnuPopQuery", "Query");
    mnuPopOpenTable = NewAction("mnuPopOpenTable", "Open Table");
    mnuPopProps = NewAction("mnuPopProps", "Properties", Qt::CTRL | Qt::Key_F11);
    for (QAction *hidden : {mnuPopGroup, mnuPopIndex, mnuPopTable, mnuPopHTML, mnuPopProps})
        hidden->setVisible(false);
    mnuPopOpenTable->setEnabled(false);

    mnuPopCodeIn = NewAction("mnuPopCodeIn", "Code Insight", Qt::CTRL | Qt::Key_J);
    mnuPopParameters = NewAction("mnuPopParameters", "Parameters");
    mnuPopGotoT = NewAction("mnuPopGotoT", "Goto Tree", Qt::CTRL | Qt::Key_F3);
    mnuPopQryProp = NewAction("mnuPopQryProp", "Query Properties", Qt::Key_F11);
    mnuPopExecute = NewAction("mnuPopExecute", "Execute SQL...");

    for (QAction *a : {mnuEdtRefresh, mnuPopRefresh, btnRefresh})
        connect(a, &QAction::triggered, this, &Tform_Main::mnuEdtRefreshClick);
    for (QAction *a : {mnuEdtFind, btnFind})
        connect(a, &QAction::triggered, this, &Tform_Main::mnuEdtFindClick);
    connect(mnuPopGotoT, &QAction::triggered, this, &Tform_Main::mnuPopGotoTClick);
    connect(mnuSQLOpt, &QAction::triggered, this, &Tform_Main::mnuSQLOptClick);
    connect(mnuFileExit, &QAction::triggered, this, &Tform_Main::mnuFileExitClick);
}

void Tform_Main::CreateMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuMain"));
    auto menu = [&](const char *name, const char *caption, QList<QAction *> items) {
        QMenu *m = bar->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        for (QAction *a : items) {
            if (a)
                m->addAction(a);
            else
                m->addSeparator();
        }
        return m;
    };
    mnuFile = menu("mnuFile", "File",
                   {mnuFileNew, mnuFileOpen, mnuFileSave, mnuFileSaveAs, nullptr, mnuFileExit});
    mnuEdit = menu("mnuEdit", "Edit",
                   {mnuEdtUndo, mnuEdtRedo, nullptr, mnuEdtCut, mnuEdtCopy, mnuEdtPaste,
                    mnuEdtSelectAll, nullptr, mnuEdtRefresh, mnuEdtParameters, nullptr, mnuEdtFind,
                    mnuEdtFindCmd, mnuEdtCompare, nullptr, mnuEdtNewParam, mnuEdtGotoLine});
    mnuSQL = menu("mnuSQL", "SQL",
                  {mnuSQLAdd, mnuSQLDrop, mnuSQLTemplate, nullptr, mnuSQLScript, mnuSQLFmtScrp,
                   mnuSQLExecute, mnuSQLStop, nullptr, mnuSQLQuery, mnuSQLOpenTable, mnuSQLJoin,
                   mnuSQLOpt});
    mnuRecord = menu("mnuRecord", "Record", {mnuRecordUpdate, mnuRecordInsert, mnuRecordDelete});
    mnuRecord->menuAction()->setEnabled(false);
    mnuHelp = menu("mnuHelp", "Help", {mnuHelpQuickTour, mnuHelpAbout});

    popTree = new QMenu(this);
    popTree->setObjectName(QStringLiteral("popTree"));
    popTree->addActions({mnuPopRefresh, mnuPopAdd, mnuPopDrop});
    popTree->addSeparator();
    popTree->addActions({mnuPopScript, mnuPopGroup, mnuPopIndex, mnuPopTable});
    popTree->addSeparator();
    QMenu *link = popTree->addMenu(QStringLiteral("Link..."));
    link->setObjectName(QStringLiteral("mnuPopLink"));
    link->addActions({mnuPopLinkEdit, mnuPopLinkGoto, mnuPopLinkRemove});
    mnuPopLink = link->menuAction();
    mnuPopLink->setObjectName(QStringLiteral("mnuPopLink"));
    mnuPopLink->setVisible(false);
    popTree->addAction(mnuPopHTML);
    popTree->addSeparator();
    popTree->addActions({mnuPopQuery, mnuPopOpenTable, mnuPopProps});

    popMem = new QMenu(this);
    popMem->setObjectName(QStringLiteral("popMem"));
    popMem->addActions({mnuPopCodeIn, mnuPopParameters, mnuPopGotoT, mnuPopQryProp, mnuPopExecute});
}

void Tform_Main::CreateToolBar()
{
    toolBCtrl = new QToolBar(panCtrl);
    toolBCtrl->setObjectName(QStringLiteral("toolBCtrl"));
    toolBCtrl->setIconSize(QSize(16, 16));
    toolBCtrl->setMovable(false);
    toolBCtrl->setFloatable(false);
    toolBCtrl->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBCtrl->setStyleSheet(QStringLiteral("QToolBar { border: none; spacing: 1px; }"));
    const QList<QAction *> buttons {btnFileNew,    btnFileOpen, btnFileSave, nullptr,    btnRefresh,
                                    btnParameters, btnFind,     btnFindCmd,  btnCompare, nullptr,
                                    btnAdd,        btnDrop,     btnTemplate, btnScript,  btnExecute,
                                    btnStop,       btnQuery,    nullptr};
    for (QAction *a : buttons) {
        if (!a) {
            toolBCtrl->addSeparator();
            continue;
        }
        toolBCtrl->addAction(a);
        QWidget *button = toolBCtrl->widgetForAction(a);
        button->setObjectName(a->objectName());
        button->setFixedWidth(25);
    }
    cmbBookMark = new QComboBox(toolBCtrl);
    cmbBookMark->setObjectName(QStringLiteral("cmbBookMark"));
    cmbBookMark->setEditable(true);
    cmbBookMark->setInsertPolicy(QComboBox::NoInsert);
    cmbBookMark->setFixedWidth(136);
    cmbBookMark->setToolTip(QStringLiteral("Bookmarks"));
    toolBCtrl->addWidget(cmbBookMark);
    connect(cmbBookMark, &QComboBox::activated, this, &Tform_Main::cmbBookMarkClick);
}

// The standard edit commands act on the text widget with the focus, else on the editor.
void Tform_Main::CreateStandardEditCommands()
{
    auto bind = [this](QAction *action, auto line, auto plain, auto memo) {
        connect(action, &QAction::triggered, this, [this, line, plain, memo] {
            QWidget *focus = QApplication::focusWidget();
            if (auto *box = qobject_cast<QComboBox *>(focus); box && box->lineEdit())
                focus = box->lineEdit(); // an editable box passes the focus to its edit
            if (auto *edit = qobject_cast<QLineEdit *>(focus))
                (edit->*line)();
            else if (auto *text = qobject_cast<QPlainTextEdit *>(focus))
                (text->*plain)();
            else if (auto *editor = qobject_cast<TColorMemo *>(focus))
                (editor->*memo)();
            else
                (memSQL->*memo)();
        });
    };
    bind(mnuEdtUndo, &QLineEdit::undo, &QPlainTextEdit::undo, &TColorMemo::undo);
    bind(mnuEdtRedo, &QLineEdit::redo, &QPlainTextEdit::redo, &TColorMemo::redo);
    bind(mnuEdtCut, &QLineEdit::cut, &QPlainTextEdit::cut, &TColorMemo::cut);
    bind(mnuEdtCopy, &QLineEdit::copy, &QPlainTextEdit::copy, &TColorMemo::copy);
    bind(mnuEdtPaste, &QLineEdit::paste, &QPlainTextEdit::paste, &TColorMemo::paste);
    bind(mnuEdtSelectAll, &QLineEdit::selectAll, &QPlainTextEdit::selectAll,
         &TColorMemo::selectAll);
}

// The executor, the result windows and the editor commands, once the settings are read.
void Tform_Main::CreateSubsystems()
{
    CreateStandardEditCommands();
    m_results = new TResultWindows(this, DB_Orvane, *m_ini);

    TExecutorHost run;
    run.Lines = [this] {
        return TEditorCommands::EditorLines(memSQL);
    };
    run.SetStatus = [this](const QString &t) {
        SetStatusText(t);
    };
    run.RepaintStatus = [this] {
        lblStatus->repaint();
    };
    run.SelectLine = [this](int line) {
        SelectLine(line);
    };
    run.FocusEditor = [this] {
        memSQL->setFocus(Qt::OtherFocusReason);
    };
    run.Refresh = [this] {
        mnuEdtRefreshClick();
    };
    m_runGuard = new TRunGuard(this, {btnStop, mnuSQLStop});
    run.Busy = [this](bool on) {
        if (on) {
            m_runGuard->Begin();
            AnimationStart();
        } else {
            AnimationStop();
            m_runGuard->End();
        }
    };
    run.NodePath = [this] {
        return NodePathText();
    };
    run.LiveAnswerOption = [] {
        return OptionChecked(0);
    };
    run.AliasOption = [] {
        return OptionChecked(1);
    };
    run.SelectedAliasNode = [this] {
        return SelectedKind() == nkAlias ? MainTree->currentItem()->text(0) : QString();
    };
    run.AppendLines = [this](const QStringList &lines) {
        for (const QString &line : lines)
            memSQL->appendPlainText(line);
    };
    run.OpenResultWindow = m_results->Opener();
    m_executor = std::make_unique<TExecutor>(DB_Orvane, qryCmdsSQL, run);

    TEditorHost edit;
    edit.window = this;
    edit.editor = memSQL;
    edit.ini = m_ini.get();
    edit.values = &m_values;
    edit.nodePath = [this] {
        return NodePathText();
    };
    edit.findByPath = [this](const QString &p) {
        FindByPath(p);
    };
    edit.setStatus = [this](const QString &t) {
        SetStatusText(t);
    };
    edit.openDataFile = [this](const QString &f) {
        OpenDataFileAlias(f);
    };
    edit.fileNew = [this] {
        ParamCounter = 1;
    };
    edit.selectedNode = [this](int &kind, QString &text) {
        kind = SelectedKind();
        text = MainTree->currentItem() ? MainTree->currentItem()->text(0) : QString();
    };
    // A node dropped on the editor writes its script there.
    edit.dropOnEditor = [this] {
        mnuSQLScript->trigger();
    };
    edit.saveActions = {btnFileSave, mnuFileSave};
    edit.executeActions = {mnuSQLExecute, mnuPopExecute};
    m_editorCmds = new TEditorCommands(edit, this);

    TEditorCommands *cmds = m_editorCmds;
    for (QAction *a : {mnuSQLExecute, btnExecute, mnuPopExecute})
        connect(a, &QAction::triggered, this, &Tform_Main::mnuSQLExecuteClick);
    for (QAction *a : {mnuFileNew, btnFileNew})
        connect(a, &QAction::triggered, cmds, &TEditorCommands::mnuFileNewClick);
    for (QAction *a : {mnuFileOpen, btnFileOpen})
        connect(a, &QAction::triggered, cmds, &TEditorCommands::mnuFileOpenClick);
    for (QAction *a : {mnuFileSave, btnFileSave})
        connect(a, &QAction::triggered, cmds, &TEditorCommands::mnuFileSaveClick);
    connect(mnuFileSaveAs, &QAction::triggered, cmds, &TEditorCommands::mnuFileSaveAsClick);
    for (QAction *a : {mnuEdtFindCmd, btnFindCmd})
        connect(a, &QAction::triggered, cmds, &TEditorCommands::mnuEdtFindCmdClick);
    connect(mnuEdtGotoLine, &QAction::triggered, cmds, &TEditorCommands::mnuEdtGotoLineClick);
    connect(mnuHelpQuickTour, &QAction::triggered, cmds, &TEditorCommands::mnuHelpQuickTourClick);
    connect(mnuHelpAbout, &QAction::triggered, this,
            [this] { mnuHelpAboutClick(this, memSQL->textCursor().selectedText()); });
    connect(popMem, &QMenu::aboutToShow, cmds,
            [this, cmds] { cmds->popMemPopup(mnuPopParameters); });
    for (QAction *a : {mnuEdtParameters, btnParameters})
        connect(a, &QAction::triggered, this, &Tform_Main::mnuEdtParametersClick);
    connect(mnuPopParameters, &QAction::triggered, this, &Tform_Main::mnuPopParametersClick);
    connect(mnuEdtNewParam, &QAction::triggered, this, &Tform_Main::mnuEdtNewParamClick);
    CreateLinkCommands();
    new TGenerateCommands(this);
    new TQueryPropCommand(this);
    new TCompareCommand(this);
    new TFmtScriptCommand(this);
}

void Tform_Main::mnuSQLExecuteClick()
{
    m_executor->Execute();
}

TParamContext Tform_Main::ParamContext()
{
    return {this, &Ini(), nullptr, DB_Orvane.DatabaseName(), tab_Orvane.TableName};
}

void Tform_Main::mnuEdtParametersClick()
{
    memSQL->moveCursor(QTextCursor::Start);
    ParamWalkEditor(memSQL, 0, RememberedValues(), ParamContext());
}

void Tform_Main::mnuPopParametersClick()
{
    ParamWalkEditor(memSQL, memSQL->textCursor().blockNumber(), RememberedValues(), ParamContext());
}

void Tform_Main::mnuEdtNewParamClick()
{
    NewParam(memSQL, ParamCounter);
}

void Tform_Main::OpenDataFileAlias(const QString &fileName)
{
    try {
        SetNodePathText(
            OpenDataFile(fileName, DB_Orvane.Session(), DataFileCounter, SessionAliases));
        mnuEdtRefreshClick();
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
    }
}
