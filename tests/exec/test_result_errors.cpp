// Result windows whose source or settings fail under them: the window stays usable and says
// why, instead of the error ending the program.
#include "DataSet.h"
#include "ExecTestSupport.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>

// The memo window with its row handler reachable, as the grid calls it.
class TExposedMemo : public Tform_QueryResultMemo
{
public:
    using Tform_QueryResultMemo::CurrentRowChanged;
    using Tform_QueryResultMemo::Tform_QueryResultMemo;
};

class TestResultErrors : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
    std::unique_ptr<QWidget> m_main;

private slots:
    void initTestCase()
    {
        m_file = m_dir.filePath("memo.sqlite");
        SqliteValue(m_file, {},
                    {"CREATE TABLE memo_big (id INTEGER PRIMARY KEY, notes TEXT)",
                     "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n"
                     " WHERE i < 999) INSERT INTO memo_big SELECT i, 'note ' || i FROM n"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("MEMO", "SQLITE", {"DATABASE NAME=" + m_file},
                            TSession::TPersistence::SessionOnly);
        m_db = std::make_unique<TDatabase>("DBOrvane", m_session.get());
        m_db->SetAliasName("MEMO");
        m_main = std::make_unique<QWidget>();
        m_main->show();
    }

    void cleanupTestCase()
    {
        m_main.reset();
        m_db.reset();
    }

    void memoRowThatCannotBeReadIsShownAsAnError()
    {
        // The rows after the first 300 fail as the engine reads them, as rows do when the
        // server goes away in the middle of a result.
        TExposedMemo w(m_session.get(), m_main.get());
        w.SetMemoField("notes");
        w.OpenResult("MEMO", {},
                     {"SELECT id, notes, abs(CASE WHEN id < 300 THEN 0",
                      " ELSE -9223372036854775807 - 1 END) AS bad FROM memo_big ORDER BY id"});
        w.show();
        auto *dbm = w.findChild<QPlainTextEdit *>("dbm");
        QVERIFY(dbm);
        w.SelectRow(5);
        QCOMPARE(dbm->toPlainText(), QString("note 5"));

        QString shown;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text();
                timer.stop();
                box->accept();
            }
        });
        timer.start(10);
        w.CurrentRowChanged(400);
        QVERIFY2(shown.contains("overflow"), qPrintable(shown));
        QCOMPARE(dbm->toPlainText(), QString());
        QVERIFY(w.isVisible());
        w.CurrentRowChanged(7); // the rows that were read still show
        QCOMPARE(dbm->toPlainText(), QString("note 7"));
    }

    void closingWithUnwritableSettingsShowsTheErrorAndCloses()
    {
        const QString path = m_dir.filePath("taken.ini");
        QVERIFY(QDir().mkpath(path + "/inside"));
        TIniFile ini(path);
        TResultWindows results(m_main.get(), *m_db, ini);
        SqliteValue(m_file, {}, {"CREATE TABLE small (id INTEGER)"});
        Tform_QueryResult *w
            = results.OpenResultWindow({"SELECT id FROM small"}, "Small", 1, false);
        QStringList shown;
        const TMessageHandler previous = SetMessageDlgHandler(
            [&](const QString &text, TMsgDlgType, QMessageBox::StandardButtons) {
                shown << text;
                return QMessageBox::Ok;
            });
        QVERIFY(w->close());
        SetMessageDlgHandler(previous);
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].contains("taken.ini"));
        QVERIFY(!w->isVisible());
        QVERIFY(results.Windows().isEmpty());
        QVERIFY(QFileInfo(path + "/inside").isDir());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestResultErrors)
#include "test_result_errors.moc"
