#include "QueryPropLogic.h"
#include "SelectSupport.h"
#include "SqliteFile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

// The query properties tree over real SQLite tables: loading statements, the commands that
// change the tree, the statement written back, and the locator of the statement at a caret.
class TestQueryPropLogic : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<SelectBuilder> m_db;

    // The tree loaded from text; fails the test when it cannot be read.
    bool Load(TQueryPropTree &tree, const QStringList &text, QString *error = nullptr)
    {
        TQuery *q = m_db->NewQuery({});
        q->SQL = text;
        QString e;
        const bool ok = tree.Load(*q, e);
        if (error)
            *error = e;
        return ok;
    }
    // Each node as "image:text".
    static QStringList Shape(const TQueryPropTree &tree)
    {
        QStringList shape;
        for (const TPropNode &n : tree.Nodes())
            shape << QString::number(n.Image) + u':' + n.Text;
        return shape;
    }
    static int IndexOf(const TQueryPropTree &tree, const QString &text)
    {
        for (int i = 0; i < tree.Count(); ++i)
            if (tree.Nodes()[i].Text == text)
                return i;
        return -1;
    }

private slots:
    void initTestCase()
    {
        const QString file = m_dir.filePath("props.sqlite");
        RunOnSqliteFile(file,
                        {"CREATE TABLE T (Name VARCHAR(20), K INTEGER, N INTEGER)",
                         "CREATE TABLE Tab (Name VARCHAR(20), K INTEGER)",
                         "INSERT INTO T VALUES ('a', 1, 5), ('b', 2, 6)",
                         "INSERT INTO Tab VALUES ('x', 1)"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("QP", "SQLITE", {"DATABASE NAME=" + file});
        m_db = std::make_unique<SelectBuilder>(m_session.get(), "QP");
    }

    void cleanupTestCase()
    {
        m_db.reset();
        m_session.reset();
    }

    // Reading and writing without a change gives the statement back, prefixes and
    // connectors untouched, and what is written reads as the same tree again.
    void loadAndWriteGiveTheStatementBack_data()
    {
        QTest::addColumn<QStringList>("text");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("generated")
            << QStringList {"SELECT", "\tT.Name,", "\tT.K", "FROM", "\tT", "ORDER BY", "\tT.K"}
            << QStringList {"SELECT", "\tT.Name,", "\tT.K", "FROM", "\tT", "ORDER BY", "\tT.K"};
        QTest::newRow("generated join")
            << QStringList {"SELECT", "\tT.Name,", "\tTab.Name", "FROM",
                            "\tT,",   "\tTab",     "WHERE",      "\tT.K = Tab.K"}
            << QStringList {"SELECT", "\tT.Name,", "\tTab.Name", "FROM",
                            "\tT,",   "\tTab",     "WHERE",      "\tT.K = Tab.K "};
        QTest::newRow("aliases and join")
            << QStringList {"select a.Name, b.Name AS other from T a",
                            "join Tab b on a.K = b.K where a.N > 4 or a.N < 2",
                            "group by a.Name, b.Name order by a.Name"}
            << QStringList {
                   "SELECT",   "\ta.Name,", "\tb.Name AS other", "FROM",         "\tT a,",
                   "\tTab b",  "WHERE",     "\ta.K = b.K AND",   "\ta.N > 4 OR", "\ta.N < 2 ",
                   "GROUP BY", "\ta.Name,", "\tb.Name",          "ORDER BY",     "\ta.Name"};
        QTest::newRow("functions and quoted names")
            << QStringList {"SELECT COUNT(*), MAX(T.N), \"Name\" FROM T WHERE T.Name = 'a b'",
                            "GROUP BY \"Name\""}
            << QStringList {"SELECT",   "\tCOUNT(*),", "\tMAX(T.N),", "\t\"Name\"",
                            "FROM",     "\tT",         "WHERE",       "\tT.Name = 'a b' ",
                            "GROUP BY", "\t\"Name\""};
    }
    void loadAndWriteGiveTheStatementBack()
    {
        QFETCH(QStringList, text);
        QFETCH(QStringList, written);
        TQueryPropTree tree;
        QString error;
        QVERIFY2(Load(tree, text, &error), qPrintable(error));
        QCOMPARE(tree.Write(), written);
        TQueryPropTree again;
        QVERIFY(Load(again, written));
        QCOMPARE(Shape(again).join(u'|').toUpper(), Shape(tree).join(u'|').toUpper());
        QCOMPARE(again.Write(), written);
        // What is written runs and yields what the statement read did.
        QCOMPARE(m_db->Rows(written), m_db->Rows(text));
    }

    void aStatementThatCannotBeReadLeavesAnEmptyTree()
    {
        TQueryPropTree tree;
        QVERIFY(Load(tree, {"SELECT T.Name, T.K FROM T"}));
        tree.Select(IndexOf(tree, "T.K"));
        QString error;
        QVERIFY(!Load(tree, {}, &error));
        QCOMPARE(error, QString("ERROR:Cannot read empty query."));
        QCOMPARE(tree.Count(), 0);
        QVERIFY(tree.Updating());
        QVERIFY(!Load(tree, {"SELECT Nope FROM T"}, &error));
        QVERIFY2(error.startsWith("ERROR:") && error.contains("Nope"), qPrintable(error));
        // Joins the model would write back as inner joins are not read at all.
        for (const char *outer :
             {"SELECT a.Name FROM T a LEFT JOIN Tab b ON a.K = b.K",
              "SELECT a.Name FROM T a right outer join Tab b ON a.K = b.K",
              "SELECT Name FROM T NATURAL JOIN Tab", "SELECT T.N FROM T JOIN Tab USING (K)"}) {
            QVERIFY(!Load(tree, {outer}, &error));
            QCOMPARE(error, QString("ERROR:Cannot read outer join."));
        }
        QVERIFY2(Load(tree,
                      {"SELECT upper(a.Name) FROM T a INNER JOIN Tab b ON a.K = b.K",
                       "WHERE a.Name <> 'LEFT'"},
                      &error),
                 qPrintable(error));
        QCOMPARE(tree.Write().mid(3, 4),
                 QStringList({"\tT a,", "\tTab b", "WHERE", "\ta.K = b.K AND"}));
        // The position the user picked survives failed loads and is found again.
        QVERIFY(Load(tree, {"SELECT T.Name, T.K FROM T"}));
        QVERIFY(!tree.Updating());
        QCOMPARE(tree.Selected(), IndexOf(tree, "T.K"));
        QCOMPARE(tree.LastPos().ClauseIndex, int(piSelect));
    }

    void addPutsTheTableIntoFromOnce()
    {
        TQueryPropTree tree;
        QVERIFY(Load(tree, {"SELECT T.Name FROM T WHERE T.K = 1"}));
        tree.Select(0); // the Select clause
        QVERIFY(tree.Add("Tab.K"));
        QCOMPARE(tree.Nodes()[tree.Selected()].Text, QString("Tab.K"));
        QCOMPARE(tree.Write(),
                 QStringList({"SELECT", "\tT.Name,", "\tTab.K", "FROM", "\tT,", "\tTab", "WHERE",
                              "\tT.K = 1 "}));
        // An item the clause has the beginning of already, and a table From has an item
        // beginning with, add nothing.
        QVERIFY(!tree.Add("t.name"));
        QVERIFY(!tree.Add("   "));
        QVERIFY(tree.Add("T.K"));
        QCOMPARE(tree.Write().mid(0, 8),
                 QStringList({"SELECT", "\tT.Name,", "\tTab.K,", "\tT.K", "FROM", "\tT,", "\tTab",
                              "WHERE"}));
        // From an item the new item goes to the end of its clause; a clause caption is no
        // item, so "F" and "W" are added.
        tree.Select(IndexOf(tree, "T.K = 1"));
        QVERIFY(tree.Add("W.x = 2"));
        QCOMPARE(tree.Write().mid(7), QStringList({"WHERE", "\tT.K = 1 AND", "\tW.x = 2 "}));
        tree.Select(IndexOf(tree, "T.Name"));
        QVERIFY(tree.Add("F.y"));
        QVERIFY(IndexOf(tree, "F") > IndexOf(tree, "From"));
        QCOMPARE(tree.Selected(), IndexOf(tree, "T.Name"));
        QCOMPARE(tree.ParentOf(IndexOf(tree, "F.y")), 0);
    }

    void dropTakesTheTablesQualifiedItemsAlong()
    {
        TQueryPropTree tree;
        QVERIFY(Load(tree,
                     {"SELECT T.Name, Tab.Name, x.K FROM T, Tab, T x",
                      "WHERE T.Name = 'a' AND Tab.K = x.K ORDER BY T.Name, Tab.Name"}));
        tree.Select(IndexOf(tree, "T"));
        QVERIFY(tree.Drop());
        QCOMPARE(tree.Write(),
                 QStringList({"SELECT", "\tTab.Name,", "\tx.K", "FROM", "\tTab,", "\tT x", "WHERE",
                              "\tTab.K = x.K ", "ORDER BY", "\tTab.Name"}));
        // A table with a correlation name takes the items qualified by it, and a condition
        // joining it goes wherever it names it.
        tree.Select(IndexOf(tree, "T x"));
        QVERIFY(tree.Drop());
        QCOMPARE(tree.Write(),
                 QStringList({"SELECT", "\tTab.Name", "FROM", "\tTab", "ORDER BY", "\tTab.Name"}));
        tree.Select(IndexOf(tree, "From"));
        QVERIFY(!tree.Drop());
        QVERIFY(!tree.Edit("x"));
    }

    void connectorsAreSettledAtTheEndOfEachItem()
    {
        QCOMPARE(SettleConnector("A.x = 5", false), QString("A.x = 5 AND"));
        QCOMPARE(SettleConnector("A.x = 5 or", false), QString("A.x = 5 OR"));
        QCOMPARE(SettleConnector("A.y = 3 AND", true), QString("A.y = 3 "));
        QCOMPARE(SettleConnector("A.y = 'FOR'", false), QString("A.y = 'FOR' AND"));
        QCOMPARE(SettleConnector("A.y = BRAND", true), QString("A.y = BRAND "));
        // Moved conditions leave the connectors between them where they were.
        TQueryPropTree tree;
        QVERIFY(Load(tree, {"SELECT T.K FROM T WHERE T.K = 1 OR T.N = 2"}));
        tree.Select(IndexOf(tree, "T.N = 2"));
        QVERIFY(tree.Up() && !tree.Up());
        QCOMPARE(tree.Write().mid(4), QStringList({"WHERE", "\tT.N = 2 OR", "\tT.K = 1 "}));
    }

    void clauseCommandsSelectOrInsertInOrder()
    {
        TQueryPropTree tree;
        QVERIFY(Load(tree, {"SELECT T.Name FROM T ORDER BY T.Name"}));
        tree.ClauseCommand("From", piFrom);
        QCOMPARE(tree.Selected(), IndexOf(tree, "From"));
        const int count = tree.Count();
        tree.ClauseCommand("Where", piWhere);
        QCOMPARE(tree.Count(), count + 1);
        QCOMPARE(tree.Selected(), IndexOf(tree, "Where"));
        QCOMPARE(IndexOf(tree, "Where"), IndexOf(tree, "Order By") - 1);
        QVERIFY(tree.Nodes()[IndexOf(tree, "Where")].Image == piWhere);
        // An empty clause writes nothing; its first item brings its header.
        QCOMPARE(tree.Write(),
                 QStringList({"SELECT", "\tT.Name", "FROM", "\tT", "ORDER BY", "\tT.Name"}));
        QVERIFY(tree.Add("T.K = 2"));
        QCOMPARE(tree.Write().mid(4, 2), QStringList({"WHERE", "\tT.K = 2 "}));
    }

    void theLocatorFindsTheStatementAtTheCaret()
    {
        const QStringList script {"SELECT * FROM Tab;", // 0
                                  "/*", // 1
                                  "Alias:OTHER", // 2
                                  "QueryName:Q_TableT", // 3
                                  "*/", // 4
                                  "SELECT", // 5
                                  "\tT.Name", // 6
                                  "FROM T; SELECT 1", // 7
                                  "", // 8
                                  "select K from Tab where K = 1"}; // 9
        const auto textOf = [&](const TStatementSpot &s) {
            return script.join(u'\n').mid(s.Start, s.Length);
        };
        TStatementSpot spot = LocateStatement(script, 6);
        QCOMPARE(textOf(spot), QString("SELECT\n\tT.Name\nFROM T"));
        QCOMPARE(spot.QueryName, QString("Q_TableT"));
        QCOMPARE(spot.Alias, QString("OTHER"));
        // A ";" on the caret's line does not end the walk up.
        QCOMPARE(LocateStatement(script, 7).QueryName, QString("Q_TableT"));
        // One above it does: nothing of the statement before is taken.
        spot = LocateStatement(script, 9);
        QCOMPARE(textOf(spot), QString("select K from Tab where K = 1"));
        QVERIFY(spot.QueryName.isEmpty() && spot.Alias.isEmpty());
        QCOMPARE(LocateStatement(script, 8).Length, 0);
        QCOMPARE(textOf(LocateStatement(script, 0)), QString("SELECT * FROM Tab"));
        QCOMPARE(LocateStatement({"/* SELECT */", "DELETE FROM T"}, 1).Length, 0);
        QCOMPARE(LocateStatement({"/* QueryName:Q1 */ SELECT 1"}, 0).QueryName, QString("Q1"));

        QCOMPARE(ComparisonForm("select\tA,\r\n  b from t"), QString("SELECTA,BFROMT"));
        QVERIFY(ComparisonForm("SELECT a") != ComparisonForm("SELECT b"));
    }
};

QTEST_GUILESS_MAIN(TestQueryPropLogic)
#include "test_query_prop_logic.moc"
