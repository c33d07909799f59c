// The tree on a PostgreSQL alias: driver in the status bar, levels with the server's types,
// a table created meanwhile, tables of other schemas, a server that went away, and reading
// errors shown unless the login was cancelled.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include "Database.h"
#include "IniFile.h"
#include "LoginDialog.h"
#include "MessageDlg.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"
#include "Session.h"
#include "TreeLogic.h"
#include "params/ModalAnswers.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <unistd.h>

// Confirms the login dialog as the server's user, with the password it proposes or a dummy.
static void LogInAsServerUser(QWidget *w)
{
    auto *d = qobject_cast<Tform_LoginDialog *>(w);
    QVERIFY(d);
    d->edtUserName->setText(PgEnv("ORVANE_PG_USER"));
    if (d->edtPassword->text().isEmpty())
        d->edtPassword->setText("unused");
    d->btnOK->click();
}

class TestMainPg : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void treeLevelsOnTheServer();
    void readErrorsShownUnlessLoginCancelled();
    void schemaTablesFoundWhole();
    void aliasReadAgainAfterServerWentAway();
    void serverRestartedWhileReading();
    void transactionOfAScriptSurvivesTheRefresh();
    void stopAStatementOnTheServer();
    void cleanupTestCase();

private:
    void Exec(const QString &sql)
    {
        TSession::Default().OpenDatabase("SHELL_PG").Connection().Exec(sql);
    }
};

void TestMainPg::initTestCase()
{
    REQUIRE_PG();
    TSession::Default().AddAlias("SHELL_PG", "POSTGRESQL", PgAliasParams(),
                                 TSession::TPersistence::SessionOnly);
    Exec("DROP TABLE IF EXISTS shell_tree_a, shell_tree_b");
    Exec("CREATE TABLE shell_tree_a (id integer PRIMARY KEY, name varchar(40) NOT NULL, "
         "note text, amount numeric(10,2))");
    Exec("CREATE INDEX shell_tree_a_name ON shell_tree_a (name, id)");
}

void TestMainPg::treeLevelsOnTheServer()
{
    TModalAnswers answers;
    answers.Add(LogInAsServerUser);
    TProgram p;
    QTreeWidgetItem *alias = AliasNode(p, "SHELL_PG");
    QVERIFY(alias);
    p->FindByPath("DEMO.ORDERS");
    p->MainTree->setCurrentItem(alias);
    QCOMPARE(p->StatusText(), QString("SHELL_PG (POSTGRESQL)"));
    QCOMPARE(p->DB_Orvane.AliasName(), QString("DEMO"));

    p->FindByPath("SHELL_PG.shell_tree_a");
    QCOMPARE(p->DB_Orvane.AliasName(), QString("SHELL_PG"));
    QTreeWidgetItem *table = Selected(p);
    QCOMPARE(table->childCount(), 0); // the last piece is selected, not expanded
    table->setExpanded(true);
    QCOMPARE(table->text(0), QString("shell_tree_a"));
    QCOMPARE(Child(table, "id")->text(0), QString("id: INTEGER"));
    QCOMPARE(Child(table, "name")->text(0), QString("name: VARCHAR(40)"));
    QCOMPARE(Child(table, "note")->text(0), QString("note: MEMO"));
    QCOMPARE(NodeKind(Child(table, "amount")), int(nkField));
    QTreeWidgetItem *pk = Child(table, "Primary key");
    QVERIFY(pk);
    QCOMPARE(pk->child(0)->text(0), QString("id: INTEGER"));
    QTreeWidgetItem *index = Child(table, "shell_tree_a_name");
    QVERIFY(index);
    QCOMPARE(NodeKind(index), int(nkIndex));
    QCOMPARE(index->childCount(), 2);
    QCOMPARE(index->child(0)->text(0), QString("name: VARCHAR(40)"));
    QCOMPARE(NodeKind(index->child(1)), int(nkIndexField));

    Exec("CREATE TABLE shell_tree_b (x integer)");
    QVERIFY(!Child(alias, "shell_tree_b"));
    alias->setExpanded(false);
    alias->setExpanded(true);
    QVERIFY(Child(alias, "shell_tree_b"));
    p->FindByPath("SHELL_PG.shell_tree_b.x");
    QCOMPARE(p->NodePathText(), QString("SHELL_PG.shell_tree_b.x"));
}

