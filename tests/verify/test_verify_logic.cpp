#include "VerifyLogic.h"

#include <QTest>

// The value logic of the verify controls on its own.
class TestVerifyLogic : public QObject
{
    Q_OBJECT

private slots:
    void partialDatesExpandFromToday()
    {
        const QDate today(2026, 12, 7);
        QCOMPARE(ExpandDate("1503", today), QDate(2026, 3, 15));
        QCOMPARE(ExpandDate("7", today), QDate(2026, 12, 7));
        QCOMPARE(ExpandDate("1/2/99", today), QDate(1999, 2, 1)); // not 2099
        QCOMPARE(ExpandDate("1/2/05", today), QDate(2005, 2, 1));
        QCOMPARE(ExpandDate("1/2/70", today), QDate(2070, 2, 1));
        QCOMPARE(ExpandDate("150319", QDate(2090, 1, 1)), QDate(2119, 3, 15));
        QCOMPARE(ExpandDate("1/2/1850", today), QDate(1850, 2, 1));
        QVERIFY(!ExpandDate("31/2", today));
    }

    void leavingFormatsByTypeAndPicture()
    {
        const QLocale de(QLocale::German, QLocale::Germany);
        const QLocale en(QLocale::English, QLocale::UnitedStates);
        const QDate today(2026, 12, 7);
        QCOMPARE(FormatVerifyText("42", ftString, "@0", 5, false, en, today), "00042");
        QCOMPARE(FormatVerifyText("ab", ftString, "@0", 5, false, en, today), "ab");
        QCOMPARE(FormatVerifyText("1234,5", ftFloat, "#,##0.00", 1, false, de, today), "1.234,50");
        QCOMPARE(FormatVerifyText("1234.5", ftFloat, "#,##0.00", 1, false, en, today), "1,234.50");
        QCOMPARE(FormatVerifyText("-0.001", ftFloat, "#,##0.00", 1, false, en, today), "0.00");
        QCOMPARE(FormatVerifyText("x1", ftFloat, "#,##0.00", 1, false, en, today), "x1");
        QCOMPARE(FormatVerifyText("-12.34", ftFloat, "$0.0 kg", 1, false, en, today), "-$12.3 kg");
        QCOMPARE(FormatVerifyText("1503", ftDate, "dd/mm/yyyy", 1, false, en, today), "15/03/2026");
        QCOMPARE(FormatVerifyText("31/12/1999", ftDate, "dd/mm/yyyy", 1, false, en, today),
                 "31/12/1999");
        // An empty required date stays empty, for the required check to report.
        QCOMPARE(FormatVerifyText("", ftDate, "dd/mm/yyyy", 1, true, en, today), "");
        QCOMPARE(FormatVerifyText("31/02", ftDate, "dd/mm/yyyy", 1, true, en, today), "31/02");
        QCOMPARE(QtDateFormat("dd/mm/yyyy hh:nn:ss"), "dd/MM/yyyy HH:mm:ss");
        QCOMPARE(QtDateFormat("d mmm yy, h:mm"), "d MMM yy, H:mm");
    }

    void validationChecksInOrder()
    {
        TTextFormat de = VerifyTextFormat(ftFloat, "#,##0.00", QLocale(QLocale::German));
        TTextFormat en = VerifyTextFormat(ftFloat, "#,##0.00", QLocale(QLocale::English));
        QString text = "1.234,50";
        QCOMPARE(ValidateText(&text, ftFloat, false, "", "", de), "");
        QCOMPARE(text, "1234,50");
        text = "12.50"; // the decimal point stays where it is the decimal separator
        QCOMPARE(ValidateText(&text, ftFloat, false, "", "20", en), "");
        QCOMPARE(text, "12.50");
        text = "   ";
        QCOMPARE(ValidateText(&text, ftString, true, "", "", en), "MsgRequired");
        text = "";
        QCOMPARE(ValidateText(&text, ftInteger, false, "5", "", en), ""); // empty passes Min
        text = "abc";
        QCOMPARE(ValidateText(&text, ftInteger, false, "", "", en), "MsgType");
        text = "11";
        QCOMPARE(ValidateText(&text, ftInteger, false, "", "10", en), "MsgMax");
        text = "4";
        QCOMPARE(ValidateText(&text, ftInteger, false, "5", "10", en), "MsgMin");
        const TTextFormat dates = VerifyTextFormat(ftDate, "dd/mm/yyyy", QLocale(QLocale::English));
        text = "01/02/2024"; // compared as dates, not as texts
        QCOMPARE(ValidateText(&text, ftDate, false, "", "31/01/2025", dates), "");
    }

