// A result window over ten million rows must show its first rows as fast as one over a
// thousand, scrolling through its first 100,000 rows must not keep them in memory, and
// going back to any row of it (a jump, PageUp after PageUp) must not read it from the start.
#include "DataSet.h"
#include "Database.h"
#include "IniFile.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"
#include "Session.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

// Median time from asking for the window to its first rows painted.
static double FirstRowsMs(TResultWindows &results, TDatabase &db, const QString &alias)
{
    db.Close();
    db.SetAliasName(alias);
    std::vector<double> times;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer t;
        t.start();
        Tform_QueryResult *w = results.OpenResultWindow({"SELECT * FROM T"}, "Bench", 1, false);
        QCoreApplication::processEvents();
        w->dbgResult->viewport()->grab(); // paints the visible rows
        times.push_back(t.nsecsElapsed() / 1e6);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Milliseconds from a move of the grid to its rows painted.
static double MoveMs(Tform_QueryResult *w, const std::function<void()> &move)
{
    QElapsedTimer t;
    t.start();
    move();
    QCoreApplication::processEvents();
    w->dbgResult->viewport()->grab();
    return t.nsecsElapsed() / 1e6;
}

struct TMoves
{
    double jump = 0; // median of jumps to rows around the middle
    double pageUpWorst = 0;
    double pageUpMean = 0;
};

// Jumps to rows around the middle of a result read to its end, then pages up 400 times
// from its middle.
static TMoves Moves(TResultWindows &results, TDatabase &db, const QString &alias)
{
    db.Close();
    db.SetAliasName(alias);
    Tform_QueryResult *w = results.OpenResultWindow({"SELECT * FROM T"}, "Moves", 1, false);
    w->resize(600, 400);
    QCoreApplication::processEvents();
    w->findChild<QToolButton *>("nbLast")->click();
    QCoreApplication::processEvents();
    const int rows = w->dsResult->rowCount();
    TMoves m;
    std::vector<double> jumps;
    for (double at : {0.5, 0.3, 0.7, 0.45, 0.55, 0.4, 0.6})
        jumps.push_back(MoveMs(w, [w, rows, at] { w->SelectRow(int(rows * at)); }));
    std::sort(jumps.begin(), jumps.end());
    m.jump = jumps[jumps.size() / 2];
    w->SelectRow(rows / 2);
    QCoreApplication::processEvents();
    w->dbgResult->setFocus();
    const int presses = 400;
    for (int i = 0; i < presses; ++i) {
        const double ms = MoveMs(w, [w] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
            QCoreApplication::sendEvent(w->dbgResult, &press);
        });
        m.pageUpWorst = std::max(m.pageUpWorst, ms);
        m.pageUpMean += ms / presses;
    }
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return m;
}

