// Tree logic without widgets: node texts and paths, command states, bookmarks, Goto Tree's
// path from script text, caret word moves, settings helpers and the file-type registration.
#include "Database.h"
#include "FileType.h"
#include "IniFile.h"
#include "Session.h"
#include "Settings.h"
#include "Table.h"
#include "TestSupport.h"
#include "TreeLogic.h"
#include "TreeReading.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestTreeLogic : public QObject
{
    Q_OBJECT
private slots:
    void nodeNamesAndPaths();
    void tableLevelNodes();
    void commandStatesPerKind();
    void gotoTreePathFromTheCaretLine();
    void pathPiecesMatchDottedNamesLongestFirst();
    void tableNamedAtTheCaret();
    void wordMovesStayOnTheLine();
    void firstStartFormatScripts();
    void bookmarksAndRememberedValues();
    void readStructureTriesDbfName();
    void lookupsFromProjectFile();
    void fileTypeWritesOnlyWhatIsMissing();
};

void TestTreeLogic::nodeNamesAndPaths()
{
    QCOMPARE(StripType("CUSTNO: INTEGER"), QString("CUSTNO"));
    QCOMPARE(StripType("NOCOLON"), QString());
    QCOMPARE(StripType("A: CHAR(3): x"), QString("A"));
    QCOMPARE(NodePath({{nkAlias, "DEMO"}, {nkTable, "ORDERS"}, {nkField, "CUSTNO: INTEGER"}}),
             QString("DEMO.ORDERS.CUSTNO"));
    QCOMPARE(NodePath({{nkAlias, "DEMO"},
                       {nkTable, "ORDERS"},
                       {nkField, "CUSTNO: INTEGER"},
                       {nkLink, "CUSTOMER.CUSTNO"}}),
             QString("DEMO.ORDERS.CUSTNO.->CUSTOMER.CUSTNO"));
    QCOMPARE(NodePath({{nkAlias, "A"},
                       {nkTable, "T"},
                       {nkPrimaryKey, PrimaryKeyText},
                       {nkPrimaryField, "ID: INTEGER"}}),
             QString("A.T.Primary key.ID"));
    QCOMPARE(NodePath({{nkAlias, "A"}}), QString("A"));
    QCOMPARE(FieldNodeText({"NAME", ftString, 30, false}, true), QString("NAME: VARCHAR(30)"));
    QCOMPARE(FieldNodeText({"NAME", ftString, 30, false}, false), QString("NAME: CHAR(30)"));
}

void TestTreeLogic::tableLevelNodes()
{
    const QList<TFieldDef> fields {{"ID", ftInteger, 0, true}, {"CUST", ftInteger, 0, false}};
    const QList<TNodeSpec> fieldNodes
        = FieldLevel(fields, {{"cust", "CUSTOMER.CUSTNO"}, {"ID", ""}}, true);
    QCOMPARE(fieldNodes.size(), 2);
    QCOMPARE(fieldNodes[0].text, QString("ID: INTEGER"));
    QVERIFY(fieldNodes[0].children.isEmpty()); // an empty lookup gives no link
    QCOMPARE(fieldNodes[1].children.size(), 1);
    QCOMPARE(fieldNodes[1].children[0].kind, int(nkLink));
    QCOMPARE(fieldNodes[1].children[0].text, QString("CUSTOMER.CUSTNO"));

    const QList<TNodeSpec> indexNodes
        = IndexLevel(fields, {{"PK", "ID", ixPrimary}, {"IX_B", "CUST;GONE", 0}}, true);
    QCOMPARE(indexNodes.size(), 2);
    QCOMPARE(indexNodes[0].kind, int(nkPrimaryKey));
    QCOMPARE(indexNodes[0].text, PrimaryKeyText);
    QCOMPARE(indexNodes[0].children[0].kind, int(nkPrimaryField));
    QCOMPARE(indexNodes[0].children[0].text, QString("ID: INTEGER"));
    QCOMPARE(indexNodes[1].kind, int(nkIndex));
    QCOMPARE(indexNodes[1].text, QString("IX_B"));
    QCOMPARE(indexNodes[1].children.size(), 2);
    QCOMPARE(indexNodes[1].children[0].kind, int(nkIndexField));
    QCOMPARE(indexNodes[1].children[0].text, QString("CUST: INTEGER"));
    QCOMPARE(indexNodes[1].children[1].text, QString("GONE")); // not a field: bare name
}

