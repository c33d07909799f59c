#include "FormatScript.h"
#include "IniFile.h"
#include "Paths.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QTest>

// Format scripts filled from a table's structure, and the files they are kept in.
class TestFormatScript : public QObject
{
    Q_OBJECT
private slots:
    void defaultFormatOverOneTable();
    void linesThatAreNotRepeated();
    void numberedTagsAndIndexes();
    void filesNamesAndInsight();
};

namespace {

TFieldDef F(const QString &name, TFieldType type, int size = 0)
{
    return {name, type, size, false};
}

TIndexDef I(const QString &name, const QString &fields, unsigned options = 0)
{
    return {name, fields, options};
}

} // namespace

void TestFormatScript::defaultFormatOverOneTable()
{
    const QList<TFieldDef> fields {F("ID", ftInteger), F("NAME", ftString, 30)};
    const QList<TIndexDef> indexes {I("", "ID", ixPrimary), I("BYNAME", "NAME")};
    QCOMPARE(ApplyFormat(DefaultFormat(), true, "CUST", fields, indexes),
             QStringList({"CREATE TABLE CUST (", "\tID INTEGER,", "\tNAME CHAR(30)", ");",
                          "CREATE INDEX BYNAME ON CUST (NAME);"}));
    // Without commas, and a table with neither fields nor indexes keeps only its own lines.
    QCOMPARE(ApplyFormat(DefaultFormat(), false, "CUST", fields, {}),
             QStringList({"CREATE TABLE CUST (", "\tID INTEGER", "\tNAME CHAR(30)", ");"}));
    QCOMPARE(ApplyFormat(DefaultFormat(), true, "EMPTY", {}, {}),
             QStringList({"CREATE TABLE EMPTY (", ");"}));
}

void TestFormatScript::linesThatAreNotRepeated()
{
    const QList<TFieldDef> fields {F("A", ftInteger), F("B", ftDate)};
    const QList<TIndexDef> indexes {I("IA", "A")};
    // A type or index field tag alone repeats nothing and stays; a line with a field and an
    // index tag is a field line whose index tag stays; tags match in any letter case.
    QCOMPARE(ApplyFormat({"-- <FieldType> of <tablename>", "<IndexField> alone",
                          "<fieldname>/<INDEXNAME>", "<IndexName>:<indexfield>"},
                         true, "T", fields, indexes),
             QStringList({"-- <FieldType> of T", "<IndexField> alone", "A/<INDEXNAME>,",
                          "B/<INDEXNAME>", "IA:A"}));
    // A name that reads like a tag is written as it stands, never filled again.
    QCOMPARE(ApplyFormat({"<TableName>.<FieldName>"}, false, "<FIELDNAME0>", fields, {}),
             QStringList({"<FIELDNAME0>.A", "<FIELDNAME0>.B"}));
}

void TestFormatScript::numberedTagsAndIndexes()
{
    // A composite primary key: it writes no index line but counts in the numbers after it.
    const QList<TFieldDef> fields {F("ORDERNO", ftInteger), F("ITEM", ftSmallint),
                                   F("QTY", ftFloat)};
    const QList<TIndexDef> indexes {I("", "ORDERNO;ITEM", ixPrimary), I("BYQTY", "QTY;ITEM"),
                                    I("BYITEM", "ITEM", ixUnique)};
    QCOMPARE(ExpandFormat({"<IndexName> (<IndexField>)"}, true, fields, indexes),
             QStringList({"<INDEXNAME1> (<INDEXFIELD1>)", "<INDEXNAME2> (<INDEXFIELD2>)"}));
    // Numbered tags the user wrote are filled too; one past the last field or index stays.
    QCOMPARE(ApplyFormat({"PRIMARY KEY (<IndexField0>) <FieldName2>:<FieldType2>",
                          "<FieldName3> <IndexName9> <FIELDNAME1x>"},
                         true, "ORDERS", fields, indexes),
             QStringList({"PRIMARY KEY (ORDERNO,ITEM) QTY:FLOAT",
                          "<FieldName3> <IndexName9> <FIELDNAME1x>"}));
}

void TestFormatScript::filesNamesAndInsight()
{
    QDir(OrvaneDataFolder()).removeRecursively();
    QVERIFY(FormatNames().isEmpty());
    // Characters a name may not hold are dropped; whatever is left stays inside the folder.
    QCOMPARE(CleanFormatName("a/b:c*<d>.e|\"f\"?"), QString("abcdef"));
    for (const QString &name :
         {QString("Create Table"), QString("..\\..\\up"), QString("b/../x")}) {
        QCOMPARE(
            SaveFormat(name, {"CREATE TABLE <TableName> (", "\t<FieldName> <FieldType>", ");"}),
            QString());
        QCOMPARE(QFileInfo(FormatFileName(name)).absolutePath() + '/', OrvaneDataFolder());
    }
    QCOMPARE(FormatNames(), QStringList({"..\\..\\up", "b/../x", "Create Table"}));
    QFile file(FormatFileName("Create Table"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("CREATE TABLE <TableName> (\r\n\t<FieldName> <FieldType>\r\n);\r\n"));
    QStringList lines;
    QVERIFY(LoadFormat("Create Table", lines));
    QCOMPARE(lines.size(), 3);
    QVERIFY(!LoadFormat("Missing", lines));
    QVERIFY(DeleteFormat("b/../x"));
    QCOMPARE(FormatNames().size(), 2);

    // The first key holding the word decides; a key without its file expands nothing.
    TIniFile ini(QDir(OrvaneDataFolder()).filePath("settings.ini"));
    ini.WriteBool(Ini::Fsc, "Alter Table", true);
    ini.WriteBool(Ini::Fsc, "Create Index", false);
    ini.WriteBool(Ini::Fsc, "Create Table", true);
    QCOMPARE(InsightFormat(ini, "TABLE"), QString());
    QCOMPARE(InsightFormat(ini, "cre"), QString());
    QCOMPARE(InsightFormat(ini, "te ta"), QString("Create Table"));
    QCOMPARE(InsightFormat(ini, "none"), QString());
}

QTEST_GUILESS_MAIN(TestFormatScript)
#include "test_format_script.moc"
