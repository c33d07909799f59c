#include "EditorLogic.h"
#include "ScriptFile.h"
#include "TreeLogic.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Script file encodings and the editor commands' rules, without widgets.
class TestEditorLogic : public QObject
{
    Q_OBJECT

    static QByteArray RoundTrip(const QByteArray &bytes, TScriptFormat *format = nullptr)
    {
        TScriptLoad load = DecodeScript(bytes, "x.sql");
        if (!load.ok)
            return "failed: " + load.error.toUtf8();
        if (format)
            *format = load.format;
        return EncodeScript(load.text, load.format);
    }

private slots:
    void encodingsRoundTripByteForByte()
    {
        TScriptFormat f;
        const QByteArray latin1("SELECT 'caf\xe9', '\xa0x' FROM T;\r\nDROP TABLE \xc6;\r\n");
        QCOMPARE(RoundTrip(latin1, &f), latin1);
        QCOMPARE(f.encoding, TScriptEncoding::Latin1);
        QVERIFY(f.crlf);
        QCOMPARE(DecodeScript(latin1, "x").text,
                 QString("SELECT 'café', '\u00a0x' FROM T;\nDROP TABLE Æ;"));

        const QByteArray utf8("SELECT 'caf\xc3\xa9';\nSELECT 2;");
        QCOMPARE(RoundTrip(utf8, &f), utf8);
        QCOMPARE(f.encoding, TScriptEncoding::Utf8);
        QVERIFY(!f.finalBreak);

        const QByteArray bom("\xEF\xBB\xBFSELECT 1;\n");
        QCOMPARE(RoundTrip(bom, &f), bom);
        QCOMPARE(f.encoding, TScriptEncoding::Utf8Bom);
        QCOMPARE(DecodeScript(bom, "x").text, QString("SELECT 1;"));

        // A UTF-8 sequence cut off at the end is no UTF-8: the bytes are kept as Latin-1.
        const QByteArray cut("SELECT '\xc3");
        QCOMPARE(RoundTrip(cut, &f), cut);
        QCOMPARE(f.encoding, TScriptEncoding::Latin1);

        QCOMPARE(RoundTrip(""), QByteArray());
        QCOMPARE(RoundTrip("\n\n"), QByteArray("\n\n"));
    }

    void nulBytesAreRefused()
    {
        const TScriptLoad load = DecodeScript(QByteArray("SELECT\0 1", 9), "/tmp/bin.sql");
        QVERIFY(!load.ok);
        QVERIFY(load.error.contains("/tmp/bin.sql"));
        QVERIFY(load.error.contains("NUL"));
        QVERIFY(load.text.isEmpty());
    }

    void latin1ThatCannotHoldTextBecomesUtf8()
    {
        TScriptFormat f {TScriptEncoding::Latin1, false, true};
        bool lost = false;
        QCOMPARE(EncodeScript("caf\u00e9", f, &lost), QByteArray("caf\xe9\n"));
        QVERIFY(!lost);
        QCOMPARE(EncodeScript("5 \u20ac", f, &lost), QByteArray("5 \xe2\x82\xac\n"));
        QVERIFY(lost);
        QCOMPARE(f.encoding, TScriptEncoding::Utf8);
    }

