#include "Main.h"
#include "Application.h"
#include "BusyIndicator.h"
#include "EditorCommands.h"
#include "EngineError.h"
#include "Executor.h"
#include "FileType.h"
#include "FormatScript.h"
#include "IniFile.h"
#include "LoginDialog.h"
#include "Logins.h"
#include "MessageDlg.h"
#include "Options.h"
#include "QueryResult.h"
#include "ResultWindows.h"
#include "Session.h"
#include "Settings.h"
#include "TreeLogic.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

// Settings that cannot be written must not cost the user the window: the message is shown
// and the step is left out.
static void ShowingErrors(const std::function<void()> &step)
{
    try {
        step();
    } catch (const std::exception &e) {
        TApplication::ShowException(e);
    }
}

Tform_Main::Tform_Main(QWidget *parent)
    : TfrmBase(parent)
    , DB_Orvane(MainDatabaseName)
{
    setObjectName(QStringLiteral("form_Main"));
    setWindowTitle(QStringLiteral("Orvane"));
    tab_Orvane.DatabaseName = MainDatabaseName;
    qryCmdsSQL.DatabaseName = MainDatabaseName;
    qryJoin.DatabaseName = MainDatabaseName;
    DB_Orvane.OnLogin = [this](TDatabase &db, QStringList &params) {
        DB_OrvaneLogin(db, params);
    };
    // Databases opened by alias name for a lookup or a link log in the same way.
    DB_Orvane.Session().OnLogin = DB_Orvane.OnLogin;
    CreateControls();
    FormCreate();
    qApp->installEventFilter(this);
}

Tform_Main::~Tform_Main()
{
    qApp->removeEventFilter(this);
    DB_Orvane.Session().OnLogin = nullptr;
    FormDestroy();
}

void Tform_Main::CreateControls()
{
    // The design sizes were made for a 10-pixel font; they grow with the system font as a
    // scaled form does, so that a first start shows tree texts and tool bar uncut.
    m_scale = std::max(1.0, fontMetrics().height() / 10.0);
    setGeometry(17, 12, qRound(601 * m_scale), qRound(433 * m_scale));
    CreateActions();
    CreateMenus();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panCtrl = new QWidget(central);
    panCtrl->setObjectName(QStringLiteral("panCtrl"));
    panCtrl->setFixedHeight(42);
    CreateToolBar();
    prgB = new QProgressBar(panCtrl);
    prgB->setObjectName(QStringLiteral("prgB"));
    prgB->setRange(0, 100);
    prgB->setFixedSize(382, 10);
    prgB->setTextVisible(false);
    prgB->hide();
    ani = new TBusyIndicator(panCtrl);
    ani->setObjectName(QStringLiteral("ani"));
    ani->setFixedSize(49, 42);
    auto *left = new QVBoxLayout;
    left->setContentsMargins(2, 0, 0, 0);
    left->setSpacing(1);
    left->addWidget(toolBCtrl);
    left->addWidget(prgB);
    left->addStretch();
    auto *panLayout = new QHBoxLayout(panCtrl);
    panLayout->setContentsMargins(0, 0, 0, 0);
    panLayout->addLayout(left);
    panLayout->addStretch();
    panLayout->addWidget(ani);
    layout->addWidget(panCtrl);

    splTreeMemo = new QSplitter(Qt::Horizontal, central);
    splTreeMemo->setObjectName(QStringLiteral("splTreeMemo"));
    splTreeMemo->setHandleWidth(3);
    splTreeMemo->setChildrenCollapsible(false);
    MainTree = new QTreeWidget(splTreeMemo);
    MainTree->setObjectName(QStringLiteral("MainTree"));
    MainTree->setHeaderHidden(true);
    MainTree->setIndentation(19);
    MainTree->setIconSize(QSize(16, 16));
    MainTree->setUniformRowHeights(true);
    // Long field texts scroll sideways instead of being cut off.
    MainTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    MainTree->header()->setResizeContentsPrecision(0); // the rows in view decide
    MainTree->header()->setStretchLastSection(false);
    MainTree->setTextElideMode(Qt::ElideNone);
    MainTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MainTree->setDragEnabled(true);
    MainTree->setDragDropMode(QAbstractItemView::DragOnly);
    MainTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(MainTree, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (QTreeWidgetItem *node = MainTree->itemAt(at))
            MainTree->setCurrentItem(node);
        popTree->popup(MainTree->viewport()->mapToGlobal(at));
    });
    connect(MainTree, &QTreeWidget::itemExpanded, this, &Tform_Main::MainTreeExpanding);
    connect(MainTree, &QTreeWidget::itemCollapsed, this, &Tform_Main::MainTreeCollapsed);
    connect(MainTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *node) { MainTreeChange(node); });
    PlaceEditor();
    splTreeMemo->setStretchFactor(1, 1);
    // The popup menus' shortcuts work where their popup belongs.
    for (QAction *a : popTree->actions() + popTree->findChild<QMenu *>("mnuPopLink")->actions()) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        MainTree->addAction(a);
    }
    for (QAction *a : popMem->actions()) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        memSQL->addAction(a);
    }
    layout->addWidget(splTreeMemo, 1);
    setCentralWidget(central);

    stbSQL = new QStatusBar(this);
    stbSQL->setObjectName(QStringLiteral("stbSQL"));
    stbSQL->setSizeGripEnabled(true);
    lblStatus = new QLabel(stbSQL);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setMinimumWidth(1); // long paths must not widen the window
    lblStatus->setTextFormat(Qt::PlainText); // names and engine messages are never markup
    stbSQL->addWidget(lblStatus, 1);
    setStatusBar(stbSQL);
}

