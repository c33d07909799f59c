#include "DbaseFormat.h"
#include "EngineError.h"
#include "FileConnection.h"
#include "FirebirdDriver.h"
#include "LegacyDrivers.h"
#include "ParadoxFormat.h"

#include <QDir>
#include <QFileInfo>

std::unique_ptr<TConnection> TStandardDriver::Connect(const TParams &params, const QString &,
                                                      const QString &)
{
    QString folder = ParamValue(params, QStringLiteral("PATH"));
    if (folder.isEmpty())
        throw EDatabaseError(QStringLiteral("The alias names no folder (PATH)."));
    if (!QFileInfo(folder).isDir())
        throw EDatabaseError(QStringLiteral("Folder not found: %1").arg(folder));
    if (!folder.endsWith(u'/'))
        folder += u'/';

    const QString kind = ParamValue(params, QStringLiteral("DEFAULT DRIVER")).trimmed().toUpper();
    std::unique_ptr<TTableFormat> format;
    if (kind == QLatin1String("DBASE"))
        format = std::make_unique<TDbaseFormat>();
    else if (kind.isEmpty() || kind == QLatin1String("PARADOX"))
        format = std::make_unique<TParadoxFormat>();
    else
        throw EDatabaseError(QStringLiteral("Unknown table kind %1 (DEFAULT DRIVER).").arg(kind));

    const QString extension = format->Extension();
    std::vector<std::unique_ptr<TTableFile>> files;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &info : entries)
        if (info.suffix().compare(extension, Qt::CaseInsensitive) == 0)
            files.push_back(format->Open(info.absoluteFilePath()));

    auto connection = std::make_unique<TFileConnection>(
        OpenSqliteDatabase(QStringLiteral(":memory:")), std::move(format), folder);
    for (auto &file : files)
        if (!connection->FindTable(file->Name)) // "a.db" and "A.DB" would be one table
            connection->AddTable(std::move(file));
    return connection;
}

void RegisterLegacyDrivers()
{
    RegisterDriver(std::make_unique<TFirebirdDriver>());
    RegisterDriver(std::make_unique<TStandardDriver>());
    RegisterDriver(std::make_unique<TAccessDriver>());
}
