#include "ColorLayer.h"
#include "ColorRules.h"

#include <QTest>

namespace {

// The descriptors one rule writes for Text (starting at character index From), as
// "beg-end:colour" strings with "k" appended for keyword spans.
QStringList Spans(TColorRule &rule, const QString &text, int from = 0)
{
    TKeyDescrList pool;
    const int n = rule.ScanKeys(0, {text, from}, pool);
    QStringList out;
    for (int i = 0; i < n; ++i) {
        const TKeyDescr &d = pool[i];
        out << QStringLiteral("%1-%2:%3%4")
                   .arg(d.BegPos)
                   .arg(d.EndPos)
                   .arg(d.Color, 6, 16, QChar('0'))
                   .arg(d.IsKey ? "k" : "");
    }
    return out;
}

TColorRule KeywordRule(const QStringList &keywords, bool keyCase = false)
{
    TColorRule rule;
    rule.KeyDrawingType = dtKeyShow;
    rule.DefKeyColor = clBlack;
    rule.KeyCase = keyCase;
    rule.SetKeywords(keywords);
    return rule;
}

} // namespace

class TestColorRules : public QObject
{
    Q_OBJECT

private slots:
    void colourTextReadsNamesAndHexInEitherOrder()
    {
        QCOMPARE(StrToKeyColor("purple"), TColor(0x800080));
        QCOMPARE(StrToKeyColor("  Navy "), clNavy);
        QCOMPARE(StrToKeyColor("#00FF00"), TColor(0x00FF00));
        QCOMPARE(StrToKeyColor("red"), clRed);
        QCOMPARE(StrToKeyColor("#FF0000"), clRed);
        QCOMPARE(StrToKeyColor("FF0000"), clRed);
        QCOMPARE(StrToKeyColor("#0000FF"), clBlue);
        QCOMPARE(StrToKeyColor("$0000ff"), clBlue);
        QCOMPARE(StrToKeyColor("#123456"), TColor(0x563412));
        // Bits above the low 24 are dropped.
        QCOMPARE(StrToKeyColor("1FF0000"), clRed);
    }

    void unreadableColourTextIsWhite()
    {
        QCOMPARE(StrToKeyColor("zz"), clWhite);
        QCOMPARE(StrToKeyColor(""), clWhite);
        QCOMPARE(StrToKeyColor("12$34"), clWhite);
        QCOMPARE(StrToKeyColor("#"), clWhite);
        // Only the first 10 characters count: nine hex digits overflow 32 bits.
        QCOMPARE(StrToKeyColor("#123456789"), clWhite);
        QCOMPARE(StrToKeyColor("PURPLEISH"), clWhite);
    }

    void keywordIndexHoldsKeywordsAndPaletteNumbers()
    {
        TColorRule rule = KeywordRule({"Select", "", "   ", "From;blue", ";red", "Where;black"});
        const QString expected = QStringLiteral("*SELECT*+") + QChar(1) + "*FROM*+" + QChar(2)
            + "*WHERE*+" + QChar(1) + "*";
        QCOMPARE(rule.KeyIndex(), expected);
        QCOMPARE(rule.KeyColors(), (std::vector<TColor> {clBlack, clBlue}));
    }

    void keywordsMatchWholeWordsInAnyCase()
    {
        TColorRule rule = KeywordRule({"Select", "Table"});
        QCOMPARE(Spans(rule, "select Select SELECT"),
                 QStringList({"0-5:000000k", "7-12:000000k", "14-19:000000k"}));
        // Names hold letters, digits and underscores: no keyword is found inside one.
        QVERIFY(
            Spans(rule, "TABLE1 MY_TABLE TABLES ZZ_NO_SUCH_TABLE 1SELECT TABLE\u00e9").isEmpty());
        QCOMPARE(Spans(rule, "(table),\"Select\"\r\n.TABLE"),
                 QStringList({"9-14:000000k", "1-5:000000k", "19-23:000000k"}));
        rule.PartWord = true;
        QCOMPARE(Spans(rule, "TABLES"), QStringList({"0-4:000000k"}));
    }

    void caseSensitiveRuleOnlyMatchesAsWritten()
    {
        TColorRule rule = KeywordRule({"Select"}, true);
        QCOMPARE(Spans(rule, "select Select SELECT"), QStringList({"7-12:000000k"}));
    }

    void keywordWithInnerBlankMatchesExactlyOneBlank()
    {
        TColorRule rule = KeywordRule({"AUTO INC"});
        QCOMPARE(Spans(rule, "ID auto inc,"), QStringList({"3-10:000000k"}));
        QVERIFY(Spans(rule, "AUTO  INC AUTOINC").isEmpty());
    }

