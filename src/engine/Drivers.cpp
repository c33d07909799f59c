#include "Driver.h"
#include "PostgresDriver.h"
#include "SqliteDriver.h"
#include "legacy/LegacyDrivers.h"

void RegisterDefaultDrivers()
{
    RegisterDriver(std::make_unique<TSqliteDriver>());
    RegisterDriver(std::make_unique<TPostgresDriver>());
    RegisterLegacyDrivers();
}
