#include "DataSet.h"
#include "ExecTestSupport.h"
#include "TestSupport.h"

// Going back through a PostgreSQL result after its rows left memory: from key checkpoints
// where an integer column rises, by OFFSET otherwise.
class TestResultSeekPg : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;

    void Exec(const QString &sql)
    {
        TQuery q(m_session.get());
        q.DatabaseName = "DBOrvane";
        q.SQL = QStringList {sql};
        q.ExecSQL();
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("PG", "POSTGRESQL", PgAliasParams(),
                            TSession::TPersistence::SessionOnly);
        m_db = std::make_unique<TDatabase>("DBOrvane", m_session.get());
        m_db->SetAliasName("PG");
        Exec("DROP TABLE IF EXISTS seek_pg_t");
        Exec("CREATE TABLE seek_pg_t (id INTEGER PRIMARY KEY, name TEXT)");
        Exec("INSERT INTO seek_pg_t SELECT x, 'row ' || x FROM generate_series(1, 60000) x");
    }

    void cleanupTestCase()
    {
        if (m_db)
            Exec("DROP TABLE IF EXISTS seek_pg_t");
        m_db.reset();
    }

    void seekBack_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("name");
        QTest::addColumn<bool>("keyed");
        QTest::newRow("key") << "SELECT id, name FROM seek_pg_t ORDER BY id" << 1 << true;
        QTest::newRow("position") << "SELECT name FROM seek_pg_t ORDER BY id" << 0 << false;
        QTest::newRow("falling key")
            << "SELECT -id AS k, name FROM seek_pg_t ORDER BY id" << 1 << false;
    }

    void seekBack()
    {
        QFETCH(QString, sql);
        QFETCH(int, name);
        QFETCH(bool, keyed);
        TQuery q(m_session.get());
        q.DatabaseName = "DBOrvane";
        q.SQL = QStringList {sql};
        q.Open();
        QCOMPARE(q.ValueAt(50000, name).toString(), QString("row 50001"));
        const qint64 before = q.RowsRead();
        QCOMPARE(q.ValueAt(30000, name).toString(), QString("row 30001"));
        QCOMPARE(q.ValueAt(29000, name).toString(), QString("row 29001"));
        QVERIFY(q.RowsRead() - before <= (TQuery::SeekBackBlocks + 2) * TQuery::BlockSize);
        QCOMPARE(q.CheckpointCount() > 0, keyed); // the key served, or none was trusted
        QCOMPARE(q.ValueAt(59999, name).toString(), QString("row 60000"));
        QVERIFY(!q.ValueAt(60000, name).isValid());
    }
};

QTEST_MAIN(TestResultSeekPg)
#include "test_result_seek_pg.moc"
