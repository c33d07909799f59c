#include "PostgresDriver.h"
#include "EngineError.h"
#include "PostgresWait.h"

#include <libpq-fe.h>

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

namespace {

// The server's message as the Qt driver would give it.
QString Message(const char *text)
{
    QSqlError error(QString(), QString::fromUtf8(text));
    return SqlErrorText(error);
}

class TPostgresConnection : public TConnection
{
public:
    using TConnection::TConnection;

    // Inside a transaction a failed statement makes the server refuse everything up to the
    // ROLLBACK: it still answers, and the transaction is the user's to end.
    bool Answers() override
    {
        QSqlQuery probe(m_db);
        return probe.exec(ProbeStatement())
            || probe.lastError().nativeErrorCode() == QLatin1String("25P02");
    }

    bool ReturnsRows(const QString &keyword, const QString &) const override
    {
        return keyword == QLatin1String("SHOW") || keyword == QLatin1String("TABLE");
    }

    // The server prepares only the plain statement forms; SHOW and EXPLAIN are checked when
    // they run.
    bool CanPrepare(const QString &keyword) const override
    {
        return keyword != QLatin1String("SHOW") && keyword != QLatin1String("EXPLAIN");
    }

    // Any failed statement would abort the user's transaction: inside one the look runs
    // under a savepoint that its failure rolls back to. Outside one SAVEPOINT itself fails,
    // harmlessly, and there is nothing to protect.
    // Outside a transaction block each statement is a transaction of its own, begun with
    // it; inside one, the block began before. An aborted block refuses the question, and
    // can only be rolled back anyway.
    bool InTransaction() override
    {
        QSqlQuery q(m_db);
        return q.exec(QStringLiteral("SELECT now() < statement_timestamp()")) && q.next()
            && q.value(0).toBool();
    }

    bool ExecWatched(const QString &sql, int &rowsAffected) override
    {
        PGconn *conn = PostgresWait::Handle(m_db.driver());
        if (!conn || PQisBusy(conn))
            return false;
        if (!PQsendQuery(conn, sql.toUtf8().constData()))
            throw EDatabaseError(Message(PQerrorMessage(conn)));
        bool cancelSent = false;
        PostgresWait::AwaitAnswer(conn, cancelSent);
        QString error;
        rowsAffected = 0;
        while (PGresult *r = PQgetResult(conn)) {
            const ExecStatusType status = PQresultStatus(r);
            if ((status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) && error.isEmpty())
                error = Message(PQresultErrorMessage(r));
            else
                rowsAffected = QByteArray(PQcmdTuples(r)).toInt();
            PQclear(r);
        }
        if (error.isEmpty() && PQstatus(conn) == CONNECTION_BAD)
            error = Message(PQerrorMessage(conn));
        if (cancelSent && !error.isEmpty())
            throw EDatabaseError(PostgresWait::CanceledMessage(conn));
        if (!error.isEmpty())
            throw EDatabaseError(error);
        return true;
    }

    QSqlResult *NewWatchedResult() override
    {
        PGconn *conn = PostgresWait::Handle(m_db.driver());
        return conn ? PostgresWait::NewRowsResult(m_db.driver(), conn) : nullptr;
    }

    bool Aside(const std::function<bool()> &look) override
    {
        QSqlQuery savepoint(m_db);
        if (!savepoint.exec(QStringLiteral("SAVEPOINT orvane_aside")))
            return look();
        const bool ok = look();
        if (!ok)
            savepoint.exec(QStringLiteral("ROLLBACK TO SAVEPOINT orvane_aside"));
        savepoint.exec(QStringLiteral("RELEASE SAVEPOINT orvane_aside"));
        return ok;
    }

    QStringList TableNames() override
    {
        return Texts(QStringLiteral(
            "SELECT CASE WHEN n.nspname = 'public' THEN c.relname"
            "            ELSE n.nspname || '.' || c.relname END"
            " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
            " WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f')"
            "   AND n.nspname NOT IN ('pg_catalog', 'information_schema')"
            "   AND n.nspname NOT LIKE 'pg\\_toast%' AND n.nspname NOT LIKE 'pg\\_temp%'"
            " ORDER BY 1"));
    }

