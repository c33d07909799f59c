#include "DBVerify.h"
#include "DataSource.h"
#include "EditRecord.h"
#include "MessageDlg.h"
#include "Session.h"
#include "Table.h"
#include "VerifyArea.h"

#include <QApplication>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The controls, areas and the record edit form driven offscreen with keystrokes.
class TestVerifyControls : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    QStringList m_messages;

    QVariant Sql(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database("setup"));
        if (!q.exec(sql))
            qWarning() << sql << q.lastError().text();
        return q.next() ? q.value(0) : QVariant();
    }
    std::unique_ptr<TQuery> Open(const QString &sql)
    {
        auto q = std::make_unique<TQuery>(m_session.get());
        q->DatabaseName = "SHOP";
        q->SQL = QStringList {sql};
        q->RequestLive = true;
        q->Open();
        return q;
    }
    static void Activate(QWidget *w)
    {
        w->show();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    // Types into a control and leaves it with Tab, as a user does.
    static void TypeAndLeave(QWidget *control, const QString &text)
    {
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(control, text);
        QTest::keyClick(control, Qt::Key_Tab);
    }
    // A form over the customer row with the given id, as a result window makes it.
    std::unique_ptr<TfrmEditRecord> EditForm(TQuery &q)
    {
        auto form = std::make_unique<TfrmEditRecord>();
        form->dsEdit->DataSet = &q;
        form->Wizard->SetDataSource(form->dsEdit);
        form->Wizard->Area()->SetLayOut(loResize);
        form->Wizard->Area()->LoadFromData();
        return form;
    }
    TDBVerify *Control(TfrmEditRecord &form, const char *name)
    {
        return form.findChild<TDBVerify *>(name);
    }

private slots:
    void initTestCase()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
        db.setDatabaseName(m_dir.filePath("shop.sqlite"));
        QVERIFY(db.open());
        for (const char *s :
             {"CREATE TABLE CUSTOMER (ID INTEGER PRIMARY KEY, NAME VARCHAR(60) NOT NULL,"
              " CODE CHAR(4), PRICE FLOAT, BORN DATE, NOTES TEXT, PHOTO BLOB)",
              "INSERT INTO CUSTOMER VALUES (1, 'Ann', NULL, 12.5, '1999-12-31',"
              " 'line one' || char(10) || 'line two', x'0102')",
              "CREATE TABLE CODES (CODE CHAR(4) PRIMARY KEY, TITLE VARCHAR(20))",
              "INSERT INTO CODES VALUES ('0007', 'Seven')", "CREATE TABLE WRITES (N INTEGER)",
              "CREATE TRIGGER COUNT_WRITES AFTER UPDATE ON CUSTOMER"
              " BEGIN INSERT INTO WRITES VALUES (1); END"})
            QVERIFY(Sql(s).isNull());
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_dir.filePath("shop.sqlite")},
                            TSession::TPersistence::SessionOnly);
        SetMessageDlgHandler(
            [this](const QString &text, TMsgDlgType, QMessageBox::StandardButtons) {
                m_messages << text;
                return QMessageBox::Ok;
            });
    }
    void init()
    {
        m_messages.clear();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void controlsTakeTheirShapeFromTypeAndCaption()
    {
        QWidget form;
        TArea area(&form);
        area.resize(400, 200);
        auto *name = new TVerify(area.Client());
        QCOMPARE(name->LabelAlignment(), laTop);
        QCOMPARE(name->Size(), 1);
        QCOMPARE(name->height(), 21);
        name->SetEditType(ftString);
        name->SetSize(8);
        QCOMPARE(name->width(), 66);
        name->SetCaption("&Name");
        QCOMPARE(name->HotKey(), u'N');
        QCOMPARE(name->TitleLabel()->text(), "&Name:");
        auto *other = new TVerify(area.Client());
        other->SetCaption("Number"); // N is taken
        QCOMPARE(other->TitleLabel()->text(), "Number:");
        QVERIFY(other->HotKey().isNull());
        area.SetReservedChars("u");
        other->SetHotKey(u'u');
        QVERIFY(other->HotKey().isNull());
        other->SetHotKey(u'm');
        QCOMPARE(other->TitleLabel()->text(), "Nu&mber:");
        other->SetEditType(ftInteger);
        other->SetMax("10");
        other->SetMin("20");
        QCOMPARE(other->Max(), "10");
        QCOMPARE(other->Min(), "");

        Activate(&form);
        TypeAndLeave(name, "ABCDEFGHIJ");
        QCOMPARE(name->text(), "ABCDEFGH"); // eight characters
        name->SetPicture("@0");
        name->SetSize(5);
        TypeAndLeave(name, "42");
        QCOMPARE(name->text(), "00042");
        QVERIFY(m_messages.isEmpty());
    }

    void decimalsFollowTheLocale()
    {
        QWidget form;
        TArea area(&form);
        auto *price = new TVerify(area.Client());
        price->SetEditType(ftFloat);
        new TVerify(area.Client());
        Activate(&form);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        price->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(price, "1234.5");
        QCOMPARE(price->text(), "1234,5");
        QTest::keyClick(price, Qt::Key_Tab);
        QCOMPARE(price->text(), "1234,50"); // formatted as 1.234,50, then ungrouped
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        TypeAndLeave(price, "12.50");
        QCOMPARE(price->text(), "12.50"); // not 1250
        QCOMPARE(price->Value.FloatValue, 12.5);
        QVERIFY(m_messages.isEmpty());
    }

    void errorsGoThroughTheArea()
    {
        QWidget form;
        TArea area(&form);
        auto *name = new TVerify(area.Client());
        name->SetCaption("&Name");
        name->SetRequired(true);
        auto *age = new TVerify(area.Client());
        age->SetEditType(ftInteger);
        age->SetCaption("Age");
        age->SetMax("120");
        QVERIFY(!area.Validate());
        QCOMPARE(m_messages, QStringList {"Name: Required"});
        name->setText("Bo");
        age->setText("130");
        QMessageBox::StandardButton after = QMessageBox::NoButton;
        area.Error.AfterError = [&](TError *, QMessageBox::StandardButton b) {
            after = b;
        };
        QVERIFY(!area.Validate());
        QCOMPARE(m_messages.last(), "Age: Over Max Value");
        QCOMPARE(after, QMessageBox::Ok);
        // A handler that suppresses the box still fails the validation.
        m_messages.clear();
        after = QMessageBox::NoButton;
        area.Error.BeforeError = [](TError *, QPointer<QWidget> &, bool &show) {
            show = false;
        };
        QVERIFY(!area.Validate());
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(after, QMessageBox::NoButton);
        QCOMPARE(area.Error.Message, "MsgMax");
        age->setText("");
        QVERIFY(area.Validate());
    }

    void layoutsPlaceRealControls()
    {
        QWidget form;
        TArea area(&form);
        QList<TVerify *> controls;
        for (int i = 0; i < 5; ++i) {
            controls << new TVerify(area.Client());
            controls.last()->SetEditType(ftFloat); // 72 wide, no label
        }
        area.SetLayOut(loPortrait);
        const QList<QPoint> portrait {{8, 25}, {8, 52}, {8, 79}, {8, 106}, {88, 25}};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(controls[i]->pos(), portrait[i]);
        area.SetLayOut(loLandScape);
        const QList<QPoint> landscape {{8, 25}, {88, 25}, {168, 25}, {8, 52}, {88, 52}};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(controls[i]->pos(), landscape[i]);
        // Tab order decides the order of the list.
        controls[4]->SetTabOrder(-1);
        QCOMPARE(area.Controls.first(), controls[4]);

        TArea single(&form);
        auto *only = new TVerify(single.Client());
        only->move(50, 60);
        single.SetLayOut(loPortrait);
        QCOMPARE(only->pos(), QPoint(50, 60));
    }

    void linkingAreasRefusesAChainBack()
    {
        TArea a, b, c;
        b.SetLinkArea(&c);
        a.SetLinkArea(&b);
        QCOMPARE(m_messages, QStringList {"Circular Reference"});
        QVERIFY(!a.LinkArea());
        TArea d, e, f;
        d.SetLinkArea(&e);
        e.SetLinkArea(&f);
        QCOMPARE(d.LinkArea(), &e);
        QCOMPARE(e.LinkArea(), &f);
        // The chain validates through all its areas.
        auto *required = new TVerify(f.Client());
        required->SetCaption("Far");
        required->SetRequired(true);
        QVERIFY(!d.Validate());
        QCOMPARE(m_messages.last(), "Far: Required");
    }

    void editFormBindsFieldsSoundly()
    {
        auto q = Open("SELECT ID, NAME, CODE, PRICE, BORN, NOTES, PHOTO, PRICE * 2 AS DOUBLED"
                      " FROM CUSTOMER");
        auto form = EditForm(*q);
        QCOMPARE(form->Wizard->Area()->Controls.size(), 8);
        TDBVerify *name = Control(*form, "edtNAME");
        QVERIFY(name && name->Required()); // NOT NULL in the table
        QCOMPARE(name->maxLength(), 60); // the field's size, not the grid's width
        QCOMPARE(name->text(), "Ann");
        QCOMPARE(Control(*form, "edtBORN")->text(), "31/12/1999");
        QCOMPARE(Control(*form, "edtPRICE")->text(), "12.50");
        TDBVerify *notes = Control(*form, "edtNOTES");
        QVERIFY(notes->MemoEdit());
        QCOMPARE(notes->ControlText(), "line one\nline two");
        QVERIFY(!Control(*form, "edtPHOTO")->isEnabled());
        QVERIFY(!Control(*form, "edtDOUBLED")->isEnabled());
        QVERIFY(Control(*form, "edtPRICE")->isEnabled());

        // Nothing changed: OK writes no field, and the row is not even updated.
        Activate(form.get());
        QTest::mouseClick(form->btnOk, Qt::LeftButton);
        QCOMPARE(form->result(), int(QDialog::Accepted));
        q->Edit();
        form->Wizard->Area()->SaveToData();
        q->Post();
        QCOMPARE(Sql("SELECT COUNT(*) FROM WRITES").toInt(), 0);
        QVERIFY(Sql("SELECT CODE IS NULL FROM CUSTOMER").toBool()); // NULL kept NULL
    }

    void editFormWritesTypedValues()
    {
        auto q = Open("SELECT ID, NAME, CODE, PRICE, BORN, NOTES FROM CUSTOMER");
        auto form = EditForm(*q);
        Activate(form.get());
        TypeAndLeave(Control(*form, "edtBORN"), "1/2/99");
        QCOMPARE(Control(*form, "edtBORN")->text(), "01/02/1999");
        TypeAndLeave(Control(*form, "edtPRICE"), "1,234.5");
        Control(*form, "edtNOTES")->MemoEdit()->setPlainText("one\ntwo\nthree");
        QTest::mouseClick(form->btnOk, Qt::LeftButton);
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QVERIFY(m_messages.isEmpty());
        q->Edit();
        form->Wizard->Area()->SaveToData();
        q->Post();
        QCOMPARE(Sql("SELECT BORN FROM CUSTOMER").toString(), "1999-02-01");
        QCOMPARE(Sql("SELECT PRICE FROM CUSTOMER").toDouble(), 1234.5);
        QCOMPARE(Sql("SELECT NOTES FROM CUSTOMER").toString(), "one\ntwo\nthree");
        QVERIFY(Sql("SELECT CODE IS NULL FROM CUSTOMER").toBool());
        QCOMPARE(Sql("SELECT NAME FROM CUSTOMER").toString(), "Ann");
        // Clearing a nullable field stores NULL, not ''.
        q->First();
        auto again = EditForm(*q);
        Activate(again.get());
        TypeAndLeave(Control(*again, "edtPRICE"), "");
        QTest::keyClick(Control(*again, "edtPRICE"), Qt::Key_Backspace);
        Control(*again, "edtPRICE")->setText("");
        QTest::mouseClick(again->btnOk, Qt::LeftButton);
        q->Edit();
        again->Wizard->Area()->SaveToData();
        q->Post();
        QVERIFY(Sql("SELECT PRICE IS NULL FROM CUSTOMER").toBool());
    }

    void okAndCancel()
    {
        auto q = Open("SELECT ID, NAME, PRICE FROM CUSTOMER");
        auto form = EditForm(*q);
        form->FocusIndex = 2;
        Activate(form.get());
        QCOMPARE(QApplication::focusWidget(), Control(*form, "edtPRICE"));
        TDBVerify *name = Control(*form, "edtNAME");
        name->setText("");
        QTest::mouseClick(form->btnOk, Qt::LeftButton);
        QCOMPARE(m_messages, QStringList {"NAME: Required"});
        QVERIFY(form->isVisible());
        QCOMPARE(QApplication::focusWidget(), name);
        // Leaving towards Cancel and Cancel itself validate nothing.
        m_messages.clear();
        QTest::mouseClick(form->btnCancel, Qt::LeftButton);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(form->result(), int(QDialog::Rejected));
        QCOMPARE(Sql("SELECT NAME FROM CUSTOMER").toString(), "Ann");

        auto outside = EditForm(*q);
        outside->FocusIndex = -1;
        Activate(outside.get());
        QVERIFY(!qobject_cast<TVerify *>(QApplication::focusWidget()));
    }

    void lookupChecksByKey()
    {
        auto q = Open("SELECT ID, CODE, NAME FROM CUSTOMER");
        auto form = EditForm(*q);
        TDBVerify *code = Control(*form, "edtCODE");
        auto codes = std::make_shared<TTable>(m_session.get());
        codes->DatabaseName = "SHOP";
        codes->TableName = "CODES";
        codes->Update();
        code->SetLookupDataSet(codes);
        code->SetLookupField("CODE");
        code->SetLookupDisplay("TITLE");
        code->SetLookupAlignment(lkBottom);
        QCOMPARE(code->Picture(), "@0");
        QCOMPARE(code->TotalHeight(), code->height() + code->TitleLabel()->height() + 21);
        Activate(form.get());
        TypeAndLeave(code, "7");
        QCOMPARE(code->text(), "0007");
        QCOMPARE(code->LookupEdit()->text(), "Seven");
        QVERIFY(m_messages.isEmpty());
        TypeAndLeave(code, "9");
        QCOMPARE(m_messages, QStringList {"CODE: not found"});
        QCOMPARE(QApplication::focusWidget(), code);
        code->Reset();
        QCOMPARE(code->LookupEdit()->text(), "");
    }
};

QTEST_MAIN(TestVerifyControls)
#include "test_verify_controls.moc"
