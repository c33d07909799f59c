#include "QueryResult.h"

#include "EditIcons.h"
#include "EngineError.h"
#include "Executor.h"
#include "FindRecord.h"
#include "IniFile.h"
#include "QueryModel.h"
#include "StatementWait.h"

#include <QAction>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Each window has a database of its own, so that every window's query stays on the alias it
// was opened on whatever the others do.
QString NewDatabaseName()
{
    static int count = 0;
    return QStringLiteral("DbResult_%1").arg(++count);
}

QAction *NewAction(QWidget *owner, const char *name, const QString &text, const QKeySequence &key)
{
    auto *a = new QAction(text, owner);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(a);
    return a;
}

QToolButton *NewButton(QToolBar *bar, const char *name, QAction *action)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setDefaultAction(action);
    // An image only: no text of any font size fits a 24-pixel button. The text is its hint.
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setToolTip(action->text());
    b->setAutoRaise(true);
    b->setFixedSize(24, 24);
    bar->addWidget(b);
    return b;
}

void ShowError(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, parent->windowTitle(), message, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText); // engine messages quote names, which are never markup
    box.exec();
}

} // namespace

Tform_QueryResult::Tform_QueryResult(TSession *session, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , DB_Result(std::make_unique<TDatabase>(NewDatabaseName(), session))
    , qryResult(session)
{
    setObjectName(QStringLiteral("Tform_QueryResult"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Query Result"));
    resize(435, 300);
    qryResult.DatabaseName = DB_Result->DatabaseName();

    dsResult = new TQueryModel(qryResult, this);
    dsResult->setObjectName(QStringLiteral("dsResult"));
    dsResult->FetchFailed = [this](const QString &message) {
        const QString why = message == StatementWait::CanceledText()
            ? message + u'.'
            : QStringLiteral("ERROR:") + TExecutor::ErrorStatusText(message.simplified());
        m_reason->setText(QStringLiteral("%1 Rows after row %2 were not read.")
                              .arg(why)
                              .arg(dsResult->rowCount()));
    };
    dbgResult = new QTableView(this);
    dbgResult->setObjectName(QStringLiteral("dbgResult"));
    dbgResult->setModel(dsResult);
    // Typing into a cell of an editable result starts a pending edit that Escape drops.
    dbgResult->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                               | QAbstractItemView::AnyKeyPressed);
    dbgResult->setSelectionBehavior(QAbstractItemView::SelectItems);
    dbgResult->setSelectionMode(QAbstractItemView::ContiguousSelection);
    dbgResult->setTabKeyNavigation(true);
    dbgResult->setShowGrid(true);
    dbgResult->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Fixed row heights keep the header from measuring every row of a large result.
    dbgResult->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgResult->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    connect(dbgResult->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { CurrentRowChanged(current.row()); });

    popEdt = new QMenu(this);
    popEdt->setObjectName(QStringLiteral("popEdt"));
    popEdtIns = NewAction(this, "popEdtIns", QStringLiteral("Insert"),
                          QKeySequence(Qt::CTRL | Qt::Key_Insert));
    popEdtDel = NewAction(this, "popEdtDel", QStringLiteral("Delete"),
                          QKeySequence(Qt::CTRL | Qt::Key_Delete));
    popEdtEdit = NewAction(this, "popEdtEdit", QStringLiteral("Edit"),
                           QKeySequence(Qt::CTRL | Qt::Key_F2));
    popEdtLoc = NewAction(this, "popEdtLoc", QStringLiteral("Locate"),
                          QKeySequence(Qt::CTRL | Qt::Key_L));
    popEdtEdit->setData(-7);
    imgEdit = EditImages();
    popEdtIns->setIcon(imgEdit[0]);
    popEdtDel->setIcon(imgEdit[1]);
    popEdtEdit->setIcon(imgEdit[2]);
    popEdtLoc->setIcon(imgEdit[3]);
    popEdtCopy = NewAction(this, "popEdtCopy", QStringLiteral("Copy"), QKeySequence::Copy);
    popEdtCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    popEdtExport = NewAction(this, "popEdtExport", QStringLiteral("Export..."), {});
    popEdt->addActions({popEdtIns, popEdtDel, popEdtEdit, popEdtLoc});
    popEdtEdit->setProperty("Tag", -7);
    for (QAction *a : {popEdtIns, popEdtEdit})
        connect(a, &QAction::triggered, this, [this, a] { popEdtInsClick(a); });
    popEdt->addSeparator();
    popEdt->addActions({popEdtCopy, popEdtExport});
    connect(popEdtCopy, &QAction::triggered, this, &Tform_QueryResult::popEdtCopyClick);
    connect(popEdtExport, &QAction::triggered, this, &Tform_QueryResult::popEdtExportClick);
    // The grid copies only its current cell on Ctrl+C by itself: the selection goes instead.
    dbgResult->installEventFilter(this);
    connect(popEdtDel, &QAction::triggered, this, &Tform_QueryResult::popEdtDelClick);
    connect(popEdtLoc, &QAction::triggered, this, &Tform_QueryResult::popEdtLocClick);
    connect(dbgResult, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { popEdt->popup(dbgResult->viewport()->mapToGlobal(at)); });

    panFoot = new QWidget(this);
    panFoot->setObjectName(QStringLiteral("panFoot"));
    panFoot->setFixedHeight(24);
    auto *foot = new QHBoxLayout(panFoot);
    foot->setContentsMargins(0, 0, 0, 0);
    foot->setSpacing(0);

    dbnResult = new QWidget(panFoot);
    dbnResult->setObjectName(QStringLiteral("dbnResult"));
    auto *nav = new QHBoxLayout(dbnResult);
    nav->setContentsMargins(0, 0, 0, 0);
    nav->setSpacing(0);
    const struct
    {
        const char *name;
        const char *hint;
        QStyle::StandardPixmap icon;
    } buttons[] = {{"nbFirst", "First record", QStyle::SP_MediaSkipBackward},
                   {"nbPrior", "Prior record", QStyle::SP_MediaSeekBackward},
                   {"nbNext", "Next record", QStyle::SP_MediaSeekForward},
                   {"nbLast", "Last record", QStyle::SP_MediaSkipForward}};
    for (int i = 0; i < 4; ++i) {
        auto *b = new QToolButton(dbnResult);
        b->setObjectName(QLatin1String(buttons[i].name));
        b->setToolTip(QLatin1String(buttons[i].hint));
        b->setIcon(style()->standardIcon(buttons[i].icon));
        b->setAutoRaise(true);
        b->setFixedSize(24, 24);
        connect(b, &QToolButton::clicked, this, [this, i] { Navigate(i); });
        nav->addWidget(b);
    }
    foot->addWidget(dbnResult);

    ToolBarEdit = new QToolBar(panFoot);
    ToolBarEdit->setObjectName(QStringLiteral("ToolBarEdit"));
    ToolBarEdit->setIconSize(QSize(16, 16));
    btnIns = NewButton(ToolBarEdit, "btnIns", popEdtIns);
    btnDel = NewButton(ToolBarEdit, "btnDel", popEdtDel);
    btnEdit = NewButton(ToolBarEdit, "btnEdit", popEdtEdit);
    btnEdit->setProperty("Tag", -7);
    btnLocate = NewButton(ToolBarEdit, "btnLocate", popEdtLoc);
    foot->addWidget(ToolBarEdit);

    stb = new QStatusBar(panFoot);
    stb->setObjectName(QStringLiteral("stb"));
    stb->setSizeGripEnabled(false);
    const int widths[] = {88, 50};
    for (int i = 0; i < 2; ++i) {
        m_panel[i] = new QLabel(stb);
        m_panel[i]->setTextFormat(Qt::PlainText);
        m_panel[i]->setMinimumWidth(widths[i]);
        stb->addWidget(m_panel[i]);
    }
    m_reason = new QLabel(stb);
    m_reason->setObjectName(QStringLiteral("lblReadOnlyReason"));
    m_reason->setTextFormat(Qt::PlainText); // the reason names tables and key fields
    stb->addWidget(m_reason, 1);
    foot->addWidget(stb, 1);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(dbgResult, 1);
    m_layout->addWidget(panFoot);

    SetLiveAnswer(false);
}

Tform_QueryResult::~Tform_QueryResult()
{
    // The grid's children go after this object's members: no more row changes reach them.
    dbgResult->selectionModel()->disconnect(this);
    dsResult->WriteCell = nullptr; // a cell editor still open is dropped, not written
    qryResult.Close();
}

void Tform_QueryResult::SetLiveAnswer(bool live)
{
    qryResult.RequestLive = live;
    Editable = live;
    m_panel[0]->setText(live ? QStringLiteral("Editable") : QStringLiteral("Read Only"));
    m_reason->clear();
    dbgResult->setContextMenuPolicy(live ? Qt::CustomContextMenu : Qt::NoContextMenu);
    ToolBarEdit->setVisible(live);
    UpdateActions();
}

void Tform_QueryResult::UpdateActions()
{
    const bool open = qryResult.Active();
    // Edit and Delete need a row; refusing them on an empty result spares filling in a form.
    const bool rows = open && dsResult->rowCount() > 0;
    popEdtIns->setEnabled(Editable && open);
    popEdtEdit->setEnabled(Editable && rows);
    popEdtDel->setEnabled(Editable && rows);
    if (Editable && open)
        dsResult->WriteCell = [this](int row, int column, const QVariant &value) {
            return WriteCell(row, column, value);
        };
    else
        dsResult->WriteCell = nullptr;
    popEdtLoc->setEnabled(open);
}

void Tform_QueryResult::OpenResult(const QString &alias, const TDatabase::TLoginEvent &login,
                                   const QStringList &sql)
{
    const bool live = qryResult.RequestLive;
    qryResult.Close();
    dsResult->Reset();
    DB_Result->Close();
    DB_Result->SetAliasName(alias);
    DB_Result->OnLogin = login;
    qryResult.SQL = sql;
    SetLiveAnswer(live);

    QElapsedTimer clock;
    clock.start();
    try {
        qryResult.Open();
    } catch (...) {
        UpdateActions();
        throw;
    }
    m_panel[1]->setText(
        QStringLiteral("Time: ")
        + QTime(0, 0).addMSecs(int(clock.elapsed())).toString(QStringLiteral("hh:mm:ss")));
    if (live && !qryResult.CanModify()) {
        // The engine could not say which table row each result row is: refuse changes.
        Editable = false;
        m_panel[0]->setText(QStringLiteral("Read Only"));
        m_reason->setText(qryResult.ReadOnlyReason());
        m_panel[0]->setToolTip(Qt::convertFromPlainText(qryResult.ReadOnlyReason()));
    }
    dsResult->Reset();
    // Dates and numbers are digits, wider than the font's average character.
    const QFontMetrics fm = dbgResult->fontMetrics();
    const int charWidth = qMax(fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0')));
    const QFontMetrics header = dbgResult->horizontalHeader()->fontMetrics();
    for (const TField &f : qryResult.Fields())
        dbgResult->setColumnWidth(
            f.Index,
            qMax(charWidth * f.DisplayWidth, header.horizontalAdvance(f.DisplayLabel)) + 16);
    UpdateActions();
    if (dsResult->rowCount() > 0)
        SelectRow(0);
}

QString Tform_QueryResult::PanelText(int panel) const
{
    return panel >= 0 && panel < 2 ? m_panel[panel]->text() : m_reason->text();
}

int Tform_QueryResult::CurrentRow() const
{
    return dbgResult->currentIndex().row();
}

void Tform_QueryResult::SelectRow(int row)
{
    if (row < 0 || row >= dsResult->rowCount())
        return;
    const int column = qMax(0, dbgResult->currentIndex().column());
    dbgResult->setCurrentIndex(dsResult->index(row, column));
    dbgResult->scrollTo(dsResult->index(row, column));
}

void Tform_QueryResult::CurrentRowChanged(int row)
{
    if (row < 0 || !qryResult.Active() || qryResult.State() != TDataSetState::Browse)
        return;
    try {
        qryResult.MoveBy(row - qryResult.RecNo());
    } catch (const EDatabaseError &) {
        // the grid still shows the row; the cursor follows on the next move
    }
}

void Tform_QueryResult::Navigate(int how)
{
    if (!qryResult.Active())
        return;
    const int row = CurrentRow();
    try {
        switch (how) {
        case 0:
            SelectRow(0);
            break;
        case 1:
            SelectRow(qMax(0, row - 1));
            break;
        case 2:
            if (row + 1 >= dsResult->rowCount() && dsResult->canFetchMore({}))
                dsResult->fetchMore({});
            SelectRow(row + 1);
            break;
        default:
            qryResult.Last();
            dsResult->Sync();
            SelectRow(qryResult.RecNo());
        }
    } catch (const EDatabaseError &e) {
        ShowError(this, e.Message());
    }
}

void Tform_QueryResult::popEdtDelClick()
{
    if (!Editable || !qryResult.Active() || CurrentRow() < 0)
        return;
    QMessageBox box(QMessageBox::Question, windowTitle(), QStringLiteral("Delete Record?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    if (box.exec() != QMessageBox::Ok)
        return;
    try {
        CurrentRowChanged(CurrentRow());
        qryResult.Delete();
    } catch (const EDatabaseError &e) {
        ShowError(this, e.Message());
    }
    dsResult->Reset();
    UpdateActions();
    SelectRow(qryResult.RecNo());
}

void Tform_QueryResult::ReportError(const QString &message)
{
    ShowError(this, message);
}

void Tform_QueryResult::popEdtLocClick()
{
    const QModelIndex current = dbgResult->currentIndex();
    if (!qryResult.Active() || !current.isValid())
        return;
    const QString field = qryResult.Fields()[current.column()].FieldName;
    TfrmFindRecord dialog(this);
    dialog.setWindowTitle(QStringLiteral("Locate ") + field);
    if (dialog.exec() != QDialog::Accepted || dialog.edtFind->text().isEmpty())
        return;
    try {
        if (qryResult.Locate(field, dialog.edtFind->text(), dialog.LocateOptions())) {
            dsResult->Sync();
            SelectRow(qryResult.RecNo());
        }
    } catch (const EDatabaseError &e) {
        ShowError(this, e.Message());
    }
}

void Tform_QueryResult::showEvent(QShowEvent *event)
{
    UpdateActions();
    QWidget::showEvent(event);
}

void Tform_QueryResult::closeEvent(QCloseEvent *event)
{
    if (ResultClosed)
        ResultClosed(this);
    QWidget::closeEvent(event);
}

Tform_QueryResultMemo::Tform_QueryResultMemo(TSession *session, QWidget *parent)
    : Tform_QueryResult(session, parent)
{
    setObjectName(QStringLiteral("Tform_QueryResultMemo"));
    resize(417, 304);
    spt = new QSplitter(Qt::Vertical, this);
    spt->setObjectName(QStringLiteral("spt"));
    spt->setHandleWidth(3);
    delete m_layout->replaceWidget(dbgResult, spt);
    spt->addWidget(dbgResult);
    dbm = new QPlainTextEdit(spt);
    dbm->setObjectName(QStringLiteral("dbm"));
    dbm->setReadOnly(true);
    spt->addWidget(dbm);
    spt->setStretchFactor(0, 1);
    spt->setSizes({304 - 24 - 89 - 3, 89});
}

void Tform_QueryResultMemo::SetMemoField(const QString &field)
{
    m_memoField = field;
}

void Tform_QueryResultMemo::CurrentRowChanged(int row)
{
    Tform_QueryResult::CurrentRowChanged(row);
    const TField *f = qryResult.Active() ? qryResult.FindField(m_memoField) : nullptr;
    QString text;
    try {
        if (f && row >= 0)
            text = qryResult.ValueAt(row, f->Index).toString();
    } catch (const EDatabaseError &e) {
        // A row read again from a server that is gone: the memo stays empty, the window open.
        dbm->clear();
        ShowError(this, e.Message());
        return;
    }
    dbm->setPlainText(text);
}
