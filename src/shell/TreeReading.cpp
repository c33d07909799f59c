#include "TreeReading.h"
#include "EngineError.h"
#include "IniFile.h"
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
bool ReadStructure(TTable &table, const QString &tableName)
{
    QString name = tableName;
    for (;;) {
        table.TableName = name;
        try {
            table.UpdateFieldDefs();
            return true;
        } catch (const EDatabaseError &) {
            table.FieldDefs.clear();
            if (name.toLower().contains(QStringLiteral(".dbf")))
                return false;
            name += QStringLiteral(".dbf");
        }
    }
}
