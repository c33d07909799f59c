// Exporting a result of a million rows and ten columns as CSV, against the sqlite3 shell
// writing the same query, in one run; and the memory the export takes on the way.
#include "BenchSupport.h"
#include "ResultExport.h"
#include "Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString sqlite3 = QStandardPaths::findExecutable("sqlite3");
    if (sqlite3.isEmpty())
        return std::fprintf(stderr, "sqlite3 is not installed\n"), 1;
    QTemporaryDir dir;
    const QString file = dir.filePath("export.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, a INTEGER, b REAL, c TEXT, d TEXT,"
               " e INTEGER, f TEXT, g REAL, h TEXT, i INTEGER)");
        q.exec("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000000)"
               " INSERT INTO t SELECT x, x * 3, x * 0.25, 'name ' || x, 'plain', x % 97,"
               " CASE x % 4 WHEN 0 THEN 'a,b' ELSE 'text' END, x / 7.0, NULL, -x FROM c");
    }
    QSqlDatabase::removeDatabase("fill");
    const QString sql = "SELECT * FROM t";
    TSession session(dir.filePath("aliases.ini"));
    session.AddAlias("BENCH", "SQLITE", {"DATABASE NAME=" + file},
                     TSession::TPersistence::SessionOnly);

    std::vector<double> ours, shell;
    double growth = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.setStandardOutputFile(dir.filePath("shell.csv"));
        p.start(sqlite3, {"-csv", "-header", file, sql});
        p.waitForFinished(-1);
        shell.push_back(t.nsecsElapsed() / 1e6);

        const double before = ResidentMb();
        double peak = before;
        QFile out(dir.filePath("ours.csv"));
        out.open(QIODevice::WriteOnly);
        t.restart();
        ExportCsv(&session, "BENCH", {sql}, out, [&](qint64) {
            peak = std::max(peak, ResidentMb());
            return true;
        });
        out.close();
        ours.push_back(t.nsecsElapsed() / 1e6);
        growth = std::max(growth, peak - before);
    }
    std::printf("export_csv_1m_ms: %.0f\n", Median(ours));
    std::printf("export_csv_1m_vs_sqlite3_ratio: %.2f\n", Median(ours) / Median(shell));
    std::printf("export_csv_rss_growth_mb: %.1f\n", growth);
    return 0;
}
