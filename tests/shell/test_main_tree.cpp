// The tree on SQLite and table-file aliases, offscreen: Goto Tree on a table named in a
// query, names holding dots, Refresh after a changing run, and damaged table files.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include "Database.h"
#include "Driver.h"
#include "MessageDlg.h"
#include "Session.h"
#include "TreeLogic.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

class TestMainTree : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void gotoTreeSelectsTableNamedAtCaret();
    void namesWithDotsFoundWholeAndKeptByRefresh();
    void refreshAfterChangingRunKeepsOpenNodes();
    void damagedTableFilesTellTheirReason();

private:
    void Exec(const QString &sql)
    {
        TSession::Default().OpenDatabase("TREE_DOTS").Connection().Exec(sql);
    }
    QTemporaryDir m_dir;
};

void TestMainTree::initTestCase()
{
    const QString file = m_dir.filePath("dots.sqlite");
    QFile(file).open(QIODevice::WriteOnly);
    TSession::Default().AddAlias("TREE_DOTS", "SQLITE", {"DATABASE NAME=" + file},
                                 TSession::TPersistence::SessionOnly);
    Exec("CREATE TABLE \"sales\" (S INTEGER)");
    Exec("CREATE TABLE \"sales.customers\" (C INTEGER)");
    Exec("CREATE TABLE \"sales.orders\" (ID INTEGER, AMOUNT INTEGER)");
}

void TestMainTree::gotoTreeSelectsTableNamedAtCaret()
{
    TProgram p;
    QVERIFY(p.Show());
    p->memSQL->setPlainText("CREATE TABLE ORDERS (\n"
                            "\tORDERNO INTEGER\n"
                            ");\n"
                            "SELECT * FROM ITEMS WHERE ITEMS.PARTNO > 1;\n"
                            "/*\nALIAS: TREE_DOTS\n*/\n"
                            "SELECT ID FROM \"sales\".\"orders\";\n");
    p->DB_Orvane.SetAliasName("DEMO");
    auto gotoAt = [&](int line, const QString &word, int offset = 1) {
        TMemoCursor c(p->memSQL->document()->findBlockByNumber(line));
        c.setPosition(c.position() + c.block().text().indexOf(word) + offset);
        p->memSQL->setTextCursor(c);
        p->mnuPopGotoT->trigger();
        return p->NodePathText();
    };
    // A query's table, also below a CREATE TABLE that names another one.
    QCOMPARE(gotoAt(3, "ITEMS"), QString("DEMO.ITEMS"));
    QCOMPARE(NodeKind(Selected(p)), int(nkTable));
    QVERIFY(p->MainTree->hasFocus() || !p->isActiveWindow());
    // A qualified column goes on to the field; a word that names no table keeps the old rule.
    QCOMPARE(gotoAt(3, "ITEMS.PARTNO", 8), QString("DEMO.ITEMS.PARTNO"));
    QCOMPARE(gotoAt(1, "ORDERNO"), QString("DEMO.ORDERS.ORDERNO"));
    QCOMPARE(gotoAt(3, "SELECT"), QString("DEMO.ORDERS"));
    // The alias a directive above names, and a quoted name holding a dot.
    QCOMPARE(gotoAt(7, "orders"), QString("TREE_DOTS.sales.orders"));
}

void TestMainTree::namesWithDotsFoundWholeAndKeptByRefresh()
{
    TProgram p;
    QVERIFY(p.Show());
    p->FindByPath("TREE_DOTS.sales.orders.AMOUNT");
    QCOMPARE(SelectedText(p), QString("AMOUNT: INTEGER"));
    QCOMPARE(Selected(p)->parent()->text(0), QString("sales.orders"));
    QCOMPARE(p->Value("TableName"), QString("sales.orders"));
    p->FindByPath("TREE_DOTS.sales.S");
    QCOMPARE(SelectedText(p), QString("S: INTEGER"));

    // Refresh and a bookmark come back to the table whose name holds the dot.
    p->FindByPath("TREE_DOTS.sales.customers");
    p->mnuEdtRefresh->trigger();
    QCOMPARE(SelectedText(p), QString("sales.customers"));
    const int bookmark = p->cmbBookMark->findText("TREE_DOTS.sales.orders.AMOUNT");
    QVERIFY(bookmark >= 0);
    p->cmbBookMarkClick(bookmark);
    QCOMPARE(p->NodePathText(), QString("TREE_DOTS.sales.orders.AMOUNT"));
}

