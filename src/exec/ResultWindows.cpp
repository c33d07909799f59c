#include "ResultWindows.h"

#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"
#include "MessageDlg.h"
#include "QueryResult.h"
#include "SqlText.h"

TResultWindows::TResultWindows(QWidget *mainWindow, TDatabase &mainDb, TIniFile &settings)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_mainDb(mainDb)
    , m_settings(settings)
{}

TResultWindows::~TResultWindows()
{
    // Windows outliving the list must not report to it.
    for (const QPointer<Tform_QueryResult> &w : std::as_const(m_windows))
        if (w)
            w->ResultClosed = nullptr;
}

QList<Tform_QueryResult *> TResultWindows::Windows() const
{
    QList<Tform_QueryResult *> list;
    for (const QPointer<Tform_QueryResult> &w : m_windows)
        if (w)
            list << w.data();
    return list;
}

QString TResultWindows::MemoField(const QStringList &sql) const
{
    const QString text = sql.join(u'\n');
    // Only a plain query may be looked at this way: anything else would run twice.
    const QString keyword = StatementKeyword(text);
    if (keyword != QLatin1String("SELECT") && keyword != QLatin1String("VALUES"))
        return {};
    TQuery probe(&m_mainDb.Session());
    probe.DatabaseName = m_mainDb.DatabaseName();
    probe.Aside = true;
    probe.SQL << NoRowsForm(text, QStringLiteral("orvane_probe"));
    try {
        probe.Open();
    } catch (const EDatabaseError &) {
        return {}; // the statement's own error shows when it opens
    }
    for (const TField &f : probe.Fields())
        if (f.DataType == ftMemo)
            return f.FieldName;
    return {};
}

Tform_QueryResult *TResultWindows::GetResultWindow(const QString &name, const QStringList &sql)
{
    for (Tform_QueryResult *w : Windows())
        if (w->windowTitle() == name) {
            w->show();
            return w;
        }
    TSession *session = &m_mainDb.Session();
    Tform_QueryResult *w;
    if (const QString memo = MemoField(sql); memo.isEmpty()) {
        w = new Tform_QueryResult(session, m_mainWindow);
    } else {
        auto *m = new Tform_QueryResultMemo(session, m_mainWindow);
        m->SetMemoField(memo);
        w = m;
    }
    m_windows << w;
    const TResultPlacement design {w->x(), w->y(), w->width(), w->height(), 0};
    const TResultPlacement p = m_settings.Read(name, design);
    w->move(p.Left, p.Top);
    w->resize(p.Width, p.Height);
    w->Tag = p.Tag;
    w->ResultClosed = [this](Tform_QueryResult *closed) {
        ResultClosed(closed);
    };
    return w;
}

// A name identifies one window and its settings section: an unnamed query always gets a
// window of its own, so its name must be one no other open window bears.
QString TResultWindows::UniqueName(const QString &name, const Tform_QueryResult *window) const
{
    QString unique = name;
    for (int n = 2;; ++n) {
        bool taken = false;
        for (const Tform_QueryResult *w : Windows())
            taken = taken || (w != window && w->windowTitle() == unique);
        if (!taken)
            return unique;
        unique = QStringLiteral("%1 (%2)").arg(name).arg(n);
    }
}

Tform_QueryResult *TResultWindows::OpenResultWindow(const QStringList &sql, const QString &name,
                                                    int number, bool live)
{
    Tform_QueryResult *w = GetResultWindow(name, sql);
    if (w->Tag == 0) {
        const int left = m_mainWindow ? m_mainWindow->x() : 0;
        const int top = m_mainWindow ? m_mainWindow->y() : 0;
        w->move(left + 16 * number, top + 16 * number);
    }
    w->Tag = number;
    const QString caption
        = name.isEmpty() ? UniqueName(QStringLiteral("Query_%1").arg(number), w) : name;
    w->SetLiveAnswer(live);
    w->SetProjectFile({}); // the rows of other tables take no field properties of this one
    w->setWindowTitle(caption);
    try {
        w->OpenResult(m_mainDb.AliasName(), m_mainDb.OnLogin, sql);
    } catch (...) {
        w->show();
        throw;
    }
    w->show();
    w->raise();
    return w;
}

void TResultWindows::ResultClosed(Tform_QueryResult *window)
{
    m_windows.removeAll(QPointer<Tform_QueryResult>(window));
    m_windows.removeAll(QPointer<Tform_QueryResult>());
    // The window closes also when its place cannot be kept.
    try {
        m_settings.WindowClosed(window->windowTitle(),
                                {window->x(), window->y(), window->width(), window->height(), 1});
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
    }
}

std::function<void(const QStringList &, const QString &, int, bool)> TResultWindows::Opener()
{
    return [this](const QStringList &sql, const QString &name, int number, bool live) {
        OpenResultWindow(sql, name, number, live);
    };
}