    QList<TFieldDef> FieldDefs(const QString &table) override
    {
        QSqlQuery q
            = Run(QStringLiteral(
                      "SELECT a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull,"
                      "       coalesce(pg_get_expr(d.adbin, d.adrelid), ''), a.attidentity <> ''"
                      " FROM pg_attribute a"
                      " LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum"
                      " WHERE a.attrelid = to_regclass(?) AND a.attnum > 0 AND NOT a.attisdropped"
                      " ORDER BY a.attnum"),
                  {RegClassName(table)});
        QList<TFieldDef> defs;
        while (q.next()) {
            TFieldDef def;
            def.Name = q.value(0).toString();
            def.DataType = FieldTypeFromDeclaration(q.value(1).toString(), &def.Size);
            def.Required = q.value(2).toBool();
            const bool generated = q.value(4).toBool()
                || q.value(3).toString().startsWith(QLatin1String("nextval("));
            if (generated
                && (def.DataType == ftInteger || def.DataType == ftLargeint
                    || def.DataType == ftSmallint))
                def.DataType = ftAutoInc;
            defs << def;
        }
        if (defs.isEmpty())
            throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(table));
        return defs;
    }

    QList<TIndexDef> IndexDefs(const QString &table) override
    {
        QSqlQuery q = Run(
            QStringLiteral("SELECT ic.relname, ix.indisprimary, ix.indisunique,"
                           "       (SELECT string_agg(a.attname, ';' ORDER BY k.n)"
                           "          FROM unnest(ix.indkey::int2[]) WITH ORDINALITY k(attnum, n)"
                           "          JOIN pg_attribute a ON a.attrelid = ix.indrelid AND a.attnum "
                           "= k.attnum),"
                           "       ix.indnkeyatts = array_length(ix.indkey::int2[], 1) AND 0 <> "
                           "ALL(ix.indkey::int2[])"
                           " FROM pg_index ix JOIN pg_class ic ON ic.oid = ix.indexrelid"
                           " WHERE ix.indrelid = to_regclass(?)"
                           " ORDER BY NOT ix.indisprimary, ic.relname"),
            {RegClassName(table)});
        QList<TIndexDef> defs;
        while (q.next()) {
            if (!q.value(4).toBool())
                continue; // expression or covering indexes have no plain field list
            unsigned options
                = (q.value(1).toBool() ? ixPrimary : 0u) | (q.value(2).toBool() ? ixUnique : 0u);
            defs << TIndexDef {q.value(0).toString(), q.value(3).toString(), options};
        }
        return defs;
    }

    TFieldDef ResultField(const QSqlQuery &query, int column) override
    {
        const QSqlField f = query.record().field(column);
        TFieldDef def = TConnection::ResultField(query, column);
        switch (f.typeID()) {
        case 18: // "char"
            def.DataType = ftString;
            def.Size = 1;
            break;
        case 19: // name
            def.DataType = ftString;
            def.Size = 64;
            break;
        case 25: // text
            def.DataType = ftMemo;
            def.Size = 0;
            break;
        case 790:
            def.DataType = ftCurrency;
            break;
        case 1042: // char(n)
        case 1043: // varchar(n)
            def.DataType = f.length() > 0 ? ftString : ftMemo;
            def.Size = qMax(0, f.length());
            break;
        case 1700:
            def.DataType = ftBCD;
            def.Size = qMax(0, f.precision());
            break;
        case 17:
            def.DataType = ftBlob;
            break;
        default:
            break;
        }
        return def;
    }

private:
    // "schema.table" or "table" as a regclass text, each part quoted as an identifier.
    QString RegClassName(const QString &table) const
    {
        const qsizetype dot = table.indexOf(u'.');
        if (dot > 0)
            return QuoteName(table.left(dot)) + u'.' + QuoteName(table.mid(dot + 1));
        return QuoteName(table);
    }
};

} // namespace

std::unique_ptr<TConnection> TPostgresDriver::Connect(const TParams &params, const QString &user,
                                                      const QString &password)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"),
                                                NewConnectionName(QStringLiteral("pg")));
    const QString host = ParamValue(params, QStringLiteral("SERVER NAME"));
    db.setHostName(host.isEmpty() ? QStringLiteral("localhost") : host);
    const int port = ParamValue(params, QStringLiteral("PORT")).toInt();
    db.setPort(port > 0 ? port : 5432);
    db.setDatabaseName(ParamValue(params, QStringLiteral("DATABASE NAME")));
    db.setUserName(user);
    db.setPassword(password);
    // An unreachable server must fail in seconds, not after the system's TCP timeout.
    db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    if (!db.open()) {
        const QString message = SqlErrorText(db.lastError());
        const QString name = db.connectionName();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw EDatabaseError(message);
    }
    return std::make_unique<TPostgresConnection>(db);
}
