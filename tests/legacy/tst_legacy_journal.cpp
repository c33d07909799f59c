#include "LegacyTestUtil.h"
#include "TableJournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>

using namespace LegacyTest;

// Paradox and dBASE rows written over their records under a journal: what a change, a
// journal left behind and a writer killed at any moment leave in the files.

namespace {

constexpr int TableRows = 300;
const char *const WriterVariable = "ORVANE_JOURNAL_WRITER";

TParams ParamsFor(const QString &folder, const char *kind)
{
    return {QStringLiteral("DEFAULT DRIVER=") + QLatin1String(kind),
            QStringLiteral("PATH=") + folder + u'/'};
}

// Table t (id, gen, name) of TableRows rows, all of generation 0.
QString MakeTable(TConnection &c, bool keyed)
{
    const QString create = keyed
        ? QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, gen INTEGER, name VARCHAR(20))")
        : QStringLiteral("CREATE TABLE t (id INTEGER, gen INTEGER, name VARCHAR(20))");
    QString error = Exec(c, create);
    if (error.isEmpty())
        error = Exec(c,
                     QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM "
                                    "n WHERE i < %1) INSERT INTO t SELECT i, 0, 'g0' FROM n")
                         .arg(TableRows));
    return error;
}

// The generation every row of t has; -1 when the rows disagree or some are missing.
int Generation(TConnection &c)
{
    const QList<QVariantList> rows = Rows(
        c, QStringLiteral("SELECT COUNT(*), MIN(gen), MAX(gen), SUM(name = 'g' || gen) FROM t"));
    const QVariantList &r = rows.value(0);
    if (r.size() != 4 || r[0].toInt() != TableRows || r[1] != r[2] || r[3].toInt() != TableRows)
        return -1;
    return r[1].toInt();
}

// The child the kill test starts: moves both tables to the next generation, over and over,
// the keyed one now and then through a key change that needs the whole file written.
int RunWriter(const QString &folder)
{
    auto paradox = Connect(QStringLiteral("STANDARD"), ParamsFor(folder + "/px", "PARADOX"));
    auto dbase = Connect(QStringLiteral("STANDARD"), ParamsFor(folder + "/dbf", "DBASE"));
    std::printf("ready\n");
    std::fflush(stdout);
    for (int round = 1;; ++round) {
        const QString next = QStringLiteral("gen = gen + 1, name = 'g' || (gen + 1)");
        const QString keyed = round % 5 == 0 ? next + QStringLiteral(", id = -id") : next;
        if (!Exec(*paradox, QStringLiteral("UPDATE t SET ") + keyed).isEmpty()
            || !Exec(*dbase, QStringLiteral("UPDATE t SET ") + next).isEmpty())
            return 2;
    }
}

