// Opening a query and reading its first rows must not depend on the result's size.
#include "DataSet.h"
#include "Session.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

// Median time of opening the query and reading its first 100 rows.
static double FirstRowsMs(TSession &session, const QString &alias)
{
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        TQuery q(&session);
        q.DatabaseName = alias;
        q.SQL = QStringList {"SELECT * FROM T"};
        q.Open();
        for (int r = 0; r < 100 && !q.Eof(); ++r) {
            q.Value(1);
            q.Next();
        }
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    FillNumberedTable(dir.filePath("small.sqlite"), 1000);
    FillNumberedTable(dir.filePath("big.sqlite"), 1000000);
    TSession session(dir.filePath("aliases.ini"));
    session.AddAlias("SMALL", "SQLITE", {"DATABASE NAME=" + dir.filePath("small.sqlite")});
    session.AddAlias("BIG", "SQLITE", {"DATABASE NAME=" + dir.filePath("big.sqlite")});

    FirstRowsMs(session, "SMALL"); // warms up the driver; the big file is opened cold
    const double before = ResidentMb();
    const double big = FirstRowsMs(session, "BIG");
    const double growth = ResidentMb() - before;
    const double small = FirstRowsMs(session, "SMALL");
    std::printf("fetch_first_rows_time_ratio_1m_vs_1k: %.3f\n", big / small);
    std::printf("fetch_first_rows_rss_growth_mb: %.2f\n", std::max(0.0, growth));
    return 0;
}
