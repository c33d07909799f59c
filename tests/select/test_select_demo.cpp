#include "DemoScenario.h"

#include <QTemporaryDir>

// Selects over the DEMO database that the engine builds on a first start, built as the
// query generators build them, and run on it.
class TestSelectDemo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_data;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<SelectBuilder> m_db;
    std::unique_ptr<DemoScenario> m_demo;

private slots:
    void initTestCase()
    {
        // The DEMO database is built in the user's data folder: keep it in a temporary one.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        m_session = std::make_unique<TSession>(m_config.filePath("aliases.ini"));
        QVERIFY(m_session->IsAlias("DEMO"));
        m_db = std::make_unique<SelectBuilder>(m_session.get(), "DEMO");
        m_demo = std::make_unique<DemoScenario>(*m_db, [](const QString &name) { return name; });
    }

    void cleanupTestCase()
    {
        m_demo.reset();
        m_db.reset();
        m_session.reset();
    }

    void tableOnly() { m_demo->TableOnly(); }
    void joinOnKeys() { m_demo->JoinOnKeys(); }
    void nestedJoins() { m_demo->NestedJoins(); }
    void groupQuery() { m_demo->GroupQuery(); }
    void readBack() { m_demo->ReadBack(); }
    void whereValues() { m_demo->WhereValues(); }
};

QTEST_GUILESS_MAIN(TestSelectDemo)
#include "test_select_demo.moc"
