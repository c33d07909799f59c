// The generation commands of the main window on the DEMO alias, offscreen: the whole-alias
// script with Escape and input held back, Drop on the selected node's own table, alias and
// link deletion, the Record menu's statements run as written, Index and the button hints.
#include "../params/ModalAnswers.h"
#include "Executor.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "Session.h"
#include "ShellTestSupport.h"
#include "SqliteFile.h"
#include "TreeReading.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QToolBar>
#include <QToolTip>

namespace {

QTreeWidgetItem *Expanded(QTreeWidgetItem *node)
{
    node->setExpanded(true);
    return node;
}

void Answer(TModalAnswers &answers, const QString &value)
{
    answers.Add([value](QWidget *dialog) {
        auto *combo = dialog->findChild<QComboBox *>("cmbParam");
        QVERIFY(combo);
        if (combo->isEditable())
            combo->setEditText(value);
        else
            combo->setCurrentIndex(combo->findText(value));
        static_cast<QDialog *>(dialog)->accept();
    });
}

} // namespace

class TestGenerateCommands : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { SetMessageDlgHandler({}); }
    void aliasScriptEscapeAndInputHeldBack();
    void dropPerNodeKind();
    void recordStatementsRun();
    void indexCaretAndHints();
};

void TestGenerateCommands::aliasScriptEscapeAndInputHeldBack()
{
    TProgram p;
    QVERIFY(p.Show());
    p->MainTree->setCurrentItem(AliasNode(p, "DEMO"));
    p->memSQL->clear();
    p->mnuSQLScript->trigger();
    QCOMPARE(Lines(p).filter("CREATE TABLE").size(), 6);
    QVERIFY(!p->prgB->isVisible());
    // The alias is read in a transaction of the script's own, which ends with it; a
    // transaction of the user's stays open, and what it created is in the script.
    TConnection &connection = p->DB_Orvane.Connection();
    QVERIFY(!connection.InTransaction());
    connection.Exec("BEGIN");
    connection.Exec("CREATE TABLE FRESH (A INTEGER)");
    p->memSQL->clear();
    p->mnuSQLScript->trigger();
    QVERIFY(Lines(p).contains("CREATE TABLE FRESH("));
    QVERIFY(connection.InTransaction());
    connection.Exec("ROLLBACK");

    // Escape after the first table, a Query command and a close on the way: the first table
    // stays, Query never runs, and the window closes once the script has stopped.
    p->memSQL->clear();
    TShownMessages asked;
    // The input arrives once the first table is done, as the progress bar shows it.
    AtProgress(p->prgB, 1, [&p] {
        QCoreApplication::postEvent(
            p->memSQL, new QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier));
        QCoreApplication::postEvent(p->MainTree,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(p.main.get(), new QCloseEvent);
        QCoreApplication::postEvent(
            p->memSQL, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    p->mnuSQLScript->trigger();
    QCOMPARE(Lines(p).filter("CREATE TABLE"), QStringList({"CREATE TABLE CUSTOMER("}));
    QVERIFY(Lines(p).filter("SELECT").isEmpty());
    QCOMPARE(SelectedText(p), QString("DEMO"));
    QCOMPARE(p->StatusText(), QString("Canceled by user"));
    QVERIFY(!connection.InTransaction());
    QCOMPARE(asked.texts, QStringList({"Stop writing the script and close?"}));
    QVERIFY(p->isVisible());
    p->memSQL->document()->setModified(false); // no save question on the way out
    QTRY_VERIFY(!p->isVisible());
}

// Drop and Group read the selected field's own table, not the one read last; Drop on an
// alias or a link asks first and removes it.
void TestGenerateCommands::dropPerNodeKind()
{
    TProgram p;
    QVERIFY(p.Show());
    QTreeWidgetItem *demo = Expanded(AliasNode(p, "DEMO"));
    QTreeWidgetItem *orders = Expanded(Child(demo, "ORDERS"));
    Expanded(Child(demo, "CUSTOMER"));
    QCOMPARE(p->tab_Orvane.TableName, QString("CUSTOMER"));
    p->MainTree->setCurrentItem(Child(orders, "CUSTNO"));
    p->memSQL->clear();
    p->mnuSQLDrop->trigger();
    QCOMPARE(Lines(p).last(), QString("ALTER TABLE ORDERS DROP CUSTNO;"));
    p->mnuPopGroup->trigger();
    QVERIFY(Lines(p).contains("QueryName:Q_ORDERS_GROUPCUSTNO"));
    QVERIFY(Lines(p).contains("\tORDERS.CUSTNO"));
    QCOMPARE(Lines(p).last(), QString(";"));
    // A node Drop has nothing for says so.
    p->MainTree->setCurrentItem(Child(orders, "Primary key"));
    const int before = p->memSQL->document()->blockCount();
    p->mnuSQLDrop->trigger();
    QCOMPARE(p->memSQL->document()->blockCount(), before);
    QVERIFY(p->StatusText().startsWith("Drop works on"));

    const QString spare = QDir::temp().filePath("spare.db");
    p->DB_Orvane.Session().AddAlias("SPARE", "SQLITE", {"DATABASE NAME=" + spare});
    p->mnuEdtRefreshClick();
    QVERIFY(AliasNode(p, "SPARE"));
    p->MainTree->setCurrentItem(AliasNode(p, "SPARE"));
    TShownMessages boxes(QMessageBox::Cancel);
    const QStringList &asked = boxes.texts;
    p->mnuSQLDrop->trigger();
    QVERIFY(AliasNode(p, "SPARE"));
    boxes.reply = QMessageBox::Ok;
    p->MainTree->setCurrentItem(AliasNode(p, "SPARE"));
    p->mnuSQLDrop->trigger();
    QCOMPARE(asked, QStringList({"Delete SPARE?", "Delete SPARE?"}));
    QVERIFY(!AliasNode(p, "SPARE"));
    QVERIFY(!TSession(p->DB_Orvane.Session().ConfigFileName()).IsAlias("SPARE"));

    const QString project = ProjectFileName("DEMO", "ORDERS");
    QDir().mkpath(QFileInfo(project).path());
    TIniFile(project).WriteString("CUSTNO", "Lookup", "DEMO.CUSTOMER.CUSTNO");
    orders = Child(Expanded(AliasNode(p, "DEMO")), "ORDERS");
    orders->setExpanded(false); // read again, now with the link
    Expanded(orders);
    QTreeWidgetItem *field = Child(orders, "CUSTNO");
    QCOMPARE(field->childCount(), 1);
    p->MainTree->setCurrentItem(field->child(0));
    p->memSQL->clear();
    p->mnuSQLDrop->trigger();
    QCOMPARE(asked.last(), QString("Delete link?"));
    QCOMPARE(field->childCount(), 0);
    QVERIFY(ReadLookups("DEMO", "ORDERS", {"CUSTNO"}).isEmpty());
    QVERIFY(p->memSQL->toPlainText().isEmpty());
}

// Insert with its second walk on a table ITEMS of ID, NAME and PRICE: every value becomes a
// literal, and what is written runs.
void TestGenerateCommands::recordStatementsRun()
{
    const QString file = QDir::temp().filePath("shop.db");
    QFile::remove(file);
    RunOnSqliteFile(file,
                    {"CREATE TABLE ITEMS (ID INTEGER PRIMARY KEY, NAME CHAR(30), PRICE FLOAT)"});
    TProgram p;
    QVERIFY(p.Show());
    p->DB_Orvane.Session().AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + file},
                                    TSession::TPersistence::SessionOnly);
    p->mnuEdtRefreshClick();
    QTreeWidgetItem *items = Child(Expanded(AliasNode(p, "SHOP")), "ITEMS");
    p->MainTree->setCurrentItem(items);
    p->memSQL->clear();
    {
        TModalAnswers answers;
        Answer(answers, "ID");
        Answer(answers, "7");
        Answer(answers, "Ann \"Bo\" O'Hara");
        Answer(answers, "2.5");
        p->mnuRecordInsert->trigger();
        QCOMPARE(answers.Pending(), 0);
    }
    QCOMPARE(
        Lines(p),
        QStringList({"INSERT INTO ITEMS (ID) VALUES (7);", "UPDATE", "\tITEMS", "SET",
                     "\tNAME = 'Ann \"Bo\" O''Hara',", "\tPRICE = 2.5", "WHERE", "\tID = 7", ";"}));
    QVERIFY(p->Executor().RunScript(Lines(p)));
    TQuery q(&p->DB_Orvane.Session());
    q.DatabaseName = "SHOP";
    q.SQL = QStringList {"SELECT NAME, PRICE FROM ITEMS WHERE ID = 7"};
    q.Open();
    QCOMPARE(q.Value(0).toString().trimmed(), QString("Ann \"Bo\" O'Hara"));
    QCOMPARE(q.Value(1).toDouble(), 2.5);
    q.Close();

    // An empty key value writes no UPDATE.
    p->memSQL->clear();
    {
        TModalAnswers answers;
        Answer(answers, "ID");
        Answer(answers, "");
        p->mnuRecordInsert->trigger();
    }
    QCOMPARE(Lines(p), QStringList({"INSERT INTO ITEMS (ID) VALUES ('');"}));
}

void TestGenerateCommands::indexCaretAndHints()
{
    TProgram p;
    QVERIFY(p.Show());
    QTreeWidgetItem *demo = Expanded(AliasNode(p, "DEMO"));
    QTreeWidgetItem *orders = Expanded(Child(demo, "ORDERS"));
    p->memSQL->setPlainText("a\nb\nc");
    p->SelectLine(2);
    p->MainTree->setCurrentItem(Child(orders, "SALEDATE"));
    {
        TModalAnswers answers; // the walk's first question is rejected
        p->mnuPopIndex->trigger();
    }
    QCOMPARE(Lines(p).last(), QString("CREATE INDEX <IndexName> ON ORDERS (SALEDATE);"));
    QCOMPARE(p->memSQL->textCursor().blockNumber(), 1);
    p->SelectLine(0);
    {
        TModalAnswers answers;
        p->mnuPopIndex->trigger();
    }
    QCOMPARE(p->memSQL->textCursor().blockNumber(), 0);

    const auto hint = [&](QAction *button) {
        QWidget *w = p->toolBCtrl->widgetForAction(button);
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(w, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(hint(p->btnDrop), QString("Drop (Ctrl+Del)\nAlter Table ... Drop ..."));
    p->MainTree->setCurrentItem(demo);
    QCOMPARE(hint(p->btnScript), QString("Script (F8)\nfor all the tables of Alias"));
    QVERIFY(!p->btnAdd->isEnabled());
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    QCOMPARE(hint(p->btnAdd), QString());
}

QTEST_MAIN(TestGenerateCommands)
#include "test_generate_commands.moc"
