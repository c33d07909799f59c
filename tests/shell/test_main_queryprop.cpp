// The Query Properties command on an SQLite alias, offscreen: the window and the editor kept
// in step, each change written over the statement, which stays selected and runs.
#include "IniFile.h"
#include "QueryProp.h"
#include "QueryPropCommand.h"
#include "Session.h"
#include "ShellTestSupport.h"

#include <QDir>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

void Caret(const TProgram &p, int line)
{
    TMemoCursor c(p->memSQL->document()->findBlockByNumber(line));
    p->memSQL->setTextCursor(c);
}

QString Selection(const TProgram &p)
{
    return p->memSQL->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n');
}

// Opens the window and lets it take the statement at the caret.
TfrmQueryProp *Open(const TProgram &p)
{
    p->mnuPopQryProp->trigger();
    auto *d = p->findChild<TfrmQueryProp *>();
    if (d)
        d->FormActivate();
    return d;
}

QTreeWidgetItem *Node(TfrmQueryProp *d, const QString &text)
{
    const auto found = d->treeProps->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

QStringList Items(TfrmQueryProp *d, const QString &clause)
{
    QStringList items;
    if (QTreeWidgetItem *n = Node(d, clause))
        for (int i = 0; i < n->childCount(); ++i)
            items << n->child(i)->text(0);
    return items;
}

} // namespace

class TestMainQueryProp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;

    // The rows of a statement as text, through a connection of its own.
    QList<QStringList> Rows(const QString &sql)
    {
        QList<QStringList> rows;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
            db.setDatabaseName(m_file);
            if (!db.open())
                return rows;
            QSqlQuery q(db);
            if (!q.exec(sql))
                return {{"failed: " + sql}};
            while (q.next()) {
                QStringList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i).toString();
                rows << row;
            }
        }
        QSqlDatabase::removeDatabase("check");
        return rows;
    }

    void Start(TProgram &p)
    {
        QVERIFY(p.Show());
        if (!p->DB_Orvane.Session().GetAliasNames().contains("QP"))
            p->DB_Orvane.Session().AddAlias("QP", "SQLITE", {"DATABASE NAME=" + m_file},
                                            TSession::TPersistence::SessionOnly);
        p->mnuEdtRefreshClick();
        p->FindByPath("QP.T");
        QCOMPARE(p->DB_Orvane.AliasName(), QString("QP"));
        p->memSQL->clear();
    }

private slots:
    void initTestCase()
    {
        m_file = m_dir.filePath("qp.sqlite");
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(m_file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const char *s : {"CREATE TABLE T (Name VARCHAR(20), K INTEGER, N INTEGER)",
                              "CREATE TABLE Tab (Name VARCHAR(20), K INTEGER)",
                              "INSERT INTO T VALUES ('a', 1, 5), ('b', 2, 6)",
                              "INSERT INTO Tab VALUES ('x', 1), ('y', 2)"})
            QVERIFY(q.exec(s));
        db.close();
    }

    void generatedQueryEditedInTheWindow();
    void handWrittenStatementsAndTheirPlaces();
    void aChangeAfterTheCaretMovedReadsAgain();
    void aDeleteAtTheCaretIsReadNotRun();
    void positionKeptAndSelectionGoneOnClose();
};

