// Cells copied from a result window as spreadsheets paste them, and whole results exported
// as CSV that compares byte for byte with what the sqlite3 shell writes for the query.
#include "DataSet.h"
#include "ExecTestSupport.h"
#include "IniFile.h"
#include "QueryResult.h"
#include "ResultExport.h"
#include "ResultWindows.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>

class TestResultExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
    std::unique_ptr<TIniFile> m_ini;
    std::unique_ptr<QWidget> m_main;

private slots:
    void initTestCase()
    {
        m_file = m_dir.filePath("export.sqlite");
        SqliteValue(
            m_file, {},
            {"CREATE TABLE cells (a TEXT, b TEXT, c INTEGER)",
             "INSERT INTO cells VALUES ('plain', NULL, 1), ('with\ttab', 'two\nlines', 2),"
             " ('say \"hi\"', '', 3)",
             // Every kind of value the shell quotes or formats in its own way.
             "CREATE TABLE wide (id INTEGER PRIMARY KEY, n INTEGER, r REAL, t TEXT, u TEXT)",
             "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 200000)"
             " INSERT INTO wide SELECT x, x * 7 - 500000, CASE x % 5 WHEN 0 THEN x * 0.5"
             " WHEN 1 THEN 100.0 WHEN 2 THEN 2.5e-7 WHEN 3 THEN 1e20 ELSE NULL END,"
             " CASE x % 6 WHEN 0 THEN 'a,b' WHEN 1 THEN 'q\"x' WHEN 2 THEN 'line' || char(10)"
             " || 'two' WHEN 3 THEN ' lead' WHEN 4 THEN '' ELSE 'plain' || x END,"
             " CASE x % 3 WHEN 0 THEN 'Größe' WHEN 1 THEN 'it''s' ELSE NULL END FROM c"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("EXPORT", "SQLITE", {"DATABASE NAME=" + m_file},
                            TSession::TPersistence::SessionOnly);
        m_db = std::make_unique<TDatabase>("DBOrvane", m_session.get());
        m_db->SetAliasName("EXPORT");
        m_ini = std::make_unique<TIniFile>(m_dir.filePath("Orvane.ini"));
        m_main = std::make_unique<QWidget>();
        m_main->show();
    }

    void cleanupTestCase()
    {
        m_main.reset();
        m_db.reset();
    }

    void selectedCellsCopiedForSpreadsheets()
    {
        TResultWindows results(m_main.get(), *m_db, *m_ini);
        Tform_QueryResult *w
            = results.OpenResultWindow({"SELECT a, b, c FROM cells ORDER BY c"}, "Cells", 1, false);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QAbstractItemModel *model = w->dbgResult->model();
        w->dbgResult->selectionModel()->select(
            QItemSelection(model->index(0, 0), model->index(2, 2)), QItemSelectionModel::Select);
        QApplication::clipboard()->clear();
        w->dbgResult->setFocus();
        QTest::keyClick(w->dbgResult, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("a\tb\tc\nplain\t\t1\n\"with\ttab\"\t\"two\nlines\"\t2\n"
                         "\"say \"\"hi\"\"\"\t\t3\n"));
        // Part of one row, from the menu.
        w->dbgResult->selectionModel()->clearSelection();
        w->dbgResult->selectionModel()->select(
            QItemSelection(model->index(1, 1), model->index(1, 2)), QItemSelectionModel::Select);
        w->popEdtCopy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("b\tc\n\"two\nlines\"\t2\n"));
    }

    void wholeResultExportedAsTheShellWritesIt()
    {
        const QString sqlite3 = QStandardPaths::findExecutable("sqlite3");
        if (sqlite3.isEmpty())
            QFAIL("sqlite3 is not installed (scripts/setup installs it)");
        const QString sql = "SELECT id, n, r, t, u FROM wide ORDER BY id";
        QProcess shell;
        shell.start(sqlite3, {"-csv", "-header", m_file, sql});
        QVERIFY(shell.waitForFinished(60000));
        const QByteArray expected = shell.readAllStandardOutput();
        QVERIFY(expected.count('\n') > 200000);

        TResultWindows results(m_main.get(), *m_db, *m_ini);
        Tform_QueryResult *w = results.OpenResultWindow({sql}, "Wide", 1, false);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->qryResult.FetchedCount() < 200000); // the window has not read it all
        const QString out = m_dir.filePath("wide.csv");
        QVERIFY(w->ExportTo(out));
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray actual = written.readAll();
        if (actual != expected) {
            qsizetype at = 0;
            while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
                ++at;
            QFAIL(qPrintable(
                "differs at byte " + QString::number(at) + ": "
                + QString::fromUtf8(actual.mid(std::max<qsizetype>(0, at - 40), 80)) + " | "
                + QString::fromUtf8(expected.mid(std::max<qsizetype>(0, at - 40), 80))));
        }

        // Stopped on the way: false, and the file already there stays as it was.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(!ExportCsv(m_session.get(), "DBOrvane", {sql}, buffer,
                           [](qint64 rows) { return rows < 8192; }));
        QVERIFY(buffer.size() < actual.size() / 10);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestResultExport test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_result_export.moc"