void TestTreeLogic::commandStatesPerKind()
{
    const TCommandStates alias = CommandStates(nkAlias);
    QCOMPARE(alias.dropCaption, QString("Delete Alias"));
    QCOMPARE(alias.addCaption, QString("Add"));
    QVERIFY(!alias.addEnabled && alias.scriptEnabled && !alias.tableOnly);

    const TCommandStates table = CommandStates(nkTable);
    QCOMPARE(table.templateCaption, QString("Template from Table"));
    QCOMPARE(table.addCaption + "/" + table.dropCaption, QString("Add Table/Drop Table"));
    QVERIFY(table.tableOnly && table.htmlVisible && table.scriptEnabled && table.addEnabled);
    QVERIFY(!table.linkVisible && !table.propsVisible);

    const TCommandStates field = CommandStates(nkField);
    QCOMPARE(field.addCaption + "/" + field.dropCaption, QString("Add Field/Drop Field"));
    QVERIFY(field.fieldItemsVisible && field.propsVisible && field.linkVisible);
    QVERIFY(!field.scriptEnabled && !field.tableOnly && !field.htmlVisible);
    QCOMPARE(field.templateCaption, QString("Template"));

    QCOMPARE(CommandStates(nkIndex).dropCaption, QString("Drop Index"));
    for (int kind : {nkPrimaryKey, nkPrimaryField, nkIndexField, nkLink}) {
        const TCommandStates s = CommandStates(kind);
        QCOMPARE(s.addCaption + "/" + s.dropCaption, QString("Add/Drop"));
        QVERIFY(s.addEnabled && !s.scriptEnabled && !s.fieldItemsVisible);
        QCOMPARE(s.linkVisible, kind == nkLink);
    }
}

static const QStringList Script {
    "/*", // 0
    "Alias:  demo2 */", // 1
    "CREATE TABLE ORDERS (", // 2
    "\tORDERNO INTEGER NOT NULL,", // 3
    "\tCUSTNO INTEGER,", // 4
    "\tPRIMARY KEY (ORDERNO)", // 5
    ");", // 6
    "", // 7
    "CREATE INDEX ORDERS_CUSTNO ON ORDERS", // 8
    "\tCUSTNO", // 9
    ";", // 10
};