    void overlappingKeywordsEachProduceSpans()
    {
        TColorRule rule = KeywordRule({"Key", "Primary Key"});
        QCOMPARE(Spans(rule, "PRIMARY KEY PRIMARYKEY"),
                 QStringList({"8-10:000000k", "0-10:000000k"}));
    }

    void indexesAreOffsetByTheStretchStart()
    {
        TColorRule rule = KeywordRule({"From"});
        QCOMPARE(Spans(rule, "x from", 1000), QStringList({"1002-1005:000000k"}));
    }

    void fortySecondColourTakesTheColourOfTheKeywordBefore()
    {
        QStringList lines;
        for (int i = 0; i < 42; ++i)
            lines << QStringLiteral("K%1;#%2")
                         .arg(QChar('A' + i % 26) + QString(QChar('A' + i / 26)))
                         .arg(i + 1, 6, 16, QChar('0'));
        TColorRule rule = KeywordRule(lines);
        QCOMPARE(int(rule.KeyColors().size()), KeyPaletteMax);
        const QStringList spans = Spans(rule, "KPB KOB KAA");
        // KPB is the 42nd keyword (colour 0x00002A), KOB the 41st (0x000029), KAA the first.
        QCOMPARE(spans, QStringList({"8-10:010000k", "4-6:290000k", "0-2:290000k"}));
    }

    void beginEndMarkersMakeSpansAcrossLines()
    {
        TColorRule rule;
        rule.DefKeyColor = clGray;
        rule.SetKeyBegEndLst({"/*;*/;", "';';red"});
        QCOMPARE(rule.Marker(0)->BegStr, QString("/*"));
        QCOMPARE(rule.Marker(0)->EndStr, QString("*/"));
        QCOMPARE(rule.Marker(0)->Color, clGray);
        QCOMPARE(rule.Marker(1)->Color, clRed);
        QCOMPARE(Spans(rule, "a /* x\r\ny */ 'b'"), QStringList({"2-11:808080", "13-15:0000ff"}));
        // Begin and end may share the asterisk.
        QCOMPARE(Spans(rule, "/*/"), QStringList({"0-2:808080"}));
        // The earliest begin wins; a quote inside a comment is part of it.
        QCOMPARE(Spans(rule, "/* it's */ 'x'"), QStringList({"0-9:808080", "11-13:0000ff"}));
        // A span closed by a line break, also at the end of the text; the first opened holds
        // the other markers as plain text.
        rule.SetKeyBegEndLst({"';';red", "--;\r\n;"});
        QCOMPARE(Spans(rule, "'a--b' -- it's\r\nx -- end"),
                 QStringList({"0-5:0000ff", "7-15:808080", "18-23:808080"}));
    }

    void quotePairGivesOneSpanPerQuotedLetter()
    {
        TColorRule rule;
        rule.SetKeyBegEndLst({"';';red"});
        QCOMPARE(Spans(rule, "'a''b'"), QStringList({"0-2:0000ff", "3-5:0000ff"}));
    }

    void missingOrEmptyEndMarkerStopsTheRule()
    {
        TColorRule rule;
        rule.SetKeyBegEndLst({"<;;green", "';';red"});
        QCOMPARE(rule.Marker(0)->EndStr, QString());
        QCOMPARE(rule.Marker(0)->Color, clGreen);
        QCOMPARE(Spans(rule, "'a' < 'b'"), QStringList({"0-2:0000ff"}));

        TColorRule unclosed;
        unclosed.SetKeyBegEndLst({"/*;*/;", "';';red"});
        QVERIFY(Spans(unclosed, "/* open 'a'").isEmpty());
    }

    void malformedLineEndsTheUsableMarkerList()
    {
        TColorRule rule;
        rule.SetKeyBegEndLst({"/*;*/;", "", "';';red"});
        QCOMPARE(Spans(rule, "'a' /**/"), QStringList({"4-7:0000ff"}));
        rule.SetKeyBegEndLst({"/*;*/;", ";x;red", "';';red"});
        QCOMPARE(Spans(rule, "'a' /**/"), QStringList({"4-7:0000ff"}));
    }

    void markersAreCutToSixCharactersAndFortyLines()
    {
        TColorRule rule;
        QStringList lines {"BEGINNING;ENDINGS;red"};
        for (int i = 1; i < 45; ++i)
            lines << QStringLiteral("<%1>;!;red").arg(i);
        rule.SetKeyBegEndLst(lines);
        QCOMPARE(rule.Marker(0)->BegStr, QString("BEGINN"));
        QCOMPARE(rule.Marker(0)->EndStr, QString("ENDING"));
        QCOMPARE(rule.Marker(39)->BegStr, QString("<39>"));
        QVERIFY(!rule.Marker(40));
        QCOMPARE(Spans(rule, "<40> x! <39> y!"), QStringList({"8-14:0000ff"}));
    }

