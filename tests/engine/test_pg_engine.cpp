#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"
#include "Session.h"
#include "StatementWait.h"
#include "Table.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

// The PostgreSQL driver against the server that scripts/test starts.
class TestPgEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;

    void Exec(const QString &sql) { m_db->Connection().Exec(sql); }
    int Count(const QString &sql)
    {
        TQuery q(m_session.get());
        q.DatabaseName = "PGSETUP";
        q.SQL = QStringList {sql};
        q.Open();
        return q.Value(0).toInt();
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("PG", "POSTGRESQL", PgAliasParams());
        m_db = std::make_unique<TDatabase>("PGSETUP", m_session.get());
        m_db->SetAliasName("PG");
        for (const char *sql : {
                 "DROP SCHEMA IF EXISTS engine_side CASCADE",
                 "DROP TABLE IF EXISTS engine_cust, engine_item, engine_nokey CASCADE",
                 "CREATE TABLE engine_cust (id SERIAL PRIMARY KEY, name VARCHAR(30) NOT NULL,"
                 " code CHAR(5), age SMALLINT, score INTEGER, big BIGINT, ok BOOLEAN, rate REAL,"
                 " ratio DOUBLE PRECISION, price NUMERIC(10,2), paid MONEY, born DATE, at TIME,"
                 " seen TIMESTAMP, pic BYTEA, notes TEXT, tag UUID)",
                 "CREATE TABLE engine_item (ord INTEGER NOT NULL, line SMALLINT NOT NULL,"
                 " part INTEGER, PRIMARY KEY (line, ord))",
                 "CREATE UNIQUE INDEX engine_item_part ON engine_item (part, ord)",
                 "CREATE INDEX engine_item_lower ON engine_item ((part + 1))",
                 "CREATE TABLE engine_nokey (name VARCHAR(10), age INTEGER)",
                 "CREATE SCHEMA engine_side",
                 "CREATE TABLE engine_side.extra (k INTEGER PRIMARY KEY)",
                 "INSERT INTO engine_cust (name, code) VALUES ('Ann', 'A'), ('Bob', 'B'), ('bob', "
                 "'C')",
                 "INSERT INTO engine_nokey VALUES ('same', 1), ('same', 1)",
             })
            Exec(QString::fromUtf8(sql));
    }

    void cleanupTestCase()
    {
        m_db.reset();
        m_session.reset();
    }

    void fieldTypesAndSizes()
    {
        TTable t(m_session.get());
        t.DatabaseName = "PGSETUP";
        t.TableName = "engine_cust";
        t.UpdateFieldDefs();
        const QList<QPair<TFieldType, int>> want
            = {{ftAutoInc, 0},  {ftString, 30}, {ftString, 5}, {ftSmallint, 0}, {ftInteger, 0},
               {ftLargeint, 0}, {ftBoolean, 0}, {ftFloat, 0},  {ftFloat, 0},    {ftBCD, 2},
               {ftCurrency, 0}, {ftDate, 0},    {ftTime, 0},   {ftDateTime, 0}, {ftBlob, 0},
               {ftMemo, 0},     {ftUnknown, 0}};
        QCOMPARE(t.FieldDefs.size(), want.size());
        for (int i = 0; i < want.size(); ++i) {
            QCOMPARE(int(t.FieldDefs[i].DataType), int(want[i].first));
            QCOMPARE(t.FieldDefs[i].Size, want[i].second);
        }
        QVERIFY(t.FieldDefs[1].Required);
        QVERIFY(!t.FieldDefs[2].Required);
    }

    void indexesAndTables()
    {
        TTable t(m_session.get());
        t.DatabaseName = "PGSETUP";
        t.TableName = "engine_item";
        t.UpdateIndexDefs();
        QCOMPARE(t.IndexDefs.size(), 2); // the expression index has no field list
        QVERIFY(t.IndexDefs[0].IsPrimary());
        QCOMPARE(t.IndexDefs[0].Fields, QString("line;ord"));
        QCOMPARE(t.IndexDefs[1].Name, QString("engine_item_part"));
        QCOMPARE(t.IndexDefs[1].Fields, QString("part;ord"));
        QVERIFY(t.IndexDefs[1].IsUnique() && !t.IndexDefs[1].IsPrimary());

        const QStringList tables = m_session->GetTableNames("PGSETUP");
        QVERIFY(tables.contains("engine_cust"));
        QVERIFY(tables.contains("engine_side.extra"));
        QVERIFY(!tables.contains("pg_class"));
        t.TableName = "engine_side.extra";
        t.Update();
        QCOMPARE(t.IndexFieldNames(), QString("k"));
    }

    void liveResultsChangeExactlyOneRow()
    {
        TQuery q(m_session.get());
        q.DatabaseName = "PGSETUP";
        q.SQL = QStringList {"SELECT id, name FROM engine_cust ORDER BY id"};
        q.RequestLive = true;
        q.Open();
        QVERIFY2(q.CanModify(), qPrintable(q.ReadOnlyReason()));
        QCOMPARE(q.Fields()[1].Size, 30);
        QVERIFY(q.Locate("name", "BOB", loCaseInsensitive));
        q.Edit();
        q.SetValue("name", "Robert");
        q.Post();
        QCOMPARE(Count("SELECT count(*) FROM engine_cust WHERE name = 'Robert'"), 1);
        QCOMPARE(Count("SELECT id FROM engine_cust WHERE name = 'Robert'"), 2);
        q.Append();
        q.SetValue("name", "Zed");
        q.Post();
        QCOMPARE(Count("SELECT count(*) FROM engine_cust"), 4);
        QCOMPARE(q.Value("name").toString(), QString("Zed"));
        q.Delete();
        QCOMPARE(Count("SELECT count(*) FROM engine_cust"), 3);

        // No key and no row id: read-only, with the reason.
        TQuery nokey(m_session.get());
        nokey.DatabaseName = "PGSETUP";
        nokey.SQL = QStringList {"SELECT * FROM engine_nokey"};
        nokey.RequestLive = true;
        nokey.Open();
        QVERIFY(!nokey.CanModify());
        QVERIFY(nokey.ReadOnlyReason().contains("no primary key"));
    }

    void rowsAreFetchedLazily()
    {
        TQuery q(m_session.get());
        q.DatabaseName = "PGSETUP";
        q.SQL = QStringList {"SELECT g, 'row ' || g FROM generate_series(1, 200000) g"};
        q.Open();
        QCOMPARE(q.Value(0).toInt(), 1);
        QVERIFY(q.FetchedCount() <= TQuery::BlockSize);
        QCOMPARE(q.RecordCount(), 200000);
        QVERIFY(q.CachedRowCount() <= TQuery::BlockSize * TQuery::MaxCachedBlocks);
    }

    // A statement of a run is read through the program's own wait, so that the window
    // answers meanwhile: it must give exactly what the Qt driver gives outside a run.
    void aRunReadsRowsAsTheQtDriverDoes()
    {
        Exec("INSERT INTO engine_cust (name, code, age, score, big, ok, rate, ratio, price, paid,"
             " born, at, seen, pic, notes, tag) VALUES ('Eve', 'E', -3, 70000, -9000000000, true,"
             " 1.5, -2.25e-10, 12345678.91, 12.34, '2024-02-29', '23:59:58.5',"
             " '1999-12-31 23:59:59.123', '\\x00ff41'::bytea, 'x\u00e9y', gen_random_uuid())");
        const QString sql
            = "SELECT c.*, NULL::integer AS nothing, 'NaN'::float8 AS nan, 1e3::numeric AS n,"
              " '-Infinity'::float4 AS inf, B'101'::varbit(5) AS bits, '2 days'::interval AS i,"
              " now()::timestamptz - now() + '2020-01-01 10:00+02'::timestamptz AS tz,"
              " '12:00+03'::timetz AS ttz, 'r'::\"char\" AS ch, 4000000000::oid AS o"
              " FROM engine_cust c, pg_sleep(0.2) ORDER BY c.id";
        const auto read = [&](std::vector<std::vector<QVariant>> &rows) {
            TQuery q(m_session.get());
            q.DatabaseName = "PGSETUP";
            q.SQL = QStringList {sql};
            q.Open();
            QStringList fields;
            for (const TField &f : q.Fields())
                fields << QString("%1 %2 %3").arg(f.FieldName).arg(int(f.DataType)).arg(f.Size);
            for (; !q.Eof(); q.Next()) {
                rows.emplace_back();
                for (int i = 0; i < q.FieldCount(); ++i)
                    rows.back().push_back(q.Value(i));
            }
            return fields;
        };
        std::vector<std::vector<QVariant>> plain, watched;
        const QStringList plainFields = read(plain);
        int pumped = 0;
        StatementWait::SetPump([&] { ++pumped; });
        QStringList watchedFields;
        {
            const StatementWait::TRun run;
            watchedFields = read(watched);
        }
        StatementWait::SetPump({});
        QVERIFY2(pumped > 0, "the run's statement was not awaited by the program");
        QCOMPARE(watchedFields, plainFields);
        QCOMPARE(watched.size(), plain.size());
        QVERIFY(plain.size() >= 4);
        for (size_t r = 0; r < plain.size(); ++r)
            for (size_t c = 0; c < plain[r].size(); ++c) {
                const QVariant &a = plain[r][c], &b = watched[r][c];
                const bool nan = a.typeId() == QMetaType::Double && std::isnan(a.toDouble());
                QVERIFY2(
                    a.metaType() == b.metaType() && a.isNull() == b.isNull()
                        && (nan ? std::isnan(b.toDouble()) : a == b),
                    qPrintable(QString("row %1 %2: %3 / %4")
                                   .arg(r)
                                   .arg(plainFields.value(int(c)), a.toString(), b.toString())));
            }

        // Errors read the same, and the connection serves the next statement.
        QString plainError, watchedError;
        const auto fail = [&](QString &message) {
            TQuery q(m_session.get());
            q.DatabaseName = "PGSETUP";
            q.SQL = QStringList {"SELECT 1 / (score - score) FROM engine_cust"};
            try {
                q.Open();
                q.Last();
            } catch (const EDatabaseError &e) {
                message = e.Message();
            }
        };
        fail(plainError);
        {
            const StatementWait::TRun run;
            fail(watchedError);
            QCOMPARE(Count("SELECT count(*) FROM engine_cust"), int(plain.size()));
        }
        QVERIFY2(plainError.startsWith("division by zero"), qPrintable(plainError));
        QCOMPARE(watchedError, plainError);
        Exec("DELETE FROM engine_cust WHERE name = 'Eve'");
    }

    void errorsNameTheirCauseQuickly()
    {
        auto connectError = [&](const QString &alias, const QStringList &params,
                                const QString &user, const QString &password) {
            m_session->AddAlias(alias, "POSTGRESQL", params);
            TDatabase db("DB" + alias, m_session.get());
            db.SetAliasName(alias);
            db.OnLogin = [&](TDatabase &, QStringList &login) {
                login = QStringList {"USERNAME=" + user, "PASSWORD=" + password};
            };
            try {
                db.Open();
            } catch (const EDatabaseError &e) {
                return e.Message();
            }
            return QString();
        };
        QStringList params = PgAliasParams();
        QString message = connectError("PGBADPW", params, PgEnv("ORVANE_PG_LOGIN_USER"), "wrong");
        QVERIFY2(message.contains("password authentication failed"), qPrintable(message));
        QVERIFY(!connectError("PGGOODPW", params, PgEnv("ORVANE_PG_LOGIN_USER"),
                              PgEnv("ORVANE_PG_LOGIN_PASSWORD"))
                     .size());

        // A port nobody listens on, and an address that never answers.
        params[1] = "PORT=1";
        QElapsedTimer timer;
        timer.start();
        message = connectError("PGCLOSED", params, "postgres", QString());
        QVERIFY2(message.contains("refused"), qPrintable(message));
        QVERIFY(timer.elapsed() < 3000);

        // A loopback listener that accepts the connection and never says a word.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        params[0] = "SERVER NAME=127.0.0.1";
        params[1] = "PORT=" + QString::number(silent.serverPort());
        timer.restart();
        message = connectError("PGSILENT", params, "postgres", QString());
        QVERIFY2(message.contains("timeout", Qt::CaseInsensitive), qPrintable(message));
        QVERIFY(timer.elapsed() < 15000);

        TQuery q(m_session.get());
        q.DatabaseName = "PGSETUP";
        q.SQL = QStringList {"SELECT * FROM engine_missing"};
        try {
            q.Open();
            QFAIL("opened a missing table");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.Message().startsWith("relation \"engine_missing\" does not exist"),
                     qPrintable(e.Message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestPgEngine)
#include "test_pg_engine.moc"
