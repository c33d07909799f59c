#include "DataSet.h"
#include "ExecTestSupport.h"
#include "IniFile.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <functional>

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
        // 1.1 million stored rows (more than MaxCheckpoints blocks), and a view over them
        // whose order no key column follows.
        SqliteValue(file, {},
                    {"CREATE TABLE seek_t (id INTEGER PRIMARY KEY, name TEXT)",
                     "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                     "1100000) INSERT INTO seek_t SELECT x, 'row ' || x FROM c",
                     // rises for the first 100,000 rows, then starts again from 1
                     "CREATE VIEW seek_rise_once AS SELECT CASE WHEN id <= 100000 THEN id ELSE"
                     " id - 100000 END AS k, name FROM seek_t"});
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

    // Rows a move of the grid takes from the engine, and what the grid then shows there.
    static qint64 ReadFor(Tform_QueryResult *w, const std::function<void()> &move)
    {
        const qint64 before = w->qryResult.RowsRead();
        move();
        QCoreApplication::processEvents();
        return w->qryResult.RowsRead() - before;
    }

    void seekingBackReadsFromACheckpoint()
    {
        TResultWindows results(m_main.get(), *m_db, *m_ini);
        Tform_QueryResult *w = results.OpenResultWindow({"SELECT * FROM seek_t"}, "Seek", 1, false);
        w->findChild<QToolButton *>("nbLast")->click();
        QCOMPARE(w->dsResult->rowCount(), 1100000);
        QCOMPARE(w->CurrentRow(), 1099999);
        QVERIFY(w->qryResult.CheckpointCount() <= TQuery::MaxCheckpoints);
        QVERIFY(w->qryResult.CheckpointCount() > TQuery::MaxCheckpoints / 3);
        // A move to any row reads a few blocks around it, never the rows before it.
        const qint64 bound = (TQuery::SeekBackBlocks + 4) * TQuery::BlockSize;
        QVERIFY(ReadFor(w, [w] { w->SelectRow(500000); }) <= bound);
        QCOMPARE(w->dsResult->index(500000, 1).data().toString(), QString("row 500001"));
        QCOMPARE(w->qryResult.Value(1).toString(), QString("row 500001"));
        w->dbgResult->setFocus();
        for (int i = 0; i < 600; ++i) {
            const qint64 read = ReadFor(w, [w] { QTest::keyClick(w->dbgResult, Qt::Key_PageUp); });
            QVERIFY2(read <= bound, qPrintable(QString::number(read)));
        }
        const int row = w->CurrentRow();
        QVERIFY(row < 500000 - 600 * 5);
        QCOMPARE(w->dsResult->index(row, 1).data().toString(), QString("row %1").arg(row + 1));
        QCOMPARE(w->qryResult.RecNo(), row);
        QVERIFY(ReadFor(w, [w] { w->SelectRow(10); }) <= bound);
        QCOMPARE(w->dsResult->index(10, 1).data().toString(), QString("row 11"));
        QVERIFY(w->qryResult.CachedRowCount() <= TQuery::MaxCachedBlocks * TQuery::BlockSize);
        w->close();
    }

    void seekingBackWithoutAKey()
    {
        // No integer column: the engine skips to the row by its position.
        TQuery q(m_session.get());
        q.DatabaseName = "DBOrvane";
        q.SQL = QStringList {"SELECT name FROM seek_t"};
        q.Open();
        QCOMPARE(q.ValueAt(300000, 0).toString(), QString("row 300001"));
        qint64 before = q.RowsRead();
        QCOMPARE(q.ValueAt(250000, 0).toString(), QString("row 250001"));
        QVERIFY(q.RowsRead() - before <= (TQuery::SeekBackBlocks + 1) * TQuery::BlockSize);
        QCOMPARE(q.ValueAt(250001 - TQuery::SeekBackBlocks * TQuery::BlockSize, 0).toString(),
                 QString("row %1").arg(250002 - TQuery::SeekBackBlocks * TQuery::BlockSize));

        // A column that rises at first and then starts again is no key: a cursor started at
        // a checkpoint among the first rows must not be trusted beyond them.
        q.SQL = QStringList {"SELECT * FROM seek_rise_once"};
        q.Open();
        QCOMPARE(q.ValueAt(90000, 1).toString(), QString("row 90001"));
        QCOMPARE(q.ValueAt(50000, 1).toString(), QString("row 50001"));
        QCOMPARE(q.ValueAt(100500, 1).toString(), QString("row 100501"));
        QCOMPARE(q.ValueAt(100500, 0).toInt(), 501);
        QCOMPARE(q.ValueAt(50000, 1).toString(), QString("row 50001"));
        QCOMPARE(q.ValueAt(150000, 1).toString(), QString("row 150001"));
        QCOMPARE(q.ValueAt(120000, 0).toInt(), 20001);
        QCOMPARE(q.CheckpointCount(), 0);

        // A statement that cannot be wrapped is stepped over by the driver, never misread.
        q.SQL = QStringList {"PRAGMA table_info(seek_t)"};
        q.Open();
        QCOMPARE(q.ValueAt(1, 1).toString(), QString("name"));
        q.Close();
    }
};

QTEST_MAIN(TestResultBig)
#include "test_result_big.moc"