// A generated query: its name as caption, an item edited, a field of another table added
// from the database tree, a table dropped with its items; each time the editor holds the
// new statement, selected, and it runs.
void TestMainQueryProp::generatedQueryEditedInTheWindow()
{
    TProgram p;
    Start(p);
    p->mnuSQLQuery->trigger();
    const QStringList before = p->memSQL->toPlainText().split(u'\n');
    const int select = int(before.indexOf("SELECT"));
    QVERIFY2(select > 0 && before.contains("QueryName:Q_TableT"), qPrintable(before.join('|')));
    Caret(p, select + 1);
    TfrmQueryProp *d = Open(p);
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QString("Q_TableT"));
    QVERIFY(d->btnAdd->isEnabled());
    QCOMPARE(Items(d, "Select"), QStringList({"T.Name", "T.K", "T.N"}));
    QCOMPARE(Items(d, "From"), QStringList({"T"}));
    QVERIFY(Selection(p).startsWith("SELECT") && !Selection(p).contains(';'));

    d->treeProps->setCurrentItem(Node(d, "T.N"));
    QCOMPARE(d->edtProp->text(), QString("T.N"));
    d->edtProp->setText("T.N AS Number");
    d->btnEdit->click();
    QCOMPARE(Selection(p), d->qrySource.SQL.join(u'\n'));
    QVERIFY(p->memSQL->toPlainText().contains("\tT.N AS Number\nFROM\n\tT;"));
    QCOMPARE(Rows(Selection(p)).size(), 2);

    // A table node of the tree is offered to the From clause, a field node to the clause of
    // the item selected.
    p->FindByPath("QP.Tab");
    QCOMPARE(d->treeProps->currentItem()->text(0), QString("From"));
    QCOMPARE(d->edtProp->text(), QString("Tab"));
    p->FindByPath("QP.Tab.Name");
    QCOMPARE(d->edtProp->text(), QString("Tab.Name"));
    d->btnAdd->click();
    QCOMPARE(Items(d, "From"), QStringList({"T", "Tab"}));
    QCOMPARE(Items(d, "Select").last(), QString("Tab.Name"));
    d->treeProps->setCurrentItem(Node(d, "From"));
    d->edtProp->setText("T.K = Tab.K");
    d->popCmdSelectClick(d->popCmdWhere);
    QCOMPARE(d->treeProps->currentItem()->text(0), QString("Where"));
    d->btnAdd->click();
    QCOMPARE(Selection(p).split(u'\n').mid(5),
             QStringList({"FROM", "\tT,", "\tTab", "WHERE", "\tT.K = Tab.K "}));
    QCOMPARE(Rows(Selection(p)), QList<QStringList>({{"a", "1", "5", "x"}, {"b", "2", "6", "y"}}));

    // Moving stops at the clause's edges.
    d->treeProps->setCurrentItem(Node(d, "T.Name"));
    d->btnUp->click();
    QCOMPARE(Items(d, "Select").first(), QString("T.Name"));
    d->treeProps->setCurrentItem(Node(d, "Tab.Name"));
    d->btnDown->click();
    d->btnUp->click();
    QCOMPARE(Items(d, "Select"), QStringList({"T.Name", "T.K", "Tab.Name", "T.N AS Number"}));
    QCOMPARE(d->treeProps->currentItem()->text(0), QString("Tab.Name"));

    d->treeProps->setCurrentItem(Node(d, "Tab"));
    d->btnDrop->click();
    QCOMPARE(Items(d, "Select"), QStringList({"T.Name", "T.K", "T.N AS Number"}));
    QVERIFY(Items(d, "Where").isEmpty());
    QCOMPARE(Selection(p).split(u'\n'),
             QStringList({"SELECT", "\tT.Name,", "\tT.K,", "\tT.N AS Number", "FROM", "\tT"}));
    // Everything around the statement is as it was.
    const QStringList after = p->memSQL->toPlainText().split(u'\n');
    QCOMPARE(after.mid(0, select), before.mid(0, select));
    QCOMPARE(after.mid(select + 5), QStringList({"\tT;"}));
}

// A hand-written statement has the plain caption; one without ";" runs to the end; a
// statement that differs only in layout is not read again; each statement has its alias.
void TestMainQueryProp::handWrittenStatementsAndTheirPlaces()
{
    TProgram p;
    Start(p);
    p->memSQL->setPlainText("/*\nAlias:DEMO\nQueryName:Q_Other\n*/\nSELECT * FROM ORDERS;\n"
                            "select t.Name,\n  t.K from T t\nwhere t.K = 2");
    Caret(p, 6);
    TfrmQueryProp *d = Open(p);
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QString("Query Properties"));
    QCOMPARE(Selection(p), QString("select t.Name,\n  t.K from T t\nwhere t.K = 2"));
    QCOMPARE(d->qrySource.DatabaseName, p->DB_Orvane.DatabaseName());
    QCOMPARE(Items(d, "Where"), QStringList({"t.K = 2"}));

    // The same text in another layout and case: the window keeps what it shows.
    TMemoCursor c = p->memSQL->textCursor();
    const int start = c.selectionStart();
    c.insertText("SELECT t.Name, t.K\nFROM T t WHERE t.k = 2");
    c.setPosition(start, QTextCursor::KeepAnchor);
    p->memSQL->setTextCursor(c);
    d->setWindowTitle("kept");
    d->FormActivate();
    QCOMPARE(d->windowTitle(), QString("kept"));

    // The statement above runs on the alias its directive names, and the one below on the
    // main database again. A selection made by hand has the directives above it too.
    TMemoCursor hand(p->memSQL->document()->findBlockByNumber(4));
    hand.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    hand.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
    p->memSQL->setTextCursor(hand);
    d->FormActivate();
    QCOMPARE(d->windowTitle(), QString("Q_Other"));
    QCOMPARE(d->qrySource.DatabaseName, QString("DEMO"));
    QVERIFY(Items(d, "Select").contains("CUSTNO"));
    Caret(p, 6);
    d->FormActivate();
    QCOMPARE(d->qrySource.DatabaseName, p->DB_Orvane.DatabaseName());
    QCOMPARE(Items(d, "From"), QStringList({"T t"}));
}