    void captionsAndMessages()
    {
        QCOMPARE(ParseCaption("&Name").Text, "Name");
        QCOMPARE(ParseCaption("Na&me").HotKeyPos, 2);
        QCOMPARE(ParseCaption("Name").HotKeyPos, 0);
        QCOMPARE(LabelWithHotKey("N&ame", u'm'), "Na&me");
        QCOMPARE(WithColon(LabelWithHotKey("Name", u'N')), "&Name:");
        QCOMPARE(WithColon("Total:"), "Total:");
        QCOMPARE(ErrorMessageText(DefaultErrorMessages(), "MsgFind"), "not found");
        QCOMPARE(ErrorMessageText(DefaultErrorMessages(), "MsgOdd"), "MsgOdd");
    }

    void writingOnlyWhatChanged()
    {
        TField f;
        f.DataType = ftDate;
        const TTextFormat fmt = VerifyTextFormat(ftDate, "dd/mm/yyyy", QLocale(QLocale::English));
        const QVariant stored = QString("2024-01-31");
        QVERIFY(!FieldWriteFor(f, "31/01/2024", "31/01/2024", stored, fmt).Write);
        QVERIFY(!FieldWriteFor(f, "31/01/2024", "31/1/2024", stored, fmt).Write); // same date
        const TFieldWrite w = FieldWriteFor(f, "31/01/2024", "01/02/2024", stored, fmt);
        QVERIFY(w.Write);
        QCOMPARE(w.Value.toDate(), QDate(2024, 2, 1)); // a date, not the typed text
        const TFieldWrite cleared = FieldWriteFor(f, "31/01/2024", "", stored, fmt);
        QVERIFY(cleared.Write && cleared.Value.isNull());
        f.ReadOnly = true;
        QVERIFY(!FieldWriteFor(f, "31/01/2024", "01/02/2024", stored, fmt).Write);
        // A rounded display is no change as long as the user leaves it alone.
        TField price;
        price.DataType = ftFloat;
        QVERIFY(!FieldWriteFor(price, "1.23", "1.23", 1.234567, fmt).Write);
        TField name;
        name.DataType = ftString;
        name.Required = true;
        QCOMPARE(FieldWriteFor(name, "x", "", QString("x"), fmt).Value.typeId(),
                 QMetaType::QString);
    }

    void layouts()
    {
        // Portrait: five controls 21 high on an area 105 high.
        std::vector<TLayoutItem> items(5, TLayoutItem {0, 21, 72, npNone});
        ComputeNextPos(loPortrait, items, 185, 105);
        QCOMPARE(items[2].NextPos, npBottom);
        QCOMPARE(items[3].NextPos, npTop);
        QCOMPARE(items[4].NextPos, npBottom);
        auto places = ArrangePositions(items);
        const std::vector<std::pair<int, int>> portrait {
            {8, 25}, {8, 52}, {8, 79}, {8, 106}, {88, 25}};
        QCOMPARE(places, portrait);
        // Landscape: 72 wide on 185 pixels wraps at the third.
        std::vector<TLayoutItem> row(4, TLayoutItem {0, 21, 72, npNone});
        ComputeNextPos(loLandScape, row, 185, 105);
        QCOMPARE(row[1].NextPos, npRight);
        QCOMPARE(row[2].NextPos, npLeft);
        places = ArrangePositions(row);
        const std::vector<std::pair<int, int>> landscape {{8, 25}, {88, 25}, {168, 25}, {8, 52}};
        QCOMPARE(places, landscape);
        // Resize wraps at 400 whatever the area's width.
        std::vector<TLayoutItem> wide(6, TLayoutItem {0, 21, 72, npNone});
        ComputeNextPos(loResize, wide, 2000, 105);
        QCOMPARE(wide[4].NextPos, npLeft);
        std::vector<TLayoutItem> one(1, TLayoutItem {0, 21, 72, npBottom});
        ComputeNextPos(loPortrait, one, 185, 105);
        QCOMPARE(one[0].NextPos, npBottom);
    }
};

QTEST_GUILESS_MAIN(TestVerifyLogic)
#include "test_verify_logic.moc"