ino_t Inode(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    // A change of rows that keep their places writes them over their records, in the same
    // file, and leaves no journal; a new row still makes a new file.
    void changesAreWrittenInPlace_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::newRow("Paradox") << "PARADOX"
                                 << "t.db";
        QTest::newRow("dBASE") << "DBASE"
                               << "t.dbf";
    }
    void changesAreWrittenInPlace()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QTemporaryDir dir;
        const TParams params = ParamsFor(dir.path(), qPrintable(kind));
        const QString path = dir.filePath(file);
        {
            auto c = Connect(QStringLiteral("STANDARD"), params);
            QCOMPARE(MakeTable(*c, kind == "PARADOX"), QString());
            const ino_t before = Inode(path);
            QCOMPARE(
                Exec(*c, QStringLiteral("UPDATE t SET name = 'changed', gen = 7 WHERE id = 150")),
                QString());
            QCOMPARE(Exec(*c, QStringLiteral("UPDATE t SET name = 'ü' WHERE id IN (1, 300)")),
                     QString());
            QCOMPARE(Inode(path), before);
            QVERIFY(!QFile::exists(path + "-journal"));
            // A value the field cannot hold is refused and the file stays as it was.
            const QByteArray hash = FileHash(path);
            QVERIFY(!Exec(*c,
                          QStringLiteral("UPDATE t SET name = 'far too long for twenty' "
                                         "WHERE id = 2"))
                         .isEmpty());
            QCOMPARE(FileHash(path), hash);
            QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO t VALUES (301, 1, 'new')")), QString());
            QVERIFY(Inode(path) != before);
            // Right after a whole new file, rows are again written in place, where it put them.
            const ino_t rewritten = Inode(path);
            QCOMPARE(Exec(*c, QStringLiteral("UPDATE t SET gen = 8 WHERE id = 299")), QString());
            QCOMPARE(Inode(path), rewritten);
        }
        auto fresh = Connect(QStringLiteral("STANDARD"), params);
        const QList<QVariantList> rows = Rows(
            *fresh,
            QStringLiteral("SELECT id, gen, name FROM t WHERE id IN (1, 2, 150, 299, 300, 301) "
                           "ORDER BY id"));
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows[0], (QVariantList {1, 0, QStringLiteral("ü")}));
        QCOMPARE(rows[1], (QVariantList {2, 0, QStringLiteral("g0")}));
        QCOMPARE(rows[2], (QVariantList {150, 7, QStringLiteral("changed")}));
        QCOMPARE(rows[3], (QVariantList {299, 8, QStringLiteral("g0")}));
        QCOMPARE(rows[4], (QVariantList {300, 0, QStringLiteral("ü")}));
        QCOMPARE(rows[5], (QVariantList {301, 1, QStringLiteral("new")}));
    }

    // A transaction rolled back, or a statement failing half-way, leaves the rows, their
    // keys and the file as they were.
    void rolledBackChangesLeaveTheRows()
    {
        QTemporaryDir dir;
        auto c = Connect(QStringLiteral("STANDARD"), ParamsFor(dir.path(), "PARADOX"));
        QCOMPARE(MakeTable(*c, true), QString());
        const QByteArray hash = FileHash(dir.filePath("t.db"));
        QCOMPARE(Exec(*c, QStringLiteral("BEGIN")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("UPDATE t SET gen = 1, name = 'g1' WHERE id < 100")),
                 QString());
        QCOMPARE(Exec(*c, QStringLiteral("DELETE FROM t WHERE id > 200")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO t VALUES (1000, 0, 'g0')")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("ROLLBACK")), QString());
        QCOMPARE(Generation(*c), 0);
        QCOMPARE(FileHash(dir.filePath("t.db")), hash);
        // Moving every key onto 150 collides once the first row got there.
        QVERIFY(!Exec(*c, QStringLiteral("UPDATE t SET id = 150, gen = 1")).isEmpty());
        QCOMPARE(Generation(*c), 0);
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO t VALUES (1000, 0, 'g0')")), QString());
        QVERIFY(!Exec(*c, QStringLiteral("INSERT INTO t VALUES (150, 0, 'g0')")).isEmpty());
        QCOMPARE(Exec(*c, QStringLiteral("DELETE FROM t WHERE id = 1000")), QString());
        QCOMPARE(Generation(*c), 0);
        QCOMPARE(Rows(*c, QStringLiteral("SELECT name FROM t WHERE id = 150")).value(0).value(0),
                 QVariant(QStringLiteral("g0")));
    }

    // A whole journal puts the saved bytes back when the table is next opened; one whose end
    // is missing was never followed by a write and only goes.
    void journalsLeftBehindAreHandledOnOpen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        {
            auto c = Connect(QStringLiteral("STANDARD"), ParamsFor(dir.path(), "DBASE"));
            QCOMPARE(MakeTable(*c, false), QString());
        }
        const QByteArray old = FileHash(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        {
            TInPlaceWrite write;
            write.Write(path, {{bytes.size() - 40, QByteArray(60, 'X')}});
            QVERIFY(FileHash(path) != old);
            // What a writer killed here leaves: the journal, and the file changed and longer.
            QFile::copy(path + "-journal", dir.filePath("saved"));
            write.Commit();
        }
        QVERIFY(QFile::rename(dir.filePath("saved"), path + "-journal"));
        QFile cut(dir.filePath("cut"));
        QVERIFY(QFile::copy(path + "-journal", cut.fileName()));
        QVERIFY(cut.resize(cut.size() - 3));
        {
            auto c = Connect(QStringLiteral("STANDARD"), ParamsFor(dir.path(), "DBASE"));
            QCOMPARE(Generation(*c), 0);
            QCOMPARE(FileHash(path), old);
            QVERIFY(!QFile::exists(path + "-journal"));
        }
        QVERIFY(QFile::rename(cut.fileName(), path + "-journal"));
        auto c = Connect(QStringLiteral("STANDARD"), ParamsFor(dir.path(), "DBASE"));
        QCOMPARE(Generation(*c), 0);
        QVERIFY(!QFile::exists(path + "-journal"));
        QCOMPARE(FileHash(path), old);
    }

    // A writer killed at any moment leaves every table whole, at the generation before its
    // last change or after it.
    void killedWritersLeaveTablesWhole()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("px") && QDir(dir.path()).mkpath("dbf"));
        const TParams px = ParamsFor(dir.path() + "/px", "PARADOX");
        const TParams dbf = ParamsFor(dir.path() + "/dbf", "DBASE");
        {
            auto p = Connect(QStringLiteral("STANDARD"), px);
            auto d = Connect(QStringLiteral("STANDARD"), dbf);
            QCOMPARE(MakeTable(*p, true), QString());
            QCOMPARE(MakeTable(*d, false), QString());
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(WriterVariable), dir.path());
        QRandomGenerator random(20261207);
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            qWarning("strace is missing: the writer is killed at random times only");
        int paradoxSeen = 0, dbaseSeen = 0, changed = 0;
        for (int kill = 0; kill < 200; ++kill) {
            QProcess writer;
            writer.setProcessEnvironment(env);
            // Every other kill lands at a chosen record write of the child's changes (strace
            // sends the signal as that write begins), the others after a random while.
            const bool atWrite = kill % 2 == 1 && !strace.isEmpty();
            if (atWrite)
                writer.start(strace,
                             {"-f", "-qq", "-o", "/dev/null", "-e", "trace=pwrite64", "-e",
                              QStringLiteral("inject=pwrite64:signal=SIGKILL:when=%1")
                                  .arg(random.bounded(1, 1500)),
                              QCoreApplication::applicationFilePath()});
            else
                writer.start(QCoreApplication::applicationFilePath(), QStringList());
            QVERIFY(writer.waitForStarted(20000));
            if (!atWrite) {
                QVERIFY(writer.waitForReadyRead(20000));
                QThread::usleep(random.bounded(2000u, 40000u));
                ::kill(pid_t(writer.processId()), SIGKILL);
            }
            QVERIFY(writer.waitForFinished(60000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit); // it never stops by itself

            auto p = Connect(QStringLiteral("STANDARD"), px);
            auto d = Connect(QStringLiteral("STANDARD"), dbf);
            const int paradox = Generation(*p);
            const int dbase = Generation(*d);
            QVERIFY2(paradox >= paradoxSeen, qPrintable(QString::number(kill)));
            QVERIFY2(dbase >= dbaseSeen, qPrintable(QString::number(kill)));
            changed += paradox > paradoxSeen || dbase > dbaseSeen;
            paradoxSeen = paradox;
            dbaseSeen = dbase;
        }
        QVERIFY(!QFile::exists(dir.path() + "/px/t.db-journal"));
        QVERIFY(!QFile::exists(dir.path() + "/dbf/t.dbf-journal"));
        QVERIFY(changed > 20); // the writer got far enough to be killed while writing
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(WriterVariable))
        return RunWriter(qEnvironmentVariable(WriterVariable));
    TestJournal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_legacy_journal.moc"
