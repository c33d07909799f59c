#include "AskParam.h"
#include "ColMemo.h"
#include "Database.h"
#include "FieldParam.h"
#include "IniFile.h"
#include "ModalAnswers.h"
#include "Param.h"
#include "Session.h"
#include "SqliteFile.h"
#include "TableParam.h"
#include "TypeParam.h"
#include "WhereParam.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The parameter dialogs driven offscreen, through the walk over a real editor.
class TestParamDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;
    std::unique_ptr<TDatabase> m_db;
    std::unique_ptr<TIniFile> m_ini;

    TParamContext Context(const QString &table = "PARAMS_CUST")
    {
        return {nullptr, m_ini.get(), m_session.get(), "DBPARAMS", table};
    }

    // Types the answer into the dialog's combo and confirms it.
    static TModalAnswers::THandler Answer(const QString &text, QStringList *choices = nullptr,
                                          QString *title = nullptr, QString *label = nullptr)
    {
        return [=](QWidget *w) {
            auto *d = qobject_cast<TfrmParam *>(w);
            QVERIFY(d);
            if (choices) {
                choices->clear();
                for (int i = 0; i < d->cmbParam->count(); ++i)
                    *choices << d->cmbParam->itemText(i);
            }
            if (title)
                *title = d->windowTitle();
            if (label)
                *label = d->lblParam->text();
            d->cmbParam->setEditText(text);
            QVERIFY(d->btnOk->isEnabled());
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        };
    }
    static TModalAnswers::THandler Cancel()
    {
        return [](QWidget *w) {
            auto *d = qobject_cast<TfrmParam *>(w);
            QVERIFY(d);
            QTest::mouseClick(d->btnCancel, Qt::LeftButton);
        };
    }