void TestMainPg::readErrorsShownUnlessLoginCancelled()
{
    TParams params = PgAliasParams();
    SetParamValue(params, "DATABASE NAME", "shell_no_such_database");
    TSession::Default().AddAlias("SHELL_PG_BAD", "POSTGRESQL", params,
                                 TSession::TPersistence::SessionOnly);
    TShownMessages boxes;
    const QStringList &shown = boxes.texts;
    {
        TModalAnswers answers;
        answers.Add([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
        answers.Add(LogInAsServerUser);
        TProgram p;
        QTreeWidgetItem *bad = AliasNode(p, "SHELL_PG_BAD");
        bad->setExpanded(true);
        QCOMPARE(bad->childCount(), 0);
        QCOMPARE(answers.Seen(), 1);
        QVERIFY(shown.isEmpty()); // no login was confirmed: silently no tables

        bad->setExpanded(false);
        p->LoginAccepted = true;
        p->SetValue("Password_SHELL_PG_BAD", "secret");
        bad->setExpanded(true);
        QCOMPARE(bad->childCount(), 0);
        QCOMPARE(answers.Seen(), 2);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("shell_no_such_database"), qPrintable(shown[0]));
        QCOMPARE(p->Value("Password_SHELL_PG_BAD"), QString()); // forgotten, asked again

        // A login remembered from before needs no dialog; the reason is shown all the same.
        bad->setExpanded(false);
        p->LoginAccepted = false;
        p->SetValue("Password_SHELL_PG_BAD", "secret");
        bad->setExpanded(true);
        QCOMPARE(answers.Seen(), 2);
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].contains("shell_no_such_database"), qPrintable(shown[1]));
        p->SessionAliases << "SHELL_PG_BAD";
    }
    QVERIFY(!TSession::Default().IsAlias("SHELL_PG_BAD"));
}

void TestMainPg::schemaTablesFoundWhole()
{
    Exec("DROP SCHEMA IF EXISTS shell_sales CASCADE");
    Exec("DROP TABLE IF EXISTS public.shell_sales");
    Exec("CREATE SCHEMA shell_sales");
    Exec("CREATE TABLE shell_sales.alpha (a integer)");
    Exec("CREATE TABLE shell_sales.beta (b integer, x integer)");
    Exec("CREATE TABLE public.shell_sales (s integer)"); // listed before the schema's tables
    TModalAnswers answers;
    answers.Add(LogInAsServerUser);
    {
        TProgram p;
        QVERIFY(p.Show());
        p->FindByPath("SHELL_PG.shell_sales.beta.x");
        QCOMPARE(SelectedText(p), QString("x: INTEGER"));
        QCOMPARE(Selected(p)->parent()->text(0), QString("shell_sales.beta"));
        QCOMPARE(p->Value("TableName"), QString("shell_sales.beta"));
        p->FindByPath("SHELL_PG.shell_sales.s");
        QCOMPARE(SelectedText(p), QString("s: INTEGER"));
        p->FindByPath("SHELL_PG.shell_sales.beta");
        p->mnuEdtRefresh->trigger();
        QCOMPARE(SelectedText(p), QString("shell_sales.beta"));
        QCOMPARE(p->NodePathText(), QString("SHELL_PG.shell_sales.beta"));
    }
    Exec("DROP SCHEMA shell_sales CASCADE");
    Exec("DROP TABLE public.shell_sales");
}

