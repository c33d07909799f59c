#include "ColorLayer.h"
#include "SqlRules.h"

#include <QTest>

namespace {

// The runs the layer yields, as "beg-end:colour" plus " z<ZOrder>" when it is not 0 and
// "k" for keyword runs.
QStringList Runs(TColorLayer &layer, const QString &text, int from = 0,
                 const TPaintState &state = {})
{
    const int n = layer.BuildRuns({text, from}, state);
    QStringList out;
    for (int i = 0; i < n; ++i) {
        const TKeyDescr &d = layer.Descriptors()[i];
        QString s = QStringLiteral("%1-%2:%3")
                        .arg(d.BegPos)
                        .arg(d.EndPos)
                        .arg(d.Color, 6, 16, QChar('0'));
        if (d.ZOrder != 0)
            s += QStringLiteral(" z%1").arg(d.ZOrder);
        if (d.IsKey)
            s += 'k';
        out << s;
    }
    return out;
}

TPaintState Selection(int start, int length)
{
    TPaintState s;
    s.SelStart = start;
    s.SelLength = length;
    return s;
}

} // namespace

class TestColorLayer : public QObject
{
    Q_OBJECT

    TColorLayer m_sql;

private slots:
    void initTestCase() { AddSqlColorRules(m_sql.ColorRules()); }

    void sqlRulesColourKeywordsStringsAndComments()
    {
        QCOMPARE(SqlKeywordLines().size(), 45);
        QCOMPARE(Runs(m_sql, "SELECT 'select' FROM t"),
                 QStringList({"0-5:80000008k", "7-14:0000ff", "16-19:80000008k"}));
        QCOMPARE(Runs(m_sql, "ID AUTO INC, \"Key\" /* a\r\nb */ <TableName>"),
                 QStringList({"3-10:80000008k", "13-17:0000ff", "19-28:808080", "30-40:808080"}));
    }

    void comparisonSignOpensAGreySpan()
    {
        QCOMPARE(Runs(m_sql, "WHERE a < 5 AND b > 2"),
                 QStringList({"0-4:80000008k", "8-18:808080"}));
        // With no ">" after it, the "<" stops the marker rule; keywords are still found.
        QCOMPARE(Runs(m_sql, "WHERE a < 5 /* c */ 'x' AND"),
                 QStringList({"0-4:80000008k", "24-26:80000008k"}));
    }

    void higherZOrderWinsWhateverItsPlace()
    {
        TColorLayer layer;
        TColorRule &comments = layer.ColorRules().Add();
        comments.ZOrder = 5;
        comments.DefKeyColor = clGray;
        comments.SetKeyBegEndLst({"/*;*/;"});
        TColorRule &keys = layer.ColorRules().Add();
        keys.KeyDrawingType = dtKeyShow;
        keys.ZOrder = 1;
        keys.DefKeyColor = clNavy;
        keys.SetKeywords({"Select"});
        QCOMPARE(Runs(layer, "/* select */ select"),
                 QStringList({"0-11:808080 z5", "13-18:800000 z1k"}));
        keys.Enabled = false;
        QCOMPARE(Runs(layer, "/* select */ select"), QStringList({"0-11:808080 z5"}));
    }

    void selectionAndTabsCutRuns()
    {
        QCOMPARE(Runs(m_sql, "SELECT x", 0, Selection(3, 5)),
                 QStringList({"0-2:80000008k", "3-7:000000 z254"}));
        QCOMPARE(Runs(m_sql, "/*a\tb*/"),
                 QStringList({"0-2:808080", "3-3:000000 z255", "4-6:808080"}));
        TPaintState noTabs;
        noTabs.WantTabs = false;
        QCOMPARE(Runs(m_sql, "/*a\tb*/", 0, noTabs), QStringList({"0-6:808080"}));
    }

    void touchingSpansOfOneColourMergeIntoOneRun()
    {
        QCOMPARE(Runs(m_sql, "/*a*//*b*/ 'c'"), QStringList({"0-9:808080", "11-13:0000ff"}));
    }

    void spanInTheBareCellColourIsStillARun()
    {
        TColorLayer layer;
        layer.ColorRules().Add().SetKeyBegEndLst({"';';red"});
        TPaintState state;
        state.RedrawAlways = true;
        state.CaretLineStart = 10;
        state.SelStart = 11;
        state.FontColor = clBlack;
        QCOMPARE(Runs(layer, "ab 'd' x", 10, state), QStringList({"10-11:000000", "13-15:0000ff"}));
        state.SelStart = 17;
        QCOMPARE(Runs(layer, "ab 'd' x", 10, state),
                 QStringList({"10-12:000000", "13-15:0000ff", "16-17:000000"}));
    }

    void hotSpotsHideTheirMarkers()
    {
        TColorLayer layer;
        const QString text = QStringLiteral("see \x1Ereport\x1F now");
        QVERIFY(Runs(layer, text).isEmpty());
        layer.HotSpot.Active = true;
        QCOMPARE(Runs(layer, text),
                 QStringList({"4-4:80000005 z253", "5-10:ff0000 z252", "11-11:80000005 z253"}));
        QVERIFY(Runs(layer,
                     QStringLiteral("a \x1E"
                                    "b c"))
                    .isEmpty());
        layer.HotSpot.BeginChar = QChar();
        QVERIFY(Runs(layer, text).isEmpty());
    }

    void hotSpotUnderAColumn()
    {
        const QChar b(30), e(31);
        const QString line = QStringLiteral("see \x1Ereport\x1F now");
        QVERIFY(IsOverHotSpot(line, 7, b, e));
        QCOMPARE(HotSpotText(line, 7, b, e), QString("report"));
        QVERIFY(IsOverHotSpot(line, 5, b, e));
        QCOMPARE(HotSpotText(line, 5, b, e), QString("report"));
        QVERIFY(!IsOverHotSpot(line, 2, b, e)); // the begin marker comes first
        QVERIFY(!IsOverHotSpot(line, 13, b, e));
        QVERIFY(IsOverHotSpot(u"a |x| b", 3, '|', '|'));
        QCOMPARE(HotSpotText(u"a |x| b", 3, '|', '|'), QString("x"));
    }

    void clippedToTheScannedStretch()
    {
        // Selecting the whole of a huge text must not make the merge cover all of it.
        const int from = 5000000;
        QCOMPARE(Runs(m_sql, "SELECT a", from, Selection(0, MaxInt - 1)),
                 QStringList({"5000000-5000007:000000 z254"}));
        QCOMPARE(m_sql.Descriptors().MinPos, from);
        QCOMPARE(m_sql.Descriptors().MaxPos, from + 7);
    }

    void poolIsReusedAndEndsAtTheFirstUnusedEntry()
    {
        QCOMPARE(Runs(m_sql, "SELECT 'a' FROM").size(), 3);
        const int count = m_sql.Descriptors().Count();
        QCOMPARE(Runs(m_sql, "x FROM"), QStringList({"2-5:80000008k"}));
        QCOMPARE(m_sql.Descriptors().Count(), count);
        QCOMPARE(m_sql.Descriptors()[1].BegPos, MaxInt);
        QVERIFY(Runs(m_sql, "plain text").isEmpty());
        QCOMPARE(m_sql.Descriptors()[0].BegPos, MaxInt);
    }
};

QTEST_APPLESS_MAIN(TestColorLayer)
#include "test_colorlayer.moc"
