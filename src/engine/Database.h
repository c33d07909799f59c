#pragma once

#include "Driver.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TSession;

// A database component: a DatabaseName under which tables and queries find it, and the
// alias it connects to. Connects on first use; the alias changes only while disconnected.
class TDatabase
{
public:
    // Receives the login parameters ("USERNAME=...", "PASSWORD=...") to fill.
    using TLoginEvent = std::function<void(TDatabase &db, QStringList &loginParams)>;

    explicit TDatabase(QString databaseName = {}, TSession *session = nullptr);
    ~TDatabase();
    TDatabase(const TDatabase &) = delete;
    TDatabase &operator=(const TDatabase &) = delete;

    const QString &DatabaseName() const { return m_databaseName; }
    void SetDatabaseName(const QString &name);
    const QString &AliasName() const { return m_aliasName; }
    // Throws when connected: disconnect first.
    void SetAliasName(const QString &alias);
    QString DriverName() const;

    bool LoginPrompt = true;
    TLoginEvent OnLogin;

    bool Connected() const { return m_connection != nullptr; }
    void Open(); // connects now; throws EDatabaseError
    void Close();

    // The live connection, connecting first when needed.
    TConnection &Connection();
    // The same, for an open result that must outlive a Close of its database.
    std::shared_ptr<TConnection> SharedConnection();
    TSession &Session() const { return *m_session; }

private:
    QString m_databaseName;
    QString m_aliasName;
    TSession *m_session;
    std::shared_ptr<TConnection> m_connection;
};