void TestTreeLogic::gotoTreePathFromTheCaretLine()
{
    QCOMPARE(GotoTreePath(Script, 4, "DEMO"), QString("DEMO2.ORDERS.CUSTNO"));
    QCOMPARE(GotoTreePath(Script, 3, "DEMO"), QString("DEMO2.ORDERS.ORDERNO"));
    QCOMPARE(GotoTreePath(Script, 5, "DEMO"), QString("DEMO2.ORDERS.Primary key"));
    QCOMPARE(GotoTreePath(Script, 2, "DEMO"), QString("DEMO2.ORDERS"));
    QCOMPARE(GotoTreePath(Script, 8, "DEMO"), QString("DEMO2.ORDERS.ORDERS_CUST"));
    // Inside the index the caret line names the index field.
    QCOMPARE(GotoTreePath(Script, 9, "DEMO"), QString("DEMO2.ORDERS.ORDERS_CUST.CUSTNO"));
    // Tabs count as blanks and the phrase is found whatever its letter case.
    QCOMPARE(GotoTreePath({"create\ttable  t1 (", "  a_b1 int"}, 1, "X"), QString("X.t1.a_b1"));

    // Above every CREATE TABLE the scan starts at the first line and finds no table.
    QCOMPARE(GotoTreePath(Script, 0, "DEMO"), QString("DEMO"));
    QCOMPARE(GotoTreePath(Script, 1, "DEMO"), QString("DEMO"));
    QCOMPARE(GotoTreePath({"SELECT * FROM T;"}, 0, "DEMO"), QString("DEMO"));
    QCOMPARE(GotoTreePath({}, 0, "DEMO"), QString("DEMO"));
    QCOMPARE(GotoTreePath(Script, 99, "DEMO"), QString("DEMO2.ORDERS.ORDERS_CUST")); // clamped

    // A directive counts only once a comment end has been seen above the statement.
    QCOMPARE(GotoTreePath({"Alias:OTHER", "CREATE TABLE T (", "\tA INTEGER"}, 2, "DEMO"),
             QString("DEMO.T.A"));
    QCOMPARE(GotoTreePath({"/* alias : x */", "CREATE TABLE T ("}, 1, "DEMO"),
             QString("DEMO.T")); // "ALIAS" must be followed by its colon
    // Parts are cut to 11 characters; an empty part ends the path.
    QCOMPARE(GotoTreePath({"CREATE TABLE ABCDEFGHIJKLMNOP (", "\t"}, 1, "AVERYLONGALIASNAME"),
             QString("AVERYLONGAL.ABCDEFGHIJK"));
    QCOMPARE(GotoTreePath({"CREATE TABLE (", "\tA INTEGER"}, 1, "DEMO"), QString("DEMO"));
    QCOMPARE(PhrasePosition("xx create  table yy", "CREATE TABLE"), 16);
    QCOMPARE(PhrasePosition("TABLE CREATE", "CREATE TABLE"), -1);
    QCOMPARE(IdentifierAfter("  (12 _x9 y", 0), QString("x9"));
    QCOMPARE(IdentifierAfter("  (12 ", 0), QString());
}

void TestTreeLogic::pathPiecesMatchDottedNamesLongestFirst()
{
    const QList<TNodeStep> tables {{nkTable, "sales"},
                                   {nkTable, "sales.customers"},
                                   {nkTable, "sales.orders"},
                                   {nkTable, "sales.orders_2020"}};
    auto match = [&](const QList<TNodeStep> &level, const QStringList &pieces) {
        const TPathMatch m = MatchPathPieces(level, pieces);
        return qMakePair(m.node, m.pieces);
    };
    // A schema-qualified table takes both pieces, the field after it stays for the next level.
    QCOMPARE(match(tables, {"SALES", "ORDERS", "ID"}), qMakePair(2, 2));
    // A table named like the schema is taken only when nothing longer names a node.
    QCOMPARE(match(tables, {"SALES", "NOTHING"}), qMakePair(0, 1));
    QCOMPARE(match(tables, {"SALES", "ORD"}), qMakePair(2, 2));
    // An exact name beats a longer one it begins, also when that one sorts first.
    QCOMPARE(match({{nkTable, "ITEMS_OLD"}, {nkTable, "ITEMS"}}, {"ITEMS"}), qMakePair(1, 1));
    QCOMPARE(match(tables, {"SALES", "ORDERS"}), qMakePair(2, 2));
    QCOMPARE(match({{nkTable, "ORDERS"}}, {"ORD", "CUSTN"}), qMakePair(0, 1));
    // Field-like nodes match by bare name or by the text's beginning, links by "->" and target.
    const QList<TNodeStep> fields {
        {nkField, "CUSTNO2: INTEGER"}, {nkField, "CUSTNO: INTEGER"}, {nkLink, "CUSTOMER.CUSTNO"}};
    QCOMPARE(match(fields, {"CUSTNO"}), qMakePair(1, 1));
    QCOMPARE(match(fields, {"CUST"}), qMakePair(0, 1));
    QCOMPARE(match(fields, {"->CUSTOMER", "CUSTNO"}), qMakePair(2, 2));
    QCOMPARE(match(fields, {"NOSUCH"}), qMakePair(-1, 0));
    QCOMPARE(match({}, {"A"}), qMakePair(-1, 0));
}

