#include "EngineError.h"
#include "Paths.h"
#include "Session.h"
#include "SqliteDriver.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDriver>
#include <sqlite3.h>

QString DemoDatabasePath()
{
    return OrvaneDataFolder() + QStringLiteral("demo.sqlite");
}

void CreateDemoDatabase(const QString &path)
{
    QFile script(QStringLiteral(":/orvane/demo.sql"));
    if (!script.open(QIODevice::ReadOnly))
        throw EDatabaseError(
            QStringLiteral("The DEMO database script is missing from the program."));
    const QByteArray sql = script.readAll();

    // Built beside its final name and moved there whole, so a failure leaves no half database.
    const QString partial
        = path + QStringLiteral(".partial-") + QString::number(QCoreApplication::applicationPid());
    QFile::remove(partial);
    {
        QFile create(partial);
        if (!create.open(QIODevice::WriteOnly))
            throw EDatabaseError(
                QStringLiteral("Cannot create %1: %2").arg(partial, create.errorString()));
    }
    QString failure;
    {
        TSqliteConnection c(OpenSqliteDatabase(partial));
        char *error = nullptr;
        if (sqlite3_exec(c.Handle(), sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            failure = QString::fromUtf8(error);
            sqlite3_free(error);
        }
    }
    // Another copy of the program starting at the same moment may have finished first.
    if (failure.isEmpty() && !QFile::rename(partial, path) && !QFile::exists(path))
        failure = QStringLiteral("Cannot move the DEMO database to %1").arg(path);
    QFile::remove(partial);
    if (!failure.isEmpty())
        throw EDatabaseError(failure);
}
