#include "Session.h"
#include "Database.h"
#include "EngineError.h"
#include "IniFile.h"
#include "Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

static const QString DriverKey = QStringLiteral("DRIVER");

TSession::TSession()
    : TSession(DefaultConfigFile())
{}

TSession::TSession(QString configFile)
    : m_configFile(std::move(configFile))
{
    // The session is made before any window: a configuration that cannot be read or
    // written must not stop the program, so the error waits for the main window to show it.
    try {
        if (QFileInfo::exists(m_configFile))
            Load();
        else
            CreateDemo();
    } catch (const EDatabaseError &e) {
        m_startError = e.Message();
    }
}

QString TSession::TakeStartError()
{
    return std::exchange(m_startError, QString());
}

TSession::~TSession()
{
    m_ownedDatabases.clear();
}

// Qt's SQL connections must be gone before Qt's own globals are.
static void CloseDefaultSession()
{
    TSession::Default().CloseAll();
}

TSession &TSession::Default()
{
    static TSession session;
    static const bool closesWithApplication = (qAddPostRoutine(CloseDefaultSession), true);
    Q_UNUSED(closesWithApplication);
    return session;
}

void TSession::CloseAll()
{
    for (TDatabase *db : m_databases)
        db->Close();
    m_ownedDatabases.clear();
}

QString TSession::DefaultConfigFile()
{
    return OrvaneConfigFolder() + QStringLiteral("Orvane/aliases.ini");
}

void TSession::Load()
{
    if (QFile f(m_configFile); !f.open(QIODevice::ReadOnly))
        throw EDatabaseError(
            QStringLiteral("Cannot read %1: %2").arg(m_configFile, f.errorString()));
    const TIniFile ini(m_configFile);
    for (const QString &name : ini.ReadSections()) {
        TParams params;
        for (const QString &pair : ini.ReadSectionValues(name))
            if (!pair.startsWith(DriverKey + u'=', Qt::CaseInsensitive))
                params << pair;
        m_aliases.push_back({name, ini.ReadString(name, DriverKey), params, TPersistence::Saved});
    }
}

void TSession::CreateDemo()
{
    const QString path = DemoDatabasePath();
    if (!QFileInfo::exists(path))
        CreateDemoDatabase(path);
    AddAlias(QStringLiteral("DEMO"), QStringLiteral("SQLITE"),
             {QStringLiteral("DATABASE NAME=") + path});
    SaveConfigFile();
}

const TSession::Alias &TSession::FindAlias(const QString &name) const
{
    for (const Alias &a : m_aliases)
        if (a.name.compare(name, Qt::CaseInsensitive) == 0)
            return a;
    throw EDatabaseError(QStringLiteral("Unknown alias: %1").arg(name));
}

QStringList TSession::GetAliasNames() const
{
    QStringList names;
    for (const Alias &a : m_aliases)
        names << a.name;
    return names;
}

bool TSession::IsAlias(const QString &name) const
{
    return std::any_of(m_aliases.begin(), m_aliases.end(), [&](const Alias &a) {
        return a.name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

QString TSession::GetAliasDriverName(const QString &alias) const
{
    return FindAlias(alias).driver;
}

TParams TSession::GetAliasParams(const QString &alias) const
{
    return FindAlias(alias).params;
}

QStringList TSession::GetTableNames(const QString &databaseName)
{
    return OpenDatabase(databaseName).Connection().TableNames();
}

void TSession::AddAlias(const QString &name, const QString &driver, const TParams &params,
                        TPersistence persistence)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(u'[') || trimmed.contains(u']'))
        throw EDatabaseError(QStringLiteral("Invalid alias name: \"%1\"").arg(name));
    if (IsAlias(trimmed))
        throw EDatabaseError(QStringLiteral("Duplicate alias name: %1").arg(trimmed));
    if (!FindDriver(driver))
        throw EDatabaseError(QStringLiteral("Unknown driver: %1").arg(driver));
    m_aliases.push_back({trimmed, driver.toUpper(), params, persistence});
    if (persistence == TPersistence::Saved)
        m_unsaved << trimmed;
}

void TSession::DeleteAlias(const QString &name)
{
    if (FindAlias(name).persistence == TPersistence::Saved) // throws for an unknown alias
        m_unsaved << name;
    for (TDatabase *db : m_databases)
        if (db->AliasName().compare(name, Qt::CaseInsensitive) == 0)
            db->Close();
    std::erase_if(m_ownedDatabases, [&](const auto &db) {
        return db->AliasName().compare(name, Qt::CaseInsensitive) == 0;
    });
    std::erase_if(m_aliases,
                  [&](const Alias &a) { return a.name.compare(name, Qt::CaseInsensitive) == 0; });
}

void TSession::SaveConfigFile()
{
    TIniFile ini(m_configFile);
    ini.Update([&] {
        for (const QString &name : std::as_const(m_unsaved)) {
            ini.EraseSection(name);
            const auto a = std::find_if(m_aliases.begin(), m_aliases.end(), [&](const Alias &a) {
                return a.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (a == m_aliases.end() || a->persistence != TPersistence::Saved)
                continue;
            ini.WriteString(a->name, DriverKey, a->driver);
            for (const QString &pair : a->params) {
                const qsizetype eq = pair.indexOf(u'=');
                if (eq > 0)
                    ini.WriteString(a->name, pair.left(eq), pair.mid(eq + 1));
            }
        }
        ini.UpdateFile(); // the file exists from the first save on, also when empty
    });
    m_unsaved.clear();
}

void TSession::RegisterDatabase(TDatabase *db)
{
    m_databases.push_back(db);
}

void TSession::UnregisterDatabase(TDatabase *db)
{
    std::erase(m_databases, db);
}

TDatabase *TSession::FindDatabase(const QString &databaseName) const
{
    for (TDatabase *db : m_databases)
        if (!databaseName.isEmpty()
            && db->DatabaseName().compare(databaseName, Qt::CaseInsensitive) == 0)
            return db;
    return nullptr;
}

TDatabase &TSession::OpenDatabase(const QString &databaseName)
{
    if (TDatabase *db = FindDatabase(databaseName))
        return *db;
    if (!IsAlias(databaseName))
        throw EDatabaseError(QStringLiteral("Unknown database: %1").arg(databaseName));
    // A database named after an alias, kept for later calls; it unregisters itself first
    // in its destructor, so FindDatabase finds it from now on.
    auto db = std::make_unique<TDatabase>(databaseName, this);
    db->SetAliasName(databaseName);
    db->OnLogin = [this](TDatabase &d, QStringList &loginParams) {
        if (OnLogin)
            OnLogin(d, loginParams);
    };
    m_ownedDatabases.push_back(std::move(db));
    return *m_ownedDatabases.back();
}