    void savingReplacesWholeFileOrNothing()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("a.sql");
        TScriptFormat f;
        QCOMPARE(SaveScriptFile(file, "SELECT 1;", f), QString());
        QCOMPARE(LoadScriptFile(file).text, QString("SELECT 1;"));
        QCOMPARE(SaveScriptFile(file, "SELECT 2;\nSELECT 3;", f), QString());
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), QByteArray("SELECT 2;\nSELECT 3;\n"));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files) == QStringList {"a.sql"});

        const QString nowhere = dir.filePath("missing/b.sql");
        const QString error = SaveScriptFile(nowhere, "x", f);
        QVERIFY(error.startsWith("Cannot save file \"" + nowhere + "\""));
        QVERIFY(!QFile::exists(nowhere));
        QVERIFY(!LoadScriptFile(nowhere).ok);
        QVERIFY(LoadScriptFile(nowhere).error.contains(nowhere));
    }

    void caretStatusAndGotoTargets()
    {
        QCOMPARE(CaretStatusText(0, 0, 0), QString("Line:1, Char:0/0"));
        QCOMPARE(CaretStatusText(11, 4, 30), QString("Line:12, Char:4/30"));

        QCOMPARE(GotoLineTarget("+3", 5), std::optional<int>(8));
        QCOMPARE(GotoLineTarget("-3", 5), std::optional<int>(2));
        QCOMPARE(GotoLineTarget("7", 5), std::optional<int>(6));
        QCOMPARE(GotoLineTarget(" 7 ", 0), std::optional<int>(6));
        QCOMPARE(GotoLineTarget("-30", 5), std::optional<int>(-25));
        QCOMPARE(GotoLineTarget("x", 5), std::nullopt);
        QCOMPARE(GotoLineTarget("+", 5), std::nullopt);
        QCOMPARE(GotoLineTarget("", 5), std::nullopt);
        QCOMPARE(GotoLineTarget("3a", 5), std::nullopt);
        QCOMPARE(GotoLineTarget("+99999999999", 5), std::optional<int>(INT_MAX));

        QCOMPARE(ClampLine(-25, 10), 0);
        QCOMPARE(ClampLine(40, 10), 9);
        QCOMPARE(ClampLine(3, 0), 0);
    }

    void findProposalsByNodeKind()
    {
        QCOMPARE(FindCmdProposal(false, nkTable, "ORDERS", "last"), QString("CREATE TABLE ORDERS"));
        QCOMPARE(FindCmdProposal(false, nkField, "NAME: VARCHAR(30)", "last"),
                 QString("NAME VARCHAR(30)"));
        QCOMPARE(FindCmdProposal(false, nkIndex, "BY_NAME", "last"),
                 QString("CREATE INDEX BY_NAME"));
        QCOMPARE(FindCmdProposal(false, nkPrimaryField, "ID: INTEGER", "last"),
                 QString("PRIMARY KEY ID"));
        QCOMPARE(FindCmdProposal(false, nkAlias, "DEMO", "last"), QString("last"));
        QCOMPARE(FindCmdProposal(false, -1, "", "last"), QString("last"));
        QCOMPARE(FindCmdProposal(true, nkTable, "ORDERS", "last"), QString("last"));
    }

    void wordsInOrderCaseAndWholeWords()
    {
        const TFindCmdOptions plain;
        QVERIFY(FindCmdMatches("create   table ORDERS (", "CREATE TABLE ORDERS", plain));
        QVERIFY(!FindCmdMatches("ORDERS TABLE CREATE", "CREATE TABLE ORDERS", plain));
        QVERIFY(!FindCmdMatches("CREATE TABLE ORDERS", "CREATE  TABLE", plain));
        QVERIFY(!FindCmdMatches("CREATE TABLE ORDERS", " CREATE", plain));
        QVERIFY(!FindCmdMatches("CREATE TABLE ORDERS", "", plain));
        // Each word must follow the previous one: one occurrence cannot serve twice.
        QVERIFY(!FindCmdMatches("NAME", "NAME NAME", plain));
        QVERIFY(FindCmdMatches("NAME, NAME", "NAME NAME", plain));

        TFindCmdOptions cs;
        cs.caseSensitive = true;
        QVERIFY(!FindCmdMatches("create table X", "CREATE TABLE", cs));
        QVERIFY(FindCmdMatches("CREATE TABLE X", "CREATE TABLE", cs));

        TFindCmdOptions whole;
        whole.wholeWords = true;
        QVERIFY(!FindCmdMatches("SELECT IDX FROM T", "ID", whole));
        QVERIFY(FindCmdMatches("SELECT ID FROM T", "ID", whole));
    }

    void searchDirections()
    {
        const QStringList lines {"CREATE TABLE A (", "ID INTEGER", ");",
                                 "CREATE TABLE B (", "ID INTEGER", ");"};
        const TFindCmdOptions fwd;
        TFindCmdOptions back;
        back.backward = true;
        QCOMPARE(FindCmdLine(lines, "CREATE TABLE", 1, fwd), 3);
        QCOMPARE(FindCmdLine(lines, "CREATE TABLE", 3, fwd), 3); // the start line counts
        QCOMPARE(FindCmdLine(lines, "CREATE TABLE", 2, back), 0);
        QCOMPARE(FindCmdLine(lines, "CREATE TABLE B", 2, back), -1);
        QCOMPARE(FindCmdLine(lines, "CREATE TABLE", 40, fwd), 0);
        QCOMPARE(FindCmdLine(lines, "CREATE  TABLE", 0, fwd), -1);
        QCOMPARE(FindCmdLine({}, "X", 0, fwd), -1);
    }

    void helpPageCandidates()
    {
        const QStringList c = QuickTourCandidates("/home/u/.local/share/Orvane/", "/usr/bin");
        QCOMPARE(c,
                 QStringList({"/home/u/.local/share/Orvane/Help/index.htm",
                              "/usr/share/orvane/Help/index.htm", "/usr/bin/Help/index.htm"}));
        QCOMPARE(QuickTourMissingText("/opt/o/Help/index.htm"),
                 QString("File \"/opt/o/Help/index.htm\" not found."));
    }
};

QTEST_GUILESS_MAIN(TestEditorLogic)
#include "test_editor_logic.moc"