void TestMainPg::aliasReadAgainAfterServerWentAway()
{
    Exec("DROP DATABASE IF EXISTS shell_gone_db WITH (FORCE)");
    Exec("CREATE DATABASE shell_gone_db");
    TParams params = PgAliasParams();
    SetParamValue(params, "DATABASE NAME", "shell_gone_db");
    TSession &session = TSession::Default();
    session.AddAlias("SHELL_PG_GONE", "POSTGRESQL", params, TSession::TPersistence::SessionOnly);
    session.OpenDatabase("SHELL_PG_GONE").Connection().Exec("CREATE TABLE gone_t (x integer)");
    session.OpenDatabase("SHELL_PG_GONE").Close();
    auto dropConnections = [&] {
        Exec("SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity"
             " WHERE datname = 'shell_gone_db' AND pid <> pg_backend_pid()");
    };
    TShownMessages boxes;
    const QStringList &shown = boxes.texts;
    {
        TProgram p; // the login is remembered from an earlier run: no dialog, nothing accepted
        p->Ini().WriteString("Config", "UserName_SHELL_PG_GONE", PgEnv("ORVANE_PG_USER"));
        p->SetValue("Password_SHELL_PG_GONE", "unused");
        QTreeWidgetItem *gone = AliasNode(p, "SHELL_PG_GONE");
        gone->setExpanded(true);
        QVERIFY(Child(gone, "gone_t"));
        gone->setExpanded(false);

        // The server dropped the connection: opening the alias again connects anew.
        dropConnections();
        gone->setExpanded(true);
        QVERIFY(Child(gone, "gone_t"));
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join(" | ")));
        gone->setExpanded(false);

        // It takes no connections now: the engine's reason is shown.
        Exec("ALTER DATABASE shell_gone_db ALLOW_CONNECTIONS false");
        dropConnections();
        gone->setExpanded(true);
        QCOMPARE(gone->childCount(), 0);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("shell_gone_db"), qPrintable(shown[0]));
        gone->setExpanded(false);

        Exec("ALTER DATABASE shell_gone_db ALLOW_CONNECTIONS true");
        gone->setExpanded(true);
        QVERIFY(Child(gone, "gone_t"));
        QCOMPARE(shown.size(), 1);
        p->SessionAliases << "SHELL_PG_GONE";

        // A result window reading its rows when the server goes away keeps the rows it has
        // and says that the rest was not read; the next run connects anew. The rows are
        // more than the socket holds, so the server is still sending when it goes.
        const QString script = "/*\nAlias:SHELL_PG_GONE\n*/\nSELECT g, repeat('x', 200) AS pad"
                               " FROM generate_series(1, 300000) g;";
        p->memSQL->setPlainText(script);
        p->mnuSQLExecute->trigger();
        QCOMPARE(p->ResultWindows().Windows().size(), 1);
        Tform_QueryResult *w = p->ResultWindows().Windows().first();
        QTRY_VERIFY(w->dsResult->rowCount() > 0);
        dropConnections();
        // The view asks for more as it scrolls; once the rows stop coming, they stay.
        for (int i = 0, before = -1; i < 2000 && w->dsResult->rowCount() != before; ++i) {
            before = w->dsResult->rowCount();
            w->dsResult->fetchMore({});
        }
        const int kept = w->dsResult->rowCount();
        QVERIFY2(kept < 300000, qPrintable(QString::number(kept)));
        QVERIFY2(w->PanelText(2).startsWith("ERROR:server closed the connection"),
                 qPrintable(w->PanelText(2)));
        QVERIFY(w->PanelText(2).contains(QString::number(kept)));
        QCOMPARE(w->dsResult->data(w->dsResult->index(kept - 1, 0)).toString(),
                 QString::number(kept));

        p->mnuSQLExecute->trigger();
        QVERIFY2(!p->StatusText().startsWith("ERROR"), qPrintable(p->StatusText()));
        QCOMPARE(p->ResultWindows().Windows().size(), 2);
        w = p->ResultWindows().Windows().last();
        QVERIFY(w->dsResult->rowCount() > 0);
        QVERIFY(w->PanelText(2).isEmpty());
    }
    Exec("DROP DATABASE shell_gone_db WITH (FORCE)");
}

void TestMainPg::cleanupTestCase()
{
    if (TSession::Default().IsAlias("SHELL_PG"))
        Exec("DROP TABLE IF EXISTS shell_tree_a, shell_tree_b, shell_stop, shell_stop_big");
}

// A script that begins a transaction and changes a table makes the tree read the catalog
// again; the transaction stays open until the next script commits it.
void TestMainPg::transactionOfAScriptSurvivesTheRefresh()
{
    Exec("DROP TABLE IF EXISTS shell_tx");
    Exec("CREATE TABLE shell_tx (x integer)");
    TProgram p;
    p->Ini().WriteString("Config", "UserName_SHELL_PG", PgEnv("ORVANE_PG_USER"));
    p->SetValue("Password_SHELL_PG", "unused");
    p->FindByPath("SHELL_PG.shell_tx");
    QCOMPARE(p->DB_Orvane.AliasName(), QString("SHELL_PG"));
    p->memSQL->setPlainText("BEGIN;\nINSERT INTO shell_tx VALUES (1);\n");
    p->mnuSQLExecute->trigger();
    QVERIFY2(!p->StatusText().startsWith("ERROR"), qPrintable(p->StatusText()));
    p->memSQL->setPlainText("INSERT INTO shell_tx VALUES (2);\nCOMMIT;\n");
    p->mnuSQLExecute->trigger();
    QVERIFY2(!p->StatusText().startsWith("ERROR"), qPrintable(p->StatusText()));
    TDatabase other("SHELL_PG_OTHER");
    other.SetAliasName("SHELL_PG");
    QSqlQuery count(other.Connection().Db());
    QVERIFY(count.exec("SELECT count(*) FROM shell_tx") && count.next());
    QCOMPARE(count.value(0).toInt(), 2);
}