void TestTreeLogic::tableNamedAtTheCaret()
{
    const QString line = "SELECT o.ID FROM \"sales\".\"orders\" o, ITEMS WHERE x = 1";
    QCOMPARE(NameAtCaret(line, line.indexOf("orders") + 2), QString("sales.orders"));
    QCOMPARE(NameAtCaret(line, line.indexOf("ITEMS")), QString("ITEMS"));
    QCOMPARE(NameAtCaret(line, line.indexOf("ITEMS") + 5), QString("ITEMS")); // just after
    QCOMPARE(NameAtCaret(line, line.indexOf("o.ID") + 3), QString("o.ID"));
    QCOMPARE(NameAtCaret(line, line.indexOf("= 1") + 1), QString());
    QCOMPARE(NameAtCaret("", 0), QString());

    const QStringList tables {"ITEMS", "sales.orders", "sales"};
    QCOMPARE(TableOfName("items", tables), QString("ITEMS"));
    QCOMPARE(TableOfName("SALES.ORDERS.ID", tables), QString("sales.orders"));
    QCOMPARE(TableOfName("sales.nothing", tables), QString("sales"));
    QCOMPARE(TableOfName("SELECT", tables), QString());
    QCOMPARE(TableOfName("", tables), QString());

    const QStringList script {
        "/*", "  ALIAS: other db", "*/", "SELECT * FROM ITEMS;", "/* ALIAS:THIRD */", "SELECT 1;"};
    QCOMPARE(ScriptAliasAt(script, 3, "DEMO"), QString("OTHERDB"));
    QCOMPARE(ScriptAliasAt(script, 5, "DEMO"), QString("THIRD"));
    QCOMPARE(ScriptAliasAt(script, 1, "DEMO"), QString("DEMO")); // inside the block: not yet
    QCOMPARE(ScriptAliasAt({}, 0, "DEMO"), QString("DEMO"));
}

void TestTreeLogic::wordMovesStayOnTheLine()
{
    const QString line = "SELECT  a1, b FROM";
    QCOMPARE(NextWordStart(line, 0), 8);
    QCOMPARE(NextWordStart(line, 8), 12);
    QCOMPARE(NextWordStart(line, 14), line.size());
    QCOMPARE(NextWordStart(line, line.size()), line.size());
    QCOMPARE(WordStartBefore(line, 10), 8); // inside a word: its start
    QCOMPARE(WordStartBefore(line, 8), 0); // at a word start: the previous word
    QCOMPARE(WordStartBefore(line, 0), 0);
    QCOMPARE(WordStartBefore("  x", 1), 0);
}

void TestTreeLogic::firstStartFormatScripts()
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("Orvane.ini"));
    QVERIFY(WriteFirstStartFormatScripts(ini));
    QVERIFY(ini.ReadBool(Ini::Config, Ini::Fsc));
    const QStringList on {"Alter Table", "Create Table", "Insert", "Select", "Update"};
    const QStringList off {"Create Index", "Delete", "Drop Index", "Drop Table"};
    for (const QString &key : on)
        QVERIFY2(ini.ReadBool(Ini::Fsc, key, false), qPrintable(key));
    for (const QString &key : off)
        QVERIFY2(!ini.ReadBool(Ini::Fsc, key, true), qPrintable(key));
    QCOMPARE(ini.ReadSection(Ini::Fsc).size(), 9);
    // A second start leaves a changed option alone.
    ini.WriteBool(Ini::Fsc, "Delete", true);
    QVERIFY(!WriteFirstStartFormatScripts(ini));
    QVERIFY(TIniFile(ini.FileName()).ReadBool(Ini::Fsc, "Delete", false));
}