// The one place that places the base form's editor.
void Tform_Main::PlaceEditor()
{
    takeCentralWidget();
    splTreeMemo->addWidget(memSQL);
    memSQL->clear();
    memSQL->document()->setModified(false);
    memSQL->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memSQL, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { popMem->popup(memSQL->viewport()->mapToGlobal(at)); });
}

void Tform_Main::FormCreate()
{
    setWindowTitle(ApplicationTitle);
    DataFileCounter = 0;
    ParamCounter = 1;
    try {
        FillAliases();
        if (const QString error = DB_Orvane.Session().TakeStartError(); !error.isEmpty())
            MessageDlg(error, TMsgDlgType::Error, QMessageBox::Ok);
        // A typed script runs at once: the main database is on the first alias.
        if (QTreeWidgetItem *first = MainTree->topLevelItem(0)) {
            DB_Orvane.SetAliasName(first->text(0));
            MainTree->setCurrentItem(first);
        }
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
    }
    m_values.clear();
    SessionAliases.clear();
    m_ini = std::make_unique<TIniFile>(OrvaneIniFileName());
    ShowingErrors([this] {
        if (WriteFirstStartFormatScripts(*m_ini))
            InstallSampleFormats();
    });
    CreateSubsystems();
    const QRect g = geometry();
    move(m_ini->ReadInteger(Ini::Config, Ini::Left, x()),
         m_ini->ReadInteger(Ini::Config, Ini::Top, y()));
    resize(m_ini->ReadInteger(Ini::Config, Ini::Width, g.width()),
           m_ini->ReadInteger(Ini::Config, Ini::Height, g.height()));
    m_treeWidth = m_ini->ReadInteger(Ini::Config, Ini::TreeWidth, qRound(185 * m_scale));
    splTreeMemo->setSizes({m_treeWidth, std::max(width() - m_treeWidth, 100)});
}

