// Editing and inserting rows of an opened DEMO table through the record edit form, read back
// through a connection of the test's own.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include "DBVerify.h"
#include "DataSet.h"
#include "EditRecord.h"
#include "IniFile.h"
#include "Logins.h"
#include "QueryModel.h"
#include "QueryResult.h"
#include "ResultWindows.h"
#include "Session.h"
#include "TreeReading.h"
#include "params/ModalAnswers.h"

#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QToolButton>

// One value from the DEMO file, read outside the program.
static QVariant Demo(const QString &sql)
{
    QVariant v;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(DemoDatabasePath());
        if (!db.open())
            qFatal("cannot open the DEMO file");
        QSqlQuery q(db);
        if (!q.exec(sql))
            qFatal("%s", qPrintable(sql));
        if (q.next())
            v = q.value(0);
    }
    QSqlDatabase::removeDatabase("check");
    return v;
}

static TDBVerify *Control(QWidget *form, const QString &field)
{
    for (TDBVerify *c : form->findChildren<TDBVerify *>())
        if (c->DataField() == field)
            return c;
    return nullptr;
}

// Answers a message box, keeping its text.
static TModalAnswers::THandler Message(QString *text)
{
    return [text](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        *text = box->text();
        box->button(QMessageBox::Ok)->click();
    };
}

// A handler whose check failed leaves its dialog open: close it, so the test ends.
static TModalAnswers::THandler Guarded(TModalAnswers::THandler handler)
{
    return [handler](QWidget *w) {
        handler(w);
        if (QTest::currentTestFailed())
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
    };
}

class TestRecordEdit : public QObject
{
    Q_OBJECT

    // Opens a DEMO table as the tree's Open Table does, with the current cell at (key, field).
    Tform_QueryResult *Open(TProgram &p, const QString &table, const QVariant &key = {},
                            const QString &field = {}, const QString &alias = "DEMO")
    {
        p->FindByPath(alias + "." + table);
        p->mnuPopOpenTable->trigger();
        Tform_QueryResult *w = nullptr;
        for (Tform_QueryResult *r : p->ResultWindows().Windows())
            if (r->windowTitle() == "Table " + table)
                w = r;
        if (w && key.isValid())
            Select(w, key, field);
        return w;
    }

    // The current cell: the row whose first column is the key, the column of the field.
    static void Select(Tform_QueryResult *w, const QVariant &key, const QString &field)
    {
        TQueryModel *m = w->dsResult;
        int column = 0;
        while (column < m->columnCount()
               && m->headerData(column, Qt::Horizontal).toString() != field)
            ++column;
        for (int row = 0; row < m->rowCount(); ++row)
            if (m->index(row, 0).data().toString() == key.toString())
                w->dbgResult->setCurrentIndex(m->index(row, column));
    }

private slots:
    void initTestCase() { CreateDemoDatabase(DemoDatabasePath()); }
    void init()
    {
        for (const char *t : {"CUSTOMER", "ORDERS"})
            QFile::remove(ProjectFileName("DEMO", t));
    }

