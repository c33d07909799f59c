#pragma once

#include "FieldTypes.h"

#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Alias parameters as NAME=value pairs ("PATH", "SERVER NAME", "USER NAME"...), in order.
using TParams = QStringList;
QString ParamValue(const TParams &params, const QString &name);
void SetParamValue(TParams &params, const QString &name, const QString &value);

// A Qt connection that closes and unregisters itself when its last user lets go.
struct TSqlHandle
{
    explicit TSqlHandle(QSqlDatabase database)
        : db(std::move(database))
    {}
    ~TSqlHandle();
    TSqlHandle(const TSqlHandle &) = delete;
    TSqlHandle &operator=(const TSqlHandle &) = delete;
    QSqlDatabase db;
};

// One open connection of a driver: its Qt connection plus the catalog questions the
// program asks. Connections of several databases may share one Qt connection.
class TConnection
{
public:
    explicit TConnection(QSqlDatabase db);
    explicit TConnection(std::shared_ptr<TSqlHandle> handle);
    virtual ~TConnection();
    TConnection(const TConnection &) = delete;
    TConnection &operator=(const TConnection &) = delete;

    QSqlDatabase &Db() { return m_db; }

    virtual QStringList TableNames() = 0;
    virtual QList<TFieldDef> FieldDefs(const QString &table) = 0;
    virtual QList<TIndexDef> IndexDefs(const QString &table) = 0;

    // Type code and size of a result column of an executed query.
    virtual TFieldDef ResultField(const QSqlQuery &query, int column);

    // A column every table row has and that names it exactly ("rowid"); empty when the
    // engine has none, so that only a primary key can identify a row.
    virtual QString RowIdColumn() const { return {}; }
    // Non-empty when the whole database refuses changes (the reason to show).
    virtual QString ReadOnlyReason() const { return {}; }
    virtual QString QuoteName(const QString &name) const;

    // Lets a driver carry out a statement its engine cannot run as it stands (the table
    // file drivers' CREATE TABLE): true when it did, false to hand it to the engine.
    virtual bool ExecOwn(const QString &) { return false; }

    // Runs a statement without a result; throws EDatabaseError with the engine's message.
    void Exec(const QString &sql);
    // Runs a statement of a run without a result the driver's own way, letting the program's
    // events through while the server works (see StatementWait); false when the driver has
    // no such way and the statement is to run as any other.
    virtual bool ExecWatched(const QString &, int &) { return false; }
    // A result for a statement of a run that returns rows, read the driver's own way for
    // the same reason; nullptr when the driver has none. Owned by the QSqlQuery made of it.
    virtual QSqlResult *NewWatchedResult() { return nullptr; }

    // The cheapest statement the engine answers, to tell a dropped connection from a
    // statement that merely failed.
    virtual QString ProbeStatement() const { return QStringLiteral("SELECT 1"); }
    // Whether the server still answers on this connection.
    virtual bool Answers();
    // Whether a statement led by this keyword (upper case, see StatementKeyword) is one of
    // the engine's own forms that return rows (PRAGMA, SHOW...); the standard forms are
    // known without asking.
    virtual bool ReturnsRows(const QString &, const QString &) const { return false; }
    // Whether the engine can check a statement led by this keyword without running it.
    virtual bool CanPrepare(const QString &) const { return true; }
    // Whether a transaction the user began is open here: closing would roll it back.
    virtual bool InTransaction() { return false; }
    // Runs read, which reads the structure of many tables, as one read of the catalog where
    // the engine gains by it; an open transaction of the user is left as it is.
    virtual void ReadSnapshot(const std::function<void()> &read) { read(); }
    // Runs the program's own look at a statement (whether it parses, its columns) on the
    // user's connection: its failure must leave the user's open transaction as it was.
    virtual bool Aside(const std::function<bool()> &look) { return look(); }
    bool ExecAside(QSqlQuery &query, const QString &sql)
    {
        return Aside([&] { return query.exec(sql); });
    }

protected:
    // A forward-only query run with its bound values; throws with the engine's message.
    QSqlQuery Run(const QString &sql, const QVariantList &binds = {});
    // The texts of the first column of every row of a catalog query.
    QStringList Texts(const QString &sql);

protected:
    std::shared_ptr<TSqlHandle> m_handle;
    QSqlDatabase m_db; // a copy of the handle's, for convenience
};

// A driver makes connections from alias parameters. Registered by name ("SQLITE").
class TDriver
{
public:
    virtual ~TDriver() = default;
    virtual QString Name() const = 0;
    // Whether connecting needs a user name and password from the login event.
    virtual bool NeedsLogin(const TParams &) const { return false; }
    virtual std::unique_ptr<TConnection> Connect(const TParams &params, const QString &user,
                                                 const QString &password)
        = 0;
};

void RegisterDriver(std::unique_ptr<TDriver> driver);
TDriver *FindDriver(const QString &name); // nullptr when unknown
QStringList DriverNames();

// A unique Qt connection name for a new connection.
QString NewConnectionName(const QString &prefix);
// The engine message of a failed Qt SQL call, without Qt's decorations.
QString SqlErrorText(const QSqlError &error);
