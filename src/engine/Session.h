#pragma once

#include "Driver.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TDatabase;

// The named aliases the program works with. Saved aliases live in the engine
// configuration file; aliases added for the session only stay in memory.
class TSession
{
public:
    enum class TPersistence { Saved, SessionOnly };

    // Reads the configuration from ConfigFileName(); on a first start with no
    // configuration, creates the DEMO alias and its database.
    TSession();
    explicit TSession(QString configFile);
    ~TSession();

    // The program's session; its connections close with the application object.
    static TSession &Default();
    // Why the configuration could not be read, or the first start's could not be saved;
    // empty when all went well. Given once, for the program to show.
    QString TakeStartError();
    // Closes every database of the session.
    void CloseAll();
    static QString DefaultConfigFile(); // $XDG_CONFIG_HOME/Orvane/aliases.ini
    const QString &ConfigFileName() const { return m_configFile; }

    QStringList GetAliasNames() const;
    bool IsAlias(const QString &name) const;
    QString GetAliasDriverName(const QString &alias) const;
    TParams GetAliasParams(const QString &alias) const;
    // Table names of a database known by name (a TDatabase's DatabaseName, or an alias).
    // SQLite: tables and views of the main schema, internal sqlite_ tables included.
    // PostgreSQL: tables and views of every non-system schema; those outside "public"
    // are schema-qualified. Sorted by the caller.
    QStringList GetTableNames(const QString &databaseName);

    void AddAlias(const QString &name, const QString &driver, const TParams &params,
                  TPersistence persistence = TPersistence::Saved);
    void DeleteAlias(const QString &name);
    // Writes the saved aliases added or deleted since the last save into the configuration
    // file as it is on disk now: aliases another running copy saved in the meantime stay.
    void SaveConfigFile();

    // Databases register themselves so that tables and queries find them by name.
    void RegisterDatabase(TDatabase *db);
    void UnregisterDatabase(TDatabase *db);
    TDatabase *FindDatabase(const QString &databaseName) const;
    // The registered database of that name, or a temporary one on the alias of that name.
    TDatabase &OpenDatabase(const QString &databaseName);
    // The login event of the databases OpenDatabase makes for an alias: a lookup or a link
    // into another alias then logs in as the program's own databases do.
    std::function<void(TDatabase &db, QStringList &loginParams)> OnLogin;

private:
    struct Alias
    {
        QString name;
        QString driver;
        TParams params;
        TPersistence persistence;
    };
    const Alias &FindAlias(const QString &name) const;
    void Load();
    void CreateDemo();

    QString m_configFile;
    std::vector<Alias> m_aliases;
    QString m_startError;
    QStringList m_unsaved; // saved aliases added or deleted since the last save
    std::vector<TDatabase *> m_databases;
    std::vector<std::unique_ptr<TDatabase>> m_ownedDatabases;
};

// Where the DEMO database is built on a first start.
QString DemoDatabasePath();
// Builds the DEMO SQLite database at path from the script shipped with the program.
void CreateDemoDatabase(const QString &path);