    // Two fields changed: exactly they change, in exactly that row; NULLs, numbers and times
    // of the other fields come back as they were, and a project file's title shows.
    void editChangesTwoFieldsOfOneRow()
    {
        TIniFile(ProjectFileName("DEMO", "CUSTOMER")).WriteString("CITY", "Title", "Town");
        const QString others
            = "SELECT group_concat(CUSTNO || COMPANY || ifnull(STATE, '-') || CITY || CONTACT"
              " || TAXRATE || LASTINVOICEDATE, '|') FROM CUSTOMER WHERE CUSTNO <> 1221";
        const QString before = Demo(others).toString();
        TProgram p;
        Tform_QueryResult *w = Open(p, "CUSTOMER", 1221, "CITY");
        QVERIFY(w);
        QVERIFY(w->Editable && w->btnEdit->isEnabled());

        TModalAnswers answers;
        answers.Add(Guarded([](QWidget *d) {
            auto *form = qobject_cast<TfrmEditRecord *>(d);
            QVERIFY(form);
            QCOMPARE(form->windowTitle(), QString("Editing Table CUSTOMER"));
            TDBVerify *city = Control(form, "CITY");
            QVERIFY(city && Control(form, "CONTACT"));
            QCOMPARE(city->text(), QString("Hamburg"));
            QCOMPARE(city->Caption(), QString("Town"));
            QCOMPARE(Control(form, "COMPANY")->Caption(), QString("COMPANY"));
            QCOMPARE(form->focusWidget(), city);
            city->setText("Bremen");
            Control(form, "CONTACT")->setText("Lena O'Hara");
            form->btnOk->click();
        }));
        w->btnEdit->click();
        QCOMPARE(answers.Seen(), 1);

        QCOMPARE(Demo("SELECT CITY || '/' || CONTACT FROM CUSTOMER WHERE CUSTNO = 1221"),
                 QVariant("Bremen/Lena O'Hara"));
        QVERIFY(Demo("SELECT STATE IS NULL FROM CUSTOMER WHERE CUSTNO = 1221").toBool());
        QCOMPARE(Demo("SELECT typeof(TAXRATE) || TAXRATE || typeof(LASTINVOICEDATE) ||"
                      " LASTINVOICEDATE || COMPANY FROM CUSTOMER WHERE CUSTNO = 1221"),
                 QVariant("real10.0text2025-04-25 23:15:00Frogmen Aquatic Centre"));
        QCOMPARE(Demo(others).toString(), before);
        QCOMPARE(w->dsResult->index(w->CurrentRow(), 3).data(), QVariant("Bremen"));
    }

    // A new order: the required date left empty and a customer that does not exist are
    // refused in the form, which keeps what was typed; then the row goes in.
    void insertChecksRequiredAndLookup()
    {
        TIniFile ini(ProjectFileName("DEMO", "ORDERS"));
        ini.WriteString("CUSTNO", "Lookup", "DEMO.CUSTOMER.CUSTNO");
        ini.WriteString("CUSTNO", "ResultField", "COMPANY");
        ini.WriteBool("SHIPVIA", "Required", true);
        const int count = Demo("SELECT count(*) FROM ORDERS").toInt();
        TProgram p;
        Tform_QueryResult *w = Open(p, "ORDERS");
        QVERIFY(w);

        TModalAnswers answers;
        QString required, notFound;
        answers.Add(Guarded([&answers, &required, &notFound](QWidget *d) {
            auto *form = qobject_cast<TfrmEditRecord *>(d);
            QVERIFY(form);
            QCOMPARE(form->windowTitle(), QString("Insert into Table ORDERS"));
            QVERIFY(Control(form, "CUSTNO")->text().isEmpty());
            Control(form, "ORDERNO")->setText("99001");
            Control(form, "CUSTNO")->setText("1221");
            Control(form, "SALEDATE")->setText("2026-03-01");
            answers.Add(Message(&required)); // SHIPVIA is empty
            form->btnOk->click();
            QVERIFY(form->isVisible());
            Control(form, "SHIPVIA")->setText("UPS");
            Control(form, "CUSTNO")->setText("4");
            answers.Add(Message(&notFound));
            form->btnOk->click();
            QVERIFY(form->isVisible());
            QCOMPARE(Control(form, "SALEDATE")->text(), QString("2026-03-01"));
            Control(form, "CUSTNO")->setText("1258");
            form->btnOk->click();
        }));
        w->btnIns->click();
        QCOMPARE(answers.Seen(), 3);
        QVERIFY2(required.contains("SHIPVIA"), qPrintable(required));
        QVERIFY2(!notFound.isEmpty(), qPrintable(notFound));
        QCOMPARE(Demo("SELECT count(*) FROM ORDERS").toInt(), count + 1);
        QCOMPARE(Demo("SELECT CUSTNO || SHIPVIA || SALEDATE || ifnull(EMPNO, '-') FROM ORDERS"
                      " WHERE ORDERNO = 99001"),
                 QVariant("1258UPS2026-03-01-"));
    }

