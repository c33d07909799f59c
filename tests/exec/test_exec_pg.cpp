#include "DataSet.h"
#include "ExecTestSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <unistd.h>

// The executor against PostgreSQL: the shared test server, and a private server stopped in
// the middle of a run.
class TestExecPg : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
    std::unique_ptr<TQuery> m_query;
    TRecordedHost m_rec;
    std::unique_ptr<TExecutor> m_exec;

    QVariant Value(const QString &sql)
    {
        TQuery q(m_session.get());
        q.DatabaseName = "DBOrvane";
        q.SQL = QStringList {sql};
        q.Open();
        return q.Value(0);
    }

    // pg_ctl and initdb refuse to run as root; run them as the postgres user then.
    static bool RunPg(const QString &tool, const QStringList &args, QString *output = nullptr)
    {
        const QString bin = "/usr/lib/postgresql/15/bin/" + tool;
        QProcess p;
        if (geteuid() == 0)
            p.start("runuser", QStringList {"-u", "postgres", "--", bin} + args);
        else
            p.start(bin, args);
        const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit
            && p.exitCode() == 0;
        if (output)
            *output = p.readAllStandardOutput() + p.readAllStandardError();
        return ok;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("PG", "POSTGRESQL", PgAliasParams(),
                            TSession::TPersistence::SessionOnly);
        m_db = std::make_unique<TDatabase>("DBOrvane", m_session.get());
        m_db->SetAliasName("PG");
        m_query = std::make_unique<TQuery>(m_session.get());
        m_query->DatabaseName = "DBOrvane";
        m_exec = std::make_unique<TExecutor>(*m_db, *m_query, m_rec.Host());
        QVERIFY(m_exec->RunScript({"DROP TABLE IF EXISTS exec_pg_t;",
                                   "CREATE TABLE exec_pg_t (id SERIAL PRIMARY KEY, a TEXT);"}));
    }

    void cleanupTestCase()
    {
        if (m_exec)
            m_exec->RunScript({"DROP TABLE IF EXISTS exec_pg_t;"});
        m_exec.reset();
        m_query.reset();
        m_db.reset();
    }

    void literalsAndErrors()
    {
        m_rec = TRecordedHost();
        QVERIFY(m_exec->RunScript({"INSERT INTO exec_pg_t (a) VALUES ('a;b');",
                                   "INSERT INTO exec_pg_t (a) VALUES ('--;/*'); -- done",
                                   "SELECT * FROM exec_pg_t;"}));
        QCOMPARE(Value("SELECT string_agg(a, '|' ORDER BY id) FROM exec_pg_t").toString(),
                 QString("a;b|--;/*"));
        QCOMPARE(m_rec.opened.size(), 1);
        QCOMPARE(m_rec.refresh, 1);

        QVERIFY(!m_exec->RunScript({"INSERT INTO exec_pg_t (a) VALUES ('c');",
                                    "INSERT INTO exec_pg_nothing VALUES (1);",
                                    "INSERT INTO exec_pg_t (a) VALUES ('d');"}));
        QCOMPARE(m_rec.selected.last(), 1);
        const QString status = m_rec.statuses.last();
        QVERIFY2(status.startsWith("ERROR:") && status.contains("exec_pg_nothing"),
                 qPrintable(status));
        QCOMPARE(Value("SELECT count(*) FROM exec_pg_t").toInt(), 3);
        // The connection survived the statement's error.
        QVERIFY(m_db->Connected());
    }

    // The program's own looks at a statement never abort the transaction the user holds
    // open; neither does an error of the user's that leaves the server answering.
    void openTransactionSurvives()
    {
        m_rec = TRecordedHost();
        QStringList firstValues;
        TExecutorHost host = m_rec.Host();
        host.OpenResultWindow = [&](const QStringList &sql, const QString &, int, bool) {
            TQuery q(m_session.get());
            q.DatabaseName = "DBOrvane";
            q.SQL = sql;
            q.Open();
            firstValues << q.Value(0).toString();
        };
        TExecutor exec(*m_db, *m_query, host);
        QVERIFY2(
            exec.RunScript({"BEGIN;", "INSERT INTO exec_pg_t (a) VALUES ('tx1');",
                            "EXPLAIN SELECT * FROM exec_pg_t;", "SHOW standard_conforming_strings;",
                            "TABLE exec_pg_t;", "VALUES ('v');",
                            " ( (SELECT 'p') UNION (SELECT 'q') ) ORDER BY 1 DESC;",
                            "INSERT INTO exec_pg_t (a) SELECT 'tx2';"}),
            qPrintable(m_rec.statuses.last()));
        QCOMPARE(firstValues.size(), 5);
        QCOMPARE(firstValues[1], QString("on"));
        QCOMPARE(firstValues[3], QString("v"));
        QCOMPARE(firstValues[4], QString("q"));
        QCOMPARE(exec.SelectCount(), 5);
        // A query that fails its check stops the run; the transaction goes on.
        QVERIFY(!exec.RunScript({"SELECT no_such_column FROM exec_pg_t;"}));
        QVERIFY(m_rec.statuses.last().contains("no_such_column"));
        QVERIFY(exec.RunScript({"INSERT INTO exec_pg_t (a) VALUES ('tx3');", "COMMIT;"}));
        QCOMPARE(Value("SELECT string_agg(a, ',' ORDER BY id) FROM exec_pg_t WHERE a LIKE 'tx%'")
                     .toString(),
                 QString("tx1,tx2,tx3"));

        // A failed change aborts the transaction, but the connection stays for the ROLLBACK.
        QVERIFY(exec.RunScript({"BEGIN;", "INSERT INTO exec_pg_t (a) VALUES ('gone');"}));
        QVERIFY(!exec.RunScript({"INSERT INTO exec_pg_nothing VALUES (1);"}));
        QVERIFY(m_db->Connected());
        QVERIFY(!exec.RunScript({"INSERT INTO exec_pg_t (a) VALUES ('refused');"}));
        QVERIFY(m_db->Connected());
        QVERIFY(exec.RunScript({"ROLLBACK;"}));
        QCOMPARE(Value("SELECT count(*) FROM exec_pg_t WHERE a IN ('gone', 'refused')").toInt(), 0);
    }

    void serverStoppedDuringRun()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (geteuid() == 0)
            QVERIFY(QProcess::execute("chown", {"postgres:", dir.path()}) == 0);
        QString log;
        QVERIFY2(RunPg("initdb",
                       {"-D", dir.path() + "/pg", "-U", "postgres", "-A", "trust", "-E", "UTF8",
                        "--locale=C.UTF-8"},
                       &log),
                 qPrintable(log));
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString port = QString::number(probe.serverPort());
        probe.close();
        const QStringList start {"-D",
                                 dir.path() + "/pg",
                                 "-l",
                                 dir.path() + "/pg.log",
                                 "-w",
                                 "-t",
                                 "60",
                                 "-o",
                                 "-c listen_addresses=127.0.0.1 -p " + port + " -k " + dir.path()
                                     + " -c fsync=off",
                                 "start"};
        const QStringList stop {"-D", dir.path() + "/pg", "-m", "immediate", "-w", "stop"};
        QVERIFY2(RunPg("pg_ctl", start, &log), qPrintable(log));

        TSession session(dir.filePath("aliases.ini"));
        session.AddAlias("PRIV", "POSTGRESQL",
                         {"SERVER NAME=127.0.0.1", "PORT=" + port, "DATABASE NAME=postgres",
                          "USER NAME=postgres"},
                         TSession::TPersistence::SessionOnly);
        TDatabase db("DBOrvane", &session);
        db.SetAliasName("PRIV");
        TQuery query(&session);
        query.DatabaseName = "DBOrvane";
        TRecordedHost rec;
        TExecutorHost host = rec.Host();
        bool stopped = false;
        host.SetStatus = [&](const QString &text) {
            rec.statuses << text;
            if (text.endsWith("(line 3)") && !stopped)
                stopped = RunPg("pg_ctl", stop);
        };
        TExecutor exec(db, query, host);
        const bool ok = exec.RunScript(
            {"CREATE TABLE exec_rel (n INTEGER);", "INSERT INTO exec_rel VALUES (1);",
             "INSERT INTO exec_rel VALUES (2);", "INSERT INTO exec_rel VALUES (3);"});
        QVERIFY(stopped);
        QVERIFY(!ok);
        QVERIFY2(rec.statuses.last().startsWith("ERROR:") && rec.statuses.last().size() > 6,
                 qPrintable(rec.statuses.last()));
        QCOMPARE(rec.selected, QList<int> {2});
        // While the server is away every run fails the same way, and nothing breaks.
        QVERIFY(!exec.RunScript({"INSERT INTO exec_rel VALUES (3);"}));
        QVERIFY(rec.statuses.last().startsWith("ERROR:"));

        QVERIFY2(RunPg("pg_ctl", start, &log), qPrintable(log));
        host.SetStatus = [&](const QString &text) {
            rec.statuses << text;
        };
        TExecutor again(db, query, host);
        QVERIFY2(again.RunScript({"INSERT INTO exec_rel VALUES (3);"}),
                 qPrintable(rec.statuses.last()));
        query.SQL = QStringList {"SELECT string_agg(n::text, ',' ORDER BY n) FROM exec_rel"};
        query.Open();
        QCOMPARE(query.Value(0).toString(), QString("1,3"));
        query.Close();
        db.Close();
        RunPg("pg_ctl", stop);
    }
};

QTEST_GUILESS_MAIN(TestExecPg)
#include "test_exec_pg.moc"
