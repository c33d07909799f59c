#pragma once

#include "Driver.h"
#include "EngineError.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

// Helpers shared by the legacy driver tests: connect through the registered driver,
// run statements and read whole results.
namespace LegacyTest {

inline std::unique_ptr<TConnection> Connect(const QString &driver, const TParams &params,
                                            const QString &user = {})
{
    TDriver *d = FindDriver(driver);
    if (!d)
        throw EDatabaseError(QStringLiteral("driver %1 is not registered").arg(driver));
    return d->Connect(params, user, QString());
}

// Runs a statement the way the program does (the driver may carry it out itself);
// returns the engine's error message, empty on success.
inline QString Exec(TConnection &c, const QString &sql)
{
    try {
        if (c.ExecOwn(sql))
            return {};
        QSqlQuery q(c.Db());
        if (!q.exec(sql))
            return SqlErrorText(q.lastError());
        return {};
    } catch (const EDatabaseError &e) {
        return e.Message();
    }
}

inline QList<QVariantList> Rows(TConnection &c, const QString &sql)
{
    QSqlQuery q(c.Db());
    if (!q.exec(sql))
        throw EDatabaseError(SqlErrorText(q.lastError()));
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        rows << row;
    }
    return rows;
}

inline QByteArray FileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

inline void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline const TFieldDef *Field(const QList<TFieldDef> &defs, const QString &name)
{
    for (const TFieldDef &d : defs)
        if (d.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

} // namespace LegacyTest
