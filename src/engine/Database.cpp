#include "Database.h"
#include "EngineError.h"
#include "Session.h"

TDatabase::TDatabase(QString databaseName, TSession *session)
    : m_databaseName(std::move(databaseName))
    , m_session(session ? session : &TSession::Default())
{
    m_session->RegisterDatabase(this);
}

TDatabase::~TDatabase()
{
    m_session->UnregisterDatabase(this);
    Close();
}

void TDatabase::SetDatabaseName(const QString &name)
{
    if (Connected())
        throw EDatabaseError(QStringLiteral("Cannot rename an open database"));
    m_databaseName = name;
}

void TDatabase::SetAliasName(const QString &alias)
{
    if (alias.compare(m_aliasName, Qt::CaseInsensitive) == 0)
        return;
    if (Connected())
        throw EDatabaseError(QStringLiteral("Cannot change the alias of an open database"));
    m_aliasName = alias;
}

QString TDatabase::DriverName() const
{
    return m_session->GetAliasDriverName(m_aliasName);
}

void TDatabase::Open()
{
    if (Connected())
        return;
    if (m_aliasName.isEmpty())
        throw EDatabaseError(QStringLiteral("No alias is set for database %1").arg(m_databaseName));
    const QString driverName = m_session->GetAliasDriverName(m_aliasName);
    TDriver *driver = FindDriver(driverName);
    if (!driver)
        throw EDatabaseError(
            QStringLiteral("Driver %1 of alias %2 is not available").arg(driverName, m_aliasName));
    const TParams params = m_session->GetAliasParams(m_aliasName);
    QString user = ParamValue(params, QStringLiteral("USER NAME"));
    QString password;
    if (driver->NeedsLogin(params) && LoginPrompt && OnLogin) {
        QStringList login {QStringLiteral("USERNAME=") + user, QStringLiteral("PASSWORD=")};
        OnLogin(*this, login);
        user = ParamValue(login, QStringLiteral("USERNAME"));
        password = ParamValue(login, QStringLiteral("PASSWORD"));
    }
    m_connection = driver->Connect(params, user, password);
}

void TDatabase::Close()
{
    m_connection.reset();
}

TConnection &TDatabase::Connection()
{
    return *SharedConnection();
}

std::shared_ptr<TConnection> TDatabase::SharedConnection()
{
    Open();
    return m_connection;
}
