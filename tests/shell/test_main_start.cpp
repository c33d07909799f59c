// A new user's first minute on the main window, offscreen: the database on an alias, the
// focus where typing goes, the welcome and a script from the command line, plain labels.
#include "ShellTestSupport.h"

#include "EditorCommands.h"
#include "FindTree.h"
#include "IniFile.h"
#include "Settings.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

class TestMainStart : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(OrvaneIniFileName()); }
    void freshStartIsOnAnAliasWithTheEditorFocused();
    void commandLineScriptKeepsItsTextAndSavesToItsFile();
    void findDialogFocusesItsEdit();
};

void TestMainStart::freshStartIsOnAnAliasWithTheEditorFocused()
{
    TProgram p;
    QVERIFY(p.Show());
    QVERIFY(!p->DB_Orvane.AliasName().isEmpty());
    QCOMPARE(p->DB_Orvane.AliasName(), p->MainTree->topLevelItem(0)->text(0));
    QCOMPARE(Selected(p), p->MainTree->topLevelItem(0));
    QCOMPARE(p->focusWidget(), static_cast<QWidget *>(p->memSQL));
    QCOMPARE(p->lblStatus->textFormat(), Qt::PlainText);
}

void TestMainStart::commandLineScriptKeepsItsTextAndSavesToItsFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("mine.sql");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("SELECT 1;\n");
    f.close();
    TProgram p; // first start: no settings file yet
    QVERIFY(p->OpenScript(file));
    QVERIFY(p.Show());
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT 1;"));
    QCOMPARE(p->EditorCommands().FileState(), int(fsOpened));
    p->memSQL->appendPlainText("SELECT 2;");
    QVERIFY(p->SaveScript()); // no dialog: it would block the test
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("SELECT 1;\nSELECT 2;\n"));
}

void TestMainStart::findDialogFocusesItsEdit()
{
    TProgram p;
    QVERIFY(p.Show());
    bool focused = false;
    QTimer::singleShot(0, [&] {
        if (auto *d = qobject_cast<TfrmFindTree *>(QApplication::activeModalWidget())) {
            focused = d->focusWidget() == d->edtFind;
            d->reject();
        }
    });
    p->mnuEdtFindClick();
    QVERIFY(focused);
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    QApplication app(argc, argv);
    TestMainStart test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_start.moc"
