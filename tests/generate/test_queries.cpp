#include "GenerateSupport.h"
#include "Select.h"

#include <QTest>

// Query, Join and Group over the DEMO tables run by the executor, links read from project
// files, and names that need quotes.
class TestQueries : public QObject
{
    Q_OBJECT
    std::unique_ptr<GenSession> g;

private slots:
    void init() { g = std::make_unique<GenSession>(); }
    void cleanup() { g.reset(); }
    void everyDemoTable();
    void joinsOnDemoKeys();
    void linksWithCycleAndSelfLink();
    void linkedTableReadOnItsOwnAlias();
    void groupWithoutNumericField();
    void accessNamesQuoted();
};

static const QStringList kDemoTables
    = {"CUSTOMER", "EMPLOYEE", "ITEMS", "ORDERS", "PARTS", "VENDORS"};

// A table without links: every field, ORDER BY its first secondary index, all its rows in
// the window named after it; grouped over each field, one row per value.
void TestQueries::everyDemoTable()
{
    const TQueryContext c = g->Context();
    for (const QString &t : kDemoTables) {
        const QStringList select = QueryFromTableLines(c, t);
        QCOMPARE(select.first(), QString("SELECT"));
        QVERIFY(select.at(1).startsWith("\t" + t + "."));
        QVERIFY(select.contains("\t" + t));
        const QList<TOpenedResult> opened = g->RunQuery("Q_Table" + t, select);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].name, "Q_Table" + t);
        QCOMPARE(opened[0].rows, g->Count("DEMO", "SELECT COUNT(*) FROM " + t));
        QVERIFY(opened[0].rows > 0);

        TTable table(g->session.get());
        table.DatabaseName = "DEMO";
        table.TableName = t;
        table.Update();
        for (const TFieldDef &f : table.FieldDefs) {
            const QStringList group = GroupLines(c, {"DEMO", t}, f.Name);
            QCOMPARE(group.at(group.indexOf("GROUP BY") + 1), "\t" + t + "." + f.Name);
            const QString name = "Q_" + t + "_GROUP" + f.Name;
            const QList<TOpenedResult> grouped = g->RunQuery(name, group);
            QCOMPARE(grouped.size(), 1);
            QCOMPARE(grouped[0].name, name);
            QCOMPARE(
                grouped[0].rows,
                g->Count("DEMO",
                         "SELECT COUNT(*) FROM (SELECT 1 FROM " + t + " GROUP BY " + f.Name + ")"));
        }
    }
    // The sums come first, then the group field and the count; strings are not summed.
    const QStringList parts = GroupLines(c, {"DEMO", "PARTS"}, "VENDORNO");
    QCOMPARE(parts.mid(0, 7),
             QStringList({"SELECT", "\tSUM(PARTS.PARTNO),", "\tSUM(PARTS.ONHAND),",
                          "\tSUM(PARTS.ONORDER),", "\tSUM(PARTS.COST),", "\tSUM(PARTS.LISTPRICE),",
                          "\tPARTS.VENDORNO,"}));
    QCOMPARE(parts.at(7), QString("\tCount(*)"));
}

void TestQueries::joinsOnDemoKeys()
{
    const QList<QStringList> keys = {{"PARTS", "VENDORNO", "VENDORS", "VENDORNO"},
                                     {"ORDERS", "CUSTNO", "CUSTOMER", "CUSTNO"},
                                     {"ORDERS", "EMPNO", "EMPLOYEE", "EMPNO"},
                                     {"ITEMS", "ORDERNO", "ORDERS", "ORDERNO"},
                                     {"ITEMS", "PARTNO", "PARTS", "PARTNO"}};
    for (const QStringList &k : keys) {
        const QStringList join
            = JoinLines(g->Context(), {"DEMO", k[0]}, k[1], {"DEMO", k[2]}, k[3]);
        QVERIFY(join.contains("\t" + k[0] + "." + k[1] + " = " + k[2] + "." + k[3] + " "));
        const QString name = "Q_Join" + k[0] + "_" + k[2];
        const QList<TOpenedResult> opened = g->RunQuery(name, join);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].name, name);
        QCOMPARE(
            opened[0].rows,
            g->Count("DEMO",
                     "SELECT COUNT(*) FROM " + k[0] + " JOIN " + k[2] + " USING (" + k[1] + ")"));
    }
    QVERIFY_THROWS_EXCEPTION(
        ESelectError,
        JoinLines(g->Context(), {"DEMO", "ORDERS"}, "SALEDATE", {"DEMO", "CUSTOMER"}, "CUSTNO"));
}

