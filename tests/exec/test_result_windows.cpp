#include "DataSet.h"
#include "ExecTestSupport.h"
#include "FindRecord.h"
#include "IniFile.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>

// Answers the next modal dialog as soon as it shows.
static void Answer(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(w);
        }
    });
    timer->start(10);
}

static void Press(QWidget *dialog, QMessageBox::StandardButton button)
{
    auto *box = qobject_cast<QMessageBox *>(dialog);
    QVERIFY(box);
    QCOMPARE(box->text(), QString("Delete Record?"));
    box->button(button)->click();
}

// The text a label shows, as a user would select and copy it: markup would not be in it.
static QString ShownText(QLabel *label)
{
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setSelection(0, int(label->text().size()));
    return label->selectedText();
}

// What a tool tip of that text shows: tool tips take text that looks like markup as markup.
static QString ShownTip(const QString &tip)
{
    QTextDocument doc;
    if (Qt::mightBeRichText(tip))
        doc.setHtml(tip);
    else
        doc.setPlainText(tip);
    return doc.toPlainText().replace(QChar::Nbsp, u' ');
}

// Result windows opened by the executor over a real SQLite file, driven offscreen.
class TestResultWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
    std::unique_ptr<TQuery> m_query;
    std::unique_ptr<TIniFile> m_ini;
    std::unique_ptr<QWidget> m_main;
    TResultWindows *m_results = nullptr;
    TRecordedHost m_rec;
    std::unique_ptr<TExecutor> m_exec;

    bool Run(const QStringList &lines) { return m_exec->RunScript(lines); }
    Tform_QueryResult *Window(const QString &caption)
    {
        for (Tform_QueryResult *w : m_results->Windows())
            if (w->windowTitle() == caption)
                return w;
        return nullptr;
    }
    void CloseAll()
    {
        for (Tform_QueryResult *w : m_results->Windows())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void initTestCase()
    {
        m_file = m_dir.filePath("shop.sqlite");
        SqliteValue(
            m_file, {},
            {"CREATE TABLE exec_cust (id INTEGER PRIMARY KEY, name VARCHAR(30))",
             "INSERT INTO exec_cust (name) VALUES ('Anna'), ('Carl'), ('Bert'),"
             " ('carla'), ('Dora')",
             "CREATE TABLE exec_memo (id INTEGER PRIMARY KEY, title VARCHAR(10), notes TEXT)",
             "INSERT INTO exec_memo VALUES (1, 'one', 'first note'), (2, 'two', 'second')",
             "CREATE TABLE \"<b>&x\" (id INTEGER PRIMARY KEY, name VARCHAR(10)) WITHOUT ROWID",
             "INSERT INTO \"<b>&x\" VALUES (1, '<b>&x')",
             "CREATE TRIGGER keep BEFORE DELETE ON \"<b>&x\" BEGIN"
             " SELECT RAISE(ABORT, 'rows of <b>&x stay'); END"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_file},
                            TSession::TPersistence::SessionOnly);
        m_db = std::make_unique<TDatabase>("DBOrvane", m_session.get());
        m_db->SetAliasName("SHOP");
        m_query = std::make_unique<TQuery>(m_session.get());
        m_query->DatabaseName = "DBOrvane";
        m_ini = std::make_unique<TIniFile>(m_dir.filePath("Orvane.ini"));
        m_main = std::make_unique<QWidget>();
        m_main->setGeometry(100, 50, 600, 400);
        m_main->show();
        m_results = new TResultWindows(m_main.get(), *m_db, *m_ini);
        TExecutorHost host = m_rec.Host();
        host.OpenResultWindow = m_results->Opener();
        m_exec = std::make_unique<TExecutor>(*m_db, *m_query, host);
    }

    void cleanup() { CloseAll(); }

    void cleanupTestCase()
    {
        CloseAll();
        m_main.reset();
        m_exec.reset();
        m_query.reset();
        m_db.reset();
    }

    void unnamedWindowsCascade()
    {
        QVERIFY(Run({"SELECT * FROM exec_cust;", "/*", "QueryName:Second", "*/",
                     "SELECT name FROM exec_cust;", "SELECT id FROM exec_cust"}));
        const auto windows = m_results->Windows();
        QCOMPARE(windows.size(), 3);
        QCOMPARE(windows[0]->windowTitle(), QString("Query_1"));
        QCOMPARE(windows[1]->windowTitle(), QString("Second"));
        QCOMPARE(windows[2]->windowTitle(), QString("Query_3"));
        QCOMPARE(windows[0]->pos(), m_main->pos() + QPoint(16, 16));
        QCOMPARE(windows[2]->pos(), m_main->pos() + QPoint(48, 48));
        QVERIFY(windows[0]->isVisible());
        QCOMPARE(windows[0]->dsResult->rowCount(), 5);
        QVERIFY(windows[0]->PanelText(1).startsWith("Time: 00:00:0"));
        // Unnamed windows are never re-used, and a name belongs to one window and its
        // settings section only.
        QVERIFY(Run({"SELECT * FROM exec_cust;"}));
        QCOMPARE(m_results->Windows().size(), 4);
        Tform_QueryResult *again = m_results->Windows()[3];
        QCOMPARE(again->windowTitle(), QString("Query_1 (2)"));
        QVERIFY(Run({"SELECT * FROM exec_cust;"}));
        QCOMPARE(m_results->Windows()[4]->windowTitle(), QString("Query_1 (3)"));
        again->move(again->x() + 123, again->y());
        CloseAll();
        QCOMPARE(m_ini->ReadInteger("Query_1 (2)", "Left"),
                 m_ini->ReadInteger("Query_1", "Left") + 123);
        // A query named like an open window goes to that window.
        QVERIFY(Run({"SELECT 1;", "/*", "QueryName:Query_1", "*/", "SELECT 2;"}));
        QCOMPARE(m_results->Windows().size(), 1);
        QCOMPARE(m_results->Windows()[0]->dsResult->index(0, 0).data().toString(), QString("2"));
    }

    void editToolBarShowsImages()
    {
        QVERIFY(Run({"/* LiveAnswer:True*/", "SELECT * FROM exec_cust;"}));
        Tform_QueryResult *w = m_results->Windows()[0];
        QFont big = w->font();
        big.setPixelSize(40);
        w->setFont(big);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QList<QToolButton *> buttons {w->btnIns, w->btnDel, w->btnEdit, w->btnLocate};
        const QStringList texts {"Insert", "Delete", "Edit", "Locate"};
        QCOMPARE(w->imgEdit.size(), 4);
        QList<QImage> images;
        for (int i = 0; i < 4; ++i) {
            QToolButton *b = buttons[i];
            QCOMPARE(b->toolTip(), texts[i]);
            QVERIFY(!b->icon().isNull());
            // Nothing of the button is cut off, whatever the font.
            QVERIFY2(b->sizeHint().width() <= b->width() && b->sizeHint().height() <= b->height(),
                     qPrintable(texts[i]));
            const QImage image = b->icon().pixmap(16, 16).toImage();
            QVERIFY(image.pixelColor(12, 12).alpha() > 0); // the sign in the corner is drawn
            QVERIFY(!images.contains(image));
            images << image;
        }
        QVERIFY(!w->popEdtDel->icon().isNull());
    }

    void namesShownAsText()
    {
        QVERIFY(Run({"/* LiveAnswer:True*/", "SELECT name FROM \"<b>&x\";"}));
        Tform_QueryResult *w = m_results->Windows()[0];
        auto *reason = w->findChild<QLabel *>("lblReadOnlyReason");
        QVERIFY(reason->text().contains("<b>&x"));
        QVERIFY2(ShownText(reason).contains("Table <b>&x has"), qPrintable(ShownText(reason)));
        QString tip;
        for (QLabel *l : w->stb->findChildren<QLabel *>())
            if (l->text() == "Read Only")
                tip = l->toolTip();
        QVERIFY(ShownTip(tip).contains("Table <b>&x has"));
        QCOMPARE(ShownTip(w->dsResult->index(0, 0).data(Qt::ToolTipRole).toString()),
                 QString("<b>&x"));

        // The engine's message about the table, in the window's error box.
        QVERIFY(Run({"/* LiveAnswer:True*/", "SELECT * FROM \"<b>&x\";"}));
        w = m_results->Windows()[1];
        QVERIFY(w->Editable);
        w->SelectRow(0);
        QString shown;
        Answer([&shown](QWidget *d) {
            Press(d, QMessageBox::Ok);
            Answer([&shown](QWidget *error) {
                shown = ShownText(error->findChild<QLabel *>("qt_msgbox_label"));
                qobject_cast<QMessageBox *>(error)->button(QMessageBox::Ok)->click();
            });
        });
        w->popEdtDel->trigger();
        QVERIFY2(shown.contains("rows of <b>&x stay"), qPrintable(shown));
        QCOMPARE(SqliteValue(m_file, "SELECT count(*) FROM \"<b>&x\"").toInt(), 1);
    }

    void namedWindowReusedAndRestored()
    {
        const QStringList script {"/*", "QueryName:Cust", "*/",
                                  "SELECT * FROM exec_cust ORDER BY id;"};
        QVERIFY(Run(script));
        Tform_QueryResult *w = Window("Cust");
        QVERIFY(w);
        w->move(300, 200);
        w->resize(500, 250);
        SqliteValue(m_file, {}, {"INSERT INTO exec_cust (id, name) VALUES (100, 'Extra')"});
        QVERIFY(Run(script));
        QCOMPARE(m_results->Windows().size(), 1);
        QCOMPARE(Window("Cust"), w);
        QCOMPARE(w->pos(), QPoint(300, 200)); // placed already: no cascade
        QCOMPARE(w->dsResult->rowCount(), 6); // refreshed in place
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_results->Windows().isEmpty());
        QCOMPARE(m_ini->ReadInteger("Cust", "Left"), 300);
        QCOMPARE(m_ini->ReadInteger("Cust", "Tag"), 1);
        QVERIFY(m_ini->ReadString("Config", "WindowsList").endsWith(",Cust"));

        QVERIFY(Run(script));
        w = Window("Cust");
        QCOMPARE(w->pos(), QPoint(300, 200));
        QCOMPARE(w->size(), QSize(500, 250));
        SqliteValue(m_file, {}, {"DELETE FROM exec_cust WHERE id = 100"});
    }

    void sixteenNamesForgetTheFirst()
    {
        for (int i = 1; i <= 16; ++i) {
            QVERIFY(
                Run({"/*", QString("QueryName:W%1").arg(i), "*/", "SELECT id FROM exec_cust;"}));
            CloseAll();
            QVERIFY(m_ini->SectionExists(QString("W%1").arg(i)));
        }
        QVERIFY(!m_ini->SectionExists("W1"));
        const QStringList list = m_ini->ReadString("Config", "WindowsList").split(',');
        QCOMPARE(list.size(), 15);
        QVERIFY(!list.contains("W1"));
        QCOMPARE(list.last(), QString("W16"));
    }

    void memoVariant()
    {
        QVERIFY(Run({"SELECT id, title, notes FROM exec_memo ORDER BY id;",
                     "SELECT title FROM exec_memo;"}));
        auto *memo = qobject_cast<Tform_QueryResultMemo *>(m_results->Windows()[0]);
        QVERIFY(memo);
        QCOMPARE(memo->MemoField(), QString("notes"));
        QCOMPARE(memo->dbm->toPlainText(), QString("first note"));
        memo->SelectRow(1);
        QCOMPARE(memo->dbm->toPlainText(), QString("second"));
        QVERIFY(!qobject_cast<Tform_QueryResultMemo *>(m_results->Windows()[1]));
    }

    void liveAndReadOnly()
    {
        QVERIFY(Run({"SELECT * FROM exec_cust;", "/* LiveAnswer:True*/", "SELECT * FROM exec_cust;",
                     "SELECT name, count(*) FROM exec_cust GROUP BY name;"}));
        const auto w = m_results->Windows();
        QCOMPARE(w[0]->PanelText(0), QString("Read Only"));
        QVERIFY(w[0]->ToolBarEdit->isHidden());
        QCOMPARE(w[0]->dbgResult->contextMenuPolicy(), Qt::NoContextMenu);
        QVERIFY(!w[0]->popEdtDel->isEnabled());

        QCOMPARE(w[1]->PanelText(0), QString("Editable"));
        QVERIFY(!w[1]->ToolBarEdit->isHidden());
        QCOMPARE(w[1]->dbgResult->contextMenuPolicy(), Qt::CustomContextMenu);
        QVERIFY(w[1]->popEdtDel->isEnabled());
        QVERIFY(w[1]->popEdtIns->isEnabled());
        QVERIFY(w[1]->btnEdit->isEnabled());
        QVERIFY(!w[0]->popEdtEdit->isEnabled());

        // Asked to be live, but its rows cannot be told apart: read only, saying why.
        QCOMPARE(w[2]->PanelText(0), QString("Read Only"));
        QVERIFY(!w[2]->Editable);
        QVERIFY(!w[2]->PanelText(2).isEmpty());
        QVERIFY(!w[2]->popEdtDel->isEnabled());
    }

    void deleteAsksFirst()
    {
        QVERIFY(Run({"/* LiveAnswer:True*/", "SELECT * FROM exec_cust ORDER BY id;"}));
        Tform_QueryResult *w = m_results->Windows()[0];
        w->SelectRow(2); // Bert
        Answer([](QWidget *d) { Press(d, QMessageBox::Cancel); });
        w->popEdtDel->trigger();
        QCOMPARE(SqliteValue(m_file, "SELECT count(*) FROM exec_cust").toInt(), 5);
        QCOMPARE(w->dsResult->rowCount(), 5);

        Answer([](QWidget *d) { Press(d, QMessageBox::Ok); });
        w->popEdtDel->trigger();
        QCOMPARE(
            SqliteValue(m_file, "SELECT group_concat(name) FROM exec_cust ORDER BY id").toString(),
            QString("Anna,Carl,carla,Dora"));
        QCOMPARE(w->dsResult->rowCount(), 4);
        QCOMPARE(w->dsResult->index(2, 1).data().toString(), QString("carla"));
        SqliteValue(m_file, {}, {"INSERT INTO exec_cust (id, name) VALUES (3, 'Bert')"});
    }

    void locateByPrefix()
    {
        QVERIFY(Run({"SELECT id, name FROM exec_cust ORDER BY id;"}));
        Tform_QueryResult *w = m_results->Windows()[0];
        w->dbgResult->setCurrentIndex(w->dsResult->index(0, 1));
        const auto locate = [w](const QString &text, bool caseSensitive, bool whole) {
            QString caption;
            Answer([&, text, caseSensitive, whole](QWidget *d) {
                auto *f = qobject_cast<TfrmFindRecord *>(d);
                QVERIFY(f);
                caption = f->windowTitle();
                f->edtFind->setText(text);
                f->chkCase->setChecked(caseSensitive);
                f->chkWhole->setChecked(whole);
                f->btnOk->click();
            });
            w->popEdtLoc->trigger();
            return caption;
        };
        QCOMPARE(locate("Car", true, false), QString("Locate name"));
        QCOMPARE(w->CurrentRow(), 1); // Carl
        QCOMPARE(w->qryResult.RecNo(), 1);
        locate("carl", false, false);
        QCOMPARE(w->CurrentRow(), 1);
        locate("carl", true, false);
        QCOMPARE(w->CurrentRow(), 3); // carla, case sensitive
        locate("Car", true, true); // no whole word "Car": nothing moves
        QCOMPARE(w->CurrentRow(), 3);
        locate("DORA", false, true);
        QCOMPARE(w->CurrentRow(), 4);
    }

    void insertWithSelectRunsOnce()
    {
        // A change that mentions SELECT runs once, as a change, and the run goes on.
        QVERIFY(Run({"INSERT INTO exec_cust (name) SELECT 'Copy';", "SELECT 2;"}));
        QCOMPARE(SqliteValue(m_file, "SELECT count(*) FROM exec_cust WHERE name = 'Copy'").toInt(),
                 1);
        QCOMPARE(m_results->Windows().size(), 1);
        QCOMPARE(m_results->Windows()[0]->windowTitle(), QString("Query_1"));
        QCOMPARE(m_rec.statuses.last(), QString("SQL executed."));
        SqliteValue(m_file, {}, {"DELETE FROM exec_cust WHERE name = 'Copy'"});
    }

    void failingQueryLeavesEmptyWindow()
    {
        QVERIFY(!Run({"SELECT 1;", "SELECT abs(-9223372036854775807 - 1);", "SELECT 3;"}));
        QCOMPARE(m_results->Windows().size(), 2);
        Tform_QueryResult *w = Window("Query_2");
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->dsResult->rowCount(), 0);
        QVERIFY(m_rec.statuses.last().startsWith("ERROR:"));
        QCOMPARE(m_rec.selected.last(), 1);
    }
};

QTEST_MAIN(TestResultWindows)
#include "test_result_windows.moc"
