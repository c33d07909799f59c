#include "GenerateSupport.h"
#include "TestSupport.h"

#include <QSqlError>
#include <QSqlQuery>

// The DEMO tables recreated on PostgreSQL from their generated script, and the generated
// queries, joins and groups run there.
class TestGeneratePg : public QObject
{
    Q_OBJECT
    std::unique_ptr<GenSession> g;
    const QStringList m_tables = {"CUSTOMER", "EMPLOYEE", "ITEMS", "ORDERS", "PARTS", "VENDORS"};
    const TTableScriptOptions m_options {true, true, TSqlDialect::Postgres};

    QStringList ScriptOf(const QString &databaseName, const QString &table)
    {
        TTable t(g->session.get());
        t.DatabaseName = databaseName;
        return TableScriptLines(t, table, false, m_options);
    }

    void CopyRows(TConnection &pg, const QString &table)
    {
        TTable t(g->session.get());
        t.DatabaseName = "DEMO";
        t.TableName = table;
        t.UpdateFieldDefs();
        TQuery rows(g->session.get());
        rows.DatabaseName = "DEMO";
        rows.SQL = QStringList {"SELECT * FROM " + table};
        rows.Open();
        QStringList marks;
        for (int i = 0; i < t.FieldDefs.size(); ++i)
            marks << "?";
        QSqlQuery insert(pg.Db());
        QVERIFY(insert.prepare("INSERT INTO \"" + table + "\" VALUES (" + marks.join(", ") + ")"));
        for (; !rows.Eof(); rows.Next()) {
            for (int i = 0; i < t.FieldDefs.size(); ++i) {
                const QVariant v = rows.Value(i);
                const bool flag = t.FieldDefs[i].DataType == ftBoolean && !v.isNull();
                insert.bindValue(i, flag ? QVariant(v.toBool()) : v);
            }
            QVERIFY2(insert.exec(), qPrintable(table + ": " + insert.lastError().text()));
        }
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        g = std::make_unique<GenSession>();
        g->session->AddAlias("PG", "POSTGRESQL", PgAliasParams(),
                             TSession::TPersistence::SessionOnly);
    }
    // The DEMO tables go again: the server's database is shared with the other tests, whose
    // paths find tables without regard to letter case.
    void cleanupTestCase()
    {
        if (g) {
            TDatabase pgDb("GENPG_END", g->session.get());
            pgDb.SetAliasName("PG");
            QStringList quoted;
            for (const QString &t : m_tables)
                quoted << "\"" + t + "\"";
            pgDb.Connection().Exec("DROP TABLE IF EXISTS " + quoted.join(", ") + " CASCADE");
        }
        g.reset();
    }
    void demoRoundTrip();
    void queriesJoinsAndGroups();
};

// The script of each DEMO table, run on PostgreSQL, gives a table whose script is the same.
void TestGeneratePg::demoRoundTrip()
{
    TDatabase pgDb("GENPG", g->session.get());
    pgDb.SetAliasName("PG");
    TConnection &pg = pgDb.Connection();
    QStringList quoted;
    for (const QString &t : m_tables)
        quoted << "\"" + t + "\"";
    pg.Exec("DROP TABLE IF EXISTS " + quoted.join(", ") + " CASCADE");
    QStringList script;
    for (const QString &t : m_tables)
        script << ScriptOf("DEMO", t);
    QVERIFY(script.contains("\t\"EMPNO\" SERIAL NOT NULL,"));
    QVERIFY(script.contains("\t\"NOTES\" TEXT,"));
    QVERIFY(pg.Db().transaction());
    for (const QString &statement : Statements(script))
        pg.Exec(statement);
    for (const QString &t : m_tables) {
        CopyRows(pg, t);
        if (QTest::currentTestFailed())
            return;
    }
    QVERIFY(pg.Db().commit());
    for (const QString &t : m_tables)
        QCOMPARE(IndexesSorted(ScriptOf("GENPG", t)), IndexesSorted(ScriptOf("DEMO", t)));
}

void TestGeneratePg::queriesJoinsAndGroups()
{
    g->MainOn("PG");
    const TQueryContext c = g->Context();
    const auto q = [](const QString &name) {
        return "\"" + name + "\"";
    };
    for (const QString &t : m_tables) {
        const QStringList select = QueryFromTableLines(c, t);
        QVERIFY(select.contains("\t" + q(t)));
        const QList<TOpenedResult> opened = g->RunQuery("Q_Table" + t, select);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].name, "Q_Table" + t);
        QCOMPARE(opened[0].rows, g->Count("DEMO", "SELECT COUNT(*) FROM " + t));

        TTable table(g->session.get());
        table.DatabaseName = "PG";
        table.TableName = t;
        table.UpdateFieldDefs();
        for (const TFieldDef &f : table.FieldDefs) {
            if (f.DataType == ftMemo)
                continue;
            const QStringList group = GroupLines(c, {"PG", t}, f.Name);
            const QList<TOpenedResult> grouped = g->RunQuery("Q_" + t + "_GROUP" + f.Name, group);
            QCOMPARE(grouped.size(), 1);
            QCOMPARE(
                grouped[0].rows,
                g->Count("DEMO",
                         "SELECT COUNT(*) FROM (SELECT 1 FROM " + t + " GROUP BY " + f.Name + ")"));
        }
    }
    const QList<QStringList> keys = {{"PARTS", "VENDORNO", "VENDORS", "VENDORNO"},
                                     {"ORDERS", "CUSTNO", "CUSTOMER", "CUSTNO"},
                                     {"ITEMS", "PARTNO", "PARTS", "PARTNO"}};
    for (const QStringList &k : keys) {
        const QStringList join = JoinLines(c, {"PG", k[0]}, k[1], {"PG", k[2]}, k[3]);
        const QList<TOpenedResult> opened = g->RunQuery("Q_Join" + k[0] + "_" + k[2], join);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(
            opened[0].rows,
            g->Count("DEMO",
                     "SELECT COUNT(*) FROM " + k[0] + " JOIN " + k[2] + " USING (" + k[1] + ")"));
    }
    // Links followed on PostgreSQL: ITEMS to ORDERS to CUSTOMER.
    GenSession::Link("PG", "ITEMS", "ORDERNO", "PG.ORDERS.ORDERNO");
    GenSession::Link("PG", "ORDERS", "CUSTNO", "PG.CUSTOMER.CUSTNO");
    const QStringList linked = QueryFromTableLines(c, "ITEMS");
    QVERIFY(linked.contains("\t" + q("CUSTOMER")));
    const QList<TOpenedResult> opened = g->RunQuery("Q_TableITEMS", linked);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0].rows,
             g->Count("DEMO",
                      "SELECT COUNT(*) FROM ITEMS JOIN ORDERS USING "
                      "(ORDERNO) JOIN CUSTOMER USING (CUSTNO)"));
}

QTEST_GUILESS_MAIN(TestGeneratePg)
#include "test_generate_pg.moc"