// ORDERS links to CUSTOMER, which links back to ORDERS, and ORDERS links to itself: each
// table is joined once and the statement runs.
void TestQueries::linksWithCycleAndSelfLink()
{
    GenSession::Link("DEMO", "ORDERS", "CUSTNO", "DEMO.CUSTOMER.CUSTNO");
    GenSession::Link("DEMO", "ORDERS", "ORDERNO", "DEMO.ORDERS.ORDERNO");
    GenSession::Link("DEMO", "CUSTOMER", "CUSTNO", "DEMO.ORDERS.CUSTNO");
    GenSession::Link("DEMO", "ORDERS", "EMPNO", "EMPLOYEE.EMPNO"); // not a link path
    const QStringList select = QueryFromTableLines(g->Context(), "ORDERS");
    const qsizetype from = select.indexOf("FROM");
    QCOMPARE(select.mid(from, 5),
             QStringList({"FROM", "\tORDERS,", "\tCUSTOMER", "WHERE",
                          "\tORDERS.CUSTNO = CUSTOMER.CUSTNO "}));
    const QList<TOpenedResult> opened = g->RunQuery("Q_TableORDERS", select);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0].rows,
             g->Count("DEMO", "SELECT COUNT(*) FROM ORDERS JOIN CUSTOMER USING (CUSTNO)"));
    // CUSTOMER's own link is followed when the query starts there.
    const QStringList fromCustomer = QueryFromTableLines(g->Context(), "CUSTOMER");
    QVERIFY(fromCustomer.contains("\tORDERS"));
}

// A linked table on another alias is read there, with the links of that alias's project
// file, not with those of a table of the same name on the main alias.
void TestQueries::linkedTableReadOnItsOwnAlias()
{
    g->NewSqliteAlias("STAFF");
    g->Exec("STAFF",
            {"CREATE TABLE EMPLOYEE (EMPNO INTEGER PRIMARY KEY, DEPTNO INTEGER)",
             "CREATE TABLE DEPT (DEPTNO INTEGER PRIMARY KEY, TITLE CHAR(20))"});
    GenSession::Link("DEMO", "ORDERS", "EMPNO", "STAFF.EMPLOYEE.EMPNO");
    GenSession::Link("STAFF", "EMPLOYEE", "DEPTNO", "STAFF.DEPT.DEPTNO");
    GenSession::Link("DEMO", "EMPLOYEE", "EMPNO", "DEMO.CUSTOMER.CUSTNO");
    const QStringList select = QueryFromTableLines(g->Context(), "ORDERS");
    QVERIFY(select.contains("\tEMPLOYEE.DEPTNO,"));
    QVERIFY(!select.contains("\tEMPLOYEE.LASTNAME,"));
    QVERIFY(select.contains("\tDEPT.TITLE"));
    QVERIFY(!select.contains("\tCUSTOMER"));
    QVERIFY(select.contains("\tEMPLOYEE.DEPTNO = DEPT.DEPTNO "));
}

void TestQueries::groupWithoutNumericField()
{
    g->NewSqliteAlias("TAGS");
    g->Exec("TAGS",
            {"CREATE TABLE TAG (NAME CHAR(10), LABEL VARCHAR(30))",
             "INSERT INTO TAG VALUES ('a', 'x'), ('a', 'y'), ('b', 'z')"});
    g->MainOn("TAGS");
    const QStringList group = GroupLines(g->Context(), {"TAGS", "TAG"}, "NAME");
    QCOMPARE(group,
             QStringList({"SELECT", "\tTAG.NAME,", "\tCount(*)", "FROM", "\tTAG", "GROUP BY",
                          "\tTAG.NAME"}));
    const QList<TOpenedResult> opened = g->RunQuery("Q_TAG_GROUPNAME", group);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0].rows, 2);
}

void TestQueries::accessNamesQuoted()
{
    const QString nwind = qEnvironmentVariable("ORVANE_FIXTURES") + "/access/nwind.mdb";
    QVERIFY2(QFileInfo::exists(nwind), qPrintable(nwind));
    g->session->AddAlias("NWIND", "MSACCESS", {"DATABASE NAME=" + nwind},
                         TSession::TPersistence::SessionOnly);
    g->MainOn("NWIND");
    const QStringList select = QueryFromTableLines(g->Context(), "Order Details");
    QVERIFY2(select.contains("\t\"Order Details\""), qPrintable(select.join('\n')));
    for (qsizetype i = 1; select.at(i) != "FROM"; ++i)
        QVERIFY2(select.at(i).startsWith("\t\"Order Details\"."), qPrintable(select.at(i)));
    const QList<TOpenedResult> opened = g->RunQuery("Q_TableOrder Details", select);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0].rows, g->Count("NWIND", "SELECT COUNT(*) FROM \"Order Details\""));
    QVERIFY(opened[0].rows > 1000);

    TTable table(g->session.get());
    table.DatabaseName = "NWIND";
    const QStringList script = TableScriptLines(table, "Order Details", false, {});
    QCOMPARE(script.first(), QString("CREATE TABLE \"Order Details\"("));
    g->NewSqliteAlias("COPY");
    g->Exec("COPY", Statements(script));
    TTable copy(g->session.get());
    copy.DatabaseName = "COPY";
    QVERIFY(script.last().startsWith("CREATE INDEX"));
    QCOMPARE(IndexesSorted(TableScriptLines(copy, "Order Details", false, {})),
             IndexesSorted(script));
}

QTEST_GUILESS_MAIN(TestQueries)
#include "test_queries.moc"
