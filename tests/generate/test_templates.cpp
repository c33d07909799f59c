#include "Records.h"
#include "Templates.h"
#include "TreeLogic.h"

#include <QTest>

// Skeletons, drops, hints and record statements: the texts users see and run.
class TestTemplates : public QObject
{
    Q_OBJECT
private slots:
    void skeletonsByKind();
    void dropsAndFieldCommands();
    void hints();
    void updateAndInsert();
    void recordValuesAreLiterals();
};

void TestTemplates::skeletonsByKind()
{
    const QStringList all = AddSkeletonLines(nkField, true, false);
    QCOMPARE(all,
             QStringList({"CREATE TABLE <TableName> (", "\t<FieldName> <FieldType>,",
                          "\tPRIMARY KEY (<FieldName>)", ");", "ALTER TABLE <TableName>",
                          "\tADD <FieldName> <FieldType>", ";",
                          "CREATE INDEX <IndexName> ON <TableName> (<FieldName>);"}));
    QCOMPARE(AddSkeletonLines(nkTable, false, true).at(1),
             QString("\t<FieldName> <FieldType> NOT NULL,"));
    QCOMPARE(AddSkeletonLines(nkField, false, true), all.mid(4, 3));
    QCOMPARE(AddSkeletonLines(nkIndex, false, false), all.mid(7));
    for (int kind : {nkAlias, nkPrimaryKey, nkPrimaryField, nkIndexField, nkLink})
        QVERIFY(AddSkeletonLines(kind, false, true).isEmpty());
    QCOMPARE(QuerySkeletonLines().join('|'),
             QString("SELECT|\t<FieldName>|FROM|\t<TableName>|WHERE|\t<Where>|GROUP BY|"
                     "\t<FieldName>|ORDER BY|\t<FieldName>|;"));
}

void TestTemplates::dropsAndFieldCommands()
{
    const auto S = TSqlDialect::Sqlite;
    QCOMPARE(DropStatement(nkTable, "ORDERS", {}, S), QString("DROP TABLE ORDERS;"));
    QCOMPARE(DropStatement(nkField, "ORDERS", "CUSTNO", S),
             QString("ALTER TABLE ORDERS DROP CUSTNO;"));
    QCOMPARE(DropStatement(nkIndex, "ORDERS", "ORDERS_CUSTNO", S),
             QString("DROP INDEX ORDERS_CUSTNO;"));
    QCOMPARE(DropStatement(nkField, "Order Details", "Unit Price", S),
             QString("ALTER TABLE \"Order Details\" DROP \"Unit Price\";"));
    QCOMPARE(DropStatement(nkField, "sales.orders", "CustNo", TSqlDialect::Postgres),
             QString("ALTER TABLE sales.orders DROP \"CustNo\";"));
    for (int kind : {nkAlias, nkLink, nkPrimaryKey, nkPrimaryField, nkIndexField})
        QVERIFY(DropStatement(kind, "T", "F", S).isEmpty());

    QCOMPARE(IndexSkeletonLine("ORDERS", "CUSTNO", S),
             QString("CREATE INDEX <IndexName> ON ORDERS (CUSTNO);"));
    QCOMPARE(LookupTableLines("CUSTNO: INTEGER", true, S),
             QStringList({"CREATE TABLE CUSTNO (", "\t<FieldName>  INTEGER NOT NULL,",
                          "\tPRIMARY KEY (<FieldName>)", ");"}));
    QCOMPARE(LookupTableLines("Ship Via: CHAR(7)", false, S).first(),
             QString("CREATE TABLE \"Ship Via\" ("));
}

void TestTemplates::hints()
{
    QCOMPARE(GenerationHint("btnAdd", nkTable), QString("Add (Ctrl+Ins)\nCreate Table"));
    QCOMPARE(GenerationHint("btnAdd", nkAlias), QString("Add (Ctrl+Ins)"));
    QCOMPARE(GenerationHint("btnDrop", nkAlias), QString("Drop (Ctrl+Del)\nDelete Alias"));
    QCOMPARE(GenerationHint("btnDrop", nkField),
             QString("Drop (Ctrl+Del)\nAlter Table ... Drop ..."));
    QCOMPARE(GenerationHint("btnDrop", nkLink), QString("Drop (Ctrl+Del)"));
    QCOMPARE(GenerationHint("btnTemplate", nkTable), QString("Template\nusing table structure"));
    QCOMPARE(GenerationHint("btnTemplate", nkField), QString("Template"));
    QCOMPARE(GenerationHint("btnQuery", nkTable), QString("Query (Ctrl+Q)\nfor current table"));
    QCOMPARE(GenerationHint("btnQuery", nkIndex), QString("Query (Ctrl+Q)\nTemplate"));
    QCOMPARE(GenerationHint("btnScript", nkAlias),
             QString("Script (F8)\nfor all the tables of Alias"));
    QCOMPARE(GenerationHint("btnScript", nkField), QString("Script (F8)"));
    QVERIFY(GenerationHint("btnExecute", nkTable).isEmpty());
}

