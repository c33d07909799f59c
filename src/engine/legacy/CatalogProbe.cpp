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

namespace {

constexpr int ProbeSeconds = 5;
constexpr qint64 ProbeBytes = qint64(1) << 30;

bool g_inProbe = false;

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
    qint64 pages = 0;
    while (!(finished = child.waitForFinished(50)) && clock.elapsed() < ProbeSeconds * 1000) {
        QFile statm(QStringLiteral("/proc/%1/statm").arg(child.processId()));
        if (statm.open(QIODevice::ReadOnly))
            pages = statm.readAll().split(' ').value(1).toLongLong();
        if (pages * 4096 > ProbeBytes)
            break;
    }
    if (!finished) {
        child.kill();
        child.waitForFinished();
        error = pages * 4096 > ProbeBytes
            ? QStringLiteral("%1 is damaged: reading its tables took more than %2 MB of memory.")
                  .arg(file)
                  .arg(ProbeBytes >> 20)
            : QStringLiteral("%1 is damaged: reading its tables did not end within %2 seconds.")
                  .arg(file)
                  .arg(ProbeSeconds);
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