void TestMainTree::refreshAfterChangingRunKeepsOpenNodes()
{
    Exec("DROP TABLE IF EXISTS TREE_GONE");
    Exec("CREATE TABLE TREE_GONE (G INTEGER)");
    TProgram p;
    QVERIFY(p.Show());
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    QCOMPARE(SelectedText(p), QString("CUSTNO: INTEGER"));
    QTreeWidgetItem *demo = AliasNode(p, "DEMO");
    Child(demo, "ITEMS")->setExpanded(true);
    Child(Child(demo, "ORDERS"), "ORDERS_SALEDATE")->setExpanded(true);
    AliasNode(p, "TREE_DOTS")->setExpanded(true);
    Child(AliasNode(p, "TREE_DOTS"), "TREE_GONE")->setExpanded(true);
    // Expanding made the opened node the path; the user comes back to CUSTNO.
    p->MainTree->setCurrentItem(Child(demo, "ORDERS"));
    p->MainTree->setCurrentItem(Child(Child(demo, "ORDERS"), "CUSTNO"));
    QCOMPARE(p->NodePathText(), QString("DEMO.ORDERS.CUSTNO"));

    p->memSQL->setPlainText("/*\nALIAS: TREE_DOTS\n*/\nBEGIN;\nDROP TABLE TREE_GONE;\n"
                            "CREATE TABLE TREE_NEW (N INTEGER);\n");
    p->mnuSQLExecute->trigger();
    QVERIFY2(!p->StatusText().startsWith("ERROR"), qPrintable(p->StatusText()));

    demo = AliasNode(p, "DEMO");
    QTreeWidgetItem *dots = AliasNode(p, "TREE_DOTS");
    QVERIFY(demo->isExpanded() && dots->isExpanded());
    QVERIFY(Child(demo, "ORDERS")->isExpanded());
    QVERIFY(Child(demo, "ITEMS")->isExpanded());
    QVERIFY(Child(Child(demo, "ORDERS"), "ORDERS_SALEDATE")->isExpanded());
    QVERIFY(!Child(dots, "TREE_GONE"));
    QVERIFY(Child(dots, "TREE_NEW"));
    // The selection, its table as the current one and the database's alias are as before.
    QCOMPARE(SelectedText(p), QString("CUSTNO: INTEGER"));
    QCOMPARE(p->NodePathText(), QString("DEMO.ORDERS.CUSTNO"));
    QCOMPARE(p->tab_Orvane.TableName, QString("ORDERS"));
    QVERIFY(!p->tab_Orvane.FieldDefs.isEmpty());
    QCOMPARE(p->Value("TableName"), QString("ORDERS"));
    // The transaction the script began is still open, for the next script to commit.
    TConnection &tx = TSession::Default().OpenDatabase("TREE_DOTS").Connection();
    QVERIFY(tx.InTransaction());
    p->memSQL->setPlainText("/*\nALIAS: TREE_DOTS\n*/\nCOMMIT;\n");
    p->mnuSQLExecute->trigger();
    QVERIFY2(!p->StatusText().startsWith("ERROR"), qPrintable(p->StatusText()));
    QVERIFY(!tx.InTransaction());

    // With an alias selected, reading the other open aliases leaves the database alone.
    p->MainTree->setCurrentItem(AliasNode(p, "TREE_DOTS"));
    QCOMPARE(p->DB_Orvane.AliasName(), QString("DEMO"));
    p->mnuEdtRefresh->trigger();
    QVERIFY(AliasNode(p, "DEMO")->isExpanded());
    QCOMPARE(SelectedText(p), QString("TREE_DOTS"));
    QVERIFY(Selected(p)->isExpanded());
    QCOMPARE(p->DB_Orvane.AliasName(), QString("DEMO"));

    // An open table that is itself selected is the current table afterwards.
    p->MainTree->setCurrentItem(Child(AliasNode(p, "DEMO"), "ITEMS"));
    p->mnuEdtRefresh->trigger();
    QVERIFY(Selected(p)->isExpanded());
    QCOMPARE(p->tab_Orvane.TableName, QString("ITEMS"));
    QVERIFY(p->tab_Orvane.FindField("PARTNO"));
}

