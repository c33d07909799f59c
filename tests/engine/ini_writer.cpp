// A second running copy for the settings tests: opens a settings file (or the alias
// configuration) the way the program does at start, says "ready", waits for the go file,
// then writes its own keys one by one, each write a change of the file on its own.
//   ini_writer ini <file> <go-file> <prefix> <count>
//   ini_writer alias <config-file> <go-file> <prefix> <count>
//   ini_writer hold <file>: takes the file's lock, says "holding" and waits to be killed
#include "EngineError.h"
#include "IniFile.h"
#include "Session.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("hold")) {
        TIniFile ini(args[2]);
        ini.Update([] {
            std::puts("holding");
            std::fflush(stdout);
            for (;;)
                QThread::sleep(60);
        });
    }
    if (args.size() != 6)
        return 2;
    const QString mode = args[1], file = args[2], go = args[3], prefix = args[4];
    const int count = args[5].toInt();
    auto waitForGo = [&] {
        std::puts("ready");
        std::fflush(stdout);
        while (!QFileInfo::exists(go))
            QThread::msleep(2);
    };
    try {
        if (mode == QLatin1String("ini")) {
            TIniFile ini(file);
            waitForGo();
            for (int i = 0; i < count; ++i)
                ini.WriteInteger(QStringLiteral("Keys"), prefix + QString::number(i), i);
        } else if (mode == QLatin1String("alias")) {
            TSession session(file);
            waitForGo();
            for (int i = 0; i < count; ++i) {
                session.AddAlias(prefix + QString::number(i), QStringLiteral("SQLITE"),
                                 {QStringLiteral("DATABASE NAME=/nowhere/%1.sqlite").arg(i)});
                session.SaveConfigFile();
            }
        } else {
            return 2;
        }
    } catch (const EDatabaseError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