// The window's change belongs to the statement it read: after the caret went elsewhere
// nothing is written over what is now selected, and the window reads the new statement.
void TestMainQueryProp::aChangeAfterTheCaretMovedReadsAgain()
{
    TProgram p;
    Start(p);
    const QString text = "SELECT T.Name FROM T;\nSELECT Tab.K FROM Tab;";
    p->memSQL->setPlainText(text);
    Caret(p, 0);
    TfrmQueryProp *d = Open(p);
    QVERIFY(d);
    QCOMPARE(Items(d, "Select"), QStringList({"T.Name"}));
    TMemoCursor c(p->memSQL->document()->findBlockByNumber(1));
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    p->memSQL->setTextCursor(c);
    d->treeProps->setCurrentItem(Node(d, "T.Name"));
    d->edtProp->setText("T.K");
    d->btnEdit->click();
    QCOMPARE(p->memSQL->toPlainText(), text);
    QCOMPARE(p->StatusText(), QString("The statement changed in the editor and was read again."));
    QCOMPARE(Items(d, "Select"), QStringList({"Tab.K"}));
    QCOMPARE(Selection(p), QString("SELECT Tab.K FROM Tab"));
    d->treeProps->setCurrentItem(Node(d, "Tab.K"));
    d->edtProp->setText("Tab.Name");
    d->btnEdit->click();
    QCOMPARE(p->memSQL->toPlainText(),
             QString("SELECT T.Name FROM T;\nSELECT\n\tTab.Name\nFROM\n\tTab;"));
}

// A DELETE with a subquery at the caret is read, fails to read as a SELECT, and leaves
// every row in place; a caret outside any SELECT shows the empty statement's error.
void TestMainQueryProp::aDeleteAtTheCaretIsReadNotRun()
{
    TProgram p;
    Start(p);
    p->memSQL->setPlainText("DELETE FROM T WHERE K IN (SELECT K FROM Tab)\n;\nUPDATE T SET N = 0");
    Caret(p, 0);
    TfrmQueryProp *d = Open(p);
    QVERIFY(d);
    QVERIFY(!d->btnAdd->isEnabled() && !d->treeProps->isEnabled());
    QVERIFY2(d->edtProp->text().startsWith("ERROR:"), qPrintable(d->edtProp->text()));
    QCOMPARE(d->treeProps->topLevelItemCount(), 0);
    QCOMPARE(Rows("SELECT COUNT(*) FROM T"), QList<QStringList>({{"2"}}));
    Caret(p, 2);
    d->FormActivate();
    QCOMPARE(d->edtProp->text(), QString("ERROR:Cannot read empty query."));
    QCOMPARE(Rows("SELECT SUM(N) FROM T"), QList<QStringList>({{"11"}}));
}

void TestMainQueryProp::positionKeptAndSelectionGoneOnClose()
{
    TProgram p;
    Start(p);
    p->memSQL->setPlainText("SELECT T.K FROM T");
    TfrmQueryProp *d = Open(p);
    QVERIFY(d);
    QVERIFY(p->memSQL->textCursor().hasSelection());
    QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
    d->move(123, 77);
    QPointer<TfrmQueryProp> gone(d);
    d->close();
    QTRY_VERIFY(!gone);
    QVERIFY(!p->memSQL->textCursor().hasSelection());
    QCOMPARE(p->Ini().ReadInteger("Config", "PropLeft"), 123);
    QCOMPARE(p->Ini().ReadInteger("Config", "PropTop"), 77);
    // Shown again with F11 in the editor, the window takes the statement when it becomes
    // active.
    p->activateWindow();
    QTRY_VERIFY(p->isActiveWindow());
    p->memSQL->setFocus();
    QTest::keyClick(p->memSQL, Qt::Key_F11);
    d = p->findChild<TfrmQueryProp *>();
    QVERIFY(d && d != gone);
    QCOMPARE(d->pos(), QPoint(123, 77));
    QTRY_COMPARE(Items(d, "Select"), QStringList({"T.K"}));
}

QTEST_MAIN(TestMainQueryProp)
#include "test_main_queryprop.moc"
