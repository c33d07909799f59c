// The Format Script window and Code Insight of the main window, offscreen: a whole alias
// written and run, Escape between tables with input held back, unreadable tables and
// numbered tags, and saving, choosing, deleting and expanding formats.
#include "Executor.h"
#include "FmtScript.h"
#include "FormatScript.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "Session.h"
#include "Settings.h"
#include "ShellTestSupport.h"
#include "SqliteFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

TfrmFmtScript *Open(TProgram &p)
{
    p->mnuSQLFmtScrp->trigger();
    return p->findChild<TfrmFmtScript *>();
}

// A SQLite alias of a new file, made by the statements given.
void NewAlias(TProgram &p, const QTemporaryDir &dir, const QString &alias,
              const QStringList &statements)
{
    const QString file = dir.filePath(alias + ".db");
    RunOnSqliteFile(file, statements);
    p->DB_Orvane.Session().AddAlias(alias, "SQLITE", {"DATABASE NAME=" + file},
                                    TSession::TPersistence::SessionOnly);
}

QStringList Tables(const QString &file)
{
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", db);
        while (q.next())
            names << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("check");
    return names;
}

} // namespace

class TestFmtScript : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
private slots:
    void defaultOverAliasRunsAsSql();
    void escapeBetweenTablesHoldsInputBack();
    void unreadableTablesAndNumberedTags();
    void saveChooseDeleteAndInsight();
};

void TestFmtScript::defaultOverAliasRunsAsSql()
{
    TProgram p;
    QVERIFY(p.Show());
    p->MainTree->setCurrentItem(AliasNode(p, "DEMO"));
    TfrmFmtScript *w = Open(p);
    QVERIFY(w);
    QCOMPARE(w->cmbId->currentText(), QString("(default)"));
    QVERIFY(w->memSQL->isReadOnly());
    QVERIFY(w->chkComma->isChecked() && !w->chkComma->isEnabled());
    QVERIFY(!w->btnSave->isEnabled() && w->btnApply->isEnabled());
    QCOMPARE(w->memSQL->toPlainText().split('\n'), DefaultFormat());

    p->memSQL->clear();
    QStringList states;
    connect(p->prgB, &QProgressBar::valueChanged, w,
            [&] { states << p->StatusText() + QString::number(p->prgB->maximum()); });
    w->btnApply->click();
    QCOMPARE(Lines(p).filter("CREATE TABLE").size(), 6);
    // sqlite_sequence is counted, not written.
    QCOMPARE(states.value(0), QString("Running Format Script...7"));
    QCOMPARE(p->prgB->value(), 7);
    QVERIFY(!p->prgB->isVisible() && !p->Animating());
    QCOMPARE(p->StatusText(), p->NodePathText());
    QVERIFY(w->tabSource.TableName.isEmpty());

    // What it wrote makes the same tables in a new database.
    NewAlias(p, m_dir, "COPY", {});
    QStringList script {"/*", "Alias:COPY", "*/"};
    script += Lines(p);
    QVERIFY2(p->Executor().RunScript(script), qPrintable(p->Executor().ErrorText()));
    QCOMPARE(Tables(m_dir.filePath("COPY.db")).size(), 6);

    // A table node is applied alone; a field node disables Apply.
    QTreeWidgetItem *demo = AliasNode(p, "DEMO");
    demo->setExpanded(true);
    QTreeWidgetItem *table = demo->child(0);
    p->MainTree->setCurrentItem(table);
    w->OnActivated(w);
    QCOMPARE(w->tabSource.TableName, table->text(0));
    p->memSQL->clear();
    w->btnApply->click();
    QCOMPARE(Lines(p).filter("CREATE TABLE"),
             QStringList({"CREATE TABLE " + table->text(0) + " ("}));
    table->setExpanded(true);
    p->MainTree->setCurrentItem(table->child(0));
    w->OnActivated(w);
    QVERIFY(!w->btnApply->isEnabled());
}

