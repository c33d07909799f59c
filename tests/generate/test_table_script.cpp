#include "EngineError.h"
#include "GenerateSupport.h"
#include "TableScript.h"

#include <QDir>
#include <QTest>

class TestTableScript : public QObject
{
    Q_OBJECT
private slots:
    void keyAndSecondaryIndex();
    void noPrimaryNoMarks();
    void twoFieldKeyAndTemplate();
    void namesQuoted();
    void typesPerEngine();
    void demoRoundTrip();
    void dbaseFolderIntoSqlite();
    void cancelKeepsFinishedTables();
};

static const QList<TFieldDef> kFields = {{QStringLiteral("ID"), ftInteger, 0, true},
                                         {QStringLiteral("CUSTID"), ftInteger, 0, false},
                                         {QStringLiteral("NAME"), ftString, 30, false}};

void TestTableScript::keyAndSecondaryIndex()
{
    const QList<TIndexDef> indexes = {{QStringLiteral("PK"), QStringLiteral("ID"), ixPrimary},
                                      {QStringLiteral("BYNAME"), QStringLiteral("NAME"), 0}};
    const QStringList lines = TableScriptLines(QStringLiteral("CUST"), kFields, indexes, false,
                                               {true, false, TSqlDialect::Sqlite});
    // ID marks its own line only, never CUSTID that merely contains it.
    QCOMPARE(lines,
             QStringList({"CREATE TABLE CUST(", "\tID INTEGER NOT NULL,", "\tCUSTID INTEGER,",
                          "\tNAME CHAR(30),", "\tPRIMARY KEY (ID)", ");",
                          "CREATE INDEX BYNAME ON CUST(NAME);"}));
}

void TestTableScript::noPrimaryNoMarks()
{
    const QStringList lines = TableScriptLines(QStringLiteral("T"), kFields, {}, false,
                                               {true, true, TSqlDialect::Sqlite});
    QCOMPARE(lines,
             QStringList({"CREATE TABLE T(", "\tID INTEGER,", "\tCUSTID INTEGER,",
                          "\tNAME VARCHAR(30)", ");"}));
}

void TestTableScript::twoFieldKeyAndTemplate()
{
    const QList<TIndexDef> indexes
        = {{QStringLiteral("PK"), QStringLiteral("ID;CUSTID"), ixPrimary},
           {QStringLiteral("IX"), QStringLiteral("NAME;ID"), 0}};
    const QStringList lines = TableScriptLines(QStringLiteral("T"), kFields, indexes, true,
                                               {true, false, TSqlDialect::Sqlite});
    QCOMPARE(
        lines,
        QStringList({"CREATE TABLE <TableName>(", "\tID INTEGER NOT NULL,",
                     "\tCUSTID INTEGER NOT NULL,", "\tNAME CHAR(30),", "\tPRIMARY KEY (ID,CUSTID)",
                     ");", "CREATE INDEX IX ON <TableName>(NAME,ID);"}));
}

void TestTableScript::namesQuoted()
{
    const QList<TFieldDef> fields = {{QStringLiteral("Order ID"), ftInteger, 0, true}};
    const QList<TIndexDef> indexes
        = {{QStringLiteral("pk"), QStringLiteral("Order ID"), ixPrimary}};
    const QStringList lines = TableScriptLines(QStringLiteral("Order Details"), fields, indexes,
                                               false, {false, false, TSqlDialect::Sqlite});
    QCOMPARE(lines.first(), QStringLiteral("CREATE TABLE \"Order Details\"("));
    QCOMPARE(lines.at(1), QStringLiteral("\t\"Order ID\" INTEGER,"));
    QCOMPARE(lines.at(2), QStringLiteral("\tPRIMARY KEY (\"Order ID\")"));
}

void TestTableScript::typesPerEngine()
{
    const QList<TFieldDef> fields
        = {{"N", ftAutoInc, 0, true}, {"M", ftMemo, 0, false}, {"B", ftBoolean, 0, false}};
    const auto types = [&](TSqlDialect d) {
        QStringList t;
        for (const TFieldDef &f : fields)
            t << ScriptTypeName(f, {false, false, d});
        return t;
    };
    QCOMPARE(types(TSqlDialect::Sqlite), QStringList({"AUTO INC", "MEMO", "BIT"}));
    QCOMPARE(ScriptTypeName({"T", ftTime, 0, false}, {}), QString("TIME"));
    QCOMPARE(ScriptTypeName({"T", ftDateTime, 0, false}, {}), QString("TIMESTAMP"));
    QCOMPARE(ScriptTypeName({"T", ftDate, 0, false}, {}), QString("DATE"));
    QCOMPARE(types(TSqlDialect::Postgres), QStringList({"SERIAL", "TEXT", "BOOLEAN"}));
}

