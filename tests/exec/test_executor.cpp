#include "DataSet.h"
#include "EngineError.h"
#include "ExecTestSupport.h"

// The executor against real SQLite files, with a recording stand-in for the main window.
class TestExecutor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file, m_other;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
    std::unique_ptr<TQuery> m_query;
    TRecordedHost m_rec;
    std::unique_ptr<TExecutor> m_exec;

    QVariant Value(const QString &sql) { return SqliteValue(m_file, sql); }
    bool Run(const QStringList &lines) { return m_exec->RunScript(lines); }

private slots:
    void initTestCase()
    {
        m_file = m_dir.filePath("shop.sqlite");
        m_other = m_dir.filePath("other.sqlite");
        SqliteValue(m_other, {}, {"CREATE TABLE exec_t (a TEXT)"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_file},
                            TSession::TPersistence::SessionOnly);
        m_session->AddAlias("OTHER", "SQLITE", {"DATABASE NAME=" + m_other},
                            TSession::TPersistence::SessionOnly);
    }

    void init()
    {
        QFile::remove(m_file);
        SqliteValue(m_file, {}, {"CREATE TABLE exec_t (a TEXT)"});
        m_exec.reset();
        m_query.reset();
        m_db = std::make_unique<TDatabase>("DBOrvane", m_session.get());
        m_db->SetAliasName("SHOP");
        m_query = std::make_unique<TQuery>(m_session.get());
        m_query->DatabaseName = "DBOrvane";
        m_rec = TRecordedHost();
        m_exec = std::make_unique<TExecutor>(*m_db, *m_query, m_rec.Host());
    }

    void cleanup()
    {
        m_exec.reset();
        m_query.reset();
        m_db.reset();
    }

    // Separators inside literals and line comments must not cut the statement.
    void separatorsInsideLiteralsAreKept()
    {
        QVERIFY(
            Run({"INSERT INTO exec_t VALUES ('a;b');", "INSERT INTO exec_t VALUES ('x /* y */ z');",
                 "INSERT INTO exec_t VALUES ('it''s; \"quoted\"');",
                 "INSERT INTO exec_t -- a note; /* not a comment block", "  VALUES ('multi",
                 "line;');"}));
        QCOMPARE(Value("SELECT group_concat(a, '|') FROM exec_t").toString(),
                 QString("a;b|x /* y */ z|it's; \"quoted\"|multi\nline;"));
        QVERIFY(m_rec.statuses.last() == "SQL executed.");
    }

    void statementEnds()
    {
        // The last line ends the statement without ";", and one left before empty lines runs.
        QVERIFY(Run({"INSERT INTO exec_t VALUES ('one')"}));
        QVERIFY(Run({"INSERT INTO exec_t", "VALUES ('two')", "", "   ", ""}));
        QCOMPARE(Value("SELECT group_concat(a) FROM exec_t").toString(), QString("one,two"));
        // The rest of a line after its first ";" goes with the statement.
        QVERIFY(Run({"SELECT a FROM exec_t; ORDER BY a DESC", "SELECT 2"}));
        QCOMPARE(m_rec.opened.size(), 2);
        QCOMPARE(m_rec.opened[0].sql, QString("SELECT a FROM exec_t ORDER BY a DESC"));
        QCOMPARE(m_rec.opened[1].number, 2);
        // Two statements on one line are sent as one text, which the engine refuses.
        QVERIFY(!Run({"INSERT INTO exec_t VALUES ('3'); INSERT INTO exec_t VALUES ('4');"}));
        QVERIFY(m_rec.statuses.last().startsWith("ERROR:"));
        QCOMPARE(Value("SELECT count(*) FROM exec_t").toInt(), 2);
    }

    void selectDetectionAndRefresh()
    {
        QVERIFY(Run({"INSERT INTO exec_t SELECT", "'copied';"}));
        QCOMPARE(m_exec->SelectCount(), 1);
        QVERIFY(!m_exec->Changed());
        QCOMPARE(m_rec.opened.size(), 1); // it went to a result window
        QCOMPARE(m_rec.refresh, 0);

        QVERIFY(Run({"SELECT * FROM exec_t;", "UPDATE exec_t SET a = 'z';"}));
        QVERIFY(m_exec->Changed());
        QCOMPARE(m_rec.refresh, 1);
        QCOMPARE(Value("SELECT count(*) FROM exec_t WHERE a = 'z'").toInt(), 0);
    }

    void errorInThirdStatement()
    {
        const QStringList script {
            "INSERT INTO exec_t VALUES ('1');", "",
            "INSERT INTO exec_t VALUES ('2');", "INSERT INTO",
            "  missing_table VALUES (3);",      "INSERT INTO exec_t VALUES ('4');"};
        QVERIFY(!Run(script));
        QCOMPARE(Value("SELECT group_concat(a) FROM exec_t").toString(), QString("1,2"));
        QCOMPARE(m_rec.selected, QList<int> {3});
        QCOMPARE(m_rec.focus, 1);
        QCOMPARE(m_rec.refresh, 0); // not even after the two changes
        QVERIFY(m_exec->ErrorText().startsWith("ERROR:"));
        QVERIFY(m_exec->ErrorText().contains("missing_table"));
        QCOMPARE(m_rec.statuses.last(), TExecutor::ErrorStatusText(m_exec->ErrorText()));
        QVERIFY(m_rec.statuses.contains("Executing INSERT INTO... (line 4)"));
        QVERIFY(m_rec.statuses.contains("Executing INSERT INTO exec_t V... (line 3)"));
        QVERIFY(!m_rec.statuses.contains("Executing INSERT INTO exec_t V... (line 6)"));
    }

    void statusTexts()
    {
        QCOMPARE(TExecutor::ErrorStatusText("ERROR:no such table: x. More text. And more"),
                 QString("ERROR:no such table: x."));
        QCOMPARE(TExecutor::ErrorStatusText("ERROR:no dot here"), QString("ERROR:no dot here"));
        QCOMPARE(TExecutor::ExecutingText("SELECT", 0), QString("Executing SELECT... (line 1)"));
    }

    void directives()
    {
        // A one-line comment switches the alias at once; the next line is a statement.
        QVERIFY(Run({"/* Alias: OTHER */", "INSERT INTO exec_t VALUES ('there');"}));
        QCOMPARE(m_db->AliasName(), QString("OTHER"));
        QCOMPARE(SqliteValue(m_other, "SELECT a FROM exec_t").toString(), QString("there"));
        QCOMPARE(Value("SELECT count(*) FROM exec_t").toInt(), 0);

        QVERIFY(Run({"/*", "LIVEANSWER: TRUE", "*/", "SELECT 1;", "/* liveanswer:tRuE*/",
                     "SELECT 2;", "/*", "QueryName:Second Window */", "SELECT 3;", "SELECT 4;",
                     "/* QUERYNAME:q ALIAS:SHOP */", "SELECT 5;"}));
        QCOMPARE(m_rec.opened.size(), 5);
        QVERIFY(!m_rec.opened[0].live);
        QVERIFY(m_rec.opened[1].live);
        QCOMPARE(m_rec.opened[2].name, QString("Second Window ")); // not trimmed
        QCOMPARE(m_rec.opened[3].name, QString()); // used by one SELECT only
        QCOMPARE(m_rec.opened[4].name, QString()); // ALIAS won on that line
        QCOMPARE(m_db->AliasName(), QString("SHOP"));
        QCOMPARE(m_rec.opened[4].number, 5);

        // Nothing is carried into the next run.
        QVERIFY(Run({"/* QueryName:Kept? */", "/* LiveAnswer:true */"}));
        QVERIFY(Run({"SELECT 6"}));
        QVERIFY(!m_rec.opened.last().live);
        QCOMPARE(m_rec.opened.last().name, QString());
    }

    void commentInsideStatement()
    {
        // Lines gathered before a comment block stay; "/*" in a literal opens nothing.
        QVERIFY(Run({"INSERT INTO exec_t", "/* note */", "VALUES ('/*');", "SELECT 9;"}));
        QCOMPARE(Value("SELECT a FROM exec_t").toString(), QString("/*"));
        QCOMPARE(m_rec.opened.size(), 1);
        QCOMPARE(m_rec.opened[0].sql, QString("SELECT 9"));
    }

    void executeCommand()
    {
        m_rec.lines = {"INSERT INTO exec_t VALUES ('1');"};
        QVERIFY(m_exec->Execute());
        QCOMPARE(m_rec.busy, (QList<bool> {true, false}));
        QCOMPARE(m_rec.statuses.last(), QString("SHOP.CUST"));
        m_rec.lines = {"INSERT INTO nowhere VALUES (1);"};
        QVERIFY(!m_exec->Execute());
        QCOMPARE(m_rec.busy, (QList<bool> {true, false, true, false}));
        QVERIFY(m_rec.statuses.last().startsWith("ERROR:"));

        // An error of the result window ends the run like an engine error.
        m_rec.lines = {"SELECT 1;", "INSERT INTO exec_t VALUES ('2');"};
        TExecutorHost h = m_rec.Host();
        h.OpenResultWindow = [](const QStringList &, const QString &, int, bool) {
            throw EDatabaseError("window failed. badly");
        };
        TExecutor failing(*m_db, *m_query, h);
        QVERIFY(!failing.Execute());
        QCOMPARE(m_rec.statuses.last(), QString("ERROR:window failed."));
        QCOMPARE(Value("SELECT count(*) FROM exec_t").toInt(), 1);
    }

    void statusRepaintsAreThrottled()
    {
        QStringList script {"BEGIN;"};
        for (int i = 0; i < 3000; ++i)
            script << QString("INSERT INTO exec_t VALUES ('%1');").arg(i);
        QVERIFY(Run(script << "COMMIT;"));
        QCOMPARE(Value("SELECT count(*) FROM exec_t").toInt(), 3000);
        QCOMPARE(m_rec.statuses.size(), 3003); // one text per statement, then "SQL executed."
        QVERIFY2(m_rec.repaints < 3000 / 10, qPrintable(QString::number(m_rec.repaints)));
    }

    void headerWriter()
    {
        m_exec->WriteHeader({"QueryName:Q_TableCUST"});
        QCOMPARE(m_rec.appended, (QStringList {"/*", "QueryName:Q_TableCUST", "*/", ""}));
        m_rec.appended.clear();
        m_rec.liveOption = m_rec.aliasOption = true;
        m_exec->WriteHeader({});
        QCOMPARE(m_rec.appended, (QStringList {"/*", "LiveAnswer:True", "Alias:SHOP", "*/", ""}));
        m_rec.appended.clear();
        m_rec.aliasNode = "OTHER";
        m_rec.liveOption = false;
        m_exec->WriteHeader({});
        QCOMPARE(m_rec.appended, (QStringList {"/*", "Alias:OTHER", "*/", ""}));
        // What it writes, the executor reads back.
        QVERIFY(Run(m_rec.appended + QStringList {"INSERT INTO exec_t VALUES ('h');"}));
        QCOMPARE(SqliteValue(m_other, "SELECT count(*) FROM exec_t WHERE a = 'h'").toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TestExecutor)
#include "test_executor.moc"
