// How a bulk insert, a one-row change (written in place under a journal) and a first read of
// a 100,000-row Paradox or dBASE table compare with the same work on an SQLite file.
#include "Driver.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

static constexpr int Rows = 100000;

struct TTimes
{
    double insert = 0, update = 0, firstRead = 0;
};

static double Run(TConnection &c, const QString &sql)
{
    QElapsedTimer t;
    t.start();
    if (!c.ExecOwn(sql)) {
        QSqlQuery q(c.Db());
        if (!q.exec(sql))
            std::fprintf(stderr, "failed: %s\n", qPrintable(sql));
        while (q.isSelect() && q.next()) {}
    }
    return t.nsecsElapsed() / 1e6;
}

// One row changed at a time, the median of seven rows spread over the table: a single
// change takes about a millisecond on SQLite, less than the machine's own jitter.
static double OneRowUpdate(TConnection &c)
{
    int k = 0;
    return MedianMs(7, [&] {
        Run(c,
            QStringLiteral("UPDATE bench SET name = 'changed' WHERE id = %1")
                .arg(777 + k++ * 13001));
    });
}

static TTimes Measure(const QString &driver, const TParams &params)
{
    TTimes times;
    auto c = FindDriver(driver)->Connect(params, {}, {});
    Run(*c,
        QStringLiteral("CREATE TABLE bench (id INTEGER PRIMARY KEY, name VARCHAR(30), "
                       "amount NUMERIC(10,2), at DATE)"));
    times.insert = Run(*c,
                       QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                      "FROM n WHERE i < %1) INSERT INTO bench SELECT i, "
                                      "'customer ' || i, i * 1.5, '2024-01-01' FROM n")
                           .arg(Rows));
    times.update = OneRowUpdate(*c);
    c.reset();
    auto fresh = FindDriver(driver)->Connect(params, {}, {});
    times.firstRead = Run(*fresh, QStringLiteral("SELECT COUNT(*), SUM(amount) FROM bench"));
    return times;
}

// An Access file's first open in a session reads its catalog in the probe program first;
// later opens read it in the program alone.
static void AccessProbeCost()
{
    const QString fixture
        = qEnvironmentVariable("ORVANE_FIXTURES", QString::fromUtf8(ORVANE_FIXTURES_DIR))
        + QStringLiteral("/access/DateTestDatabase.mdb");
    if (!QFile::exists(fixture)) {
        std::fprintf(stderr, "%s not found: the probe's cost is not measured\n",
                     qPrintable(fixture));
        return;
    }
    QTemporaryDir dir;
    TDriver *access = FindDriver(QStringLiteral("MSACCESS"));
    std::vector<double> first, again;
    for (int i = 0; i < 5; ++i) {
        const QString copy = dir.filePath(QStringLiteral("copy%1.mdb").arg(i));
        QFile::copy(fixture, copy);
        for (std::vector<double> *times : {&first, &again}) {
            QElapsedTimer t;
            t.start();
            access->Connect({QStringLiteral("DATABASE NAME=") + copy}, {}, {});
            times->push_back(t.nsecsElapsed() / 1e6);
        }
    }
    std::sort(first.begin(), first.end());
    std::sort(again.begin(), again.end());
    std::printf("access_first_open_ms: %.1f\n", first[2]);
    std::printf("access_first_open_vs_later_open_ratio: %.1f\n", first[2] / again[2]);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("ref.db"))).open(QIODevice::WriteOnly);
    const TTimes ref
        = Measure(QStringLiteral("SQLITE"),
                  {QStringLiteral("DATABASE NAME=") + dir.filePath(QStringLiteral("ref.db"))});
    const QString folder = dir.path() + u'/';
    const TTimes paradox
        = Measure(QStringLiteral("STANDARD"),
                  {QStringLiteral("PATH=") + folder, QStringLiteral("DEFAULT DRIVER=PARADOX")});
    // dBASE tables have no primary key: the same table without one.
    QTemporaryDir dbfDir;
    auto dbase = FindDriver(QStringLiteral("STANDARD"))
                     ->Connect({QStringLiteral("PATH=") + dbfDir.path() + u'/',
                                QStringLiteral("DEFAULT DRIVER=DBASE")},
                               {}, {});
    Run(*dbase,
        QStringLiteral(
            "CREATE TABLE bench (id INTEGER, name VARCHAR(30), amount NUMERIC(10,2), at DATE)"));
    TTimes dbf;
    dbf.insert = Run(*dbase,
                     QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                    "FROM n WHERE i < %1) INSERT INTO bench SELECT i, "
                                    "'customer ' || i, i * 1.5, '2024-01-01' FROM n")
                         .arg(Rows));
    dbf.update = OneRowUpdate(*dbase);

    AccessProbeCost();
    std::printf("sqlite_bulk_insert_ms: %.1f\n", ref.insert);
    std::printf("paradox_bulk_insert_ratio: %.2f\n", paradox.insert / ref.insert);
    std::printf("dbase_bulk_insert_ratio: %.2f\n", dbf.insert / ref.insert);
    std::printf("sqlite_one_row_update_ms: %.2f\n", ref.update);
    std::printf("paradox_one_row_update_100k_ratio: %.1f\n", paradox.update / ref.update);
    std::printf("dbase_one_row_update_100k_ratio: %.1f\n", dbf.update / ref.update);
    std::printf("sqlite_first_read_ms: %.2f\n", ref.firstRead);
    std::printf("paradox_first_read_ratio: %.1f\n", paradox.firstRead / ref.firstRead);
    return 0;
}
