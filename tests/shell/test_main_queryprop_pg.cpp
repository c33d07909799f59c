// The Query Properties command on a PostgreSQL alias: statements that are no query are read
// without running, inside the user's open transaction without disturbing it, and an edit
// written back runs on the server.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include "Driver.h"
#include "LoginDialog.h"
#include "QueryProp.h"
#include "Session.h"
#include "params/ModalAnswers.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QToolButton>

static void LogInAsServerUser(QWidget *w)
{
    auto *d = qobject_cast<Tform_LoginDialog *>(w);
    QVERIFY(d);
    d->edtUserName->setText(PgEnv("ORVANE_PG_USER"));
    if (d->edtPassword->text().isEmpty())
        d->edtPassword->setText("unused");
    d->btnOK->click();
}

class TestMainQueryPropPg : public QObject
{
    Q_OBJECT

    // A value read through a connection of its own, outside the program's.
    QString Value(const QString &sql)
    {
        QString value;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "check");
            db.setHostName(PgEnv("ORVANE_PG_HOST"));
            db.setPort(PgEnv("ORVANE_PG_PORT").toInt());
            db.setDatabaseName(PgEnv("ORVANE_PG_DATABASE"));
            db.setUserName(PgEnv("ORVANE_PG_USER"));
            if (!db.open())
                return "no connection";
            QSqlQuery q(db);
            value = q.exec(sql) && q.next() ? q.value(0).toString() : "failed: " + sql;
        }
        QSqlDatabase::removeDatabase("check");
        return value;
    }

    static void Caret(const TProgram &p, int line)
    {
        p->memSQL->setTextCursor(TMemoCursor(p->memSQL->document()->findBlockByNumber(line)));
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        TSession::Default().AddAlias("QP_PG", "POSTGRESQL", PgAliasParams(),
                                     TSession::TPersistence::SessionOnly);
        TConnection &c = TSession::Default().OpenDatabase("QP_PG").Connection();
        c.Exec("DROP TABLE IF EXISTS qp_t, qp_tab");
        c.Exec("CREATE TABLE qp_t (name varchar(20), k integer, n integer)");
        c.Exec("CREATE TABLE qp_tab (name varchar(20), k integer)");
        c.Exec("INSERT INTO qp_t VALUES ('a', 1, 5), ('b', 2, 6)");
        c.Exec("INSERT INTO qp_tab VALUES ('x', 1), ('y', 2)");
    }

    void changesAreReadNotRunAndTheTransactionGoesOn()
    {
        TModalAnswers answers;
        answers.Add(LogInAsServerUser);
        TProgram p;
        QVERIFY(p.Show());
        p->FindByPath("QP_PG.qp_t");
        QCOMPARE(p->DB_Orvane.AliasName(), QString("QP_PG"));
        // The user's transaction, on the connection the window reads through.
        TConnection &user = p->DB_Orvane.Connection();
        user.Exec("BEGIN");
        user.Exec("INSERT INTO qp_t VALUES ('c', 3, 7)");

        p->memSQL->setPlainText("DELETE FROM qp_t WHERE k IN (SELECT k FROM qp_tab)\n;\n"
                                "INSERT INTO qp_t SELECT name, k + 10, n FROM qp_t\n;\n"
                                "UPDATE qp_t SET n = 0 WHERE k IN (SELECT k FROM qp_tab)");
        Caret(p, 0);
        p->mnuPopQryProp->trigger();
        auto *d = p->findChild<TfrmQueryProp *>();
        QVERIFY(d);
        for (int line : {0, 2, 4}) {
            Caret(p, line);
            d->FormActivate();
            QVERIFY2(d->edtProp->text().startsWith("ERROR:"), qPrintable(d->edtProp->text()));
            QVERIFY(!d->btnAdd->isEnabled());
        }
        // Nothing ran, and the transaction with its row is still the user's to commit.
        QCOMPARE(&p->DB_Orvane.Connection(), &user);
        user.Exec("INSERT INTO qp_t VALUES ('d', 4, 8)");
        user.Exec("COMMIT");
        QCOMPARE(Value("SELECT string_agg(name || k || ':' || n, ',' ORDER BY k) FROM qp_t"),
                 QString("a1:5,b2:6,c3:7,d4:8"));

        // A query edited in the window runs on the server as written back.
        p->memSQL->setPlainText("SELECT qp_t.name FROM qp_t WHERE qp_t.k < 3");
        Caret(p, 0);
        d->FormActivate();
        QVERIFY(d->btnAdd->isEnabled());
        d->treeProps->setCurrentItem(
            d->treeProps->findItems("qp_t.name", Qt::MatchExactly | Qt::MatchRecursive).first());
        d->edtProp->setText("qp_tab.name AS other");
        d->btnAdd->click();
        d->treeProps->setCurrentItem(
            d->treeProps->findItems("qp_t.k < 3", Qt::MatchExactly | Qt::MatchRecursive).first());
        QCOMPARE(d->edtProp->text(), QString("qp_t.k < 3"));
        d->edtProp->setText("qp_t.k = qp_tab.k");
        d->btnAdd->click();
        const QString statement
            = p->memSQL->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n');
        QCOMPARE(statement,
                 QString("SELECT\n\tqp_t.name,\n\tqp_tab.name AS other\nFROM\n\tqp_t,"
                         "\n\tqp_tab\nWHERE\n\tqp_t.k < 3 AND\n\tqp_t.k = qp_tab.k "));
        QCOMPARE(
            Value("SELECT string_agg(name || other, ',' ORDER BY name) FROM (" + statement + ") s"),
            QString("ax,by"));
        d->close();
    }

    void cleanupTestCase()
    {
        if (!PgEnv("ORVANE_PG_PORT").isEmpty())
            TSession::Default().OpenDatabase("QP_PG").Connection().Exec(
                "DROP TABLE IF EXISTS qp_t, qp_tab");
    }
};

QTEST_MAIN(TestMainQueryPropPg)
#include "test_main_queryprop_pg.moc"