// The script of every DEMO table, run into an empty database, gives tables whose script is
// the same again: fields, types, keys and indexes all survive the trip.
void TestTableScript::demoRoundTrip()
{
    GenSession g;
    for (const bool notNull : {true, false}) {
        const TTableScriptOptions options {notNull, true, TSqlDialect::Sqlite};
        const QStringList script = g.AliasScriptOf("DEMO", options);
        QVERIFY(script.contains("CREATE TABLE ORDERS("));
        QVERIFY(!script.join('\n').contains("sqlite_")); // EMPLOYEE's sequence table
        QVERIFY(script.contains("\tPRIMARY KEY (ORDERNO,ITEMNO)"));
        QVERIFY(script.contains("CREATE UNIQUE INDEX VENDORS_NAME ON VENDORS(VENDORNAME);"));
        QVERIFY(script.contains("CREATE INDEX EMPLOYEE_NAME ON EMPLOYEE(LASTNAME,FIRSTNAME);"));
        QCOMPARE(script.contains("\tORDERNO INTEGER NOT NULL,"), notNull);

        g.NewSqliteAlias("COPY");
        g.Exec("COPY", Statements(script));
        QCOMPARE(IndexesSorted(g.AliasScriptOf("COPY", options)), IndexesSorted(script));
        TTable t(g.session.get());
        t.DatabaseName = "COPY";
        t.TableName = "EMPLOYEE";
        t.Update();
        QCOMPARE(t.FindField("EMPNO")->DataType, ftAutoInc);
        QCOMPARE(t.FindField("NOTES")->DataType, ftMemo);
        QCOMPARE(t.IndexFieldNames(), QString("EMPNO"));
        g.session->DeleteAlias("COPY");
    }
}

void TestTableScript::dbaseFolderIntoSqlite()
{
    GenSession g;
    const QString folder = g.DataPath("dbf");
    QVERIFY(QDir().mkpath(folder));
    g.session->AddAlias("FILES", "STANDARD", {"DEFAULT DRIVER=DBASE", "PATH=" + folder},
                        TSession::TPersistence::SessionOnly);
    g.Exec("FILES",
           {"CREATE TABLE stock (name VARCHAR(24), qty INTEGER, born DATE)",
            "CREATE TABLE notes (id INTEGER, body TEXT, done BOOLEAN)"});
    const TTableScriptOptions options {true, true, TSqlDialect::Sqlite};
    const QStringList script = g.AliasScriptOf("FILES", options);
    QVERIFY2(script.size() == 10, qPrintable(script.join('\n')));
    QVERIFY(script.contains("CREATE TABLE stock("));
    QVERIFY(script.contains("\tname VARCHAR(24),"));

    g.NewSqliteAlias("COPY");
    g.Exec("COPY", Statements(script));
    QCOMPARE(IndexesSorted(g.AliasScriptOf("COPY", options)), IndexesSorted(script));
}

// Escape between two tables: the tables written stay, no later one is read.
void TestTableScript::cancelKeepsFinishedTables()
{
    GenSession g;
    TTable table(g.session.get());
    table.DatabaseName = "DEMO";
    const QStringList names = {"CUSTOMER", "EMPLOYEE", "NO_SUCH_TABLE"};
    QStringList written;
    int asked = 0;
    TAliasScriptHost host;
    host.proceed = [&](const QString &name) {
        return names.indexOf(name) == asked++ && asked < 3;
    };
    host.write = [&](const QStringList &lines) {
        written << lines.first();
    };
    QVERIFY(!AliasScript(table, names, {}, host));
    QCOMPARE(written, QStringList({"CREATE TABLE CUSTOMER(", "CREATE TABLE EMPLOYEE("}));
    QCOMPARE(table.TableName, QString("EMPLOYEE"));
    // Without the stop, the missing table ends the script with the engine's error.
    host.proceed = {};
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, AliasScript(table, names, {}, host));
}

QTEST_GUILESS_MAIN(TestTableScript)
#include "test_table_script.moc"
