#include "FieldTypes.h"
#include "SqlNames.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// Names and values written for an engine must reach it as exactly that name and value:
// every check runs the written text on real SQLite and PostgreSQL.
class TestSqlNames : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QSqlDatabase Open(TSqlDialect dialect)
    {
        if (dialect == TSqlDialect::Sqlite) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "lite");
            db.setDatabaseName(m_dir.filePath("names.sqlite"));
            return db;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "pg");
        db.setHostName(PgEnv("ORVANE_PG_HOST"));
        db.setPort(PgEnv("ORVANE_PG_PORT").toInt());
        db.setDatabaseName(PgEnv("ORVANE_PG_DATABASE"));
        db.setUserName(PgEnv("ORVANE_PG_USER"));
        return db;
    }

    static void Run(QSqlQuery &q, const QString &sql)
    {
        QVERIFY2(q.exec(sql), qPrintable(sql + ": " + q.lastError().text()));
    }

    static QStringList Column(QSqlQuery &q, const QString &sql)
    {
        QStringList out;
        if (!q.exec(sql))
            return {QStringLiteral("failed: ") + q.lastError().text()};
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        QVERIFY(Open(TSqlDialect::Sqlite).open());
        QVERIFY(Open(TSqlDialect::Postgres).open());
        QSqlQuery pg(QSqlDatabase::database("pg"));
        Run(pg, "DROP SCHEMA IF EXISTS names_test CASCADE");
        Run(pg, "CREATE SCHEMA names_test");
        Run(pg, "SET search_path = names_test");
    }

    void plainNamesStayAsWritten()
    {
        QCOMPARE(QuoteIdentifier("CUSTOMER", TSqlDialect::Sqlite), QString("CUSTOMER"));
        QCOMPARE(QuoteIdentifier("cust_no2", TSqlDialect::Postgres), QString("cust_no2"));
        QCOMPARE(QuoteIdentifier("CUST$NO", TSqlDialect::Firebird), QString("CUST$NO"));
        // Each engine folds bare names its own way, so case decides plainness.
        QCOMPARE(QuoteIdentifier("CUSTOMER", TSqlDialect::Postgres), QString("\"CUSTOMER\""));
        QCOMPARE(QuoteIdentifier("customer", TSqlDialect::Firebird), QString("\"customer\""));
        QCOMPARE(QuoteTableName("sales.Order Lines", TSqlDialect::Postgres),
                 QString("sales.\"Order Lines\""));
        QCOMPARE(QuoteTableName("a.b", TSqlDialect::Sqlite), QString("\"a.b\""));
    }

    void namesReachTheEngineExactly_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("sqlite") << int(TSqlDialect::Sqlite);
        QTest::newRow("postgres") << int(TSqlDialect::Postgres);
    }
    void namesReachTheEngineExactly()
    {
        QFETCH(int, which);
        const auto dialect = TSqlDialect(which);
        QSqlDatabase db = QSqlDatabase::database(dialect == TSqlDialect::Sqlite ? "lite" : "pg");
        QSqlQuery q(db);
        const QStringList names = {"Order Lines", "select",     "a\"b", "x;y",    "Größe",
                                   "MixedCase",   "plain_name", "1st",  "<b>&\"x"};
        for (const QString &name : names) {
            Run(q,
                "CREATE TABLE " + QuoteTableName(name, dialect) + " ("
                    + QuoteIdentifier(name + "_f", dialect) + " INTEGER)");
            Run(q, "INSERT INTO " + QuoteTableName(name, dialect) + " VALUES (7)");
        }
        const QString catalog = dialect == TSqlDialect::Sqlite
            ? "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"
            : "SELECT table_name FROM information_schema.tables WHERE table_schema = "
              "'names_test' ORDER BY table_name";
        QStringList expected = names;
        QStringList got = Column(q, catalog);
        expected.sort();
        got.sort();
        QCOMPARE(got, expected);
        for (const QString &name : names)
            QCOMPARE(Column(q,
                            "SELECT " + QuoteIdentifier(name + "_f", dialect) + " FROM "
                                + QuoteTableName(name, dialect)),
                     QStringList {"7"});
    }

    void valuesRoundTrip_data() { namesReachTheEngineExactly_data(); }
    void valuesRoundTrip()
    {
        QFETCH(int, which);
        const auto dialect = TSqlDialect(which);
        QSqlDatabase db = QSqlDatabase::database(dialect == TSqlDialect::Sqlite ? "lite" : "pg");
        QSqlQuery q(db);
        const bool pg = dialect == TSqlDialect::Postgres;
        Run(q,
            QString("CREATE TABLE vals (s VARCHAR(40), d DATE, t TIME, ts TIMESTAMP, f %1, "
                    "n BIGINT, b BOOLEAN, bin %2, z VARCHAR(5))")
                .arg(pg ? "DOUBLE PRECISION" : "REAL", pg ? "BYTEA" : "BLOB"));
        const QVariantList values = {QString("O'Brien \"q\"; --x"),
                                     QDate(2024, 1, 31),
                                     QTime(13, 45, 7),
                                     QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58, 125)),
                                     0.1 + 0.2,
                                     qlonglong(9007199254740993LL),
                                     true,
                                     QByteArray("\x00\xff'x", 4),
                                     QVariant()};
        QStringList literals;
        for (const QVariant &v : values)
            literals << SqlLiteral(v, dialect);
        Run(q, "INSERT INTO vals VALUES (" + literals.join(", ") + ")");

        // Every value found again by a WHERE written with the same routine.
        const QStringList cols = {"s", "d", "t", "ts", "f", "n", "b", "bin"};
        for (int i = 0; i < cols.size(); ++i)
            QCOMPARE(Column(q, "SELECT count(*) FROM vals WHERE " + cols[i] + " = " + literals[i]),
                     QStringList {"1"});
        QCOMPARE(Column(q, "SELECT count(*) FROM vals WHERE z IS NULL"), QStringList {"1"});
        QVERIFY(q.exec("SELECT s, bin, n FROM vals") && q.next());
        QCOMPARE(q.value(0).toString(), values[0].toString());
        QCOMPARE(q.value(1).toByteArray(), values[7].toByteArray());
        QCOMPARE(q.value(2).toLongLong(), 9007199254740993LL);

        // What a user types for a field of a type.
        QCOMPARE(Column(q,
                        "SELECT count(*) FROM vals WHERE d = "
                            + SqlLiteralOfText("31.01.2024", ftDate, dialect)),
                 QStringList {"1"});
        QCOMPARE(Column(q,
                        "SELECT count(*) FROM vals WHERE d = "
                            + SqlLiteralOfText("01/31/2024", ftDate, dialect)),
                 QStringList {"1"});
        QCOMPARE(Column(q,
                        "SELECT count(*) FROM vals WHERE b = "
                            + SqlLiteralOfText("True", ftBoolean, dialect)),
                 QStringList {"1"});
        QCOMPARE(SqlLiteralOfText("12.50", ftFloat, dialect), QString("12.50"));
        // Text that is not a number stays a string: an error of the engine, never SQL.
        QCOMPARE(SqlLiteralOfText("1 OR 1=1", ftInteger, dialect), QString("'1 OR 1=1'"));
    }

    void fileNamesStayInTheirFolder()
    {
        const QStringList names = {"CUSTOMER",
                                   "Umsätze",
                                   "Order Details",
                                   "a.b-c_d",
                                   "../../x",
                                   "a/b",
                                   "a\\b",
                                   ".",
                                   "..",
                                   "",
                                   "<b>&\"x",
                                   "tab\tname",
                                   "%41",
                                   QString::fromUtf8("nul\0x", 5),
                                   "😀"};
        QDir dir(m_dir.filePath("Projects"));
        QVERIFY(dir.mkpath("."));
        QSet<QString> seen;
        for (const QString &name : names) {
            const QString file = SafeFileName(name);
            QCOMPARE(NameFromSafeFileName(file), name);
            QVERIFY2(!file.contains(u'/') && !file.contains(QChar(0)), qPrintable(file));
            QVERIFY(file != "." && file != ".." && !file.isEmpty());
            QVERIFY2(!seen.contains(file), qPrintable(file));
            seen.insert(file);
            QFile f(dir.filePath(file + ".orv"));
            QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(file));
        }
        // Nothing landed outside the folder, and ordinary names kept their bytes.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList {"names.sqlite"});
        QCOMPARE(dir.entryList(QDir::Files).size(), names.size()); // none hidden by a leading "."
        QCOMPARE(SafeFileName("Umsätze"), QString("Umsätze"));
        QCOMPARE(SafeFileName("Order Details"), QString("Order Details"));
    }

    void linkPaths()
    {
        const TLinkPath p = ParseLinkPath("PG.sales.Order Lines.line_no");
        QCOMPARE(p.alias, QString("PG"));
        QCOMPARE(p.table, QString("sales.Order Lines"));
        QCOMPARE(p.field, QString("line_no"));
        QCOMPARE(LinkPathText(p.alias, p.table, p.field), QString("PG.sales.Order Lines.line_no"));
        QVERIFY(ParseLinkPath("DEMO.CUSTOMER.CUSTNO").IsValid());
        QVERIFY(!ParseLinkPath("DEMO.CUSTOMER").IsValid());
        QVERIFY(!ParseLinkPath(".T.F").IsValid());
        QVERIFY(!ParseLinkPath("A.T.").IsValid());
    }

    void cleanupTestCase()
    {
        QSqlQuery pg(QSqlDatabase::database("pg"));
        pg.exec("DROP SCHEMA IF EXISTS names_test CASCADE");
    }
};

QTEST_GUILESS_MAIN(TestSqlNames)
#include "test_sqlnames.moc"