private slots:
    void initTestCase()
    {
        const QString file = m_dir.filePath("params.sqlite");
        RunOnSqliteFile(file,
                        {"CREATE TABLE PARAMS_CUST (ID INTEGER PRIMARY KEY, NAME VARCHAR(30),"
                         " BORN DATE, AGE SMALLINT)",
                         "CREATE TABLE PARAMS_ORDERS (ID INTEGER)"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("PARAMS", "SQLITE", {"DATABASE NAME=" + file},
                            TSession::TPersistence::SessionOnly);
        m_db = std::make_unique<TDatabase>("DBPARAMS", m_session.get());
        m_db->SetAliasName("PARAMS");
    }

    void init() { m_ini = std::make_unique<TIniFile>(m_dir.filePath("Orvane.ini")); }
    void cleanup()
    {
        m_ini.reset();
        QFile::remove(m_dir.filePath("Orvane.ini"));
    }

    void okFollowsTextAndTypedPrefixStays()
    {
        TfrmParam dlg;
        QCOMPARE(dlg.objectName(), QString("frmParam"));
        dlg.show();
        QVERIFY(!dlg.btnOk->isEnabled());
        dlg.cmbParam->setEditText("x");
        QVERIFY(dlg.btnOk->isEnabled());
        dlg.cmbParam->setEditText("");
        QVERIFY(!dlg.btnOk->isEnabled());
        QVERIFY(dlg.btnOk->isDefault());
        QCOMPARE(dlg.size(), QSize(306, 85));

        // A typed prefix of a listed value stays what was typed.
        dlg.SetChoices({"30", "300"});
        dlg.cmbParam->setEditText("");
        QApplication::setActiveWindow(&dlg);
        dlg.cmbParam->setFocus();
        QTest::keyClicks(dlg.cmbParam->lineEdit(), "3");
        QCOMPARE(dlg.cmbParam->currentText(), QString("3"));
        QString v;
        dlg.GetParamValue(v);
        QCOMPARE(v, QString("3"));
    }

    void varcharLeadsToSizeWithHistory()
    {
        m_ini->WriteString("ValuesOfParam_SIZE", "30", "");
        TColorMemo editor;
        editor.setPlainText("CREATE TABLE T (\n\tNAME <FieldType>\n);");
        QStringList values;
        QStringList typeChoices, sizeChoices;
        QString sizeLabel, sizeTitle;
        TModalAnswers answers;
        answers.Add([&](QWidget *w) {
            QVERIFY(qobject_cast<TfrmTypeParam *>(w));
            Answer("VARCHAR(<Size>)", &typeChoices)(w);
        });
        answers.Add([&](QWidget *w) {
            QCOMPARE(QString(w->metaObject()->className()), QString("TfrmParam"));
            Answer("40", &sizeChoices, &sizeTitle, &sizeLabel)(w);
        });
        QVERIFY(ParamWalkEditor(&editor, 0, values, Context()));
        QCOMPARE(answers.Seen(), 2);
        QCOMPARE(typeChoices.size(), 9);
        QCOMPARE(typeChoices.first(), QString("AUTO INC"));
        QCOMPARE(sizeChoices, QStringList({"30"}));
        QCOMPARE(sizeLabel, QString("Size"));
        // The statement's first placeholder stands on the field line: its text names the dialog.
        QCOMPARE(sizeTitle, QString("NAME"));
        QCOMPARE(editor.toPlainText(), QString("CREATE TABLE T (\n\tNAME VARCHAR(40)\n);"));
        QCOMPARE(m_ini->ReadSection("ValuesOfParam_SIZE"), QStringList({"30", "40"}));
        // The type itself is no free value: it keeps no history.
        QVERIFY(!m_ini->SectionExists("ValuesOfParam_FIELDTYPE"));
    }

    void passwordPlaceholderShowsAndKeepsNothing()
    {
        // A history written before, and the login's password among the remembered values.
        m_ini->WriteString("ValuesOfParam_PASSWORD_PG", "old-secret", "");
        TColorMemo editor;
        editor.setPlainText("ALTER ROLE r PASSWORD '<Password_PG>';");
        QStringList values {"Password_PG=login-secret"};
        QStringList choices;
        QString proposed;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        TModalAnswers answers;
        answers.Add([&](QWidget *w) {
            auto *d = qobject_cast<TfrmParam *>(w);
            QVERIFY(d);
            proposed = d->cmbParam->currentText();
            echo = d->cmbParam->lineEdit()->echoMode();
            Answer("typed-secret", &choices)(w);
        });
        QVERIFY(ParamWalkEditor(&editor, 0, values, Context()));
        QCOMPARE(answers.Seen(), 1);
        QCOMPARE(proposed, QString());
        QVERIFY(choices.isEmpty());
        QCOMPARE(echo, QLineEdit::Password);
        QCOMPARE(editor.toPlainText(), QString("ALTER ROLE r PASSWORD 'typed-secret';"));
        QCOMPARE(values, QStringList({"Password_PG=login-secret"}));
        QCOMPARE(m_ini->ReadSection("ValuesOfParam_PASSWORD_PG"), QStringList({"old-secret"}));
    }

    void tableDialogOffersTablesAndProposesSelection()
    {
        TColorMemo editor;
        editor.setPlainText("SELECT * FROM <TableName>;");
        QStringList values {"TableName=PARAMS_ORDERS"};
        QStringList choices;
        QString proposed;
        TModalAnswers answers;
        answers.Add([&](QWidget *w) {
            auto *d = qobject_cast<TfrmTableParam *>(w);
            QVERIFY(d);
            proposed = d->cmbParam->currentText();
            Answer("PARAMS_CUST", &choices)(w);
        });
        QVERIFY(ParamWalkEditor(&editor, 0, values, Context()));
        QCOMPARE(proposed, QString("PARAMS_ORDERS"));
        QVERIFY(choices.contains("PARAMS_CUST"));
        QVERIFY(choices.contains("PARAMS_ORDERS"));
        QCOMPARE(editor.toPlainText(), QString("SELECT * FROM PARAMS_CUST;"));
        QCOMPARE(values, QStringList({"TableName=PARAMS_CUST"}));
    }

    void fieldDialogListsCurrentTable()
    {
        QStringList choices;
        TModalAnswers answers;
        answers.Add([&](QWidget *w) { Answer("AGE", &choices)(w); });
        QString value;
        QVERIFY(AskParamValue(Context(), "SELECT", "FieldName", value));
        QCOMPARE(value, QString("AGE"));
        QCOMPARE(choices, QStringList({"ID", "NAME", "BORN", "AGE"}));

        // A table that cannot be read offers nothing, but the dialog still answers.
        answers.Add([&](QWidget *w) { Answer("FREE", &choices)(w); });
        QVERIFY(AskParamValue(Context("NO_SUCH_TABLE"), "", "FieldName", value));
        QVERIFY(choices.isEmpty());
        QCOMPARE(value, QString("FREE"));
    }

    void whereBuilderByFieldType()
    {
        TfrmWhereParam dlg(nullptr, m_session.get());
        dlg.tabSource.DatabaseName = "DBPARAMS";
        dlg.tabSource.TableName = "PARAMS_CUST";
        dlg.Today = QDate(2026, 1, 2);
        dlg.show();
        QCOMPARE(dlg.lblParam->text(), QString("WHERE"));
        QCOMPARE(dlg.cmbParam->count(), 4);
        QCOMPARE(dlg.width(), 422);

        // Leaving the field box by focus: the string field's defaults.
        QApplication::setActiveWindow(&dlg);
        dlg.cmbParam->setFocus();
        dlg.cmbParam->setEditText("name");
        dlg.cmbCompare->setFocus();
        QTRY_COMPARE(dlg.edtValue->maxLength(), 30);
        QCOMPARE(dlg.edtValue->text(), QString());
        QCOMPARE(dlg.cmbCompare->count(), 6);
        dlg.cmbCompare->setEditText("like");
        dlg.edtValue->setFocus();
        dlg.edtValue->setText("O'A%");
        QString v;
        dlg.GetParamValue(v);
        QCOMPARE(v, QString("name like 'O''A%'"));

        // A filled value box is kept when the field changes.
        dlg.cmbParam->setEditText("AGE");
        dlg.cmbParamExit();
        QCOMPARE(dlg.edtValue->text(), QString("O'A%"));

        dlg.edtValue->clear();
        dlg.cmbParamExit();
        QCOMPARE(dlg.cmbCompare->count(), 5);
        QCOMPARE(dlg.edtValue->text(), QString());
        dlg.cmbCompare->setEditText("in");
        dlg.edtValue->setText("1,2");
        dlg.cmbCompareExit();
        dlg.GetParamValue(v);
        QCOMPARE(v, QString("AGE in (1, 2)"));

        dlg.edtValue->clear();
        dlg.cmbParam->setEditText("BORN");
        dlg.cmbCompare->setEditText("");
        dlg.cmbParamExit();
        dlg.GetParamValue(v);
        QCOMPARE(v, QString("BORN = '2026-01-02'"));
    }

    void cancellingSecondOfThree()
    {
        TColorMemo editor;
        editor.setPlainText("SELECT <A>,\n\t<B>,\n\t<C>;");
        QStringList values;
        TModalAnswers answers;
        answers.Add(Answer("one"));
        answers.Add(Cancel());
        QVERIFY(!ParamWalkEditor(&editor, 0, values, Context()));
        QCOMPARE(answers.Seen(), 2);
        QCOMPARE(editor.toPlainText(), QString("SELECT one,\n\t<B>,\n\t<C>;"));
        QCOMPARE(values, QStringList({"A=one"}));
        QCOMPARE(m_ini->ReadSection("ValuesOfParam_A"), QStringList({"one"}));
        QVERIFY(!m_ini->SectionExists("ValuesOfParam_B"));
    }

    void walkFromCaretLineSharesCaption()
    {
        TColorMemo editor;
        editor.setPlainText("UPDATE <Skip>;\nUPDATE T SET\n\tA = <Value>,\n\tB = <Value>;\n");
        QStringList values;
        QStringList titles;
        QString t1, t2;
        TModalAnswers answers;
        answers.Add(Answer("1", nullptr, &t1));
        answers.Add([&](QWidget *w) {
            // The remembered value of the first answer is proposed for the second.
            QCOMPARE(qobject_cast<TfrmParam *>(w)->cmbParam->currentText(), QString("1"));
            Answer("2", nullptr, &t2)(w);
        });
        QVERIFY(ParamWalkEditor(&editor, 2, values, Context()));
        QCOMPARE(t1, QString("A ="));
        QCOMPARE(t2, QString("A ="));
        QCOMPARE(editor.toPlainText(),
                 QString("UPDATE <Skip>;\nUPDATE T SET\n\tA = 1,\n\tB = 2;\n"));
    }

    void newParamThreeTimes()
    {
        TColorMemo editor;
        editor.setPlainText("SELECT  FROM T");
        TMemoCursor c = editor.textCursor();
        c.setPosition(7);
        editor.setTextCursor(c);
        int counter = 1;
        NewParam(&editor, counter);
        NewParam(&editor, counter);
        NewParam(&editor, counter);
        QCOMPARE(counter, 4);
        // Each placeholder replaces the previous one's selected name.
        QCOMPARE(editor.toPlainText(), QString("SELECT <<<Param3>>> FROM T"));
        QCOMPARE(editor.textCursor().selectedText(), QString("Param3"));

        editor.setPlainText("");
        counter = 1;
        for (int i = 0; i < 3; ++i) {
            NewParam(&editor, counter);
            editor.moveCursor(QTextCursor::End);
            editor.insertPlainText(" ");
        }
        QCOMPARE(editor.toPlainText(), QString("<Param1> <Param2> <Param3> "));
    }
};

QTEST_MAIN(TestParamDialogs)
#include "test_param_dialogs.moc"
