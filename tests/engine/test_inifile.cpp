#include "EngineError.h"
#include "IniFile.h"
#include "Session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

class TestIniFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString &name) const { return m_dir.filePath(name); }
    static QByteArray Read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void Write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

private slots:
    void missingFileReadsDefaultsAndFirstWriteCreatesIt()
    {
        const QString path = Path(QStringLiteral("sub/dir/new.ini"));
        TIniFile ini(path);
        QCOMPARE(ini.ReadString("Config", "Left", "17"), QString("17"));
        QCOMPARE(ini.ReadInteger("Config", "Top", 12), 12);
        QCOMPARE(ini.ReadBool("Options", "Alias", true), true);
        QVERIFY(!QFile::exists(path));
        ini.WriteBool("Options", "Alias", false);
        QVERIFY(QFile::exists(path));
        QCOMPARE(TIniFile(path).ReadBool("Options", "Alias", true), false);
    }

    void roundTripKeepsValuesOrderAndCase()
    {
        const QString path = Path(QStringLiteral("round.ini"));
        {
            TIniFile ini(path);
            ini.WriteString("Config", "InitialDir", " /home/x y ");
            ini.WriteInteger("Config", "TreeWidth", 185);
            ini.WriteBool("Options", "Varchar", true);
            ini.WriteString("Config", "Bookmark0", "DEMO.CUSTOMER=x");
            ini.WriteString("Q_Table", "Left", "-5");
        }
        TIniFile again(path);
        QCOMPARE(again.ReadString("config", "initialdir"), QString(" /home/x y "));
        QCOMPARE(again.ReadInteger("Config", "TreeWidth"), 185);
        QCOMPARE(again.ReadInteger("Q_Table", "Left"), -5);
        QCOMPARE(again.ReadString("Config", "Bookmark0"), QString("DEMO.CUSTOMER=x"));
        QVERIFY(Read(path).contains("\nVarchar=1\n")); // booleans are stored as "1"/"0"
        QCOMPARE(again.ReadSections(), QStringList({"Config", "Options", "Q_Table"}));
        QCOMPARE(again.ReadSection("Config"),
                 QStringList({"InitialDir", "TreeWidth", "Bookmark0"}));

        again.WriteString("CONFIG", "TREEWIDTH", "200"); // replaces, does not duplicate
        QCOMPARE(TIniFile(path).ReadSection("Config").size(), 3);
        QCOMPARE(TIniFile(path).ReadInteger("Config", "TreeWidth"), 200);

        again.EraseSection("options");
        QCOMPARE(TIniFile(path).ReadSections(), QStringList({"Config", "Q_Table"}));
        QCOMPARE(again.ReadString("Options", "Varchar", "gone"), QString("gone"));
        again.WriteString("Options", "Varchar", "0"); // the section comes back, found at once
        QCOMPARE(again.ReadString("OPTIONS", "Varchar"), QString("0"));
        again.WriteString("Config", "Multi", "a\nb");
        QCOMPARE(TIniFile(path).ReadString("Config", "Multi"), QString("a b"));
    }

    void malformedAndCommentLinesSurviveARewrite()
    {
        const QString path = Path(QStringLiteral("odd.ini"));
        Write(path,
              "; made by hand\n[Config]\nnot a pair\n=novalue\nLeft=3\n# note\n[Other]\nk=v\n");
        TIniFile ini(path);
        QCOMPARE(ini.ReadSection("Config"), QStringList({"Left"}));
        QCOMPARE(ini.ReadInteger("Config", "Left"), 3);
        ini.WriteInteger("Config", "Left", 4);
        const QByteArray text = Read(path);
        QVERIFY(
            text.startsWith("; made by hand\n[Config]\nnot a pair\n=novalue\nLeft=4\n# note\n"));
        QVERIFY(text.contains("[Other]\nk=v\n"));
    }

    void byteOrderMarkLineEndsAndRepeatedSections()
    {
        // As editors on other systems save it: a byte order mark, CR LF, a section twice.
        const QString path = Path(QStringLiteral("crlf.ini"));
        Write(path, "\xEF\xBB\xBF[Field]\r\nLookup=A.T.X\r\n[FIELD]\r\nLookup=B.T.Y\r\n");
        const TIniFile ini(path);
        QCOMPARE(ini.ReadSections(), QStringList({"Field", "FIELD"}));
        // The first one counts, whether the sections are looked through or the index is
        // made after a few lookups.
        for (int lookup = 0; lookup < 10; ++lookup)
            QCOMPARE(ini.ReadString("field", "Lookup"), QString("A.T.X"));
        // Carriage returns anywhere go, as text mode drops them; text held in memory reads
        // as the same bytes in a file do.
        const QByteArray lone = "[a]\r\rk=v\r\r\r\n[b\r]\nx=\r1\r\n\r";
        Write(path, lone);
        QCOMPARE(TIniFile(path).Text(), QByteArray("[a]k=v\n[b]\nx=1\n"));
        QCOMPARE(TIniFile::FromText(lone).Text(), TIniFile(path).Text());

        // Keys written into and removed from a section that has others after it, and a
        // name given twice erased: every other section keeps its lines.
        TIniFile edits = TIniFile::FromText("[a]\nk=1\nj=2\n[b]\nx=1\n[A]\nk=3\n[c]\ny=1\n");
        edits.WriteString("A", "new", "n");
        edits.DeleteKey("a", "k");
        QCOMPARE(edits.Text(), QByteArray("[a]\nj=2\nnew=n\n[b]\nx=1\n[A]\nk=3\n[c]\ny=1\n"));
        edits.EraseSection("a");
        QCOMPARE(edits.Text(), QByteArray("[b]\nx=1\n[c]\ny=1\n"));
        QCOMPARE(edits.ReadString("C", "Y"), QString("1"));

        // Field names of any script match in any letter case, letters beyond the BMP too
        // (U+10400 folds to U+10428).
        Write(path, "[\xC3\x84rger]\nk=1\n[\xF0\x90\x90\x80x]\nk=2\n");
        const TIniFile names(path);
        for (int round = 0; round < 4; ++round) {
            QCOMPARE(names.ReadString(QString::fromUtf8("\xC3\xA4RGER"), "k"), QString("1"));
            QCOMPARE(names.ReadString(QString::fromUtf8("\xF0\x90\x90\xA8X"), "k"), QString("2"));
            QCOMPARE(names.ReadString(QString::fromUtf8("\xF0\x90\x90\xA8"), "k", "none"),
                     QString("none"));
        }
    }

    void writesReplaceTheFileInsteadOfRewritingItInPlace()
    {
        // A second name for the same file keeps seeing the old content after a write:
        // the new content went to a new file that was renamed over the old one.
        const QString path = Path(QStringLiteral("atomic.ini"));
        const QString second = Path(QStringLiteral("atomic-second-name.ini"));
        Write(path, "[Config]\nLeft=1\n");
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(second).constData()),
                 0);
        TIniFile ini(path);
        ini.WriteInteger("Config", "Left", 2);
        QCOMPARE(Read(second), QByteArray("[Config]\nLeft=1\n"));
        QCOMPARE(Read(path), QByteArray("[Config]\nLeft=2\n"));
    }

    void unwritableLocationRaisesAndKeepsNothingHalfWritten()
    {
        const QString blocker = Path(QStringLiteral("blocker"));
        Write(blocker, "I am a file, not a folder");
        TIniFile ini(blocker + QStringLiteral("/settings.ini"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ini.WriteString("Config", "Left", "1"));
        QCOMPARE(Read(blocker), QByteArray("I am a file, not a folder"));

        // A settings path taken by a folder reads as defaults and refuses every write.
        const QString folder = Path(QStringLiteral("taken.ini"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/inside")));
        TIniFile taken(folder);
        QCOMPARE(taken.ReadInteger("Config", "Left", 17), 17);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, taken.WriteInteger("Config", "Left", 1));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, taken.EraseSection("Config"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, taken.UpdateFile());
        QVERIFY(QFileInfo(folder + QStringLiteral("/inside")).isDir());
        QVERIFY(!QFile::exists(folder + QStringLiteral(".lock")));
    }

    void aWriteChangesOnlyItsKeyInTheFileAsItIsNow()
    {
        const QString path = Path(QStringLiteral("shared.ini"));
        Write(path, "[Config]\nLeft=1\n[Old]\nx=1\n");
        TIniFile first(path); // both copies read the file at start
        TIniFile second(path);
        second.WriteInteger("Config", "Left", 5);
        second.WriteString("Second", "Only", "b");
        first.WriteInteger("Config", "Top", 7);
        first.EraseSection("Old");
        second.DeleteKey("Second", "Missing"); // changes nothing, takes nothing back
        const TIniFile now(path);
        QCOMPARE(now.ReadInteger("Config", "Left"), 5);
        QCOMPARE(now.ReadInteger("Config", "Top"), 7);
        QCOMPARE(now.ReadString("Second", "Only"), QString("b"));
        QVERIFY(!now.SectionExists("Old"));
        QCOMPARE(first.ReadInteger("Config", "Left"), 5); // a write re-reads the file
        QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));

        // An update sees the file as it is now: a list extended by the other copy is
        // extended again, not replaced by the stale one.
        second.WriteString("Config", "List", "a,b");
        first.Update([&] {
            first.WriteString("Config", "List", first.ReadString("Config", "List") + ",c");
            first.WriteString("Config", "Count", "3");
        });
        QCOMPARE(TIniFile(path).ReadString("Config", "List"), QString("a,b,c"));
        QCOMPARE(TIniFile(path).ReadInteger("Config", "Count"), 3);
    }

    void twoRunningCopiesKeepEachOthersKeysAndAliases()
    {
        const QString ini = Path(QStringLiteral("copies/Orvane.ini"));
        const QString config = Path(QStringLiteral("copies/aliases.ini"));
        const QString go = Path(QStringLiteral("copies/go"));
        TSession(config).SaveConfigFile(); // the first start is over before the copies run
        const QStringList before = TSession(config).GetAliasNames();
        constexpr int Keys = 120, Aliases = 25;
        struct Copy
        {
            QStringList args;
            std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
        };
        std::vector<Copy> copies;
        for (const char *prefix : {"A", "B"}) {
            copies.push_back(
                {{"ini", ini, go, prefix + QStringLiteral("Key"), QString::number(Keys)}});
            copies.push_back({{"alias", config, go, prefix + QStringLiteral("ALIAS"),
                               QString::number(Aliases)}});
        }
        for (Copy &c : copies) {
            c.process->start(QStringLiteral(INI_WRITER), c.args);
            QVERIFY(c.process->waitForStarted());
        }
        for (Copy &c : copies) // every copy has read its files before any writes
            QVERIFY(c.process->waitForReadyRead(60000));
        Write(go, "go");
        for (Copy &c : copies) {
            QVERIFY(c.process->waitForFinished(120000));
            QVERIFY2(c.process->exitCode() == 0, c.process->readAllStandardError().constData());
        }
        const TIniFile result(ini);
        QCOMPARE(result.ReadSection("Keys").size(), 2 * Keys);
        for (int i = 0; i < Keys; ++i) {
            QCOMPARE(result.ReadInteger("Keys", "AKey" + QString::number(i), -1), i);
            QCOMPARE(result.ReadInteger("Keys", "BKey" + QString::number(i), -1), i);
        }
        const QStringList names = TSession(config).GetAliasNames();
        QCOMPARE(names.size(), before.size() + 2 * Aliases);
        for (int i = 0; i < Aliases; ++i) {
            QVERIFY(names.contains("AALIAS" + QString::number(i)));
            QVERIFY(names.contains("BALIAS" + QString::number(i)));
        }
    }

    void aLockLeftByAKilledWriterKeepsNoOneOut()
    {
        // A writer killed while it holds the lock, and the empty lock file one killed
        // while making it leaves: the next write neither waits out the ten seconds it
        // gives a live holder nor fails, and takes the leftover away.
        const QString path = Path(QStringLiteral("killed/Orvane.ini"));
        QProcess holder;
        holder.start(QStringLiteral(INI_WRITER), {"hold", path});
        QVERIFY(holder.waitForReadyRead(60000));
        QCOMPARE(holder.readAll(), QByteArray("holding\n"));
        QVERIFY(QFile::exists(path + QStringLiteral(".lock")));
        holder.kill();
        QVERIFY(holder.waitForFinished(60000));
        for (const char *leftover : {"", "1"}) {
            if (*leftover)
                Write(path + QStringLiteral(".lock"), QByteArray());
            QElapsedTimer took;
            took.start();
            TIniFile(path).WriteString("Config", "After", leftover);
            QVERIFY2(took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
            QCOMPARE(TIniFile(path).ReadString("Config", "After", "none"), QString(leftover));
            QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));
        }
    }

    void savingAliasesKeepsThoseAnotherCopySaved()
    {
        const QString config = Path(QStringLiteral("aliases/aliases.ini"));
        TSession(config).SaveConfigFile();
        TSession first(config);
        TSession second(config);
        first.AddAlias("FIRST", "SQLITE", {"DATABASE NAME=/a.sqlite"});
        first.SaveConfigFile();
        second.AddAlias("SECOND", "SQLITE", {"DATABASE NAME=/b.sqlite"});
        second.AddAlias("TEMP", "SQLITE", {"DATABASE NAME=/t.sqlite"},
                        TSession::TPersistence::SessionOnly);
        second.SaveConfigFile();
        QCOMPARE(TSession(config).GetAliasNames(), QStringList({"DEMO", "FIRST", "SECOND"}));
        first.DeleteAlias("DEMO");
        first.SaveConfigFile();
        QCOMPARE(TSession(config).GetAliasNames(), QStringList({"FIRST", "SECOND"}));
        QCOMPARE(TSession(config).GetAliasParams("SECOND"),
                 QStringList({"DATABASE NAME=/b.sqlite"}));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
