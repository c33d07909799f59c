// Faults that used to end the program: an exception escaping an event handler, and settings,
// alias and desktop-association files that cannot be written. Each unwritable file is a
// folder in its place (the tests may run as root, where permissions stop nothing); the
// program's message box is answered by the test.
#include "ShellTestSupport.h"

#include "Application.h"
#include "EngineError.h"
#include "MessageDlg.h"
#include "Settings.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <stdexcept>

namespace {

// Collects what the message box would have shown.
struct TShownErrors
{
    QStringList texts;
    TMessageHandler previous;
    TShownErrors()
    {
        previous = SetMessageDlgHandler([this](const QString &text, TMsgDlgType type,
                                               QMessageBox::StandardButtons) {
            texts << (type == TMsgDlgType::Error ? text : QStringLiteral("not an error: ") + text);
            return QMessageBox::Ok;
        });
    }
    ~TShownErrors() { SetMessageDlgHandler(previous); }
    int Mentioning(const QString &part) const { return int(texts.filter(part).size()); }
};

class TThrowing : public QObject
{
public:
    int handled = 0;
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++handled;
        if (handled == 1)
            throw EDatabaseError(QStringLiteral("Cannot read table X."));
        if (handled == 2)
            throw std::runtime_error("out of range");
        return true;
    }
};

QString ConfigPath(const QString &name)
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + u'/' + name;
}

// A folder where the program wants to write a file; gone again at the end of the scope.
struct TBlockedPath
{
    QString path;
    explicit TBlockedPath(QString p)
        : path(std::move(p))
    {
        QFile::remove(path);
        QDir().mkpath(path + QStringLiteral("/taken"));
    }
    ~TBlockedPath() { QDir(path).removeRecursively(); }
};

} // namespace

class TestMainErrors : public QObject
{
    Q_OBJECT
private slots:
    // First, since the program's session is made once per run.
    void unwritableAliasesAtFirstStartAreShownAndTheDemoStays();
    void escapingExceptionIsShownAndTheProgramGoesOn();
    void unwritableSettingsAreShownAtEachStepAndTheWindowStillCloses();
    void unwritableAssociationIsShownAtShow();
};

void TestMainErrors::unwritableAliasesAtFirstStartAreShownAndTheDemoStays()
{
    // The configuration's folder is taken by a file: aliases.ini cannot come into being.
    const QString folder = ConfigPath(QStringLiteral("Orvane"));
    QDir(folder).removeRecursively();
    QDir().mkpath(QFileInfo(folder).path());
    {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    TShownErrors shown;
    {
        TProgram p;
        QVERIFY(p.Show());
        QCOMPARE(shown.Mentioning(QStringLiteral("aliases.ini")), 1);
        QVERIFY(AliasNode(p, QStringLiteral("DEMO"))); // usable for this run
    }
    QFile::remove(folder);
}

void TestMainErrors::escapingExceptionIsShownAndTheProgramGoesOn()
{
    TShownErrors shown;
    TThrowing target;
    for (int i = 0; i < 3; ++i) {
        QEvent e(QEvent::User);
        QCoreApplication::sendEvent(&target, &e);
    }
    QCOMPARE(target.handled, 3);
    QCOMPARE(shown.texts, QStringList({"Cannot read table X.", "out of range"}));
    // A handler called from the event loop, as menus, buttons and timers call theirs.
    bool later = false;
    QTimer::singleShot(0, [] { throw EDatabaseError(QStringLiteral("Lost connection.")); });
    QTimer::singleShot(5, [&later] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(shown.texts.size(), 3);
    QCOMPARE(shown.texts.last(), QString("Lost connection."));

    // The bookmark box's Return finds the path and keeps it as a bookmark, which cannot
    // be written when the settings file is a folder: said, and the search goes on.
    TProgram p;
    QVERIFY(p.Show());
    shown.texts.clear();
    {
        const TBlockedPath blocked(OrvaneIniFileName());
        p->cmbBookMark->setEditText(QStringLiteral("DEMO.CUSTOMER"));
        p->cmbBookMark->lineEdit()->setFocus();
        QTest::keyClick(p->cmbBookMark->lineEdit(), Qt::Key_Return);
        QCOMPARE(shown.Mentioning(QStringLiteral("Orvane.ini")), 1);
    }
    QCOMPARE(SelectedText(p), QString("CUSTOMER"));
    QVERIFY(p->isVisible());
    p->memSQL->setFocus();
    QTest::keyClicks(p->memSQL, QStringLiteral("go on"));
    QCOMPARE(p->memSQL->toPlainText(), QString("go on"));
}

void TestMainErrors::unwritableSettingsAreShownAtEachStepAndTheWindowStillCloses()
{
    const TBlockedPath blocked(OrvaneIniFileName());
    TShownErrors shown;
    auto p = std::make_unique<TProgram>();
    QCOMPARE(shown.Mentioning(QStringLiteral("Orvane.ini")), 1); // the first start's keys
    QVERIFY(p->Show());
    QCOMPARE(shown.Mentioning(QStringLiteral("Orvane.ini")), 2); // the welcome marker
    QVERIFY((*p)->memSQL->toPlainText().contains(QStringLiteral("Welcome to Orvane 2")));
    (*p)->memSQL->document()->setModified(false);
    QVERIFY((*p)->close()); // the options cannot be kept, the window closes all the same
    QVERIFY(!(*p)->isVisible());
    QCOMPARE(shown.Mentioning(QStringLiteral("Orvane.ini")), 3);
    p.reset(); // the geometry cannot be kept either
    QCOMPARE(shown.Mentioning(QStringLiteral("Orvane.ini")), 4);
    QCOMPARE(shown.texts.size(), 4);
    QVERIFY(QFileInfo(OrvaneIniFileName()).isDir());
}

void TestMainErrors::unwritableAssociationIsShownAtShow()
{
    const TBlockedPath blocked(ConfigPath(QStringLiteral("mimeapps.list")));
    TShownErrors shown;
    TProgram p;
    QVERIFY(p.Show());
    QCOMPARE(shown.Mentioning(QStringLiteral("mimeapps.list")), 1);
    QCOMPARE(shown.texts.size(), 1);
    QCOMPARE(p->focusWidget(), static_cast<QWidget *>(p->memSQL));
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    // No association of the machine's own answers for the script type.
    qputenv("XDG_CONFIG_DIRS", home.filePath("etc").toUtf8());
    qputenv("XDG_DATA_DIRS", home.filePath("share").toUtf8());
    TApplication app(argc, argv);
    TestMainErrors test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_main_errors.moc"