void TestFmtScript::escapeBetweenTablesHoldsInputBack()
{
    TProgram p;
    QVERIFY(p.Show());
    p->MainTree->setCurrentItem(AliasNode(p, "DEMO"));
    TfrmFmtScript *w = Open(p);
    p->memSQL->clear();
    TShownMessages shown;
    const QStringList &asked = shown.texts;
    // Once the second table is done: a tree move, a command key, closing both windows and
    // Escape in the main window.
    AtProgress(p->prgB, 2, [&p, w] {
        QCoreApplication::postEvent(p->MainTree,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(p->memSQL,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier));
        QCoreApplication::postEvent(w, new QCloseEvent);
        QCoreApplication::postEvent(
            p->memSQL, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    w->btnApply->click();
    QCOMPARE(Lines(p).filter("CREATE TABLE").size(), 2);
    QCOMPARE(asked, QStringList({"Canceled by user"}));
    // The tables are read in one transaction, which must not outlive the stopped run.
    QVERIFY(!p->DB_Orvane.Connection().InTransaction());
    QCOMPARE(SelectedText(p), QString("DEMO"));
    QVERIFY(w->isVisible() && w->panCtrl->isEnabled() && w->memSQL->isEnabled());
    QVERIFY(!p->prgB->isVisible());
    w->close();
    QTRY_VERIFY(!p->findChild<TfrmFmtScript *>());
    QVERIFY(p->Ini().ValueExists(Ini::Config, Ini::FmtLeft));
}

void TestFmtScript::unreadableTablesAndNumberedTags()
{
    TProgram p;
    QVERIFY(p.Show());
    NewAlias(p, m_dir, "ORD",
             {"CREATE TABLE ITEMS (ORDERNO INTEGER, LINE SMALLINT, QTY FLOAT, "
              "PRIMARY KEY (ORDERNO, LINE))",
              "CREATE INDEX BYQTY ON ITEMS (QTY, LINE)", "CREATE TABLE GONE (A INTEGER)",
              "CREATE VIEW BROKEN AS SELECT A FROM GONE", "DROP TABLE GONE",
              "CREATE TABLE ZONE (Z CHAR(3))"});
    p->mnuEdtRefreshClick();
    p->MainTree->setCurrentItem(AliasNode(p, "ORD"));
    TfrmFmtScript *w = Open(p);
    w->btnClearClick();
    w->memSQL->setPlainText(
        "<TableName>: <FieldName>\nkey <IndexField0>; <IndexName>=<IndexField>");
    w->chkComma->setChecked(false);
    TShownMessages shown;
    const QStringList &asked = shown.texts;
    p->memSQL->clear();
    w->btnApply->click();
    // The view that cannot be read writes nothing, not the fields of the table before it.
    QCOMPARE(Lines(p).filter(QRegularExpression("^(BROKEN|ITEMS|ZONE)|key")),
             QStringList({"ITEMS: ORDERNO", "ITEMS: LINE", "ITEMS: QTY",
                          "key ORDERNO,LINE; BYQTY=QTY,LINE", "ZONE: Z"}));
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked[0].contains("BROKEN: ") && !asked[0].contains("ZONE"), qPrintable(asked[0]));
    QVERIFY(!p->DB_Orvane.Connection().InTransaction());
}

void TestFmtScript::saveChooseDeleteAndInsight()
{
    TProgram p;
    QVERIFY(p.Show());
    TfrmFmtScript *w = Open(p);
    w->btnClearClick();
    QVERIFY(!w->memSQL->isReadOnly() && !w->btnSave->isEnabled());
    QTest::keyClicks(w->memSQL, "SELECT * FROM ");
    QVERIFY(w->btnSave->isEnabled());
    w->btnTableName->click();
    w->btnSave->click(); // no name: the caption and a counter
    QCOMPARE(w->cmbId->currentText(), QString("Format Script_0"));
    QVERIFY(!w->btnSave->isEnabled());
    QStringList lines;
    QVERIFY(LoadFormat("Format Script_0", lines));
    QCOMPARE(lines, QStringList({"SELECT * FROM <TableName>"}));
    QVERIFY(p->Ini().ReadBool(Ini::Fsc, "Format Script_0", false));

    // Characters a file name cannot hold never reach the name, typed or pasted.
    w->cmbId->lineEdit()->clear();
    QTest::keyClicks(w->cmbId->lineEdit(), "My/Que:ry*");
    QCOMPARE(w->cmbId->currentText(), QString("MyQuery"));
    w->chkComma->click();
    QVERIFY(w->btnSave->isEnabled());
    w->btnSave->click();
    QVERIFY(!p->Ini().ReadBool(Ini::Fsc, "MyQuery", true));
    QVERIFY(w->cmbId->findText("MyQuery") > 0);

    // Choosing the default, then a saved one: the text and the comma option come back.
    w->cmbId->setCurrentIndex(0);
    w->cmbIdChoose();
    QVERIFY(w->memSQL->isReadOnly() && w->chkComma->isChecked());
    w->cmbId->setCurrentIndex(w->cmbId->findText("MyQuery"));
    w->cmbIdChoose();
    QCOMPARE(w->memSQL->toPlainText(), QString("SELECT * FROM <TableName>"));
    QVERIFY(!w->chkComma->isChecked() && w->chkComma->isEnabled() && !w->memSQL->isReadOnly());

    // Code Insight: the first key holding the word in any case, among the formats of the
    // first start and the saved ones; only the word and the blanks up to the caret go.
    p->memSQL->setPlainText("-- keep\nmyq  tail");
    TMemoCursor c = p->memSQL->textCursor();
    c.setPosition(p->memSQL->document()->findBlockByNumber(1).position() + 5);
    p->memSQL->setTextCursor(c);
    p->mnuPopCodeIn->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("-- keep\nSELECT * FROM <TableName>\ntail"));
    p->memSQL->setPlainText("DRO");
    p->memSQL->moveCursor(QTextCursor::End);
    p->mnuPopCodeIn->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("DROP INDEX <IndexName>;\n"));
    QVERIFY(DeleteFormat("Update"));
    p->memSQL->setPlainText("upd");
    p->memSQL->moveCursor(QTextCursor::End);
    p->mnuPopCodeIn->trigger(); // a key whose file is gone
    QCOMPARE(p->memSQL->toPlainText(), QString("upd"));
    QCOMPARE(p->StatusText(), QString("No saved format script is named like \"upd\"."));

    TShownMessages shown(QMessageBox::Yes);
    const QStringList &asked = shown.texts;
    w->mnuPopDeleteFmt->trigger();
    QCOMPARE(asked, QStringList({"Delete \"MyQuery\" ?"}));
    QVERIFY(!QFile::exists(FormatFileName("MyQuery")));
    QCOMPARE(w->cmbId->findText("MyQuery"), -1);
    QVERIFY(w->cmbId->currentText().isEmpty() && w->memSQL->toPlainText().isEmpty());
    w->mnuPopDeleteFmt->trigger(); // an empty name asks nothing
    QCOMPARE(asked.size(), 1);

    // A format file that cannot be written: the message says so and the name is not kept.
    QVERIFY(QDir().mkpath(FormatFileName("Blocked")));
    QTest::keyClicks(w->memSQL, "x");
    w->cmbId->setEditText("Blocked");
    w->btnSave->click();
    QCOMPARE(asked.size(), 2);
    QVERIFY2(asked[1].contains("Cannot save"), qPrintable(asked[1]));
    QCOMPARE(w->cmbId->findText("Blocked"), -1);
    QVERIFY(!p->Ini().ValueExists(Ini::Fsc, "Blocked"));
}

QTEST_MAIN(TestFmtScript)
#include "test_fmt_script.moc"
