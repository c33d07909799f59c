#include "EngineError.h"
#include "IniFile.h"

#include <QFile>
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
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
