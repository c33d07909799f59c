// A result window over ten million rows must show its first rows as fast as one over a
// thousand, and scrolling through its first 100,000 rows must not keep them in memory.
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
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
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
    return 0;
}