ORVANE_TEST_MAIN_WITH_HOME(TestMainPg, QApplication)

#include "test_main_pg.moc"

// Stop sends the server its cancel request: the statement ends within a moment, what ran
// before stays, nothing after it runs; inside the user's transaction the transaction is
// left aborted, as the server leaves it, and the status bar says so.
void TestMainPg::stopAStatementOnTheServer()
{
    Exec("DROP TABLE IF EXISTS shell_stop, shell_stop_big");
    Exec("CREATE TABLE shell_stop (x integer)");
    TProgram p;
    p->Ini().WriteString("Config", "UserName_SHELL_PG", PgEnv("ORVANE_PG_USER"));
    p->SetValue("Password_SHELL_PG", "unused");
    QString sleep = "CREATE TABLE shell_stop_big AS SELECT 1 AS s FROM pg_sleep(60);";
    const auto run = [&](const QString &before) {
        p->memSQL->setPlainText("/*\nAlias:SHELL_PG\n*/\n" + before + "\n" + sleep
                                + "\nINSERT INTO shell_stop VALUES (2);");
        QTimer::singleShot(700, p.main.get(), [&] { p->btnStop->trigger(); });
        QElapsedTimer t;
        t.start();
        p->mnuSQLExecute->trigger();
        QVERIFY2(t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(p->memSQL->textCursor().block().text(), sleep);
    };
    const auto count = [&] {
        TDatabase other("SHELL_PG_STOP");
        other.SetAliasName("SHELL_PG");
        QSqlQuery q(other.Connection().Db());
        return q.exec("SELECT count(*) FROM shell_stop") && q.next() ? q.value(0).toInt() : -1;
    };
    run("INSERT INTO shell_stop VALUES (1);");
    QCOMPARE(p->StatusText(), QString("Canceled by user"));
    QCOMPARE(count(), 1);

    run("BEGIN;\nINSERT INTO shell_stop VALUES (3);");
    QCOMPARE(p->StatusText(),
             QString("Canceled by user: the open transaction is aborted, only ROLLBACK ends it."));
    p->memSQL->setPlainText("ROLLBACK;\nINSERT INTO shell_stop VALUES (4);");
    p->mnuSQLExecute->trigger();
    QVERIFY2(!p->StatusText().startsWith("ERROR"), qPrintable(p->StatusText()));
    QCOMPARE(count(), 2);

    // One that returns rows: its result window reads it on a connection of its own.
    sleep = "SELECT 1 AS s FROM pg_sleep(60);";
    run("BEGIN;");
    QCOMPARE(p->StatusText(), QString("Canceled by user"));
    p->memSQL->setPlainText("ROLLBACK;");
    p->mnuSQLExecute->trigger();
    QCOMPARE(count(), 2);
}

// A cluster of this test's own, which it may stop and start while the shared one serves
// the other tests. Run as the postgres user when the tests run as root, as the server
// refuses root.
class TOwnServer
{
public:
    QString port;

    bool Start()
    {
        QTcpServer probe; // a port free on loopback this moment
        if (!m_dir.isValid() || !probe.listen(QHostAddress::LocalHost))
            return false;
        port = QString::number(probe.serverPort());
        probe.close();
        QFile::setPermissions(m_dir.path(),
                              QFile::permissions(m_dir.path()) | QFile::ReadGroup | QFile::ExeGroup
                                  | QFile::ReadOther | QFile::ExeOther);
        if (geteuid() == 0 && QProcess::execute("chown", {"postgres:", m_dir.path()}) != 0)
            return false;
        return Tool("initdb",
                    {"-D", m_dir.filePath("data"), "-U", "postgres", "-A", "trust", "-E", "UTF8",
                     "--locale=C.UTF-8"})
            && Ctl("start");
    }

    bool Ctl(const QString &action)
    {
        return Tool("pg_ctl",
                    {"-D", m_dir.filePath("data"), "-l", m_dir.filePath("log"), "-w", "-t", "60",
                     "-m", "fast", "-o",
                     QString("-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off")
                         .arg(port, m_dir.path()),
                     action});
    }

    ~TOwnServer() { Tool("pg_ctl", {"-D", m_dir.filePath("data"), "-m", "immediate", "stop"}); }

private:
    QTemporaryDir m_dir;

    bool Tool(const QString &name, QStringList args)
    {
        QString program = PgEnv("ORVANE_PG_BIN") + "/" + name;
        if (geteuid() == 0) {
            args = QStringList {"-u", "postgres", "--", program} + args;
            program = "runuser";
        }
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit
            && p.exitCode() == 0;
    }
};

// The server stopped and started again while a result window reads its rows and the tree
// is open: the window keeps its rows and says why the rest was not read; opening the alias
// and a table and running again connect anew.
void TestMainPg::serverRestartedWhileReading()
{
    if (PgEnv("ORVANE_PG_BIN").isEmpty())
        QSKIP("ORVANE_PG_BIN unset: no server of the test's own");
    TOwnServer server;
    QVERIFY(server.Start());
    TSession &session = TSession::Default();
    session.AddAlias("SHELL_PG_RESTART", "POSTGRESQL",
                     {"SERVER NAME=127.0.0.1", "PORT=" + server.port, "DATABASE NAME=postgres",
                      "USER NAME=postgres"},
                     TSession::TPersistence::SessionOnly);
    session.OpenDatabase("SHELL_PG_RESTART").Connection().Exec("CREATE TABLE restart_t (x int)");
    session.OpenDatabase("SHELL_PG_RESTART").Close();
    TShownMessages shown;
    TProgram p;
    p->Ini().WriteString("Config", "UserName_SHELL_PG_RESTART", "postgres");
    p->SetValue("Password_SHELL_PG_RESTART", "unused");
    p->SessionAliases << "SHELL_PG_RESTART";
    QTreeWidgetItem *alias = AliasNode(p, "SHELL_PG_RESTART");
    alias->setExpanded(true);
    QVERIFY(Child(alias, "restart_t"));

    p->memSQL->setPlainText("/*\nAlias:SHELL_PG_RESTART\n*/\nSELECT g, repeat('x', 200) AS pad"
                            " FROM generate_series(1, 300000) g;");
    p->mnuSQLExecute->trigger();
    QCOMPARE(p->ResultWindows().Windows().size(), 1);
    Tform_QueryResult *w = p->ResultWindows().Windows().first();
    QTRY_VERIFY(w->dsResult->rowCount() > 0);
    QVERIFY(server.Ctl("restart"));
    for (int i = 0, before = -1; i < 2000 && w->dsResult->rowCount() != before; ++i) {
        before = w->dsResult->rowCount();
        w->dsResult->fetchMore({});
    }
    const int kept = w->dsResult->rowCount();
    QVERIFY2(kept < 300000, qPrintable(QString::number(kept)));
    QVERIFY2(w->PanelText(2).startsWith("ERROR:"), qPrintable(w->PanelText(2)));
    QVERIFY(w->PanelText(2).contains(QString::number(kept)));

    // The tree's connection died with the server too.
    QTreeWidgetItem *table = Child(alias, "restart_t");
    table->setExpanded(true);
    QVERIFY(table->childCount() > 0);
    alias->setExpanded(false);
    alias->setExpanded(true);
    QVERIFY(Child(alias, "restart_t"));
    QVERIFY2(shown.texts.isEmpty(), qPrintable(shown.texts.join(" | ")));

    p->mnuSQLExecute->trigger();
    QVERIFY2(!p->StatusText().startsWith("ERROR"), qPrintable(p->StatusText()));
    QCOMPARE(p->ResultWindows().Windows().size(), 2); // an unnamed query gets a new window
    w = p->ResultWindows().Windows().last();
    QTRY_VERIFY(w->dsResult->rowCount() > 0);
    QCOMPARE(w->dsResult->data(w->dsResult->index(0, 0)).toString(), QString("1"));
    QVERIFY2(!w->PanelText(2).startsWith("ERROR:"), qPrintable(w->PanelText(2)));
}
