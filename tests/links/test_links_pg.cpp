// Links on a PostgreSQL alias: a schema-qualified table with a blank in its name linked to a
// table of "public", field properties, the pages of both, and a link into an alias whose
// login needs a password, which is taken from what the program remembers.
#include "../shell/ShellTestSupport.h"
#include "TestSupport.h"

#include "Database.h"
#include "EngineError.h"
#include "FieldProp.h"
#include "FindTree.h"
#include "HtmlPages.h"
#include "IniFile.h"
#include "Logins.h"
#include "Session.h"
#include "SharedRoutines.h"
#include "SqlNames.h"
#include "Table.h"
#include "TreeLogic.h"
#include "TreeReading.h"
#include "params/ModalAnswers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

static const QString OrderLines = QStringLiteral("sales.Order Lines");

// The program remembers the server's user and a password, so the tree logs in asking nobody.
static void RememberLogin(TProgram &p)
{
    p->Ini().WriteString("Config", UserNameKey("LINKS_PG"), PgEnv("ORVANE_PG_USER"));
    p->SetValue(PasswordValueName("LINKS_PG"), "unused");
}

class TestLinksPg : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void schemaTableLinkedToPublicTable();
    void propertiesOnTheServer();
    void lookupIntoAnAliasThatNeedsAPassword();

private:
    void Exec(const QString &sql)
    {
        TSession::Default().OpenDatabase("LINKS_PG").Connection().Exec(sql);
    }
};

void TestLinksPg::initTestCase()
{
    REQUIRE_PG();
    TSession::Default().AddAlias("LINKS_PG", "POSTGRESQL", PgAliasParams(),
                                 TSession::TPersistence::SessionOnly);
    Exec("DROP SCHEMA IF EXISTS sales CASCADE");
    Exec("DROP TABLE IF EXISTS customer");
    Exec("CREATE SCHEMA sales");
    Exec("CREATE TABLE customer (id integer PRIMARY KEY, name varchar(40))");
    Exec("CREATE TABLE sales.\"Order Lines\" (line integer PRIMARY KEY, customer_id integer)");
}

void TestLinksPg::schemaTableLinkedToPublicTable()
{
    TProgram p;
    RememberLogin(p);
    TModalAnswers answers;
    QVERIFY(p->SelectPath("LINKS_PG." + OrderLines + ".customer_id"));
    QCOMPARE(p->NodePathText(), QString("LINKS_PG.sales.Order Lines.customer_id"));
    answers.Add([](QWidget *w) {
        auto *d = qobject_cast<TfrmFindTree *>(w);
        QVERIFY(d);
        QCOMPARE(d->edtFind->text(), QString("LINKS_PG."));
        d->edtFind->setText("LINKS_PG.customer");
        d->btnOk->click();
    });
    p->mnuPopLinkEdit->trigger();
    QCOMPARE(answers.Seen(), 1);

    const QString file = ProjectFileName("LINKS_PG", OrderLines);
    QCOMPARE(QFileInfo(file).absolutePath(),
             QDir(ApplicationFolder() + "Projects/LINKS_PG").absolutePath());
    QCOMPARE(TIniFile(file).ReadString("customer_id", "Lookup"), QString("LINKS_PG.customer.id"));
    // Back on the field after the refresh, with its link shown.
    QCOMPARE(p->NodePathText(), QString("LINKS_PG.sales.Order Lines.customer_id"));
    QCOMPARE(Selected(p)->childCount(), 1);
    QCOMPARE(Selected(p)->child(0)->text(0), QString("LINKS_PG.customer.id"));

    // And back from the other side: a link into the schema table resolves too.
    TIniFile(ProjectFileName("LINKS_PG", "customer"))
        .WriteString("id", "Lookup", "LINKS_PG.sales.Order Lines.line");
    p->mnuPopLinkGoto->trigger();
    QCOMPARE(p->NodePathText(), QString("LINKS_PG.customer.id"));
    p->mnuEdtRefreshClick();
    p->mnuPopLinkGoto->trigger();
    QCOMPARE(p->NodePathText(), QString("LINKS_PG.sales.Order Lines.line"));

    // The pages: two tables leading to each other, each written once, names as text.
    const QString folder = ApplicationFolder() + "Html/";
    QDir().mkpath(folder);
    THtmlPages pages({nullptr, folder, MainDatabaseName, p->DB_Orvane.AliasName(), false, {}});
    QCOMPARE(pages.WritePage("LINKS_PG", OrderLines), QString("sales.Order Lines.htm"));
    QCOMPARE(pages.Written(), QStringList({"customer.htm", "sales.Order Lines.htm"}));
    QFile page(folder + "sales.Order Lines.htm");
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    QVERIFY(html.contains("<h2>Table sales.Order Lines</h2>"));
    QVERIFY(html.contains("<a href=\"customer.htm\">customer_id</a>"));
    QFile back(folder + "customer.htm");
    QVERIFY(back.open(QIODevice::ReadOnly));
    QVERIFY(
        QString::fromUtf8(back.readAll()).contains("<a href=\"sales.Order%20Lines.htm\">id</a>"));
}

