#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"
#include "IniFile.h"
#include "Logins.h"
#include "Paths.h"
#include "Session.h"
#include "TestSupport.h"
#include "test_logins_support.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

static const QString Alias = QStringLiteral("LOGINPG");

// One run of the program as far as logins go: the settings file, the remembered values,
// the login-accepted flag and DB_Orvane, wired the way the main window wires them.
struct TLoginRun
{
    TSession session {TSession::DefaultConfigFile()};
    TIniFile settings {OrvaneConfigFolder() + "Orvane.ini"};
    QStringList values;
    bool loginAccepted = false;
    TDatabase db {"DBOrvane", &session};

    TLoginRun()
    {
        db.OnLogin = [this](TDatabase &d, QStringList &params) {
            OrvaneLogin(d.AliasName(), params, {settings, values, loginAccepted}, ShowLoginDialog);
        };
    }

    // The tree's read of an alias's tables.
    QStringList ReadAliasTables()
    {
        db.Close();
        db.SetAliasName(Alias);
        try {
            return session.GetTableNames(db.DatabaseName());
        } catch (const EDatabaseError &) {
            if (!loginAccepted)
                return {};
            ForgetPassword(values, Alias);
            throw;
        }
    }

    QString CurrentUser()
    {
        TQuery q(&session);
        q.DatabaseName = db.DatabaseName();
        q.SQL = QStringList {"SELECT current_user"};
        q.Open();
        return q.Value(0).toString();
    }
};

// Logins to a PostgreSQL role with a password, over several runs of the program.
class TestLoginsPg : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_data;
    QString m_user;
    QString m_password;

private slots:
    void initTestCase()
    {
        REQUIRE_PG();
        m_user = PgEnv("ORVANE_PG_LOGIN_USER");
        m_password = PgEnv("ORVANE_PG_LOGIN_PASSWORD");
        QVERIFY2(!m_user.isEmpty() && !m_password.isEmpty(),
                 "ORVANE_PG_LOGIN_USER and ORVANE_PG_LOGIN_PASSWORD name the login role");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        TSession session(TSession::DefaultConfigFile());
        TParams params = PgAliasParams();
        SetParamValue(params, "USER NAME", m_user);
        session.AddAlias(Alias, "POSTGRESQL", params);
        session.SaveConfigFile();
    }

    void secondConnectionAsksNothing()
    {
        TLoginRun run;
        TDialogAnswerer answerer;
        TLoginSeen seen;
        answerer.Then(AnswerLogin(&seen, m_user, m_password));
        run.ReadAliasTables();
        QCOMPARE(seen.alias, Alias);
        QVERIFY(seen.user.isEmpty());
        QCOMPARE(run.CurrentUser(), m_user);
        run.ReadAliasTables();
        QCOMPARE(run.CurrentUser(), m_user);
        QCOMPARE(answerer.Shown(), 1);
    }

    void restartAsksPasswordAndForgetsWrongOne()
    {
        TLoginRun run;
        TDialogAnswerer answerer;
        TLoginSeen first, second;
        answerer.Then(AnswerLogin(&first, m_user, m_password + "-wrong"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, run.ReadAliasTables());
        QCOMPARE(first.user, m_user);
        QVERIFY(first.password.isEmpty());

        answerer.Then(AnswerLogin(&second, m_user, m_password));
        run.ReadAliasTables();
        QCOMPARE(second.user, m_user);
        QVERIFY(second.password.isEmpty());
        QCOMPARE(run.CurrentUser(), m_user);
        QCOMPARE(answerer.Shown(), 2);
    }

    void cancelledLoginFailsWithEngineMessage()
    {
        TLoginRun run;
        TDialogAnswerer answerer;
        answerer.Then(AnswerLogin(nullptr, m_user, m_password, false));
        answerer.Then(AnswerLogin(nullptr, m_user, m_password, false));
        run.db.SetAliasName(Alias);
        try {
            run.db.Open();
            QFAIL("a cancelled login connected");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.Message().contains("password", Qt::CaseInsensitive),
                     qPrintable(e.Message()));
        }
        QVERIFY(!run.loginAccepted);
        QVERIFY(run.ReadAliasTables().isEmpty()); // the tree stays quiet after a cancel
        QCOMPARE(answerer.Shown(), 2);
        QCOMPARE(answerer.Unexpected(), 0);
    }

    // Runs last: after all the runs above, no file the program wrote holds the password.
    void noPasswordInAnyFile()
    {
        int files = 0;
        for (const QString &root : {m_config.path(), m_data.path()}) {
            QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
                const QByteArray bytes = file.readAll();
                ++files;
                for (const QByteArray &needle :
                     {m_password.toUtf8(),
                      QByteArray(reinterpret_cast<const char *>(m_password.utf16()),
                                 m_password.size() * 2)})
                    QVERIFY2(!bytes.contains(needle), qPrintable(file.fileName()));
            }
        }
        QVERIFY(files >= 2);
        QCOMPARE(
            TIniFile(OrvaneConfigFolder() + "Orvane.ini").ReadString("Config", "UserName_" + Alias),
            m_user);
    }
};

QTEST_MAIN(TestLoginsPg)
#include "test_logins_pg.moc"