void TestTreeLogic::bookmarksAndRememberedValues()
{
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("Orvane.ini"));
    ini.WriteString(Ini::Config, Ini::BookMarks, " A.B,,C, ");
    QCOMPARE(ReadBookmarks(ini), QStringList({"A.B", "", "C"}));
    WriteBookmarks(ini, {"X", "Y.Z"});
    QCOMPARE(TIniFile(ini.FileName()).ReadString(Ini::Config, Ini::BookMarks), QString("X,Y.Z"));
    QStringList list;
    for (int i = 1; i <= 16; ++i)
        list = AddBookmark(list, QString("DEMO.T%1").arg(i));
    QCOMPARE(list.size(), MaxBookmarks);
    QCOMPARE(list.first(), QString("DEMO.T16"));
    QCOMPARE(list.last(), QString("DEMO.T2")); // the oldest fell off
    QCOMPARE(AddBookmark(list, "DEMO.T9"), list); // an existing path is not moved

    QStringList values;
    SetRememberedValue(values, "TableName", "ORDERS");
    SetRememberedValue(values, "Find", "DEMO.X=1");
    SetRememberedValue(values, "tablename", "ITEMS");
    QCOMPARE(values.size(), 2);
    QCOMPARE(RememberedValue(values, "TableName"), QString("ITEMS"));
    QCOMPARE(RememberedValue(values, "Find"), QString("DEMO.X=1"));
    QCOMPARE(RememberedValue(values, "Missing"), QString());
    QCOMPARE(ScriptSection("/tmp/dir.x/My.Script.sql"), QString("MY.SCRIPT"));
}

void TestTreeLogic::readStructureTriesDbfName()
{
    QTemporaryDir dir;
    TSession session(dir.filePath("aliases.ini"));
    QFile(dir.filePath("dbf.sqlite")).open(QIODevice::WriteOnly); // SQLite needs the file
    session.AddAlias("SHELL_DBF", "SQLITE", {"DATABASE NAME=" + dir.filePath("dbf.sqlite")},
                     TSession::TPersistence::SessionOnly);
    session.OpenDatabase("SHELL_DBF")
        .Connection()
        .Exec("CREATE TABLE \"PEOPLE.dbf\" (NAME VARCHAR(20), AGE INTEGER)");
    TTable table(&session);
    table.DatabaseName = "SHELL_DBF";
    QVERIFY(ReadStructure(table, "PEOPLE"));
    QCOMPARE(table.TableName, QString("PEOPLE.dbf"));
    QCOMPARE(table.FieldDefs.size(), 2);
    QCOMPARE(table.FieldDefs[1].Name, QString("AGE"));
    // A name that fails also with ".dbf" leaves the table without fields, quietly.
    QVERIFY(!ReadStructure(table, "NOSUCH"));
    QVERIFY(table.FieldDefs.isEmpty());
    QCOMPARE(table.TableName, QString("NOSUCH"));
    QVERIFY(!ReadStructure(table, "gone.DBF"));
    QCOMPARE(table.TableName, QString("gone.DBF")); // no second ".dbf" appended

    // A listed table that cannot be read is not swapped for another one named with ".dbf".
    TConnection &c = session.OpenDatabase("SHELL_DBF").Connection();
    c.Exec("CREATE TABLE base (x INTEGER)");
    c.Exec("CREATE VIEW broken AS SELECT x FROM base");
    c.Exec("DROP TABLE base");
    c.Exec("CREATE TABLE \"broken.dbf\" (OTHER INTEGER)");
    QVERIFY(!ReadStructure(table, "broken"));
    QCOMPARE(table.TableName, QString("broken"));
    QVERIFY(table.FieldDefs.isEmpty());
}

