#include "GenerateSupport.h"
#include "TableCompare.h"
#include "TestSupport.h"

#include <QSqlQuery>

// Two PostgreSQL tables compared: the statement written, run by the script executor, leaves
// the target with the source's fields, as the catalog tells them afterwards.
class TestComparePg : public QObject
{
    Q_OBJECT
    std::unique_ptr<GenSession> g;
    const TTableScriptOptions m_options {false, true, TSqlDialect::Postgres};

    QList<TFieldDef> Fields(const QString &table)
    {
        TTable t(g->session.get());
        t.DatabaseName = "PG";
        t.TableName = table;
        t.UpdateFieldDefs();
        return t.FieldDefs;
    }

    // Name, type code and size of each field, in name order: what a comparison looks at.
    static QStringList Shape(const QList<TFieldDef> &fields)
    {
        QStringList shape;
        for (const TFieldDef &f : fields)
            shape
                << QString("%1 %2 %3").arg(f.Name.toCaseFolded()).arg(int(f.DataType)).arg(f.Size);
        shape.sort();
        return shape;
    }

    QStringList CatalogColumns(const QString &table)
    {
        TDatabase db("CMPPG_CAT", g->session.get());
        db.SetAliasName("PG");
        QSqlQuery q(db.Connection().Db());
        q.prepare("SELECT column_name || ' ' || data_type || ' ' || "
                  "COALESCE(character_maximum_length, 0) FROM information_schema.columns "
                  "WHERE table_schema = current_schema() AND table_name = ? ORDER BY 1");
        q.addBindValue(table);
        QStringList columns;
        if (q.exec())
            while (q.next())
                columns << q.value(0).toString();
        return columns;
    }

    bool Run(const QStringList &script, QString &error)
    {
        g->MainOn("PG");
        return g->RunScript("Comparation:PG.cmp_model", script, error);
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        g = std::make_unique<GenSession>();
        g->session->AddAlias("PG", "POSTGRESQL", PgAliasParams(),
                             TSession::TPersistence::SessionOnly);
    }
    void cleanupTestCase()
    {
        if (g)
            g->Exec("PG", {"DROP TABLE IF EXISTS cmp_model, \"cmp copy\""});
        g.reset();
    }
    void alterTableMakesTheTargetLikeTheSource();
};

void TestComparePg::alterTableMakesTheTargetLikeTheSource()
{
    g->Exec("PG",
            {"DROP TABLE IF EXISTS cmp_model, \"cmp copy\"",
             "CREATE TABLE cmp_model (id INTEGER PRIMARY KEY, \"Name\" VARCHAR(40), at TIMESTAMP, "
             "born DATE, flag BOOLEAN, notes TEXT, \"Full Name\" VARCHAR(60), n SMALLINT, "
             "code CHAR(3))",
             "CREATE TABLE \"cmp copy\" (n SMALLINT, ID INTEGER, name VARCHAR(20), at DATE, "
             "old INTEGER, \"Old \"\"One\"\"\" TEXT, code CHAR(3), born DATE)",
             "INSERT INTO \"cmp copy\" (n, id, name, at, code) "
             "VALUES (7, 1, 'kept?', '2024-01-02', 'abc')"});
    const QList<TFieldDef> source = Fields("cmp_model");
    const QList<TFieldChange> changes = CompareFields(source, Fields("cmp copy"));
    const QStringList lines = CompareLines("cmp copy", changes, m_options);
    QCOMPARE(lines.first(), QString("ALTER TABLE \"cmp copy\""));
    QCOMPARE(lines.filter("-- changes the type of").size(), 2);
    QVERIFY(lines.contains("\tADD \"Full Name\" VARCHAR(60);"));
    QVERIFY(lines.contains("\tDROP \"Old \"\"One\"\"\","));

    QString error;
    QVERIFY2(Run(lines, error), qPrintable(error));
    QCOMPARE(Shape(Fields("cmp copy")), Shape(source));
    QCOMPARE(CatalogColumns("cmp copy"), CatalogColumns("cmp_model"));
    // The fields that were the same keep their data; the retyped ones start empty.
    QCOMPARE(g->Count("PG",
                      "SELECT COUNT(*) FROM \"cmp copy\" WHERE n = 7 AND id = 1 AND "
                      "code = 'abc' AND \"Name\" IS NULL AND at IS NULL"),
             1);
    // Compared again, the two tables have nothing left to change.
    QVERIFY(CompareFields(source, Fields("cmp copy")).isEmpty());
}

QTEST_GUILESS_MAIN(TestComparePg)
#include "test_compare_pg.moc"