    // Another user changes the row after the window read it: the edit writes nothing, says
    // so, and the form stays open with what was typed until the user gives up.
    void changedByAnotherUserIsNotOverwritten()
    {
        TProgram p;
        Tform_QueryResult *w = Open(p, "CUSTOMER", 1258, "CITY");
        QVERIFY(w);
        Demo("UPDATE CUSTOMER SET CONTACT = 'Someone Else' WHERE CUSTNO = 1258");

        TModalAnswers answers;
        QString refused;
        answers.Add(Guarded([](QWidget *d) {
            Control(d, "CITY")->setText("Tacoma");
            static_cast<TfrmEditRecord *>(d)->btnOk->click();
        }));
        answers.Add(Message(&refused));
        answers.Add(Guarded([](QWidget *d) {
            QCOMPARE(Control(d, "CITY")->text(), QString("Tacoma"));
            static_cast<TfrmEditRecord *>(d)->btnCancel->click();
        }));
        w->btnEdit->click();
        QCOMPARE(answers.Seen(), 3);
        QCOMPARE(refused, QString("The row was changed by another user. Reload it and try again."));
        QCOMPARE(Demo("SELECT CITY || '/' || CONTACT FROM CUSTOMER WHERE CUSTNO = 1258"),
                 QVariant("Seattle/Someone Else"));
        QCOMPARE(w->qryResult.State(), TDataSetState::Browse);

        // A delete of a row changed meanwhile is refused the same way.
        Demo("UPDATE CUSTOMER SET CONTACT = 'Third' WHERE CUSTNO = 1258");
        answers.Add(Guarded(
            [](QWidget *d) { static_cast<QMessageBox *>(d)->button(QMessageBox::Ok)->click(); }));
        answers.Add(Message(&refused));
        refused.clear();
        w->popEdtDel->trigger();
        QCOMPARE(refused, QString("The row was changed by another user. Reload it and try again."));
        QCOMPARE(Demo("SELECT count(*) FROM CUSTOMER WHERE CUSTNO = 1258").toInt(), 1);
    }