void TestMainTree::damagedTableFilesTellTheirReason()
{
    // A Paradox table with a damaged header, and a dBASE table whose first field has a type
    // no dBASE knows, each in a folder of its own beside a sound table.
    QTemporaryDir paradox, dbase;
    const QString fixtures = qEnvironmentVariable("ORVANE_FIXTURES") + "/damaged";
    for (const QString &name : {"parts.db", "parts.mb"})
        QVERIFY(QFile::copy(fixtures + "/paradox-header/" + name, paradox.filePath(name)));
    TSession &session = TSession::Default();
    session.AddAlias("TREE_PX", "STANDARD",
                     {"DEFAULT DRIVER=PARADOX", "PATH=" + paradox.path() + '/'},
                     TSession::TPersistence::SessionOnly);
    session.AddAlias("TREE_DBF", "STANDARD", {"DEFAULT DRIVER=DBASE", "PATH=" + dbase.path() + '/'},
                     TSession::TPersistence::SessionOnly);
    TConnection &files = session.OpenDatabase("TREE_DBF").Connection();
    QVERIFY(files.ExecOwn("CREATE TABLE stock (QTY INTEGER, NAME CHAR(10))"));
    QVERIFY(files.ExecOwn("CREATE TABLE sound (OK INTEGER)"));
    QFile stock(dbase.filePath("stock.dbf"));
    QVERIFY(stock.open(QIODevice::ReadWrite));
    QVERIFY(stock.seek(32 + 11));
    QCOMPARE(stock.write("Z", 1), 1);
    stock.close();

    TShownMessages shown;
    TProgram p;
    QVERIFY(p.Show());
    QElapsedTimer clock;
    clock.start();
    p->FindByPath("TREE_PX.parts.x");
    QCOMPARE(SelectedText(p), QString("parts"));
    QCOMPARE(shown.texts.size(), 1);
    QVERIFY2(shown.texts[0].contains("parts.db") && !shown.texts[0].contains("not exist"),
             qPrintable(shown.texts[0]));
    QVERIFY(clock.elapsed() < 5000);

    p->FindByPath("TREE_DBF.stock.x");
    QCOMPARE(shown.texts.size(), 2);
    QVERIFY2(shown.texts[1].contains("stock.dbf") && shown.texts[1].contains("'Z'"),
             qPrintable(shown.texts[1]));
    QCOMPARE(p->tab_Orvane.TableName, QString("stock"));
    // The program goes on: the sound table beside it opens with its field.
    p->FindByPath("TREE_DBF.sound.OK");
    QCOMPARE(SelectedText(p), QString("OK: INTEGER"));
    QCOMPARE(shown.texts.size(), 2);

    // A Firebird file that crashes its engine and an Access file on which mdbtools loops:
    // each alias tells that its file is damaged, and the unsaved script survives.
    QTemporaryDir files2;
    const QString fdb = files2.filePath("parts.fdb");
    QVERIFY(QFile::copy(fixtures + "/firebird-one-byte.fdb", fdb));
    QFile(fdb).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    session.AddAlias("TREE_FB", "INTRBASE", {"SERVER NAME=" + fdb, "USER NAME=SYSDBA"},
                     TSession::TPersistence::SessionOnly);
    session.AddAlias("TREE_MDB", "MSACCESS", {"DATABASE NAME=" + fixtures + "/access-one-byte.mdb"},
                     TSession::TPersistence::SessionOnly);
    p->mnuEdtRefresh->trigger();
    p->memSQL->setPlainText("-- not saved");
    for (const QString &alias : {QString("TREE_FB"), QString("TREE_MDB")}) {
        clock.restart();
        QTreeWidgetItem *node = AliasNode(p, alias);
        QVERIFY(node);
        p->MainTree->setCurrentItem(node);
        node->setExpanded(true);
        QTRY_COMPARE(shown.texts.size(), alias == "TREE_FB" ? 3 : 4);
        QVERIFY2(shown.texts.last().contains("damaged"), qPrintable(shown.texts.last()));
        QVERIFY(clock.elapsed() < 8000);
    }
    QCOMPARE(p->memSQL->toPlainText(), QString("-- not saved"));
    p->memSQL->document()->setModified(false);
    p->SessionAliases << "TREE_PX"
                      << "TREE_DBF"
                      << "TREE_FB"
                      << "TREE_MDB";
}

ORVANE_TEST_MAIN_WITH_HOME(TestMainTree, QApplication)

#include "test_main_tree.moc"