void Tform_Main::showEvent(QShowEvent *event)
{
    TfrmBase::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tform_Main::FormShow()
{
    ShowingErrors([] {
        RegisterScriptFileType(QCoreApplication::applicationFilePath(),
                               TFileTypeFolders::FromEnvironment());
    });
    if (m_ini->ReadString(Ini::Config, Ini::Welcome).isEmpty()) {
        ShowingErrors(
            [this] { m_ini->WriteString(Ini::Config, Ini::Welcome, QStringLiteral("2")); });
        // A script given on the command line is the user's file: the welcome stays out.
        if (memSQL->document()->isEmpty())
            for (const char *line : {"/*******************", "Welcome to Orvane 2",
                                     "Thank you for trying this version", "*******************/"})
                memSQL->appendPlainText(QString::fromLatin1(line));
        memSQL->document()->setModified(false);
    }
    if (frm_Options)
        for (int i = 0; i < OptionCount; ++i)
            frm_Options->SetChecked(i,
                                    m_ini->ReadBool(Ini::Options, OptionKey(i), OptionDefault(i)));
    cmbBookMark->clear();
    cmbBookMark->addItems(ReadBookmarks(*m_ini));
    cmbBookMark->setCurrentIndex(-1);
    // Typing and F9 go to the script from the start.
    memSQL->setFocus(Qt::OtherFocusReason);
    m_shown = true;
}

void Tform_Main::changeEvent(QEvent *event)
{
    TfrmBase::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            FormActivate();
        else
            FormDeactivate();
    }
}

void Tform_Main::FormActivate()
{
    InitialDir = m_ini->ReadString(Ini::Config, Ini::InitialDir);
    for (QMenu *menu : {mnuFile, mnuEdit, mnuSQL, mnuRecord, mnuHelp})
        menu->menuAction()->setEnabled(true);
}

void Tform_Main::FormDeactivate()
{
    for (QMenu *menu : {mnuFile, mnuEdit, mnuSQL, mnuRecord, mnuHelp})
        menu->menuAction()->setEnabled(false);
}

void Tform_Main::closeEvent(QCloseEvent *event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

bool Tform_Main::FormClose()
{
    if (!SaveQuestion())
        return false;
    // The window closes also when the options cannot be kept.
    if (frm_Options)
        ShowingErrors([this] {
            m_ini->Update([this] {
                for (int i = 0; i < OptionCount; ++i)
                    m_ini->WriteBool(Ini::Options, OptionKey(i), frm_Options->Checked(i));
            });
        });
    return true;
}

void Tform_Main::FormDestroy()
{
    m_values.clear();
    for (const QString &alias : SessionAliases) {
        try {
            DB_Orvane.Session().DeleteAlias(alias);
        } catch (const EDatabaseError &) {
            // an alias that is already gone needs no deleting
        }
    }
    SessionAliases.clear();
    tab_Orvane.FieldDefs.clear();
    // The result windows and the editor commands keep the settings file: they go first.
    m_executor.reset();
    for (Tform_QueryResult *w : m_results->Windows())
        delete w;
    delete m_results;
    m_results = nullptr;
    delete m_editorCmds;
    m_editorCmds = nullptr;
    const int treeWidth = m_shown ? MainTree->width() : m_treeWidth;
    // Runs in the destructor, where an escaping exception would end the program.
    ShowingErrors([&] {
        m_ini->Update([&] {
            m_ini->WriteInteger(Ini::Config, Ini::Left, x());
            m_ini->WriteInteger(Ini::Config, Ini::Top, y());
            m_ini->WriteInteger(Ini::Config, Ini::Width, width());
            m_ini->WriteInteger(Ini::Config, Ini::Height, height());
            m_ini->WriteInteger(Ini::Config, Ini::TreeWidth, treeWidth);
        });
    });
    m_ini.reset();
}

bool Tform_Main::SaveQuestion()
{
    return m_editorCmds->SaveQuestion();
}

bool Tform_Main::OpenScript(const QString &fileName)
{
    // The script is the user's file: Save writes it back without asking for a name.
    if (!m_editorCmds->OpenScript(fileName))
        return false;
    m_editorCmds->MarkOpened();
    return true;
}

bool Tform_Main::SaveScript()
{
    return m_editorCmds->mnuFileSaveClick();
}

void Tform_Main::DB_OrvaneLogin(TDatabase &db, QStringList &loginParams)
{
    if (!m_ini) // aliases listed before the settings are read never log in
        return;
    if (!OrvaneLogin(db.AliasName(), loginParams, {Ini(), RememberedValues(), LoginAccepted},
                     ShowLoginDialog))
        LoginCancelled = true;
}

bool Tform_Main::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == this
        && (watched == QApplication::focusWidget() || !QApplication::focusWidget())) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (FormKeyDown(key))
            return true;
        if ((watched == cmbBookMark || watched == cmbBookMark->lineEdit())
            && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            cmbBookMarkKeyDown(Qt::Key_Return);
            return true;
        }
    }
    return TfrmBase::eventFilter(watched, event);
}

