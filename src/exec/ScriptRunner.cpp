#include "ScriptRunner.h"
#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"
#include "Executor.h"
#include "ResultExport.h"
#include "Session.h"
#include "SharedRoutines.h"
#include "SqlNames.h"

#include <QDir>
#include <QFile>
#include <termios.h>
#include <unistd.h>

bool ParseScriptRun(const QStringList &arguments, TScriptRun &run, QString *error)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString *target = a == QLatin1String("--run") ? &run.script
            : a == QLatin1String("--alias")           ? &run.alias
            : a == QLatin1String("--out")             ? &run.outFolder
                                                      : nullptr;
        if (!target)
            continue;
        if (i + 1 >= arguments.size()) {
            *error = a + QStringLiteral(" needs a value");
            return false;
        }
        *target = arguments[++i];
    }
    if (run.script.isEmpty())
        *error = QStringLiteral("--run needs a script");
    return !run.script.isEmpty();
}

// The password of a login: from the environment, else asked on the terminal without echo.
static QString Password(const QString &alias, FILE *err)
{
    if (qEnvironmentVariableIsSet("ORVANE_PASSWORD"))
        return qEnvironmentVariable("ORVANE_PASSWORD");
    if (!isatty(STDIN_FILENO))
        return {};
    std::fprintf(err, "Password for %s: ", qPrintable(alias));
    std::fflush(err);
    termios saved {};
    const bool quiet = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, stdin) != nullptr;
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', err);
    return read ? QString::fromLocal8Bit(line).chopped(QByteArray(line).endsWith('\n') ? 1 : 0)
                : QString();
}

// Writes a result's rows where the run sends them; throws EDatabaseError.
static void WriteResult(TDatabase &db, const QStringList &sql, const QString &name,
                        const TScriptRun &run, FILE *out)
{
    QFile file;
    if (run.outFolder.isEmpty()) {
        if (!file.open(out, QIODevice::WriteOnly))
            throw EDatabaseError(QStringLiteral("Cannot write the standard output"));
    } else {
        file.setFileName(QDir(run.outFolder).filePath(SafeFileName(name) + QStringLiteral(".csv")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw EDatabaseError(
                QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString()));
    }
    if (!ExportCsv(&db.Session(), db.DatabaseName(), sql, file))
        throw EDatabaseError(
            QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString()));
}

int RunScriptHeadless(const TScriptRun &run, FILE *out, FILE *err)
{
    QFile script(run.script);
    if (!script.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(err, "ERROR: Cannot open %s: %s\n", qPrintable(run.script),
                     qPrintable(script.errorString()));
        return 2;
    }
    QStringList lines = QString::fromUtf8(script.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (!run.outFolder.isEmpty() && !QDir().mkpath(run.outFolder)) {
        std::fprintf(err, "ERROR: Cannot create directory %s\n", qPrintable(run.outFolder));
        return 2;
    }
    TSession &session = TSession::Default();
    const QStringList aliases = session.GetAliasNames();
    const QString alias = run.alias.isEmpty() ? aliases.value(0) : run.alias;
    if (!aliases.contains(alias, Qt::CaseInsensitive)) {
        std::fprintf(err, "ERROR: Alias %s not found\n", qPrintable(alias));
        return 2;
    }
    TDatabase db(QStringLiteral("DBOrvaneRun"));
    db.SetAliasName(alias);
    db.OnLogin = [err](TDatabase &d, QStringList &login) {
        login = {QStringLiteral("USERNAME=") + ParamValue(login, QStringLiteral("USERNAME")),
                 QStringLiteral("PASSWORD=") + Password(d.AliasName(), err)};
    };
    TQuery query;
    query.DatabaseName = db.DatabaseName();
    int failedLine = -1;
    QString written; // a result that could not be written ends the run as a failure
    TExecutorHost host;
    host.SelectLine = [&](int line) {
        failedLine = line;
    };
    host.OpenResultWindow = [&](const QStringList &sql, const QString &name, int number, bool) {
        WriteResult(db, sql, name.isEmpty() ? QStringLiteral("Query_%1").arg(number) : name, run,
                    out);
    };
    TExecutor executor(db, query, host);
    if (executor.RunScript(lines))
        return 0;
    // The engine's first line: what follows (the server's "LINE 1: ..." echo) names no line
    // of the script.
    QString text = executor.ErrorText().section(u'\n', 0, 0).trimmed();
    if (text.startsWith(QLatin1String("ERROR:")))
        text = QStringLiteral("ERROR: ") + text.mid(6).trimmed();
    std::fprintf(err, "%s (line %d)\n", qPrintable(text), failedLine + 1);
    return 1;
}
