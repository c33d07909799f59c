#include "DataSet.h"
#include "ExecTestSupport.h"
#include "IniFile.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>

// A result window over ten million rows: it reads only what it shows.
class TestResultBig : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
    std::unique_ptr<TIniFile> m_ini;
    std::unique_ptr<QWidget> m_main;

private slots:
    void initTestCase()
    {
        const QString file = m_dir.filePath("big.sqlite");
        SqliteValue(file, {},
                    // Ten million rows made as they are read: no time spent writing them.
                    {"CREATE VIEW exec_big AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL"
                     " SELECT x + 1 FROM c WHERE x < 10000000) SELECT x AS id, 'row ' || x AS name"
                     " FROM c"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("BIG", "SQLITE", {"DATABASE NAME=" + file},
                            TSession::TPersistence::SessionOnly);
        m_db = std::make_unique<TDatabase>("DBOrvane", m_session.get());
        m_db->SetAliasName("BIG");
        m_ini = std::make_unique<TIniFile>(m_dir.filePath("Orvane.ini"));
        m_main = std::make_unique<QWidget>();
        m_main->show();
    }

    void cleanupTestCase()
    {
        m_main.reset(); // closes the result windows it owns
        m_db.reset();
    }

    void firstRowsAtOnceAndBoundedScrolling()
    {
        TResultWindows results(m_main.get(), *m_db, *m_ini);
        Tform_QueryResult *w
            = results.OpenResultWindow({"SELECT * FROM exec_big"}, "Big", 1, false);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->PanelText(0), QString("Read Only"));
        TQueryModel *model = w->dsResult;
        QVERIFY(model->rowCount() > 0);
        QVERIFY2(w->qryResult.FetchedCount() <= 4 * TQuery::BlockSize,
                 qPrintable(QString::number(w->qryResult.FetchedCount())));
        QCOMPARE(model->index(0, 1).data().toString(), QString("row 1"));
        QVERIFY(model->canFetchMore({}));

        // Scroll down as a user would until 100,000 rows have been shown.
        for (int guard = 0; model->rowCount() < 100000 && guard < 5000; ++guard) {
            w->dbgResult->scrollToBottom();
            QCoreApplication::processEvents();
        }
        QVERIFY(model->rowCount() >= 100000);
        QVERIFY(model->rowCount() < 10000000);
        QVERIFY(w->qryResult.CachedRowCount() <= TQuery::MaxCachedBlocks * TQuery::BlockSize);
        QCOMPARE(model->index(99999, 1).data().toString(), QString("row 100000"));
        // Rows dropped from memory come back when the view returns to them.
        w->dbgResult->scrollToTop();
        QCoreApplication::processEvents();
        QCOMPARE(model->index(0, 0).data().toString(), QString("1"));
        QCOMPARE(model->index(12345, 1).data().toString(), QString("row 12346"));
        QVERIFY(w->qryResult.CachedRowCount() <= TQuery::MaxCachedBlocks * TQuery::BlockSize);

        // The cursor follows the grid far down, without the rows between kept in memory.
        w->SelectRow(70000);
        QCOMPARE(w->qryResult.RecNo(), 70000);
        w->close();
    }
};

QTEST_MAIN(TestResultBig)
#include "test_result_big.moc"
