#include "CatalogProbe.h"

#include "EngineError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A reader that loops on a damaged file works all the while: it is stopped after this much
// processor time, so that a loaded machine, which only slows a healthy read, does not make
// the file look damaged. A reader waiting on something else gets the longer wall-clock limit.
constexpr int ProbeSeconds = 5;
constexpr int ProbeWaitSeconds = 30;
constexpr qint64 ProbeBytes = qint64(1) << 30;

bool g_inProbe = false;

// Resident bytes and processor milliseconds of a running process, as far as they are known.
struct TUsage
{
    qint64 bytes = 0;
    qint64 cpuMs = 0;
};

TUsage UsageOf(qint64 pid)
{
    TUsage u;
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (statm.open(QIODevice::ReadOnly))
        u.bytes = statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
    // The name in the second field may hold blanks; the fields after it are numbers, user
    // and system time the 12th and 13th of them, in clock ticks.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray all = stat.readAll();
        const QList<QByteArray> fields = all.mid(all.lastIndexOf(')') + 2).split(' ');
        const qint64 ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
        u.cpuMs = ticks * 1000 / sysconf(_SC_CLK_TCK);
    }
    return u;
}

QString ProbeProgram()
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {here + QStringLiteral("/orvane-probe"),
                                     here + QStringLiteral("/../libexec/orvane/orvane-probe"),
                                     QString::fromUtf8(ORVANE_BUILD_PROBE)})
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    return {};
}

} // namespace

void ProbeCatalog(const QString &driver, const TParams &params, const QString &user,
                  const QString &file)
{
    if (g_inProbe)
        return;
    const QFileInfo info(file);
    // A file read once stays trusted: the program's own writes change it, and the embedded
    // engine may hold it so that a second process could not read it meanwhile. A damaged
    // file is tried again once it has changed.
    static QSet<QString> healthy;
    static QHash<QString, QString> damaged; // by version
    const QString path = info.canonicalFilePath();
    if (healthy.contains(path))
        return;
    const QString version = path + u'|' + QString::number(info.size()) + u'|'
        + QString::number(info.lastModified().toMSecsSinceEpoch());
    if (const auto it = damaged.constFind(version); it != damaged.constEnd())
        throw EDatabaseError(*it);
    const QString program = ProbeProgram();
    if (program.isEmpty())
        throw EDatabaseError(
            QStringLiteral("The program orvane-probe, which reads %1 safely, is not installed.")
                .arg(file));
    QProcess child;
    child.setChildProcessModifier([] {
        const rlimit core {0, 0}; // a crash on a damaged file is expected, not a bug to keep
        setrlimit(RLIMIT_CORE, &core);
    });
    child.start(program, QStringList {driver, user} + params);
    QString error;
    if (!child.waitForStarted()) {
        throw EDatabaseError(
            QStringLiteral("Cannot start %1: %2").arg(program, child.errorString()));
    }
    // Resident memory is watched rather than limited: a limit of address space would also
    // stop a sanitizer's or an engine's large reservations on a healthy file.
    QElapsedTimer clock;
    clock.start();
    bool finished = false;
    TUsage used;
    while (!(finished = child.waitForFinished(50)) && clock.elapsed() < ProbeWaitSeconds * 1000) {
        used = UsageOf(child.processId());
        if (used.bytes > ProbeBytes || used.cpuMs > ProbeSeconds * 1000)
            break;
    }
    if (!finished) {
        child.kill();
        child.waitForFinished();
        if (used.bytes > ProbeBytes)
            error = QStringLiteral(
                        "%1 is damaged: reading its tables took more than %2 MB of memory.")
                        .arg(file)
                        .arg(ProbeBytes >> 20);
        else if (used.cpuMs > ProbeSeconds * 1000)
            error = QStringLiteral(
                        "%1 is damaged: reading its tables did not end within %2 seconds of work.")
                        .arg(file)
                        .arg(ProbeSeconds);
        else
            // Not the file's fault, so the next try reads it again.
            throw EDatabaseError(
                QStringLiteral("%1 cannot be read: reading its tables waited more than %2 "
                               "seconds without working; another program may hold the file.")
                    .arg(file)
                    .arg(ProbeWaitSeconds));
    } else if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        // The engine's own message when the probe could write it; a crash leaves none.
        const QByteArray out = child.readAllStandardOutput();
        error = child.exitStatus() == QProcess::NormalExit && out.startsWith("ERROR ")
            ? QString::fromUtf8(out.mid(6)).trimmed()
            : QStringLiteral("%1 is damaged: reading its tables ended the reader.").arg(file);
    }
    if (error.isEmpty()) {
        healthy.insert(path);
        return;
    }
    damaged.insert(version, error);
    throw EDatabaseError(error);
}

int RunCatalogProbe(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: orvane-probe DRIVER USER [NAME=value...]\n", stderr);
        return 2;
    }
    g_inProbe = true;
    try {
        TDriver *driver = FindDriver(args[0]);
        if (!driver)
            throw EDatabaseError(QStringLiteral("Unknown driver %1").arg(args[0]));
        const std::unique_ptr<TConnection> c = driver->Connect(args.mid(2), args[1], QString());
        for (const QString &table : c->TableNames()) {
            c->FieldDefs(table);
            c->IndexDefs(table);
        }
    } catch (const EDatabaseError &e) {
        std::fprintf(stdout, "ERROR %s\n", e.Message().toUtf8().constData());
        return 1;
    }
    return 0;
}