void TestTemplates::updateAndInsert()
{
    const auto S = TSqlDialect::Sqlite;
    const QList<TFieldDef> items
        = {{"ID", ftInteger, 0, true}, {"NAME", ftString, 30, false}, {"PRICE", ftFloat, 0, false}};
    QCOMPARE(UpdateLines("ITEMS", items, {}, {}, S),
             QStringList({"UPDATE", "\tITEMS", "SET", "\tID = <ID>,", "\tNAME = <NAME>,",
                          "\tPRICE = <PRICE>", "WHERE", "\t<Where>", ";"}));
    QCOMPARE(InsertKeyLine("ITEMS", S),
             QString("INSERT INTO ITEMS (<FieldName>) VALUES (<Value>);"));
    const QString where = KeyCondition("ID", "7", items, S);
    QCOMPARE(where, QString("ID = 7"));
    QCOMPARE(UpdateLines("ITEMS", items, "id", where, S),
             QStringList({"UPDATE", "\tITEMS", "SET", "\tNAME = <NAME>,", "\tPRICE = <PRICE>",
                          "WHERE", "\tID = 7", ";"}));
    // The key last: the assignment before it ends without a comma.
    const QList<TFieldDef> keyLast = {{"NAME", ftString, 30, false}, {"ID", ftInteger, 0, true}};
    QCOMPARE(UpdateLines("T", keyLast, "ID", "ID = 1", S).mid(2, 3),
             QStringList({"SET", "\tNAME = <NAME>", "WHERE"}));
    // Only the key itself is left out: CUSTID stays, and a table of the key alone has no SET
    // items.
    const QList<TFieldDef> cust = {{"CUSTID", ftInteger, 0, false}, {"ID", ftInteger, 0, true}};
    QCOMPARE(UpdateLines("T", cust, "ID", "ID = 3", S).at(3), QString("\tCUSTID = <CUSTID>"));
    QCOMPARE(UpdateLines("T", cust.mid(1), "ID", "ID = 3", S).mid(2, 2),
             QStringList({"SET", "WHERE"}));
    QCOMPARE(DeleteLine("Order Details", S),
             QString("DELETE FROM \"Order Details\" WHERE <Where>;"));
    QCOMPARE(KeyCondition("Order ID", "O'Neil", {{"Order ID", ftString, 10, true}}, S),
             QString("\"Order ID\" = 'O''Neil'"));
}

void TestTemplates::recordValuesAreLiterals()
{
    const auto S = TSqlDialect::Sqlite;
    const QList<TFieldDef> fields
        = {{"ID", ftInteger, 0, true}, {"NAME", ftString, 30, false}, {"BORN", ftDate, 0, false}};
    // A string in double quotes would be a column name to SQLite and PostgreSQL.
    QCOMPARE(RecordValueText("NAME", "Ann \"Bo\" O'Hara", fields, {}, S),
             QString("'Ann \"Bo\" O''Hara'"));
    QCOMPARE(RecordValueText("ID", "42", fields, {}, S), QString("42"));
    QCOMPARE(RecordValueText("ID", "42; DROP TABLE T", fields, {}, S),
             QString("'42; DROP TABLE T'"));
    QCOMPARE(RecordValueText("BORN", "24.12.1990", fields, {}, S), QString("'1990-12-24'"));
    QCOMPARE(RecordValueText("FieldName", "Unit Price", fields, {}, S), QString("\"Unit Price\""));
    QCOMPARE(RecordValueText("Value", "7", fields, "ID", S), QString("7"));
    QCOMPARE(RecordValueText("Value", "7", fields, "NAME", S), QString("'7'"));
    QCOMPARE(RecordValueText("Where", "ID = 1", fields, {}, S), QString("ID = 1"));
}

QTEST_GUILESS_MAIN(TestTemplates)
#include "test_templates.moc"
