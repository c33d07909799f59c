#pragma once

// An SQLite file made by the given statements, through a connection of its own that is
// gone before the test goes on.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

inline void RunOnSqliteFile(const QString &file, const QStringList &statements)
{
    {
        QSqlDatabase db
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &s : statements)
            QVERIFY2(q.exec(s), qPrintable(s + ": " + q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
}