// Posting one edited cell of the middle row of a live window over ten million rows, until
// the window's rows hold it,
// against the bare UPDATE by key on the same connection (another one would wait for the
// window's open cursor to let go of the file): medians of alternating rounds.
static double EditPostRatio(TResultWindows &results, TDatabase &db)
{
    db.Close();
    db.SetAliasName("BIG");
    Tform_QueryResult *w = results.OpenResultWindow({"SELECT * FROM T"}, "Edit", 1, true);
    w->resize(600, 400);
    QCoreApplication::processEvents();
    w->findChild<QToolButton *>("nbLast")->click();
    QCoreApplication::processEvents();
    const int middle = w->dsResult->rowCount() / 2;
    w->SelectRow(middle);
    QCoreApplication::processEvents();
    const QModelIndex cell = w->dsResult->index(middle, 1);

    std::vector<double> post, repaint, update;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer t;
        t.start();
        if (!w->dsResult->setData(cell, QString("posted %1").arg(i)))
            std::fprintf(stderr, "post %d failed\n", i);
        post.push_back(t.nsecsElapsed() / 1e6);
        t.start();
        QCoreApplication::processEvents();
        w->dbgResult->viewport()->grab();
        repaint.push_back(t.nsecsElapsed() / 1e6);

        t.start();
        QSqlQuery q(db.Connection().Db());
        q.prepare("UPDATE T SET NAME = ? WHERE ID = ?");
        q.addBindValue(QString("updated %1").arg(i));
        q.addBindValue(middle + 2);
        if (!q.exec())
            std::fprintf(stderr, "update %d failed\n", i);
        update.push_back(t.nsecsElapsed() / 1e6);
    }
    QSqlQuery check(db.Connection().Db());
    check.exec(QString("SELECT NAME FROM T WHERE ID = %1").arg(middle + 1));
    if (!check.next() || check.value(0).toString() != "posted 8")
        std::fprintf(stderr, "the posted row does not hold the last post\n");
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (auto *times : {&post, &repaint, &update})
        std::sort(times->begin(), times->end());
    // The repaint is what any scroll of the grid costs; it is shown, not counted.
    std::printf("edit_post_10m_ms: %.3f\nedit_post_repaint_ms: %.3f\nedit_bare_update_ms: %.3f\n",
                post[4], repaint[4], update[4]);
    return post[4] / update[4];
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    FillNumberedTable(dir.filePath("small.sqlite"), 1000);
    FillNumberedTable(dir.filePath("big.sqlite"), 10000000);
    TSession session(dir.filePath("aliases.ini"));
    session.AddAlias("SMALL", "SQLITE", {"DATABASE NAME=" + dir.filePath("small.sqlite")},
                     TSession::TPersistence::SessionOnly);
    session.AddAlias("BIG", "SQLITE", {"DATABASE NAME=" + dir.filePath("big.sqlite")},
                     TSession::TPersistence::SessionOnly);
    TDatabase db("DBOrvane", &session);
    TIniFile ini(dir.filePath("Orvane.ini"));
    QWidget main;
    main.show();
    TResultWindows results(&main, db, ini);

    FirstRowsMs(results, db, "SMALL"); // warms up the driver and the widgets
    const double big = FirstRowsMs(results, db, "BIG");
    const double small = FirstRowsMs(results, db, "SMALL");
    std::printf("grid_first_rows_10m_ms: %.2f\ngrid_first_rows_1k_ms: %.2f\n", big, small);
    std::printf("grid_first_rows_10m_vs_1k_ratio: %.3f\n", big / small);

    db.Close();
    db.SetAliasName("BIG");
    Tform_QueryResult *w = results.OpenResultWindow({"SELECT * FROM T"}, "Scroll", 1, false);
    w->resize(600, 400);
    QCoreApplication::processEvents();
    const double before = ResidentMb();
    while (w->dsResult->rowCount() < 100000) {
        w->dbgResult->scrollToBottom();
        QCoreApplication::processEvents();
    }
    const double growth = ResidentMb() - before;
    std::printf("grid_rows_scrolled: %d\n", w->dsResult->rowCount());
    std::printf("grid_rss_growth_mb: %.2f\n", std::max(0.0, growth));
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Moves over the ten million rows, against the same moves over a thousand rows, all of
    // them in memory, and against reading the rows up to the middle, which is what going
    // back cost before.
    const TMoves small10 = Moves(results, db, "SMALL");
    const TMoves big10 = Moves(results, db, "BIG");
    std::printf("grid_jump_middle_10m_ms: %.2f\ngrid_jump_middle_1k_ms: %.2f\n", big10.jump,
                small10.jump);
    std::printf("grid_pageup_middle_10m_ms: %.2f\ngrid_pageup_middle_1k_ms: %.2f\n",
                big10.pageUpWorst, small10.pageUpWorst);
    std::printf("grid_pageup_middle_10m_mean_ms: %.3f\ngrid_pageup_middle_1k_mean_ms: %.3f\n",
                big10.pageUpMean, small10.pageUpMean);
    std::printf("grid_pageup_middle_10m_vs_1k_mean_ratio: %.3f\n",
                big10.pageUpMean / small10.pageUpMean);
    {
        TQuery q(&session);
        q.DatabaseName = "DBOrvane";
        q.SQL = QStringList {"SELECT * FROM T"};
        q.Open();
        QElapsedTimer t;
        t.start();
        q.ValueAt(5000000, 0);
        const double fromStart = t.nsecsElapsed() / 1e6;
        std::printf("grid_read_to_middle_10m_ms: %.2f\n", fromStart);
        std::printf("grid_jump_middle_10m_vs_read_to_middle_ratio: %.4f\n", big10.jump / fromStart);
    }
    std::printf("edit_post_10m_vs_update_ratio: %.3f\n", EditPostRatio(results, db));
    return 0;
}
