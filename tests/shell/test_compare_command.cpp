// The Compare command of the main window on SQLite aliases, offscreen: the target dialog,
// the statement with its directive block, the remembered target, and the paths that lead
// to no table.
#include "../params/ModalAnswers.h"
#include "CompareCommand.h"
#include "FindTree.h"
#include "MessageDlg.h"
#include "Session.h"
#include "ShellTestSupport.h"
#include "SqliteFile.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

// Answers the target dialog with a path; what it offered is kept in seen.
void Target(TModalAnswers &answers, const QString &path, QStringList *seen = nullptr)
{
    answers.Add([path, seen](QWidget *w) {
        auto *dialog = qobject_cast<TfrmFindTree *>(w);
        QVERIFY(dialog);
        if (seen)
            *seen << dialog->windowTitle() << dialog->lblFind->text() << dialog->edtFind->text();
        dialog->edtFind->setText(path);
        dialog->accept();
    });
}

} // namespace

class TestCompareCommand : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    void Open(TProgram &p)
    {
        const QString file = m_dir.filePath("shop.db");
        QFile::remove(file);
        // A view whose table is gone: listed, but its fields cannot be read.
        RunOnSqliteFile(file,
                        {"CREATE TABLE MODEL (ID INTEGER, NAME CHAR(40), NEW INTEGER)",
                         "CREATE TABLE \"OLD COPY\" (name CHAR(20), ID INTEGER, OLD FLOAT)",
                         "CREATE TABLE SAME (NEW INTEGER, id INTEGER, NAME CHAR(40))",
                         "CREATE TABLE GONE (A INTEGER)",
                         "CREATE VIEW BROKEN AS SELECT A FROM GONE", "DROP TABLE GONE"});
        QVERIFY(p.Show());
        if (!p->DB_Orvane.Session().IsAlias("SHOP")) // the session outlives a window
            p->DB_Orvane.Session().AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + file},
                                            TSession::TPersistence::SessionOnly);
        p->mnuEdtRefreshClick();
        p->FindByPath("SHOP.MODEL");
        QCOMPARE(SelectedText(p), QString("MODEL"));
    }

private slots:
    void cleanup() { SetMessageDlgHandler({}); }
    void targetDialogStatementAndPathsThatNameNoTable();
    void unreadableTables();
};

void TestCompareCommand::targetDialogStatementAndPathsThatNameNoTable()
{
    TProgram p;
    Open(p);
    QVERIFY(!QTest::currentTestFailed());
    p->memSQL->clear();
    QStringList seen;
    {
        TModalAnswers answers;
        Target(answers, "SHOP.OLD COPY", &seen);
        p->btnCompare->trigger();
        QCOMPARE(answers.Pending(), 0);
    }
    QCOMPARE(seen, QStringList({"Compare MODEL with...", "&Target Table:", "SHOP.MODEL"}));
    QCOMPARE(Lines(p).mid(Lines(p).indexOf("/*")),
             QStringList({"/*", "Comparation:SHOP.MODEL", "Alias:SHOP", "*/", "",
                          "ALTER TABLE \"OLD COPY\"",
                          "\t-- changes the type of name: its data is dropped", "\tDROP name,",
                          "\tADD NAME VARCHAR(40),", "\tDROP OLD,", "\tADD NEW INTEGER;"}));
    QCOMPARE(SelectedText(p), QString("OLD COPY"));
    QCOMPARE(p->tab_Orvane.TableName, QString("OLD COPY"));

    // The next Compare offers the target entered last; the same fields in another order
    // write nothing and say so.
    p->FindByPath("SHOP.MODEL");
    p->memSQL->clear();
    seen.clear();
    {
        TModalAnswers answers;
        Target(answers, "SHOP.SAME", &seen);
        p->mnuEdtCompare->trigger();
    }
    QCOMPARE(seen.value(2), QString("SHOP.OLD COPY"));
    QCOMPARE(p->memSQL->toPlainText(), QString());
    QCOMPARE(p->StatusText(), QString("Comparation: SHOP.SAME has the fields of SHOP.MODEL."));
    QCOMPARE(SelectedText(p), QString("SAME"));

    // Paths that name no table.
    for (const QString &path : {QString("SHOP.SAME.ID"), QString("NOSUCH.TABLE")}) {
        p->FindByPath("SHOP.MODEL");
        TModalAnswers answers;
        Target(answers, path);
        p->mnuEdtCompare->trigger();
        QCOMPARE(answers.Pending(), 0);
        QCOMPARE(p->StatusText(), QString("Comparation: Target Table not found."));
        QCOMPARE(p->memSQL->toPlainText(), QString());
        QCOMPARE(p->Value("Compare"), path);
    }
    QCOMPARE(SelectedText(p), QString("MODEL")); // a path naming nothing leaves the source
    {
        TModalAnswers answers; // cancelled: nothing asked, nothing written
        p->mnuEdtCompare->trigger();
        QCOMPARE(answers.Seen(), 1);
    }
    QCOMPARE(p->memSQL->toPlainText(), QString());
    // Compare works on a table node only, and says so when reached otherwise.
    p->MainTree->setCurrentItem(AliasNode(p, "SHOP"));
    QVERIFY(!p->mnuEdtCompare->isEnabled() && !p->btnCompare->isEnabled());
    p->findChild<TCompareCommand *>("CompareCommand")->mnuEdtCompareClick();
    QCOMPARE(p->StatusText(), QString("Compare works on a table."));
}

// A table that cannot be read ends the command with the engine's message: as the source it
// would otherwise have no fields, and every field of the target would be dropped.
void TestCompareCommand::unreadableTables()
{
    TProgram p;
    Open(p);
    QVERIFY(!QTest::currentTestFailed());
    TShownMessages boxes;
    QStringList &errors = boxes.texts;
    p->FindByPath("SHOP.BROKEN");
    QCOMPARE(SelectedText(p), QString("BROKEN"));
    errors.clear(); // the tree's own reading of the node
    p->memSQL->clear();
    {
        TModalAnswers answers;
        Target(answers, "SHOP.MODEL");
        p->mnuEdtCompare->trigger();
        QCOMPARE(answers.Seen(), 0);
    }
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains("GONE", Qt::CaseInsensitive), qPrintable(errors[0]));
    QCOMPARE(p->memSQL->toPlainText(), QString());

    p->FindByPath("SHOP.MODEL");
    errors.clear();
    {
        TModalAnswers answers;
        Target(answers, "SHOP.BROKEN");
        p->mnuEdtCompare->trigger();
        QCOMPARE(answers.Pending(), 0);
    }
    QVERIFY(!errors.isEmpty());
    QVERIFY2(errors.last().contains("GONE", Qt::CaseInsensitive), qPrintable(errors.last()));
    QCOMPARE(p->memSQL->toPlainText(), QString());
}

QTEST_MAIN(TestCompareCommand)
#include "test_compare_command.moc"