    void lineEndMarkersRunToTheLineBreak()
    {
        TColorRule rule;
        rule.KeyDrawingType = dtBeginLineEnd;
        rule.SetKeyLineEndLst({"--;green", ";;red"});
        QCOMPARE(rule.Marker(1)->BegStr, QString(";"));
        QCOMPARE(Spans(rule, "a -- b\r\nc; d\r\n--"),
                 QStringList({"2-5:008000", "9-11:0000ff", "14-15:008000"}));
        // A line without ";" is a marker in the default colour.
        rule.SetKeyLineEndLst({"#"});
        QCOMPARE(Spans(rule, "x # y\r\nz"), QStringList({"2-4:0000ff"}));
    }

    void prepareRulesBuildsTablesOnceSomeListIsFilled()
    {
        TDrawRules rules;
        TColorRule &empty = rules.Add();
        rules.PrepareRules();
        QVERIFY(rules.NeedPrepare);

        TColorRule &keys = rules.Add();
        keys.KeyDrawingType = dtKeyShow;
        keys.Keywords() << "Drop";
        QVERIFY(Spans(keys, "drop").isEmpty());
        rules.PrepareRules();
        QVERIFY(!rules.NeedPrepare);
        QCOMPARE(Spans(keys, "drop"), QStringList({"0-3:0000ffk"}));
        // Later direct edits wait for a setter.
        keys.Keywords() << "Alter";
        rules.PrepareRules();
        QVERIFY(Spans(keys, "alter").isEmpty());
        keys.SetKeywords(keys.Keywords());
        QCOMPARE(Spans(keys, "alter"), QStringList({"0-4:0000ffk"}));
        Q_UNUSED(empty);
    }

    void assignCopiesSettingsAndWorkingTables()
    {
        TColorRule source;
        source.KeyDrawingType = dtBeginLineEnd;
        source.ZOrder = 7;
        source.DefKeyColor = clTeal;
        source.SetKeyBegEndLst({"/*;*/;"});
        source.SetKeyLineEndLst({"--"});
        TColorRule copy;
        copy.Assign(source);
        QCOMPARE(copy.ZOrder, std::uint8_t(7));
        QCOMPARE(copy.KeyLineEndLst(), QStringList({"--"}));
        QCOMPARE(Spans(copy, "x -- y"), QStringList({"2-5:808000"}));

        TDrawRules rules;
        rules.Add().Assign(source);
        TDrawRules other;
        other.Assign(rules);
        QCOMPARE(other.Count(), 1);
        QCOMPARE(Spans(other[0], "--"), QStringList({"0-1:808000"}));
    }

    void eventRuleTakesSpansFromTheHandler()
    {
        TColorLayer layer;
        TColorRule &rule = layer.ColorRules().Add();
        rule.KeyDrawingType = dtEventDraw;
        rule.ZOrder = 5;
        int calls = 0;
        layer.OnDraw
            = [&](TColorRule *sender, QStringView from, std::span<TKeyDescr> a, int &count) {
                  ++calls;
                  QCOMPARE(sender, &rule);
                  QCOMPARE(from.toString(), QString("abcdef"));
                  a[0] = {1, 2, clGreen, 0, false};
                  a[1] = {3, 3, clBlue, 9, false};
                  a[2] = {-5, 100, clRed, 0, false}; // cut to the stretch
                  count = 5; // more than the buffer holds
              };
        QVERIFY(Spans(rule, "abcdef", 10).isEmpty());
        QCOMPARE(calls, 0);
        layer.SetColorLimMax(3);
        TKeyDescrList pool;
        QCOMPARE(rule.ScanKeys(0, {u"abcdef", 10}, pool), 3);
        QCOMPARE(calls, 1);
        QCOMPARE(pool[0].BegPos, 11);
        QCOMPARE(pool[0].ZOrder, std::uint8_t(5));
        QCOMPARE(pool[1].ZOrder, std::uint8_t(9));
        QCOMPARE(pool[2].BegPos, 10);
        QCOMPARE(pool[2].EndPos, 15);
        QCOMPARE(pool.MinPos, 10);
        QCOMPARE(pool.MaxPos, 15);
    }
};

QTEST_APPLESS_MAIN(TestColorRules)
#include "test_colorrules.moc"
