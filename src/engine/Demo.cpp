#include "EngineError.h"
#include "Paths.h"
#include "Session.h"
#include "SqliteDriver.h"

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
    const QString partial = path + QStringLiteral(".partial");
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
    if (failure.isEmpty() && !QFile::rename(partial, path))
        failure = QStringLiteral("Cannot move the DEMO database to %1").arg(path);
    if (!failure.isEmpty()) {
        QFile::remove(partial);
        throw EDatabaseError(failure);
    }
}
