#include "FmtScript.h"

#include "BusyIndicator.h"
#include "ColMemo.h"
#include "EngineError.h"
#include "FormatScript.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "Settings.h"
#include "SqlNames.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>
#include <exception>

TfrmFmtScript::TfrmFmtScript(QWidget *owner, TSession *session)
    : TfrmBase(owner)
    , tabSource(session)
{
    setObjectName(QStringLiteral("frmFmtScript"));
    setWindowTitle(QStringLiteral("Format Script"));
    // A tool window stays above the main window it writes into.
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    memSQL->setParent(central);
    memSQL->setFixedHeight(120);
    memSQL->setMinimumWidth(520);
    memSQL->clear();
    layout->addWidget(memSQL);

    panCtrl = new QWidget(central);
    panCtrl->setObjectName(QStringLiteral("panCtrl"));
    auto *grid = new QGridLayout(panCtrl);
    grid->setContentsMargins(0, 0, 0, 0);
    cmbId = new QComboBox(panCtrl);
    cmbId->setObjectName(QStringLiteral("cmbId"));
    cmbId->setEditable(true);
    cmbId->setInsertPolicy(QComboBox::NoInsert);
    cmbId->setMinimumWidth(180);
    chkComma = new QCheckBox(QStringLiteral("\",\""), panCtrl);
    chkComma->setObjectName(QStringLiteral("chkComma"));
    chkComma->setChecked(true);
    grid->addWidget(cmbId, 0, 0, 1, 2);
    grid->addWidget(chkComma, 0, 2);

    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, panCtrl);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    btnTableName = button("btnTableName", QStringLiteral("<TableName>"));
    btnFieldName = button("btnFieldName", QStringLiteral("<FieldName>"));
    btnFieldType = button("btnFieldType", QStringLiteral("<FieldType>"));
    btnIndexName = button("btnIndexName", QStringLiteral("<IndexName>"));
    btnIndexField = button("btnIndexField", QStringLiteral("<IndexField>"));
    btnClear = button("btnClear", QStringLiteral("&Clear"));
    btnApply = button("btnApply", QStringLiteral("&Apply"));
    btnSave = button("btnSave", QStringLiteral("&Save"));
    btnClose = button("btnClose", QStringLiteral("Cl&ose"));
    btnSave->setEnabled(false);
    QPushButton *tags[] = {btnTableName, btnFieldName, btnFieldType, btnIndexName, btnIndexField};
    for (int i = 0; i < 5; ++i)
        grid->addWidget(tags[i], 1, i);
    QPushButton *commands[] = {btnClear, btnApply, btnSave, btnClose};
    for (int i = 0; i < 4; ++i)
        grid->addWidget(commands[i], 0, i + 3);
    layout->addWidget(panCtrl);
    setCentralWidget(central);

    popFmt = new QMenu(this);
    popFmt->setObjectName(QStringLiteral("popFmt"));
    auto item = [this](const char *name, const QString &caption) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        popFmt->addAction(a);
        addAction(a);
        return a;
    };
    mnuPopTagTable = item("mnuPopTagTable", btnTableName->text());
    mnuPopTagField = item("mnuPopTagField", btnFieldName->text());
    mnuPopTagType = item("mnuPopTagType", btnFieldType->text());
    mnuPopTagIndex = item("mnuPopTagIndex", btnIndexName->text());
    mnuPopTagFldIndex = item("mnuPopTagFldIndex", btnIndexField->text());
    popFmt->addSeparator();
    mnuPopDeleteFmt = item("mnuPopDeleteFmt", QStringLiteral("Delete Format"));
    mnuPopDeleteFmt->setShortcut(Qt::CTRL | Qt::Key_Delete);
    mnuPopDeleteFmt->setShortcutContext(Qt::WindowShortcut);
    QAction *tagItems[]
        = {mnuPopTagTable, mnuPopTagField, mnuPopTagType, mnuPopTagIndex, mnuPopTagFldIndex};
    for (int i = 0; i < 5; ++i) {
        const QString tag = tags[i]->text();
        connect(tags[i], &QPushButton::clicked, this, [this, tag] { InsertTag(tag); });
        connect(tagItems[i], &QAction::triggered, this, [this, tag] { InsertTag(tag); });
    }
    for (QWidget *w : {static_cast<QWidget *>(memSQL), panCtrl}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &at) { popFmt->popup(w->mapToGlobal(at)); });
    }

    connect(mnuPopDeleteFmt, &QAction::triggered, this, &TfrmFmtScript::mnuPopDeleteFmtClick);
    connect(btnClear, &QPushButton::clicked, this, &TfrmFmtScript::btnClearClick);
    connect(btnApply, &QPushButton::clicked, this, &TfrmFmtScript::btnApplyClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmFmtScript::btnSaveClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(cmbId, qOverload<int>(&QComboBox::activated), this, &TfrmFmtScript::cmbIdChoose);
    connect(cmbId->lineEdit(), &QLineEdit::returnPressed, this, &TfrmFmtScript::cmbIdChoose);
    // A pasted name is cleaned as a typed one: a format name becomes a file name.
    connect(cmbId->lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) {
        const QString clean = CleanFormatName(text);
        if (clean != text) {
            const int caret = cmbId->lineEdit()->cursorPosition();
            cmbId->lineEdit()->setText(clean);
            cmbId->lineEdit()->setCursorPosition(
                std::max(0, caret - int(text.size() - clean.size())));
        }
    });
    connect(memSQL->document(), &TMemoDocument::modificationChanged, this, [this] {
        if (!DefaultChosen())
            btnSave->setEnabled(memSQL->document()->isModified());
    });
    connect(chkComma, &QCheckBox::clicked, this, [this] {
        if (!DefaultChosen())
            btnSave->setEnabled(true);
    });

    FillNames();
    cmbId->setCurrentIndex(0);
    cmbIdChoose();
    adjustSize();
    setFixedSize(sizeHint());
}

