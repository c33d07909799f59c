#include "EngineError.h"
#include "IniFile.h"
#include "Logins.h"
#include "NewAliasDialog.h"
#include "Session.h"
#include "test_logins_support.h"

#include <QCheckBox>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The login dialog and its memory, and data files turned into aliases through the
// new-alias dialog, against real dialogs and a real session.
class TestLogins : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString WriteFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QString WriteSqliteFile(const QString &name, const QString &table)
    {
        const QString path = m_dir.filePath(name);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "logins_fixture");
            db.setDatabaseName(path);
            if (!db.open() || !QSqlQuery(db).exec("CREATE TABLE " + table + " (id INTEGER)"))
                qFatal("cannot create %s", qPrintable(path));
        }
        QSqlDatabase::removeDatabase("logins_fixture");
        return path;
    }

    // Answers the next new-alias dialog: records caption, alias, user and whether the user
    // edit was enabled, then optionally changes the edits and clicks Ok or Cancel.
    static TDialogAnswerer::TAnswer AnswerNewAlias(QStringList *seen, const QString &alias = {},
                                                   const QString *user = nullptr,
                                                   bool permanent = false, bool ok = true)
    {
        return [=](QDialog &d) {
            auto *dialog = qobject_cast<TfrmNewAliasDialog *>(&d);
            if (!dialog) {
                *seen = {QStringLiteral("another dialog")};
                d.reject();
                return;
            }
            *seen
                = {dialog->windowTitle(), dialog->edtAliasName->text(), dialog->edtUserName->text(),
                   dialog->edtUserName->isEnabled() ? "enabled" : "disabled",
                   dialog->chkPermanent->isChecked() ? "checked" : "unchecked"};
            if (!alias.isNull())
                dialog->edtAliasName->setText(alias);
            if (user)
                dialog->edtUserName->setText(*user);
            dialog->chkPermanent->setChecked(permanent);
            (ok ? dialog->btnOk : dialog->btnCancel)->click();
        };
    }

