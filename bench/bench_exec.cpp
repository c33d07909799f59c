// A long INSERT script through the executor, and through the program's headless script
// runner, against the engines' own command-line tools reading the same script, each side
// on a fresh database.
#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"
#include "Executor.h"
#include "FirebirdDriver.h"
#include "Session.h"
#include "StatementWait.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

static constexpr int Statements = 100000;

// Processor seconds (user and system) used so far by this process or by its finished children.
static double CpuSeconds(int who)
{
    rusage u {};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

static void WriteScript(const QString &file, const QString &table)
{
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    QTextStream out(&f);
    out << "CREATE TABLE " << table << " (id INTEGER, name VARCHAR(40), amount NUMERIC(10,2));\n";
    for (int i = 0; i < Statements; ++i)
        out << "INSERT INTO " << table << " VALUES (" << i << ", 'customer; number " << i << "', "
            << i % 1000 << ".25);\n";
}

static QStringList ReadLines(const QString &file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll()).split(u'\n');
}

// Seconds the executor takes to read and run the script on the alias, as F9 runs it: a run
// that may be stopped.
static double ExecutorSeconds(TSession &session, const QString &alias, const QString &script)
{
    TDatabase db("DBOrvane", &session);
    db.SetAliasName(alias);
    TQuery query(&session);
    query.DatabaseName = "DBOrvane";
    QString last;
    TExecutorHost host;
    host.SetStatus = [&last](const QString &t) {
        last = t;
    };
    QElapsedTimer t;
    host.Lines = [&] {
        t.start(); // the file is read inside the run
        return ReadLines(script);
    };
    TExecutor exec(db, query, host);
    StatementWait::SetPump([] { QCoreApplication::processEvents(); });
    const bool ok = exec.Execute();
    const double s = t.nsecsElapsed() / 1e9;
    StatementWait::SetPump({});
    if (!ok)
        std::fprintf(stderr, "executor failed: %s\n", qPrintable(last));
    // A figure of statements that did not all land would mean nothing.
    QSqlQuery count("SELECT COUNT(*) FROM bench_t", db.Connection().Db());
    if (!count.next() || count.value(0).toInt() != Statements)
        std::fprintf(stderr, "the run left %s rows, not %d\n",
                     qPrintable(count.value(0).toString()), Statements);
    return s;
}

static double ToolSeconds(const QString &program, const QStringList &args, const QString &input,
                          const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    if (!input.isEmpty())
        p.setStandardInputFile(input);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(-1);
    const double s = t.nsecsElapsed() / 1e9;
    if (p.exitCode() != 0)
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     p.readAllStandardError().constData());
    return s;
}

static void SqliteRatio()
{
    // tmpfs: a commit per statement costs what the engines do, not what the disk does.
    const QString base = QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath();
    QTemporaryDir dir(base + "/orvane-bench-XXXXXX");
    const QString script = dir.filePath("script.sql");
    WriteScript(script, "bench_t");
    // The machine's load varies: the ratios of five rounds, the two sides in alternating
    // order and each on a fresh database, and their median.
    std::vector<double> mine, tool, mineCpu, toolCpu, cli;
    // The runner finds its alias in a configuration of its own.
    const QString config = dir.filePath("config");
    QDir().mkpath(config + "/Orvane");
    const QString cliFile = dir.filePath("cli.sqlite");
    {
        QFile aliases(config + "/Orvane/aliases.ini");
        aliases.open(QIODevice::WriteOnly);
        aliases.write(("[CLI]\nDRIVER=SQLITE\nDATABASE NAME=" + cliFile + "\n").toUtf8());
    }
    const QString program = QCoreApplication::applicationDirPath() + "/../orvane";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    for (int round = 0; round < 5; ++round) {
        const QString mineFile = dir.filePath(QString("mine%1.sqlite").arg(round));
        const QString toolFile = dir.filePath(QString("tool%1.sqlite").arg(round));
        QFile(mineFile).open(QIODevice::WriteOnly); // an empty file is an empty database
        TSession session(dir.filePath("aliases.ini"));
        session.AddAlias("MINE", "SQLITE", {"DATABASE NAME=" + mineFile},
                         TSession::TPersistence::SessionOnly);
        const auto runTool = [&] {
            const double cpu = CpuSeconds(RUSAGE_CHILDREN);
            tool.push_back(ToolSeconds("sqlite3", {toolFile}, script));
            toolCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
        };
        if (round % 2 == 0)
            runTool();
        const double cpu = CpuSeconds(RUSAGE_SELF);
        mine.push_back(ExecutorSeconds(session, "MINE", script));
        mineCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
        if (round % 2 == 1)
            runTool();
        QFile(cliFile).open(QIODevice::WriteOnly);
        cli.push_back(ToolSeconds(program, {"--run", script, "--alias", "CLI"}, {}, env));
        QFile::remove(mineFile);
        QFile::remove(toolFile);
        QFile::remove(cliFile);
    }
    std::printf("exec_sqlite_seconds: %.2f\nsqlite3_seconds: %.2f\n", Median(mine, {}),
                Median(tool, {}));
    std::printf("exec_vs_sqlite3_ratio: %.3f\n", Median(mine, tool));
    // Processor time is less at the mercy of other work on the machine.
    std::printf("exec_vs_sqlite3_cpu_ratio: %.3f\n", Median(mineCpu, toolCpu));
    std::printf("run_cli_100k_seconds: %.2f\n", Median(cli, {}));
    std::printf("run_cli_100k_vs_sqlite3_ratio: %.3f\n", Median(cli, tool));
    std::fflush(stdout);
}

