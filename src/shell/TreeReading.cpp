#include "TreeReading.h"
#include "EngineError.h"
#include "IniFile.h"
#include "Session.h"
#include "SharedRoutines.h"
#include "SqlNames.h"
#include "Table.h"

#include <QDir>
#include <QFileInfo>

static QString ProjectFolder(const QString &alias)
{
    return ApplicationFolder() + QStringLiteral("Projects/") + SafeFileName(alias) + u'/';
}

QString ProjectFileName(const QString &alias, const QString &table)
{
    return ProjectFolder(alias) + SafeFileName(table) + QStringLiteral(".orv");
}

std::unique_ptr<TIniFile> OpenProjectFile(const QString &alias, const QString &table)
{
    const QString folder = ProjectFolder(alias);
    if (!QDir().mkpath(folder))
        throw EDatabaseError(QStringLiteral("Cannot create directory %1").arg(folder));
    return std::make_unique<TIniFile>(ProjectFileName(alias, table));
}

QList<QPair<QString, QString>> ReadLookups(const QString &alias, const QString &table,
                                           const QStringList &fieldNames)
{
    QList<QPair<QString, QString>> lookups;
    const QString fileName = ProjectFileName(alias, table);
    if (!QFileInfo::exists(fileName))
        return lookups;
    const TIniFile project(fileName);
    for (const QString &field : fieldNames) {
        const QString lookup = project.ReadString(field, QStringLiteral("Lookup"));
        if (!lookup.isEmpty())
            lookups.append({field, lookup});
    }
    return lookups;
}

// Whether the engine lists the table under exactly this name (any letter case).
static bool Listed(TTable &table, const QString &name)
{
    try {
        return table.Session()
            ->GetTableNames(table.DatabaseName)
            .contains(name, Qt::CaseInsensitive);
    } catch (const EDatabaseError &) {
        return false;
    }
}

bool ReadStructure(TTable &table, const QString &tableName)
{
    table.TableName = tableName;
    try {
        table.UpdateFieldDefs();
        return true;
    } catch (const EDatabaseError &) {
        table.FieldDefs.clear();
    }
    // A listed table that cannot be read is damaged or refused, not misnamed: another
    // name would only hide the reason, which the next read of the table then tells.
    if (tableName.toLower().contains(QStringLiteral(".dbf")) || Listed(table, tableName))
        return false;
    table.TableName = tableName + QStringLiteral(".dbf");
    try {
        table.UpdateFieldDefs();
        return true;
    } catch (const EDatabaseError &) {
        table.FieldDefs.clear();
        table.TableName = tableName;
        return false;
    }
}