bool Tform_Main::FormKeyDown(QKeyEvent *event)
{
    const bool inEditor = memSQL->hasFocus();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        CancelFlag = true;
        return false;
    case Qt::Key_F12:
        if (inEditor)
            MainTree->setFocus(Qt::OtherFocusReason);
        else
            memSQL->setFocus(Qt::OtherFocusReason);
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (inEditor && mods == Qt::ControlModifier && (event->modifiers() & Qt::KeypadModifier)) {
            TMemoCursor c = memSQL->textCursor();
            const QString text = c.selectedText();
            c.insertText(event->key() == Qt::Key_Plus ? text.toUpper() : text.toLower());
            memSQL->setTextCursor(c); // after the changed text, as typing would leave it
            return true;
        }
        return false;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (inEditor && mods == Qt::AltModifier) {
            MoveCaretByWord(event->key() == Qt::Key_Right);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void Tform_Main::MoveCaretByWord(bool forward)
{
    TMemoCursor c = memSQL->textCursor();
    const QString line = c.block().text();
    const int column = c.positionInBlock();
    const int target = forward ? NextWordStart(line, column) : WordStartBefore(line, column);
    c.setPosition(c.block().position() + target);
    memSQL->setTextCursor(c);
}

QString Tform_Main::Value(const QString &name) const
{
    return RememberedValue(m_values, name);
}

void Tform_Main::SetValue(const QString &name, const QString &value)
{
    SetRememberedValue(m_values, name, value);
}

QString Tform_Main::StatusText() const
{
    return lblStatus->text();
}

void Tform_Main::SetStatusText(const QString &text)
{
    lblStatus->setText(text);
}

void Tform_Main::AnimationStart()
{
    ani->Start();
}

void Tform_Main::AnimationStop()
{
    ani->Stop();
}

bool Tform_Main::Animating() const
{
    return ani->Animating();
}

void Tform_Main::BusyStart(int steps)
{
    AnimationStart();
    prgB->setRange(0, std::max(steps, 1));
    prgB->setValue(0);
    prgB->show();
    m_busyDone = 0;
    m_busyShown.invalidate();
}

void Tform_Main::BusyStep()
{
    // The bar repaints itself at once on each new value: a thousand small tables would
    // spend a tenth of the script's time on it. The first and the last step show at once.
    m_busyDone = std::min(m_busyDone + 1, prgB->maximum());
    if (m_busyShown.isValid() && m_busyShown.elapsed() < 40 && m_busyDone < prgB->maximum())
        return;
    m_busyShown.start();
    prgB->setValue(m_busyDone);
}

void Tform_Main::BusyStop()
{
    prgB->hide();
    AnimationStop();
}

void Tform_Main::SelectLine(int line)
{
    TEditorCommands::SelectLine(memSQL, line);
}

void Tform_Main::mnuSQLOptClick()
{
    if (frm_Options)
        frm_Options->exec();
}

void Tform_Main::mnuFileExitClick()
{
    close();
}
