#include "Main.h"
#include "Application.h"
#include "Icons.h"
#include "Options.h"
#include "ScriptRunner.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

// Answered before any window system is asked for, so they work on a terminal without one.
static bool AnsweredOnTheTerminal(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Orvane %s\n", ORVANE_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: orvane [SCRIPT]\n"
                        "       orvane --run SCRIPT [--alias NAME] [--out DIR]\n"
                        "Browse databases, write and run SQL scripts.\n\n"
                        "  SCRIPT     an SQL script to open in the editor\n"
                        "  --run      run the script without a window: the rows of each query\n"
                        "             go to standard output as CSV, or to DIR/<name>.csv;\n"
                        "             errors to standard error, exit status 1 at the first\n"
                        "             (a password is read from ORVANE_PASSWORD or asked)\n"
                        "  --version  print the version and exit\n"
                        "  --help     print this text and exit\n");
            return true;
        }
    }
    return false;
}

int main(int argc, char *argv[])
{
    if (AnsweredOnTheTerminal(argc, argv))
        return 0;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--run") == 0) {
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
            TScriptRun run;
            QString error;
            if (!ParseScriptRun(QCoreApplication::arguments(), run, &error)) {
                std::fprintf(stderr, "ERROR: %s\n", qPrintable(error));
                return 2;
            }
            return RunScriptHeadless(run, stdout, stderr);
        }
    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setWindowIcon(OrvaneIcon(QStringLiteral("orvane")));

    Tform_Main form_Main;
    Tfrm_Options options(&form_Main);
    if (argc > 1)
        form_Main.OpenScript(QString::fromLocal8Bit(argv[1]));
    form_Main.show();
    return app.exec();
}
