#include "Database.h"
#include "DemoScenario.h"
#include "Driver.h"
#include "TestSupport.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

// The selects of the DEMO scenario written for a PostgreSQL copy of the DEMO tables, and
// run there.
class TestSelectPg : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_data;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_pg;
    std::unique_ptr<SelectBuilder> m_db;
    std::unique_ptr<DemoScenario> m_demo;

    const QStringList m_tables {"VENDORS", "PARTS", "CUSTOMER", "EMPLOYEE", "ORDERS", "ITEMS"};

    QString PgName(const QString &name) const
    {
        return m_tables.contains(name) ? "sel_" + name.toLower() : name.toLower();
    }

    static QString PgType(const TFieldDef &f)
    {
        switch (f.DataType) {
        case ftString:
            return QString("VARCHAR(%1)").arg(qMax(1, f.Size));
        case ftSmallint:
            return "SMALLINT";
        case ftInteger:
        case ftAutoInc:
            return "INTEGER";
        case ftLargeint:
            return "BIGINT";
        case ftBoolean:
            return "BOOLEAN";
        case ftFloat:
            return "DOUBLE PRECISION";
        case ftCurrency:
        case ftBCD:
            return "NUMERIC(12,2)";
        case ftDate:
            return "DATE";
        case ftTime:
            return "TIME";
        case ftDateTime:
            return "TIMESTAMP";
        default:
            return "TEXT";
        }
    }

    // Creates the table with its keys and indexes under its PostgreSQL name and copies
    // its rows.
    void CopyTable(const QString &table)
    {
        TConnection &pg = m_pg->Connection();
        TTable t(m_session.get());
        t.DatabaseName = "DEMO";
        t.TableName = table;
        t.Update();
        QStringList columns, marks;
        for (const TFieldDef &f : t.FieldDefs) {
            columns << f.Name.toLower() + " " + PgType(f);
            marks << "?";
        }
        if (const TIndexDef *key = t.PrimaryIndex())
            columns << "PRIMARY KEY (" + key->Fields.toLower().replace(';', ", ") + ")";
        pg.Exec("CREATE TABLE " + PgName(table) + " (" + columns.join(", ") + ")");
        for (const TIndexDef &ix : t.IndexDefs)
            if (!ix.IsPrimary())
                pg.Exec(QString(ix.IsUnique() ? "CREATE UNIQUE INDEX " : "CREATE INDEX ")
                        + PgName(ix.Name) + " ON " + PgName(table) + " ("
                        + ix.Fields.toLower().replace(';', ", ") + ")");

        TQuery rows(m_session.get());
        rows.DatabaseName = "DEMO";
        rows.SQL = QStringList {"SELECT * FROM " + table};
        rows.Open();
        QSqlQuery insert(pg.Db());
        QVERIFY(
            insert.prepare("INSERT INTO " + PgName(table) + " VALUES (" + marks.join(", ") + ")"));
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
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        m_session = std::make_unique<TSession>(m_config.filePath("aliases.ini"));
        m_session->AddAlias("PG", "POSTGRESQL", PgAliasParams(),
                            TSession::TPersistence::SessionOnly);
        m_pg = std::make_unique<TDatabase>("SELPG", m_session.get());
        m_pg->SetAliasName("PG");
        QStringList names;
        for (const QString &t : m_tables)
            names << PgName(t);
        m_pg->Connection().Exec("DROP TABLE IF EXISTS " + names.join(", ") + " CASCADE");
        QVERIFY(m_pg->Connection().Db().transaction());
        for (const QString &t : m_tables) {
            CopyTable(t);
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY(m_pg->Connection().Db().commit());

        m_db = std::make_unique<SelectBuilder>(m_session.get(), "SELPG");
        m_demo = std::make_unique<DemoScenario>(
            *m_db, [this](const QString &name) { return PgName(name); });
    }

    void cleanupTestCase()
    {
        m_demo.reset();
        m_db.reset();
        m_pg.reset();
        m_session.reset();
    }

    void tableOnly() { m_demo->TableOnly(); }
    void joinOnKeys() { m_demo->JoinOnKeys(); }
    void nestedJoins() { m_demo->NestedJoins(); }
    void groupQuery() { m_demo->GroupQuery(); }
    void readBack() { m_demo->ReadBack(); }
    void whereValues() { m_demo->WhereValues(); }
};

QTEST_GUILESS_MAIN(TestSelectPg)
#include "test_select_pg.moc"
