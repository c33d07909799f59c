// Project files and the texts of the link commands, without widgets.
#include "IniFile.h"
#include "LinkLogic.h"
#include "SharedRoutines.h"
#include "SqlNames.h"
#include "TreeReading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

class TestLinkLogic : public QObject
{
    Q_OBJECT
private slots:
    void fieldWithoutSectionWritesAllSixKeys();
    void projectFilesStayInsideTheirAliasFolder();
    void primaryKeyPartAndLookupTables();
};

void TestLinkLogic::fieldWithoutSectionWritesAllSixKeys()
{
    const std::unique_ptr<TIniFile> project = OpenProjectFile("LOGIC", "ORDERS");
    QVERIFY(QFileInfo(ApplicationFolder() + "Projects/LOGIC").isDir()); // made on opening
    QVERIFY(!QFileInfo::exists(project->FileName())); // the file comes with the first write
    project->WriteString("CUSTNO", "Lookup", "LOGIC.CUSTOMER.CUSTNO");

    const TFieldProps empty = ReadFieldProps(*project, "EMPNO");
    QVERIFY(!empty.required);
    QVERIFY(empty.title.isEmpty() && empty.minValue.isEmpty() && empty.maxValue.isEmpty()
            && empty.lookup.isEmpty() && empty.resultField.isEmpty());
    WriteFieldProps(*project, "EMPNO", empty);
    const QStringList expected {
        "Required=0", "Title=", "MinValue=", "MaxValue=", "Lookup=", "ResultField="};
    QCOMPARE(TIniFile(project->FileName()).ReadSectionValues("EMPNO"), expected);

    TFieldProps set {true, "Employee", "1", "99", "LOGIC.EMPLOYEE.EMPNO", "LASTNAME"};
    WriteFieldProps(*project, "EMPNO", set);
    const TFieldProps back = ReadFieldProps(TIniFile(project->FileName()), "empno");
    QVERIFY(back.required);
    QCOMPARE(QStringList({back.title, back.minValue, back.maxValue, back.lookup, back.resultField}),
             QStringList({"Employee", "1", "99", "LOGIC.EMPLOYEE.EMPNO", "LASTNAME"}));
    // The other field's link is untouched, and the tree's reader sees both.
    const auto lookups = ReadLookups("LOGIC", "ORDERS", {"ORDERNO", "CUSTNO", "EMPNO"});
    QCOMPARE(lookups.size(), 2);
    QCOMPARE(lookups[0].second, QString("LOGIC.CUSTOMER.CUSTNO"));
    QCOMPARE(lookups[1].first, QString("EMPNO"));
}

void TestLinkLogic::projectFilesStayInsideTheirAliasFolder()
{
    const QString root = QDir(ApplicationFolder() + "Projects").canonicalPath();
    const QList<QPair<QString, QString>> names {
        {"SAFE", "../../x"}, {"SAFE", "<b>&\"x"}, {"SAFE", "sales.Order Lines"},
        {"SAFE", ".."},      {"../up", "T/U"},    {"..", "x"}};
    QStringList files;
    for (const auto &[alias, table] : names) {
        const std::unique_ptr<TIniFile> project = OpenProjectFile(alias, table);
        project->WriteString("F", "Lookup", alias + "." + table + ".F");
        const QFileInfo file(project->FileName());
        QVERIFY2(file.exists(), qPrintable(file.filePath()));
        // Directly inside the alias's own folder, which is directly inside Projects/.
        QCOMPARE(QFileInfo(file.absolutePath()).canonicalFilePath(),
                 root + "/" + SafeFileName(alias));
        QCOMPARE(NameFromSafeFileName(file.completeBaseName()), table);
        QCOMPARE(ReadLookups(alias, table, {"F"}).value(0).second, alias + "." + table + ".F");
        files << file.canonicalFilePath();
    }
    files.removeDuplicates();
    QCOMPARE(files.size(), names.size()); // no two names share a file
    // Ordinary names stay as they are, so that files written before still match.
    QVERIFY(
        ProjectFileName("DEMO", "Order Lines-2.x").endsWith("/Projects/DEMO/Order Lines-2.x.orv"));
}

void TestLinkLogic::primaryKeyPartAndLookupTables()
{
    QCOMPARE(CutPrimaryKeyPart("DEMO.CUSTOMER.Primary key.CUSTNO"),
             QString("DEMO.CUSTOMER.CUSTNO"));
    QCOMPARE(CutPrimaryKeyPart("pg.sales.Order Lines.PRIMARY KEY.id"),
             QString("pg.sales.Order Lines.id"));
    // Only the whole piece goes.
    QCOMPARE(CutPrimaryKeyPart("DEMO.PRIMARY KEYS.ID"), QString("DEMO.PRIMARY KEYS.ID"));
    QCOMPARE(CutPrimaryKeyPart("DEMO.ORDERS.CUSTNO"), QString("DEMO.ORDERS.CUSTNO"));

    QVERIFY(!LookupTableOf("DEMO").IsValid());
    QVERIFY(!LookupTableOf("DEMO.").IsValid());
    QVERIFY(!LookupTableOf(".ORDERS").IsValid());
    const TLookupTable two = LookupTableOf("DEMO.ORDERS");
    QCOMPARE(two.alias + "|" + two.table, QString("DEMO|ORDERS"));
    const TLookupTable three = LookupTableOf("DEMO.CUSTOMER.CUSTNO");
    QCOMPARE(three.alias + "|" + three.table, QString("DEMO|CUSTOMER"));
    const TLookupTable schema = LookupTableOf("PG.sales.Order Lines.id");
    QCOMPARE(schema.alias + "|" + schema.table, QString("PG|sales.Order Lines"));
}

QTEST_GUILESS_MAIN(TestLinkLogic)
#include "test_link_logic.moc"