    // Typing in a cell is a pending edit: Escape drops it, Enter writes it, an empty cell is
    // NULL, and a cell of a row changed meanwhile is refused.
    void gridEditing()
    {
        TProgram p;
        Tform_QueryResult *w = Open(p, "CUSTOMER", 1295, "STATE");
        QVERIFY(w);
        QTableView *grid = w->dbgResult;
        const auto type = [grid](const QString &text, Qt::Key key) {
            grid->edit(grid->currentIndex());
            auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(grid->currentIndex()));
            QVERIFY(editor);
            editor->selectAll();
            editor->clear();
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, key);
            QCoreApplication::processEvents();
        };
        type("XX", Qt::Key_Escape);
        QCOMPARE(Demo("SELECT STATE FROM CUSTOMER WHERE CUSTNO = 1295"), QVariant("CO"));
        type("NM", Qt::Key_Return);
        QCOMPARE(Demo("SELECT STATE FROM CUSTOMER WHERE CUSTNO = 1295"), QVariant("NM"));
        QCOMPARE(grid->currentIndex().data(), QVariant("NM"));
        type("", Qt::Key_Return);
        QVERIFY(Demo("SELECT STATE IS NULL FROM CUSTOMER WHERE CUSTNO = 1295").toBool());

        Demo("UPDATE CUSTOMER SET ZIP = '00000' WHERE CUSTNO = 1295");
        TModalAnswers answers;
        QString refused;
        answers.Add(Message(&refused));
        type("TX", Qt::Key_Return);
        QCOMPARE(refused, QString("The row was changed by another user. Reload it and try again."));
        QVERIFY(Demo("SELECT STATE IS NULL FROM CUSTOMER WHERE CUSTNO = 1295").toBool());
        QCOMPARE(w->qryResult.State(), TDataSetState::Browse);
    }

    // On the server: the engine's refusal keeps the form and what was typed; a row with a
    // NULL and a single-precision value is still found unchanged; a row another connection
    // changed (locked while checked) is not overwritten.
    void postgresRefusalsAndUnchangedRows()
    {
        REQUIRE_PG();
        TSession::Default().AddAlias("EDIT_PG", "POSTGRESQL", PgAliasParams(),
                                     TSession::TPersistence::SessionOnly);
        TConnection &other = TSession::Default().OpenDatabase("EDIT_PG").Connection();
        other.Exec("DROP TABLE IF EXISTS stock");
        other.Exec("CREATE TABLE stock (id integer PRIMARY KEY, qty integer CHECK (qty > 0),"
                   " price real, note varchar(20))");
        other.Exec("INSERT INTO stock VALUES (1, 5, 0.1, NULL), (2, 7, 2.5, 'x')");
        const auto value = [&other](const QString &sql) {
            QSqlQuery q(other.Db());
            return q.exec(sql) && q.next() ? q.value(0) : QVariant("(failed)");
        };
        TProgram p;
        p->Ini().WriteString("Config", UserNameKey("EDIT_PG"), PgEnv("ORVANE_PG_USER"));
        p->SetValue(PasswordValueName("EDIT_PG"), "unused");
        Tform_QueryResult *w = Open(p, "stock", 1, "qty", "EDIT_PG");
        QVERIFY(w && w->Editable);

        TModalAnswers answers;
        QString refusal;
        answers.Add(Guarded([](QWidget *d) {
            Control(d, "qty")->setText("-1");
            Control(d, "note")->setText("typed");
            static_cast<TfrmEditRecord *>(d)->btnOk->click();
        }));
        answers.Add(Message(&refusal));
        answers.Add(Guarded([](QWidget *d) {
            QCOMPARE(Control(d, "qty")->text(), QString("-1"));
            QCOMPARE(Control(d, "note")->text(), QString("typed"));
            Control(d, "qty")->setText("5");
            static_cast<TfrmEditRecord *>(d)->btnOk->click();
        }));
        w->btnEdit->click();
        QCOMPARE(answers.Seen(), 3);
        QVERIFY2(refusal.contains("stock_qty_check"), qPrintable(refusal));
        QCOMPARE(value("SELECT qty || note || price::text FROM stock WHERE id = 1"),
                 QVariant("5typed0.1"));

        Select(w, 2, "note");
        QCOMPARE(w->dsResult->index(w->CurrentRow(), 0).data(), QVariant("2"));
        other.Exec("UPDATE stock SET qty = 9 WHERE id = 2");
        answers.Add(Guarded([](QWidget *d) {
            Control(d, "note")->setText("mine");
            static_cast<TfrmEditRecord *>(d)->btnOk->click();
        }));
        answers.Add(Message(&refusal));
        w->btnEdit->click();
        QCOMPARE(answers.Seen(), 6); // the form shown again is rejected: the user gave up
        QCOMPARE(refusal, QString("The row was changed by another user. Reload it and try again."));
        QCOMPARE(value("SELECT qty || note FROM stock WHERE id = 2"), QVariant("9x"));
        other.Exec("DROP TABLE stock");
    }

    void editNeedsARow()
    {
        Demo("CREATE TABLE EMPTY_T (ID INTEGER PRIMARY KEY, NAME VARCHAR(10))");
        TProgram p;
        Tform_QueryResult *w = Open(p, "EMPTY_T");
        QVERIFY(w);
        QVERIFY(w->btnIns->isEnabled());
        QVERIFY(!w->btnEdit->isEnabled() && !w->popEdtDel->isEnabled());
    }
};

QTEST_MAIN(TestRecordEdit)
#include "test_record_edit.moc"