void TestLinksPg::propertiesOnTheServer()
{
    TProgram p;
    RememberLogin(p);
    TModalAnswers answers;
    QVERIFY(p->SelectPath("LINKS_PG.customer.name"));
    answers.Add([](QWidget *w) {
        auto *d = qobject_cast<TfrmFieldProp *>(w);
        QVERIFY(d);
        QVERIFY(d->edtLookup->text().isEmpty() && !d->cmbResField->isEnabled());
        d->btnOk->click();
    });
    p->mnuPopProps->trigger();
    QCOMPARE(
        TIniFile(ProjectFileName("LINKS_PG", "customer")).ReadSectionValues("name"),
        QStringList({"Required=0", "Title=", "MinValue=", "MaxValue=", "Lookup=", "ResultField="}));

    // The dialog's picker: a table as the target gives its key field, and the schema
    // table's fields are offered as result fields.
    QStringList offered;
    answers.Add([&](QWidget *w) {
        auto *d = qobject_cast<TfrmFieldProp *>(w);
        answers.Add([](QWidget *find) {
            auto *f = qobject_cast<TfrmFindTree *>(find);
            QVERIFY(f);
            f->edtFind->setText("LINKS_PG.sales.Order Lines");
            f->btnOk->click();
        });
        d->btnLookup->click();
        d->edtLookupExit();
        for (int i = 0; i < d->cmbResField->count(); ++i)
            offered << d->cmbResField->itemText(i);
        d->btnOk->click();
    });
    p->SelectPath("LINKS_PG.customer.name");
    p->mnuPopProps->trigger();
    QCOMPARE(TIniFile(ProjectFileName("LINKS_PG", "customer")).ReadString("name", "Lookup"),
             QString("LINKS_PG.sales.Order Lines.line"));
    QCOMPARE(offered, QStringList({"line", "customer_id"}));
}

// A lookup opens its table through a database named after the alias; on an alias that
// needs a password it logs in with the remembered user and password, asking nobody.
void TestLinksPg::lookupIntoAnAliasThatNeedsAPassword()
{
    if (PgEnv("ORVANE_PG_LOGIN_USER").isEmpty())
        QFAIL("scripts/test sets ORVANE_PG_LOGIN_USER and ORVANE_PG_LOGIN_PASSWORD");
    QStringList params = PgAliasParams();
    params.last() = "USER NAME=" + PgEnv("ORVANE_PG_LOGIN_USER");
    TSession::Default().AddAlias("LINKS_PW", "POSTGRESQL", params,
                                 TSession::TPersistence::SessionOnly);
    TProgram p;
    p->Ini().WriteString("Config", UserNameKey("LINKS_PW"), PgEnv("ORVANE_PG_LOGIN_USER"));
    p->SetValue(PasswordValueName("LINKS_PW"), PgEnv("ORVANE_PG_LOGIN_PASSWORD"));
    TModalAnswers answers; // any login dialog would be refused
    TTable table;
    table.DatabaseName = "LINKS_PW";
    table.TableName = "customer";
    table.UpdateFieldDefs();
    QCOMPARE(table.FieldDefs.size(), 2);
    QCOMPARE(answers.Seen(), 0);
    p.Stop();
    // Without the main window nobody logs in for it: the server refuses.
    TSession::Default().OpenDatabase("LINKS_PW").Close();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.UpdateFieldDefs());
}

QTEST_MAIN(TestLinksPg)
#include "test_links_pg.moc"
