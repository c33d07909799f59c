#include "SqlText.h"

#include <QTest>

// Statement kinds from their words: the main statement of a WITH, words hidden in
// comments, literals and quoted names.
class TestSqlText : public QObject
{
    Q_OBJECT

private slots:
    void statementKeyword_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("keyword");
        QTest::newRow("plain") << "select 1"
                               << "SELECT";
        QTest::newRow("comments and parentheses")
            << "-- select\n /* update */ ( (\tSELECT 1) UNION (SELECT 2))"
            << "SELECT";
        QTest::newRow("unclosed comment") << "/* SELECT 1"
                                          << "";
        QTest::newRow("not a word first") << "1; SELECT 2"
                                          << "";
        QTest::newRow("blank") << " \n\t"
                               << "";
        QTest::newRow("word glued to a paren") << "INSERT INTO t(a) SELECT 1"
                                               << "INSERT";
        QTest::newRow("with select") << "WITH a AS (SELECT 1), b(x) AS (DELETE FROM t RETURNING x)"
                                        " SELECT * FROM a, b"
                                     << "SELECT";
        QTest::newRow("with insert")
            << "WITH RECURSIVE w(n) AS (SELECT 1 UNION SELECT n+1 FROM w) INSERT INTO t SELECT n"
            << "INSERT";
        QTest::newRow("with materialized delete")
            << "with x as not materialized (select 1) delete from t"
            << "DELETE";
        QTest::newRow("with names that look like keywords")
            << "WITH \"select\" AS (SELECT 1), `values` AS (SELECT 2), [table] AS (SELECT 3)"
               " UPDATE t SET a = 'select'"
            << "UPDATE";
        QTest::newRow("with comment hiding a word")
            << "WITH a AS (SELECT 1) /* select */ -- select\n MERGE INTO t USING a ON true"
            << "MERGE";
        QTest::newRow("with a doubled quote") << "WITH \"a\"\"select\" AS (SELECT 1) INSERT INTO t"
                                              << "INSERT";
        QTest::newRow("with nothing after") << "WITH a AS (SELECT 1)"
                                            << "WITH";
        QTest::newRow("with inside parentheses")
            << "(WITH a AS (SELECT 1) SELECT * FROM a) UNION SELECT 2"
            << "SELECT";
        QTest::newRow("engine form") << "  pragma table_info(t)"
                                     << "PRAGMA";
        QTest::newRow("unicode word") << "ÜBER x"
                                      << "ÜBER";
    }

    void statementKeyword()
    {
        QFETCH(QString, sql);
        QFETCH(QString, keyword);
        QCOMPARE(StatementKeyword(sql), keyword);
    }

    void queryKeywords()
    {
        for (const char *k : {"SELECT", "VALUES", "EXPLAIN"})
            QVERIFY(IsQueryKeyword(k));
        for (const char *k : {"WITH", "INSERT", "PRAGMA", "SHOW", "", "select"})
            QVERIFY2(!IsQueryKeyword(k), k);
    }
};

QTEST_GUILESS_MAIN(TestSqlText)
#include "test_sqltext.moc"
