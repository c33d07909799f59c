#include "TableCompare.h"

#include <QTest>

// The changes and the ALTER TABLE statement that make a target table's fields the source's.
class TestTableCompare : public QObject
{
    Q_OBJECT
private slots:
    void changedMissingAndExtraFields();
    void equalStructuresWriteNothing();
    void letterCaseAndOneChange();
    void namesQuotedForTheEngine();
};

namespace {

TFieldDef F(const QString &name, TFieldType type, int size = 0)
{
    return {name, type, size, false};
}

const TTableScriptOptions Plain {false, false, TSqlDialect::Sqlite};

} // namespace

void TestTableCompare::changedMissingAndExtraFields()
{
    const QList<TFieldDef> source {F("ID", ftInteger), F("NAME", ftString, 40), F("AT", ftDateTime),
                                   F("NEW", ftSmallint)};
    const QList<TFieldDef> target {F("ID", ftInteger), F("NAME", ftString, 20), F("OLD", ftInteger),
                                   F("AT", ftDate)};
    const QList<TFieldChange> changes = CompareFields(source, target);
    QStringList texts;
    for (const TFieldChange &c : changes)
        texts << ChangeText(c, Plain) + (c.Retyped ? "*" : "");
    QCOMPARE(texts,
             QStringList({"DROP NAME*", "ADD NAME CHAR(40)", "DROP OLD", "DROP AT*",
                          "ADD AT TIMESTAMP", "ADD NEW SMALLINT"}));
    QCOMPARE(CompareLines("CUST", changes, Plain),
             QStringList({"ALTER TABLE CUST", "\t-- changes the type of NAME: its data is dropped",
                          "\tDROP NAME,", "\tADD NAME CHAR(40),", "\tDROP OLD,",
                          "\t-- changes the type of AT: its data is dropped", "\tDROP AT,",
                          "\tADD AT TIMESTAMP,", "\tADD NEW SMALLINT;"}));
    const TTableScriptOptions varchar {false, true, TSqlDialect::Sqlite};
    QCOMPARE(CompareLines("CUST", changes, varchar).at(3), QString("\tADD NAME VARCHAR(40),"));
}

// Same names in another order and letter case, same types and sizes: nothing to write.
void TestTableCompare::equalStructuresWriteNothing()
{
    const QList<TFieldDef> source {F("ID", ftInteger), F("NAME", ftString, 40), F("AT", ftDate)};
    const QList<TFieldDef> target {F("at", ftDate), F("Name", ftString, 40), F("id", ftInteger)};
    QVERIFY(CompareFields(source, target).isEmpty());
    QVERIFY(CompareFields(source, source).isEmpty());
    QVERIFY(CompareLines("T", {}, Plain).isEmpty());
    QVERIFY(FieldDiffers(F("A", ftString, 10), F("A", ftString, 11)));
    QVERIFY(FieldDiffers(F("A", ftInteger), F("A", ftSmallint)));
}

// A field whose name differs only in letter case is the same field, added again in the
// source's spelling; a single change closes its own line.
void TestTableCompare::letterCaseAndOneChange()
{
    const TTableScriptOptions pg {false, false, TSqlDialect::Postgres};
    const QList<TFieldChange> retyped
        = CompareFields({F("id", ftInteger), F("Name", ftString, 40)},
                        {F("ID", ftInteger), F("name", ftString, 20)});
    QCOMPARE(CompareLines("t", retyped, pg),
             QStringList({"ALTER TABLE t", "\t-- changes the type of name: its data is dropped",
                          "\tDROP name,", "\tADD \"Name\" CHAR(40);"}));
    QCOMPARE(CompareLines("t", CompareFields({F("id", ftInteger)}, {}), pg),
             QStringList({"ALTER TABLE t", "\tADD id INTEGER;"}));
    QCOMPARE(CompareLines("t", CompareFields({}, {F("id", ftInteger)}), pg),
             QStringList({"ALTER TABLE t", "\tDROP id;"}));
}

// Names with blanks, quotes and line breaks stay names; the comment stays one line.
void TestTableCompare::namesQuotedForTheEngine()
{
    const TTableScriptOptions pg {false, false, TSqlDialect::Postgres};
    const QList<TFieldChange> changes
        = CompareFields({F("a\"b", ftInteger), F("x\ny", ftString, 9), F("k", ftAutoInc)},
                        {F("x\ny", ftString, 8), F("old one", ftMemo)});
    const QStringList lines = CompareLines("sales.order items", changes, pg);
    QCOMPARE(lines,
             QStringList({"ALTER TABLE sales.\"order items\"",
                          "\t-- changes the type of \"x y\": its data is dropped",
                          "\tDROP \"x\ny\",", "\tADD \"x\ny\" CHAR(9),", "\tDROP \"old one\",",
                          "\tADD \"a\"\"b\" INTEGER,", "\tADD k SERIAL;"}));
}

QTEST_GUILESS_MAIN(TestTableCompare)
#include "test_table_compare.moc"
