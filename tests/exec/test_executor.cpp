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
                 "INSERT INTO exec_t -- a note; /* not a comment block", "  VALUES ('multi", "",
                 "line;');"}));
        QCOMPARE(Value("SELECT group_concat(a, '|') FROM exec_t").toString(),
                 QString("a;b|x /* y */ z|it's; \"quoted\"|multi\n\nline;"));
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

    // Changes whose text holds the word SELECT run once, as changes, and the run goes on.
    void changesMentioningSelect()
    {
        QVERIFY(Run({"INSERT INTO exec_t SELECT", "'copied';",
                     "UPDATE exec_t SET a = 'please select one' WHERE a = 'copied';",
                     "WITH w AS (SELECT 'cte' AS a) INSERT INTO exec_t SELECT a FROM w;",
                     "PRAGMA user_version = 7;", "PRAGMA shrink_memory;",
                     "INSERT INTO exec_t VALUES ('after');"}));
        QCOMPARE(m_rec.opened.size(), 0);
        QCOMPARE(m_exec->SelectCount(), 0);
        QVERIFY(m_exec->Changed());
        QCOMPARE(m_rec.refresh, 1);
        QCOMPARE(m_rec.statuses.last(), QString("SQL executed."));
        QCOMPARE(Value("SELECT group_concat(a, '|') FROM exec_t").toString(),
                 QString("please select one|cte|after"));
        QCOMPARE(Value("PRAGMA user_version").toInt(), 7);
    }

    // Whatever returns rows opens a result, known by its first keyword.
    void queriesByFirstKeyword()
    {
        QVERIFY(Run({"INSERT INTO exec_t VALUES ('r');"}));
        // The results are really opened on the run's database, as a result window would.
        QStringList firstValues;
        TExecutorHost host = m_rec.Host();
        host.OpenResultWindow = [&](const QStringList &sql, const QString &, int, bool) {
            TQuery q(m_session.get());
            q.DatabaseName = "DBOrvane";
            q.SQL = sql;
            q.Open();
            firstValues << q.Value(0).toString();
            m_rec.opened.append({sql.join('\n'), {}, 0, false});
        };
        TExecutor exec(*m_db, *m_query, host);
        QVERIFY2(exec.RunScript({"-- the rows", "/* c */ select count(*) FROM exec_t;",
                                 "WITH RECURSIVE w(n) AS (SELECT 5 UNION ALL SELECT n + 1 FROM w "
                                 "WHERE n < 6)",
                                 "  SELECT max(n) FROM w;", "values ('v');", "EXPLAIN SELECT 1;",
                                 "PRAGMA table_info(exec_t);", "PRAGMA journal_mode = memory;",
                                 "SELECT 'ü'"}),
                 qPrintable(m_rec.statuses.last()));
        QCOMPARE(exec.SelectCount(), 7);
        QVERIFY(!exec.Changed());
        QCOMPARE(m_rec.refresh, 1); // only the first run changed something
        QCOMPARE(firstValues.size(), 7);
        QCOMPARE(firstValues[0], QString("1"));
        QCOMPARE(firstValues[1], QString("6"));
        QCOMPARE(firstValues[2], QString("v"));
        QCOMPARE(firstValues[4], QString("0")); // table_info's first column: the column number
        QCOMPARE(firstValues[5], QString("memory"));
        QCOMPARE(firstValues[6], QString("ü"));
        QCOMPARE(m_rec.opened[0].sql.trimmed(), QString("select count(*) FROM exec_t"));
    }

    void refreshAfterChanges()
    {
        QVERIFY(Run({"SELECT * FROM exec_t;"}));
        QCOMPARE(m_rec.refresh, 0);
        QVERIFY(Run({"SELECT * FROM exec_t;", "UPDATE exec_t SET a = 'z';"}));
        QVERIFY(m_exec->Changed());
        QCOMPARE(m_rec.refresh, 1);
    }

    // Text before "/*" and after "*/" belongs to the statement.
    void commentsWithinLines()
    {
        QVERIFY(Run({"INSERT INTO exec_t VALUES ('1'); /* note */",
                     "INSERT INTO exec_t /* c */ VALUES ('2');", "INSERT /* two",
                     "  lines */ INTO exec_t VALUES ('3') /* x */ ;",
                     "/* lead */ INSERT INTO exec_t VALUES ('4');", "/* only a note */",
                     "INSERT INTO exec_t VALUES ('5') /* open", "still */ , ('6');"}));
        QCOMPARE(Value("SELECT group_concat(a) FROM exec_t").toString(), QString("1,2,3,4,5,6"));
        QVERIFY(m_rec.statuses.contains("Executing INSERT /* two... (line 3)"));
        QCOMPARE(m_rec.statuses.last(), QString("SQL executed."));

        // An unclosed comment is an error at its line; what came before it ran, what it cut
        // off did not.
        QVERIFY(
            !Run({"INSERT INTO exec_t VALUES ('7');", "",
                  "INSERT INTO exec_t VALUES ('8'); /* never", "closed", "DELETE FROM exec_t;"}));
        QCOMPARE(m_rec.selected.last(), 2);
        QVERIFY2(m_rec.statuses.last().startsWith("ERROR:") && m_rec.statuses.last().contains("3"),
                 qPrintable(m_rec.statuses.last()));
        QVERIFY(!Run({"INSERT INTO exec_t", "  VALUES ('9') /* cut"}));
        QCOMPARE(m_rec.selected.last(), 1);
        QCOMPARE(Value("SELECT group_concat(a) FROM exec_t").toString(),
                 QString("1,2,3,4,5,6,7,8"));
        QCOMPARE(m_rec.refresh, 1);
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
        // The first sentence ends at a "." before a blank or the end, not inside a word.
        QCOMPARE(TExecutor::ErrorStatusText("ERROR:connection to server at \"127.0.0.1\", port "
                                            "5432 failed: Connection refused.\n\tIs it running?"),
                 QString("ERROR:connection to server at \"127.0.0.1\", port 5432 failed: "
                         "Connection refused."));
        QCOMPARE(TExecutor::ErrorStatusText("ERROR:no such table: main.x"),
                 QString("ERROR:no such table: main.x"));
        QCOMPARE(TExecutor::ErrorStatusText("ERROR:version 1.2 is old."),
                 QString("ERROR:version 1.2 is old."));
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
        QCOMPARE(m_rec.opened[4].name, QString("q ALIAS:SHOP ")); // a line holds one directive
        QCOMPARE(m_db->AliasName(), QString("OTHER"));
        QCOMPARE(m_rec.opened[4].number, 5);

        // A key is a directive only where the comment line's text begins with it.
        m_rec.opened.clear();
        QVERIFY(Run({"/* never run this on alias: SHOP */", "INSERT INTO exec_t VALUES ('kept');",
                     "/*", " see QueryName:X", "note: liveanswer:true", "\tQUERYNAME:Named", "*/",
                     "SELECT 7; /* Alias:SHOP */", "INSERT INTO exec_t VALUES ('home');"}));
        QCOMPARE(SqliteValue(m_other, "SELECT group_concat(a) FROM exec_t").toString(),
                 QString("there,kept"));
        QCOMPARE(m_rec.opened.size(), 1);
        QCOMPARE(m_rec.opened[0].name, QString("Named"));
        QVERIFY(!m_rec.opened[0].live);
        // A directive behind a statement's ";" applies once that statement ran.
        QCOMPARE(m_db->AliasName(), QString("SHOP"));
        QCOMPARE(Value("SELECT a FROM exec_t").toString(), QString("home"));

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
