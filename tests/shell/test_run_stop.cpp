// Stopping a running script in the main window, offscreen, on SQLite: the Stop button,
// Escape and closing the window during a statement that would run for ever; what ran
// before stays, nothing after it runs, input is held back, and the next run works.
#include "Executor.h"
#include "MessageDlg.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"
#include "Session.h"
#include "ShellTestSupport.h"

#include <QKeyEvent>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

namespace {

// Counts what a second connection sees; -1 when the table is not there.
int Rows(const QString &file, const QString &table)
{
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "look");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        if (q.exec("SELECT count(*) FROM " + table) && q.next())
            n = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("look");
    return n;
}

// Recursion without an end: only an interrupt stops it.
const QString Endless
    = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c";

} // namespace

class TestRunStop : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;

    void Start(TProgram &p)
    {
        m_file = m_dir.filePath("stop.db");
        QFile::remove(m_file);
        QFile(m_file).open(QIODevice::WriteOnly);
        QVERIFY(p.Show());
        if (!p->DB_Orvane.Session().IsAlias("STOP"))
            p->DB_Orvane.Session().AddAlias("STOP", "SQLITE", {"DATABASE NAME=" + m_file},
                                            TSession::TPersistence::SessionOnly);
    }
    void Script(TProgram &p, const QString &longStatement)
    {
        p->memSQL->setPlainText("/*\nAlias:STOP\n*/\nCREATE TABLE marker (x INTEGER);\n"
                                + longStatement + ";\nINSERT INTO marker VALUES (1);");
        p->memSQL->document()->setModified(false);
    }

private slots:
    void cleanup() { SetMessageDlgHandler({}); }
    void stopButtonEndsTheStatement();
    void escapeStopsAResultBeingOpened();
    void closingStopsTheRunFirst();
    void escapeStopsASlowFetch();
};

void TestRunStop::stopButtonEndsTheStatement()
{
    TProgram p;
    Start(p);
    QVERIFY(!p->btnStop->isEnabled() && !p->mnuSQLStop->isEnabled());
    Script(p, "CREATE TABLE big AS " + Endless);
    const QString selected = SelectedText(p);
    bool enabled = false, animating = false;
    QTimer::singleShot(300, p.main.get(), [&] {
        // Input that would start a command or move the tree waits for the end of the run.
        QCoreApplication::postEvent(p->MainTree,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(p->memSQL,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier));
    });
    QTimer::singleShot(800, p.main.get(), [&] {
        enabled = p->btnStop->isEnabled() && p->mnuSQLStop->isEnabled();
        animating = p->Animating();
        // A click as the mouse gives it: to the window, which hands it to the button.
        QWidget *button = p->toolBCtrl->widgetForAction(p->btnStop);
        const QPoint at = button->mapTo(p.main.get(), button->rect().center());
        QTest::mouseClick(p->windowHandle(), Qt::LeftButton, {}, at);
    });
    QElapsedTimer t;
    t.start();
    p->mnuSQLExecute->trigger();
    QVERIFY(t.elapsed() < 5000);
    QVERIFY(enabled && animating);
    QCOMPARE(p->StatusText(), QString("Canceled by user"));
    QCOMPARE(p->memSQL->textCursor().block().text(), "CREATE TABLE big AS " + Endless + ";");
    QVERIFY(!p->btnStop->isEnabled() && !p->Animating());
    QCOMPARE(SelectedText(p), selected);
    QCOMPARE(Rows(m_file, "marker"), 0); // ran before the stop
    QCOMPARE(Rows(m_file, "big"), -1); // stopped
    // The next run works on the same connection.
    p->memSQL->setPlainText("/*\nAlias:STOP\n*/\nINSERT INTO marker VALUES (2);");
    p->mnuSQLExecute->trigger();
    QCOMPARE(p->StatusText(), p->NodePathText());
    QCOMPARE(Rows(m_file, "marker"), 1);
}

void TestRunStop::escapeStopsAResultBeingOpened()
{
    TProgram p;
    Start(p);
    Script(p, Endless);
    QTimer::singleShot(500, p.main.get(), [&] {
        QCoreApplication::postEvent(
            p->memSQL, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    p->mnuSQLExecute->trigger();
    QCOMPARE(p->Executor().ErrorText(), QString("Canceled by user"));
    QCOMPARE(p->memSQL->textCursor().block().text(), Endless + ";");
    QCOMPARE(Rows(m_file, "marker"), 0);
    // The window of the stopped statement stays, empty; the next run opens its own.
    p->memSQL->setPlainText("/*\nAlias:STOP\n*/\nSELECT x FROM marker;");
    p->mnuSQLExecute->trigger();
    QCOMPARE(p->StatusText(), p->NodePathText());
    QCOMPARE(p->ResultWindows().Windows().size(), 2);
}

void TestRunStop::closingStopsTheRunFirst()
{
    TProgram p;
    Start(p);
    Script(p, "CREATE TABLE big AS " + Endless);
    QTimer::singleShot(500, p.main.get(),
                       [&] { QCoreApplication::postEvent(p.main.get(), new QCloseEvent); });
    p->mnuSQLExecute->trigger();
    QCOMPARE(p->StatusText(), QString("Canceled by user"));
    QCOMPARE(Rows(m_file, "marker"), 0);
    QTRY_VERIFY(!p->isVisible());
}

// A result whose first rows come at once and the next one only after minutes: scrolling on
// keeps the program answering, and Escape ends the fetch with the rows already there.
void TestRunStop::escapeStopsASlowFetch()
{
    TProgram p;
    Start(p);
    p->memSQL->setPlainText("/*\nAlias:STOP\n*/\nSELECT x FROM ("
                            + Endless.left(Endless.indexOf(" SELECT count"))
                            + " SELECT x FROM c) WHERE x <= 256 OR x % 1000000000000 = 0;");
    p->mnuSQLExecute->trigger();
    QCOMPARE(p->StatusText(), p->NodePathText());
    QCOMPARE(p->ResultWindows().Windows().size(), 1);
    Tform_QueryResult *w = p->ResultWindows().Windows().first();
    QCOMPARE(w->dsResult->rowCount(), 256);
    QVERIFY(w->dsResult->canFetchMore({}));
    QTimer::singleShot(300, w, [&] {
        QCoreApplication::postEvent(
            w->dbgResult, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    QElapsedTimer t;
    t.start();
    w->dsResult->fetchMore({});
    QVERIFY(t.elapsed() < 5000);
    QCOMPARE(w->dsResult->rowCount(), 256);
    QCOMPARE(w->dsResult->data(w->dsResult->index(255, 0)).toString(), QString("256"));
    QCOMPARE(w->PanelText(2), QString("Canceled by user. Rows after row 256 were not read."));
}

QTEST_MAIN(TestRunStop)
#include "test_run_stop.moc"