private slots:
    void initTestCase()
    {
        // A first session builds the DEMO database: keep it out of the user's folders.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
    }

    void loginDialogControls()
    {
        Tform_LoginDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("Database Login"));
        QVERIFY(dialog.btnOK->isDefault());
        QCOMPARE(dialog.btnOK->text(), QString("&OK"));
        QCOMPARE(dialog.edtPassword->echoMode(), QLineEdit::Password);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.focusWidget(), dialog.edtUserName);
        const QString typed(40, u'x');
        QTest::keyClicks(dialog.edtUserName, typed);
        QTest::keyClicks(dialog.edtPassword, typed);
        QCOMPARE(dialog.edtUserName->text(), typed.left(31));
        QCOMPARE(dialog.edtPassword->text(), typed.left(31));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    // One alias through the real dialog: asked once, remembered, asked again with the user
    // filled after the passwords are gone; a cancel changes nothing.
    void loginRemembersUserAndPassword()
    {
        TIniFile ini(m_dir.filePath("remember.ini"));
        QStringList values;
        bool accepted = false;
        const TLoginMemory memory {ini, values, accepted};
        TDialogAnswerer answerer;
        TLoginSeen seen;

        answerer.Then(AnswerLogin(&seen, "ann", "secret"));
        QStringList params {"USERNAME=engine", "PASSWORD="};
        QVERIFY(OrvaneLogin("SALES", params, memory, ShowLoginDialog));
        QCOMPARE(seen.alias, QString("SALES"));
        QVERIFY(seen.user.isEmpty());
        QVERIFY(seen.userFocused);
        QVERIFY(accepted);
        QCOMPARE(params, QStringList({"USERNAME=ann", "PASSWORD=secret"}));
        QCOMPARE(TIniFile(ini.FileName()).ReadString("Config", "UserName_SALES"), QString("ann"));
        QVERIFY(values.contains("Password_SALES=secret"));

        // Known user and password: no dialog, and the flag stays as the last dialog left it.
        accepted = false;
        params = QStringList {"USERNAME=", "PASSWORD="};
        QVERIFY(OrvaneLogin("sales", params, memory, ShowLoginDialog));
        QCOMPARE(params, QStringList({"USERNAME=ann", "PASSWORD=secret"}));
        QVERIFY(!accepted);
        QCOMPARE(answerer.Shown(), 1);

        ForgetPassword(values, "SALES");
        answerer.Then(AnswerLogin(&seen, "bob", "other", false));
        params = QStringList {"USERNAME=engine", "PASSWORD="};
        QVERIFY(!OrvaneLogin("SALES", params, memory, ShowLoginDialog));
        QCOMPARE(seen.user, QString("ann"));
        QVERIFY(seen.password.isEmpty());
        QVERIFY(!accepted);
        QCOMPARE(params, QStringList({"USERNAME=engine", "PASSWORD="}));
        QCOMPARE(ini.ReadString("Config", "UserName_SALES"), QString("ann"));
        QVERIFY(values.contains("Password_SALES="));
        QCOMPARE(answerer.Unexpected(), 0);
    }

    void dataFileKinds()
    {
        WriteFile("cust.db", QByteArray(2048, '\x02'));
        WriteSqliteFile("shop.db", "items");
        // File, then what it becomes: driver, alias, user, parameters joined by ";" with "@"
        // standing for the folder.
        const QList<QStringList> cases {
            {"Stock.GDB", "INTRBASE", "Stock", "SYSDBA", "SERVER NAME=@Stock.GDB;USER NAME=SYSDBA"},
            {"new.fdb", "INTRBASE", "new", "SYSDBA", "SERVER NAME=@new.fdb;USER NAME=SYSDBA"},
            {"cust.db", "STANDARD", "DataFile1", "", "DEFAULT DRIVER=PARADOX;PATH=@"},
            {"orders.DBF", "STANDARD", "DataFile2", "", "DEFAULT DRIVER=DBASE;PATH=@"},
            {"shop.db", "SQLITE", "shop", "", "DATABASE NAME=@shop.db"},
            {"a.b.sqlite3", "SQLITE", "a.b", "", "DATABASE NAME=@a.b.sqlite3"},
            {"missing.db", "STANDARD", "DataFile3", "", "DEFAULT DRIVER=PARADOX;PATH=@"},
        };
        const QString dir = m_dir.path() + '/';
        int counter = 0;
        for (const QStringList &c : cases) {
            const TDataFileKind kind = DataFileKind(dir + c[0], counter);
            QCOMPARE(QStringList({kind.driver, kind.aliasName, kind.user}), c.mid(1, 3));
            QCOMPARE(kind.tableFile, kind.driver == "STANDARD");
            QCOMPARE(DataFileAliasParams(kind, dir + c[0], kind.user).join(';'),
                     QString(c[4]).replace('@', dir));
        }
        QCOMPARE(counter, 3);
    }

    // The whole open-data-file step through the real dialog, a session and a restart.
    void openDataFiles()
    {
        const QString config = m_dir.filePath("open/aliases.ini");
        const QString dir = m_dir.path() + '/';
        const QString sqlite = WriteSqliteFile("parts.db", "login_parts");
        QStringList sessionAliases;
        int counter = 0;
        TDialogAnswerer answerer;
        QStringList seen;
        {
            TSession session(config);
            QStringList standard, other;

            answerer.Then(AnswerNewAlias(&standard));
            QCOMPARE(OpenDataFile(dir + "cust.db", session, counter, sessionAliases),
                     QString("DataFile1.cust.db"));
            QCOMPARE(standard,
                     QStringList({"STANDARD Alias", "DataFile1", "", "disabled", "unchecked"}));
            // Cancelled after editing: the proposal is still added, for this run only.
            answerer.Then(AnswerNewAlias(&standard, "Renamed", nullptr, true, false));
            QCOMPARE(OpenDataFile(dir + "orders.dbf", session, counter, sessionAliases),
                     QString("DataFile2.orders.dbf"));
            QCOMPARE(standard.value(1), QString("DataFile2"));
            QCOMPARE(session.GetAliasParams("DataFile2"),
                     TParams({"DEFAULT DRIVER=DBASE", "PATH=" + dir}));

            const QString empty;
            answerer.Then(AnswerNewAlias(&other, " Fire ", &empty, true));
            QCOMPARE(OpenDataFile(dir + "stock.gdb", session, counter, sessionAliases),
                     QString("Fire."));
            QCOMPARE(other,
                     QStringList({"INTRBASE Alias", "stock", "SYSDBA", "enabled", "unchecked"}));
            QCOMPARE(session.GetAliasDriverName("Fire"), QString("INTRBASE"));
            QCOMPARE(session.GetAliasParams("Fire"),
                     TParams({"SERVER NAME=" + dir + "stock.gdb", "USER NAME="}));

            answerer.Then(AnswerNewAlias(&other));
            QCOMPARE(OpenDataFile(dir + "people.mdb", session, counter, sessionAliases),
                     QString("people."));
            QCOMPARE(other.value(2), QString());

            answerer.Then(AnswerNewAlias(&other));
            QCOMPARE(OpenDataFile(sqlite, session, counter, sessionAliases), QString("parts."));
            QCOMPARE(other.value(0), QString("SQLITE Alias"));
            QCOMPARE(session.GetTableNames("parts"), QStringList({"login_parts"}));

            // The same name again: the engine refuses it and no list changes.
            answerer.Then(AnswerNewAlias(&other, "people"));
            QVERIFY_THROWS_EXCEPTION(
                EDatabaseError, OpenDataFile(dir + "more.mdb", session, counter, sessionAliases));
            QCOMPARE(sessionAliases, QStringList({"DataFile1", "DataFile2", "people", "parts"}));
            QCOMPARE(counter, 2);
            QCOMPARE(answerer.Unexpected(), 0);
        }
        const TSession restarted(config);
        QVERIFY(restarted.IsAlias("Fire"));
        for (const QString &alias : sessionAliases)
            QVERIFY2(!restarted.IsAlias(alias), qPrintable(alias));
    }
};

QTEST_MAIN(TestLogins)
#include "test_logins.moc"