TfrmFmtScript::~TfrmFmtScript()
{
    if (m_running)
        qApp->removeEventFilter(this);
}

bool TfrmFmtScript::DefaultChosen() const
{
    return m_chosen == DefaultFormatName;
}

void TfrmFmtScript::FillNames()
{
    cmbId->clear();
    cmbId->addItem(DefaultFormatName);
    cmbId->addItems(FormatNames());
}

void TfrmFmtScript::UpdateSave()
{
    btnSave->setEnabled(cmbId->findText(cmbId->currentText(), Qt::MatchFixedString) < 0);
}

void TfrmFmtScript::cmbIdChoose()
{
    const QString name = cmbId->currentText();
    UpdateSave();
    if (cmbId->findText(name, Qt::MatchFixedString) < 0)
        return; // a new name: only Save reads it
    m_chosen = name;
    if (name == DefaultFormatName) {
        memSQL->setPlainText(DefaultFormat().join(u'\n'));
        memSQL->setReadOnly(true);
        chkComma->setChecked(true);
        chkComma->setEnabled(false);
        return;
    }
    memSQL->setReadOnly(false);
    chkComma->setEnabled(true);
    QStringList lines;
    QString error;
    if (LoadFormat(name, lines, &error))
        memSQL->setPlainText(lines.join(u'\n'));
    else if (!error.isEmpty())
        MessageDlg(error, TMsgDlgType::Error, QMessageBox::Ok);
    chkComma->setChecked(!Settings || Settings->ReadBool(Ini::Fsc, name, true));
    memSQL->document()->setModified(false);
}

void TfrmFmtScript::InsertTag(const QString &tag)
{
    if (memSQL->isReadOnly())
        return;
    TMemoCursor c = memSQL->textCursor();
    c.insertText(tag);
    memSQL->setTextCursor(c); // the next tag goes after this one
    memSQL->setFocus();
}

void TfrmFmtScript::btnClearClick()
{
    cmbId->setEditText(QString());
    m_chosen.clear();
    memSQL->setReadOnly(false);
    memSQL->clear();
    chkComma->setEnabled(true);
    memSQL->setFocus();
    btnSave->setEnabled(false);
}

