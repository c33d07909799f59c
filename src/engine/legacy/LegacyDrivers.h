#pragma once

#include "Driver.h"

// A folder ("PATH") of table files: "DEFAULT DRIVER" "PARADOX" (".db", the default) or
// "DBASE" (".dbf"). Table names are the file names without extension.
class TStandardDriver : public TDriver
{
public:
    QString Name() const override { return QStringLiteral("STANDARD"); }
    std::unique_ptr<TConnection> Connect(const TParams &params, const QString &user,
                                         const QString &password) override;
};

// Access ".mdb" files ("DATABASE NAME"), read only.
class TAccessDriver : public TDriver
{
public:
    QString Name() const override { return QStringLiteral("MSACCESS"); }
    std::unique_ptr<TConnection> Connect(const TParams &params, const QString &user,
                                         const QString &password) override;
};

// Adds the drivers of this folder to the engine's list.
void RegisterLegacyDrivers();
