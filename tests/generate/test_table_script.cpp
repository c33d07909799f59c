#include "TableScript.h"

#include <QTest>

class TestTableScript : public QObject
{
    Q_OBJECT
private slots:
    void keyAndSecondaryIndex();
    void noPrimaryNoMarks();
    void twoFieldKeyAndTemplate();
    void namesQuoted();
};

static const QList<TFieldDef> kFields = {{QStringLiteral("ID"), ftInteger, 0, true},
                                         {QStringLiteral("CUSTID"), ftInteger, 0, false},
                                         {QStringLiteral("NAME"), ftString, 30, false}};

void TestTableScript::keyAndSecondaryIndex()
{
    const QList<TIndexDef> indexes = {{QStringLiteral("PK"), QStringLiteral("ID"), ixPrimary},
                                      {QStringLiteral("BYNAME"), QStringLiteral("NAME"), 0}};
    const QStringList lines = TableScriptLines(QStringLiteral("CUST"), kFields, indexes, false,
                                               {true, false, TSqlDialect::Sqlite});
    // ID marks its own line only, never CUSTID that merely contains it.
    QCOMPARE(lines,
             QStringList({"CREATE TABLE CUST(", "\tID INTEGER NOT NULL,", "\tCUSTID INTEGER,",
                          "\tNAME CHAR(30),", "\tPRIMARY KEY (ID)", ");",
                          "CREATE INDEX BYNAME ON CUST(NAME);"}));
}

void TestTableScript::noPrimaryNoMarks()
{
    const QStringList lines = TableScriptLines(QStringLiteral("T"), kFields, {}, false,
                                               {true, true, TSqlDialect::Sqlite});
    QCOMPARE(lines,
             QStringList({"CREATE TABLE T(", "\tID INTEGER,", "\tCUSTID INTEGER,",
                          "\tNAME VARCHAR(30)", ");"}));
}

void TestTableScript::twoFieldKeyAndTemplate()
{
    const QList<TIndexDef> indexes
        = {{QStringLiteral("PK"), QStringLiteral("ID;CUSTID"), ixPrimary},
           {QStringLiteral("IX"), QStringLiteral("NAME;ID"), 0}};
    const QStringList lines = TableScriptLines(QStringLiteral("T"), kFields, indexes, true,
                                               {true, false, TSqlDialect::Sqlite});
    QCOMPARE(
        lines,
        QStringList({"CREATE TABLE <TableName>(", "\tID INTEGER NOT NULL,",
                     "\tCUSTID INTEGER NOT NULL,", "\tNAME CHAR(30),", "\tPRIMARY KEY (ID,CUSTID)",
                     ");", "CREATE INDEX IX ON <TableName>(NAME,ID);"}));
}

void TestTableScript::namesQuoted()
{
    const QList<TFieldDef> fields = {{QStringLiteral("Order ID"), ftInteger, 0, true}};
    const QList<TIndexDef> indexes
        = {{QStringLiteral("pk"), QStringLiteral("Order ID"), ixPrimary}};
    const QStringList lines = TableScriptLines(QStringLiteral("Order Details"), fields, indexes,
                                               false, {false, false, TSqlDialect::Sqlite});
    QCOMPARE(lines.first(), QStringLiteral("CREATE TABLE \"Order Details\"("));
    QCOMPARE(lines.at(1), QStringLiteral("\t\"Order ID\" INTEGER,"));
    QCOMPARE(lines.at(2), QStringLiteral("\tPRIMARY KEY (\"Order ID\")"));
}

QTEST_GUILESS_MAIN(TestTableScript)
#include "test_table_script.moc"