// Milliseconds from Stop to the end of the run, for a statement that would otherwise run for
// a minute or for ever, on the alias.
static void CancelLatency(TSession &session, const QString &alias, const QString &statement,
                          const char *figure, const QString &setup = {})
{
    TDatabase db("DBOrvane", &session);
    db.SetAliasName(alias);
    TQuery query(&session);
    query.DatabaseName = "DBOrvane";
    TExecutorHost host;
    QString script = setup;
    host.Lines = [&script] {
        return QStringList {script};
    };
    TExecutor exec(db, query, host);
    if (!setup.isEmpty() && !exec.Execute())
        std::fprintf(stderr, "%s: %s\n", figure, qPrintable(exec.ErrorText()));
    script = statement;
    StatementWait::SetPump([] { QCoreApplication::processEvents(); });
    std::vector<double> latency;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer sinceStop;
        QTimer stop; // ends with the round, so that a run that failed early stops no other
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [&] {
            sinceStop.start();
            StatementWait::RequestStop();
        });
        stop.start(300);
        exec.Execute();
        if (exec.ErrorText() != StatementWait::CanceledText() || !sinceStop.isValid()) {
            std::fprintf(stderr, "%s not measured: %s\n", figure, qPrintable(exec.ErrorText()));
            StatementWait::SetPump({});
            return;
        }
        latency.push_back(sinceStop.nsecsElapsed() / 1e6);
    }
    StatementWait::SetPump({});
    std::printf("%s: %.1f\n", figure, Median(latency, {}));
    std::fflush(stdout);
}

static void SqliteCancelLatency()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("cancel.sqlite");
    QFile(file).open(QIODevice::WriteOnly);
    TSession session(dir.filePath("aliases.ini"));
    session.AddAlias("CANCEL", "SQLITE", {"DATABASE NAME=" + file},
                     TSession::TPersistence::SessionOnly);
    CancelLatency(session, "CANCEL",
                  "CREATE TABLE big AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL"
                  " SELECT x + 1 FROM c) SELECT count(*) FROM c;",
                  "cancel_latency_sqlite_ms");
}

static void FirebirdCancelLatency()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("cancel.fdb");
    try {
        CreateFirebirdFile(file);
    } catch (const EDatabaseError &e) {
        std::fprintf(stderr, "cancel_latency_firebird_ms not measured: %s\n",
                     qPrintable(e.Message()));
        return;
    }
    TSession session(dir.filePath("aliases.ini"));
    session.AddAlias("CANCEL", "INTRBASE", {"SERVER NAME=" + file, "USER NAME=SYSDBA"},
                     TSession::TPersistence::SessionOnly);
    CancelLatency(session, "CANCEL",
                  "INSERT INTO big SELECT COUNT(*) FROM RDB$FIELDS a, RDB$FIELDS b,"
                  " RDB$FIELDS c, RDB$FIELDS d;",
                  "cancel_latency_firebird_ms", "CREATE TABLE big (n BIGINT);");
}

static void PgRatio()
{
    const QString host = qEnvironmentVariable("ORVANE_PG_HOST");
    const QString port = qEnvironmentVariable("ORVANE_PG_PORT");
    const QString user = qEnvironmentVariable("ORVANE_PG_USER");
    if (port.isEmpty()) {
        std::fprintf(stderr, "ORVANE_PG_PORT unset: exec_vs_psql_ratio not measured\n");
        return;
    }
    const QStringList conn {"-h", host, "-p", port, "-U", user, "-q", "-v", "ON_ERROR_STOP=1"};
    const auto admin = [&](const QString &sql) {
        ToolSeconds("psql", conn + QStringList {"-d", "postgres", "-c", sql}, {});
    };
    QTemporaryDir dir;
    const QString script = dir.filePath("script.sql");
    WriteScript(script, "bench_t");
    TSession session(dir.filePath("aliases.ini"));
    session.AddAlias("MINE", "POSTGRESQL",
                     {"SERVER NAME=" + host, "PORT=" + port, "DATABASE NAME=exec_bench_mine",
                      "USER NAME=" + user},
                     TSession::TPersistence::SessionOnly);
    // The server's load varies: the best of three rounds per side, in alternating order, each
    // on a fresh database.
    double mine = 1e9, tool = 1e9;
    for (int round = 0; round < 3; ++round) {
        for (const char *db : {"exec_bench_mine", "exec_bench_tool"}) {
            admin(QString("DROP DATABASE IF EXISTS %1").arg(db));
            admin(QString("CREATE DATABASE %1").arg(db));
        }
        const auto runTool = [&] {
            tool = std::min(tool,
                            ToolSeconds("psql",
                                        conn + QStringList {"-d", "exec_bench_tool", "-f", script},
                                        {}));
        };
        if (round % 2 == 0)
            runTool();
        mine = std::min(mine, ExecutorSeconds(session, "MINE", script));
        if (round % 2 == 1)
            runTool();
    }
    std::printf("exec_pg_seconds: %.2f\npsql_seconds: %.2f\n", mine, tool);
    std::printf("exec_vs_psql_ratio: %.3f\n", mine / tool);
    CancelLatency(session, "MINE", "CREATE TABLE cancel_big AS SELECT 1 AS s FROM pg_sleep(60);",
                  "cancel_latency_pg_ms");
    for (const char *db : {"exec_bench_mine", "exec_bench_tool"})
        admin(QString("DROP DATABASE IF EXISTS %1").arg(db));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SqliteRatio();
    SqliteCancelLatency();
    FirebirdCancelLatency();
    PgRatio();
    return 0;
}
