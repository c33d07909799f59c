// A process killed while it saves never leaves a file half written: a script of 20 MB and
// the settings, aliases and project files (all written through the settings-file class)
// hold, after each of 200 kills at random moments, one whole generation the writer wrote.
#include "IniFile.h"
#include "ScriptFile.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>

namespace {

const char *const SaverVariable = "ORVANE_TEST_SAVER";

// The script of a generation: every line names it, so a mix of two is seen at once.
QString Script(int generation)
{
    const QString line = QStringLiteral("INSERT INTO t VALUES (%1, 'generation %1 of the script');")
                             .arg(generation, 8, 10, QChar('0'));
    // The last line's break is the file's final one.
    return (line + u'\n').repeated(20 * 1000 * 1000 / (line.size() + 1) + 1).chopped(1);
}

// The child: writes two generations of both files in turn until it is killed; it tells
// when it has made its texts, so that the kills land among the writes.
int RunSaver(const QString &folder, int first)
{
    const QString texts[] = {Script(first), Script(first + 1)};
    std::fputs("started\n", stdout);
    std::fflush(stdout);
    TIniFile ini(folder + QStringLiteral("/Orvane.ini"));
    for (int generation = first;; generation = generation == first ? first + 1 : first) {
        TScriptFormat format;
        SaveScriptFile(folder + QStringLiteral("/big.sql"), texts[generation - first], format);
        ini.Update([&] {
            for (int key = 0; key < 500; ++key)
                ini.WriteInteger(QStringLiteral("Section%1").arg(key % 20),
                                 QStringLiteral("Key%1").arg(key), generation);
        });
    }
}

// The generation a file holds whole; -1 when it holds a mix or is cut short.
int ScriptGeneration(const QString &file)
{
    const TScriptLoad load = LoadScriptFile(file);
    if (!load.ok)
        return -1;
    const int generation = load.text.mid(22, 8).toInt();
    return load.text == Script(generation) ? generation : -1;
}

int IniGeneration(const QString &file)
{
    const TIniFile ini(file);
    const int generation = ini.ReadInteger(QStringLiteral("Section0"), QStringLiteral("Key0"), 0);
    for (int key = 0; key < 500; ++key)
        if (ini.ReadInteger(QStringLiteral("Section%1").arg(key % 20),
                            QStringLiteral("Key%1").arg(key), -1)
            != generation)
            return -1;
    return generation;
}

} // namespace

class TestSaveKill : public QObject
{
    Q_OBJECT
private slots:
    void killedSaversLeaveWholeFiles()
    {
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(SaverVariable), dir.path());
        QRandomGenerator random(20261208);
        int scriptSeen = 0, iniSeen = 0, changed = 0;
        for (int kill = 0; kill < 200; ++kill) {
            QProcess saver;
            env.insert(QStringLiteral("ORVANE_TEST_FIRST"), QString::number(2 * kill + 1));
            saver.setProcessEnvironment(env);
            saver.start(QCoreApplication::applicationFilePath(), QStringList());
            QVERIFY(saver.waitForStarted(20000));
            QVERIFY(saver.waitForReadyRead(20000));
            QThread::usleep(random.bounded(1000u, 300000u));
            ::kill(pid_t(saver.processId()), SIGKILL);
            QVERIFY(saver.waitForFinished(60000));
            QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

            // Each file is absent before its first save, and then always one generation.
            const int script = QFile::exists(dir.filePath("big.sql"))
                ? ScriptGeneration(dir.filePath("big.sql"))
                : 0;
            const int ini = QFile::exists(dir.filePath("Orvane.ini"))
                ? IniGeneration(dir.filePath("Orvane.ini"))
                : 0;
            QVERIFY2(script >= 0, qPrintable(QString("kill %1: the script is cut").arg(kill)));
            QVERIFY2(ini >= 0, qPrintable(QString("kill %1: the settings are mixed").arg(kill)));
            changed += script > scriptSeen;
            changed += ini > iniSeen;
            scriptSeen = std::max(scriptSeen, script);
            iniSeen = std::max(iniSeen, ini);
        }
        // Each child writes generations of its own, so a file from an earlier child still
        // counts as whole; most kills must find a later child's generation there.
        QVERIFY2(changed > 100, qPrintable(QString::number(changed)));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(SaverVariable))
        return RunSaver(qEnvironmentVariable(SaverVariable),
                        qEnvironmentVariableIntValue("ORVANE_TEST_FIRST"));
    TestSaveKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_save_kill.moc"