void TestTreeLogic::lookupsFromProjectFile()
{
    const QString file = ProjectFileName("SHELL_LK", "ORDERS");
    QVERIFY(file.endsWith("/Orvane/Projects/SHELL_LK/ORDERS.orv"));
    QVERIFY(ReadLookups("SHELL_LK", "ORDERS", {"CUSTNO"}).isEmpty()); // no file yet
    TIniFile project(file);
    project.WriteString("CUSTNO", "Lookup", "CUSTOMER.CUSTNO");
    project.WriteString("EMPNO", "Title", "Employee");
    const auto lookups = ReadLookups("SHELL_LK", "ORDERS", {"ORDERNO", "CUSTNO", "EMPNO"});
    QCOMPARE(lookups.size(), 1);
    QCOMPARE(lookups[0].first, QString("CUSTNO"));
    QCOMPARE(lookups[0].second, QString("CUSTOMER.CUSTNO"));
    QFile::remove(file);
}

void TestTreeLogic::fileTypeWritesOnlyWhatIsMissing()
{
    QTemporaryDir dir;
    TFileTypeFolders dirs {dir.filePath("data"), dir.filePath("config"), {}, {}};
    const QString program = "/opt/my \"tools\"/orvane";
    TFileTypeResult first = RegisterScriptFileType(program, dirs);
    QVERIFY(first.desktopEntryWritten && first.associationWritten);
    QCOMPARE(ScriptFileTypeOwner(dirs), DesktopFileName);
    QFile desktop(dir.filePath("data/applications/orvane.desktop"));
    QVERIFY(desktop.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(desktop.readAll());
    QVERIFY2(entry.contains("Exec=\"/opt/my \\\\\"tools\\\\\"/orvane\" %f\n"), qPrintable(entry));
    QVERIFY(entry.contains("MimeType=application/sql;"));
    desktop.close();

    // Nothing is written twice, and another program's association is never replaced.
    const TFileTypeResult second = RegisterScriptFileType(program, dirs);
    QVERIFY(!second.desktopEntryWritten && !second.associationWritten);
    QTemporaryDir other;
    TFileTypeFolders taken {
        other.filePath("data"), other.filePath("config"), {other.filePath("etc")}, {}};
    TIniFile(other.filePath("etc/mimeapps.list"))
        .WriteString("Default Applications", ScriptMimeType, "editor.desktop;");
    const TFileTypeResult kept = RegisterScriptFileType(program, taken);
    QVERIFY(kept.desktopEntryWritten);
    QVERIFY(!kept.associationWritten);
    QCOMPARE(ScriptFileTypeOwner(taken), QString("editor.desktop"));
    QVERIFY(!QFile::exists(other.filePath("config/mimeapps.list")));

    // An editor that only lists text/x-sql among its types holds the association as well,
    // as does a default named for text/x-sql.
    QTemporaryDir listed;
    TFileTypeFolders byEntry {
        listed.filePath("data"), listed.filePath("config"), {}, {listed.filePath("usr")}};
    QDir().mkpath(listed.filePath("usr/applications"));
    TIniFile(listed.filePath("usr/applications/sqleditor.desktop"))
        .WriteString("Desktop Entry", "MimeType", "text/plain;text/x-sql;");
    QVERIFY(!RegisterScriptFileType(program, byEntry).associationWritten);
    QCOMPARE(ScriptFileTypeOwner(byEntry), QString("sqleditor.desktop"));
    QTemporaryDir named;
    TFileTypeFolders byDefault {named.filePath("data"), named.filePath("config"), {}, {}};
    TIniFile(named.filePath("config/mimeapps.list"))
        .WriteString("Default Applications", "text/x-sql", "sqleditor.desktop");
    QVERIFY(!RegisterScriptFileType(program, byDefault).associationWritten);
    QCOMPARE(ScriptFileTypeOwner(byDefault), QString("sqleditor.desktop"));
}

ORVANE_TEST_MAIN_WITH_HOME(TestTreeLogic, QCoreApplication)

#include "test_tree_logic.moc"
