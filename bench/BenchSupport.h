#pragma once

// What several benchmarks measure with: medians of timed runs, the process's resident
// memory, and SQLite tables of a given size.

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <unistd.h>
#include <vector>

// The median of values, each divided first by the value of the same round in others (when
// given): rounds measured side by side in alternating order give their median ratio.
inline double Median(std::vector<double> values, const std::vector<double> &others = {})
{
    for (size_t i = 0; i < others.size() && i < values.size(); ++i)
        values[i] /= others[i];
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The time work takes in milliseconds.
inline double ElapsedMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

// The median time of work in milliseconds; before runs untimed ahead of each run.
inline double MedianMs(int runs, const std::function<void()> &work,
                       const std::function<void()> &before = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        times.push_back(ElapsedMs(work));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline double ResidentMb()
{
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0) : 0;
}

// A table T (ID, NAME, AMOUNT, AT) of the given number of rows in a new SQLite file.
inline void FillNumberedTable(const QString &file, int rows)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.exec("PRAGMA journal_mode = OFF");
        q.exec("CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME VARCHAR(40), AMOUNT FLOAT, AT DATE)");
        q.exec(
            QString("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1)"
                    " INSERT INTO T SELECT x, 'customer number ' || x, x * 1.5, '2024-01-01'"
                    " FROM c")
                .arg(rows));
    }
    QSqlDatabase::removeDatabase("fill");
}
