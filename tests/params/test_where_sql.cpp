#include "DataSet.h"
#include "Database.h"
#include "Driver.h"
#include "EngineError.h"
#include "Session.h"
#include "SqlNames.h"
#include "TestSupport.h"
#include "WhereParam.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

// Conditions built in the WHERE dialog, run on SQLite and on the PostgreSQL test server:
// each finds the rows it names, whatever quotes the value holds.
class TestWhereSql : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_sqlite;
    std::unique_ptr<TDatabase> m_pg;

    void Fill(TDatabase &db, TSqlDialect dialect)
    {
        TConnection &c = db.Connection();
        c.Exec("DROP TABLE IF EXISTS where_people");
        c.Exec("CREATE TABLE where_people (id INTEGER, name VARCHAR(30), born DATE,"
               " seen TIMESTAMP, age SMALLINT, active BOOLEAN)");
        const QString yes = SqlLiteral(true, dialect), no = SqlLiteral(false, dialect);
        c.Exec("INSERT INTO where_people VALUES (1, 'O''Brien', '2024-05-03',"
               " '2024-05-03 10:30:00', 40, "
               + yes + ")");
        c.Exec("INSERT INTO where_people VALUES (2, 'Smith', '2024-06-01',"
               " '2024-06-01 08:00:00', 25, "
               + no + ")");
        c.Exec("INSERT INTO where_people VALUES (3, 'Ann \"A\" <x>', NULL, NULL, 61, " + yes + ")");
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        QFile file(m_dir.filePath("w.sqlite"));
        QVERIFY(file.open(QIODevice::WriteOnly)); // an empty file is an empty database
        file.close();
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("WSQ", "SQLITE", {"DATABASE NAME=" + m_dir.filePath("w.sqlite")},
                            TSession::TPersistence::SessionOnly);
        m_session->AddAlias("WPG", "POSTGRESQL", PgAliasParams(),
                            TSession::TPersistence::SessionOnly);
        m_sqlite = std::make_unique<TDatabase>("DBWSQ", m_session.get());
        m_sqlite->SetAliasName("WSQ");
        m_pg = std::make_unique<TDatabase>("DBWPG", m_session.get());
        m_pg->SetAliasName("WPG");
        Fill(*m_sqlite, TSqlDialect::Sqlite);
        Fill(*m_pg, TSqlDialect::Postgres);
    }

    void cleanupTestCase()
    {
        if (m_pg)
            m_pg->Connection().Exec("DROP TABLE IF EXISTS where_people");
        m_pg.reset();
        m_sqlite.reset();
        m_session.reset();
    }

    void conditionsFindTheirRows_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("value"); // null: what the dialog proposes
        QTest::addColumn<QString>("ids");
        const struct
        {
            const char *tag, *field, *op, *value, *ids;
        } cases[] = {
            {"quote in text", "name", "=", "O'Brien", "1"},
            {"like with quote", "NAME", "like", "O'%", "1"},
            {"typed in double quotes", "name", "", "\"Smith\"", "2"},
            {"double quotes and brackets", "name", "=", "Ann \"A\" <x>", "3"},
            {"in list of texts", "name", "in", "O'Brien, 'Smith'", "1,2"},
            {"iso date", "born", "=", "2024-05-03", "1"},
            {"month first date", "born", ">", "05/03/2024", "2"},
            {"proposed date", "born", "<", nullptr, "1,2"},
            {"date and time", "seen", "=", "2024-05-03 10:30", "1"},
            {"day of a timestamp", "seen", ">", "2024-05-03", "1,2"},
            {"number", "age", ">", "30", "1,3"},
            {"in list of numbers", "age", "in", "25,61", "2,3"},
            {"boolean", "active", "=", "true", "1,3"},
        };
        for (const char *db : {"DBWSQ", "DBWPG"})
            for (const auto &c : cases)
                QTest::addRow("%s %s", db, c.tag)
                    << QString(db) << QString(c.field) << QString(c.op)
                    << (c.value ? QString(c.value) : QString()) << QString(c.ids);
    }

    void conditionsFindTheirRows()
    {
        QFETCH(QString, database);
        QFETCH(QString, field);
        QFETCH(QString, op);
        QFETCH(QString, value);
        QFETCH(QString, ids);

        TfrmWhereParam dlg(nullptr, m_session.get());
        dlg.tabSource.DatabaseName = database;
        dlg.tabSource.TableName = "where_people";
        dlg.Today = QDate(2024, 6, 2);
        dlg.show();
        dlg.cmbParam->setEditText(field);
        dlg.cmbParamExit();
        if (!value.isNull())
            dlg.edtValue->setText(value);
        dlg.cmbCompare->setEditText(op);
        dlg.cmbCompareExit();
        QString condition;
        dlg.GetParamValue(condition);

        TQuery q(m_session.get());
        q.DatabaseName = database;
        q.SQL = QStringList {"SELECT id FROM where_people WHERE " + condition + " ORDER BY id"};
        QStringList found;
        try {
            q.Open();
            for (; !q.Eof(); q.Next())
                found << q.Value(0).toString();
        } catch (const EDatabaseError &e) {
            QFAIL(qPrintable(condition + ": " + e.Message()));
        }
        QVERIFY2(found.join(u',') == ids, qPrintable(condition + " gave " + found.join(u',')));
    }
};

QTEST_MAIN(TestWhereSql)
#include "test_where_sql.moc"