void TfrmFmtScript::btnSaveClick()
{
    QString name = CleanFormatName(cmbId->currentText().trimmed());
    if (name.isEmpty()) {
        name = windowTitle() + u'_' + QString::number(m_unnamed++);
        cmbId->setEditText(name);
    }
    if (name == DefaultFormatName)
        return;
    const QString error = SaveFormat(name, memSQL->toPlainText().split(u'\n'));
    if (!error.isEmpty()) {
        MessageDlg(error, TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    if (cmbId->findText(name, Qt::MatchFixedString) < 0) {
        FillNames();
        cmbId->setEditText(name);
    }
    m_chosen = name;
    memSQL->document()->setModified(false);
    btnSave->setEnabled(false);
    if (Settings)
        Settings->WriteBool(Ini::Fsc, name, chkComma->isChecked());
}

void TfrmFmtScript::mnuPopDeleteFmtClick()
{
    const QString name = cmbId->currentText();
    if (name.isEmpty() || DefaultChosen() || name == DefaultFormatName)
        return;
    if (MessageDlg(QStringLiteral("Delete \"") + name + QStringLiteral("\" ?"),
                   TMsgDlgType::Confirmation, QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    if (!DeleteFormat(name) && QFile::exists(FormatFileName(name))) {
        MessageDlg(QStringLiteral("Cannot delete the file \"%1\".").arg(FormatFileName(name)),
                   TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    const int index = cmbId->findText(name, Qt::MatchFixedString);
    if (index > 0)
        cmbId->removeItem(index);
    btnClearClick();
}

void TfrmFmtScript::ReadStructure(const QString &TableName)
{
    // A table that cannot be read keeps no definitions: those of the table before would
    // be written under its name.
    const auto read = [this](const QString &name) {
        tabSource.TableName = name;
        try {
            tabSource.Update();
        } catch (const EDatabaseError &) {
            tabSource.FieldDefs.clear();
            tabSource.IndexDefs.clear();
            throw;
        }
    };
    try {
        read(TableName);
    } catch (const EDatabaseError &) {
        if (TableName.contains(QLatin1String(".dbf"), Qt::CaseInsensitive))
            throw;
        const std::exception_ptr first = std::current_exception();
        try {
            read(TableName + QStringLiteral(".dbf"));
        } catch (const EDatabaseError &) {
            tabSource.TableName = TableName;
            std::rethrow_exception(first); // the name the user knows is the one to report
        }
    }
}

void TfrmFmtScript::btnApplyClick()
{
    if (m_running)
        return;
    const QStringList format = memSQL->toPlainText().split(u'\n');
    const bool commas = DefaultChosen() || chkComma->isChecked();
    const bool allTables = tabSource.TableName.isEmpty();
    panCtrl->setEnabled(false);
    memSQL->setEnabled(false);
    QStringList tables;
    try {
        tables = allTables ? AliasTableNames(tabSource.DatabaseName)
                           : QStringList {tabSource.TableName};
    } catch (const EDatabaseError &e) {
        panCtrl->setEnabled(true);
        memSQL->setEnabled(true);
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    if (OnProgress)
        OnProgress(int(tables.size()));
    // The tree must not switch the database, nor a command start, while the run lets
    // messages through: only Escape and painting get past this filter.
    m_running = true;
    m_cancel = false;
    qApp->installEventFilter(this);
    // SQLite's own tables (sqlite_sequence...) come back by themselves; a script may not
    // create them.
    const bool sqlite = allTables
        && DialectOfDatabase(*tabSource.Session(), tabSource.DatabaseName) == TSqlDialect::Sqlite;
    QStringList written, unread;
    const auto done = qScopeGuard([&] {
        // Written once: inserting a thousand pieces one by one costs the editor more than
        // reading the tables.
        if (Target && !written.isEmpty())
            Target->appendPlainText(written.join(u'\n'));
        qApp->removeEventFilter(this);
        m_running = false;
        if (OnProgress)
            OnProgress(-1);
        if (allTables)
            tabSource.TableName.clear();
        panCtrl->setEnabled(true);
        memSQL->setEnabled(true);
    });
    const auto readTables = [&] {
        for (const QString &table : tables) {
            QCoreApplication::processEvents();
            if (m_cancel)
                return;
            try {
                if (!(sqlite && table.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))) {
                    ReadStructure(table);
                    written += ApplyFormat(format, commas, table, tabSource.FieldDefs,
                                           tabSource.IndexDefs);
                }
            } catch (const EDatabaseError &e) {
                unread << table + QStringLiteral(": ") + e.Message();
            }
            if (Progress)
                Progress->setValue(std::min(Progress->value() + 1, Progress->maximum()));
        }
    };
    try {
        tabSource.ReadSnapshot(readTables);
    } catch (const EDatabaseError &e) {
        unread << e.Message();
    }
    // Shown once the read, which holds the database's read lock, has ended.
    if (m_cancel)
        MessageDlg(QStringLiteral("Canceled by user"), TMsgDlgType::Information, QMessageBox::Ok);
    if (!unread.isEmpty())
        MessageDlg(QStringLiteral("These tables could not be read and were left out:\n")
                       + unread.join(u'\n'),
                   TMsgDlgType::Error, QMessageBox::Ok);
}

bool TfrmFmtScript::eventFilter(QObject *watched, QEvent *event)
{
    if (m_running && watched != this) {
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            m_cancel = true;
            return true;
        }
        if (event->type() == QEvent::Close) {
            m_cancel = true;
            event->ignore();
            return true;
        }
        if (IsBlockedWhileBusy(event))
            return true;
    }
    return TfrmBase::eventFilter(watched, event);
}

bool TfrmFmtScript::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_running && OnActivated)
        OnActivated(this);
    if (event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_cancel = true;
        return true;
    }
    return TfrmBase::event(event);
}

void TfrmFmtScript::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        m_cancel = true;
        event->ignore();
        return;
    }
    if (OnClosing)
        OnClosing(this);
    event->accept();
}
