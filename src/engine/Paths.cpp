#include "Paths.h"

#include <QDir>
#include <QStandardPaths>

QString OrvaneDataFolder()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Orvane/");
    QDir().mkpath(dir);
    return dir;
}

QString OrvaneConfigFolder()
{
    const QString dir
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/';
    QDir().mkpath(dir);
    return dir;
}
