#include "DataSet.h"
#include "EngineError.h"
#include "FieldText.h"
#include "Lookup.h"
#include "Session.h"
#include "SqliteFile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

// What data-entry controls need of a result's fields: their definitions from the table,
// typed conversion of edited text, and keyed lookups.
class TestFieldValues : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;

private slots:
    void initTestCase()
    {
        RunOnSqliteFile(
            m_dir.filePath("data.sqlite"),
            {"CREATE TABLE ITEM (ID INTEGER PRIMARY KEY, CODE CHAR(4) NOT NULL,"
             " NOTE VARCHAR(60), PRICE FLOAT, BORN DATE)",
             "INSERT INTO ITEM VALUES (1, '0007', 'seven', 1.5, '2024-02-29')",
             "CREATE TABLE CODES (CODE VARCHAR(4) COLLATE NOCASE PRIMARY KEY, TITLE TEXT)",
             "INSERT INTO CODES VALUES ('ab', 'lower'), ('0007', 'seven')"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_dir.filePath("data.sqlite")},
                            TSession::TPersistence::SessionOnly);
    }

    void liveFieldsCarryTheTablesDefinitions()
    {
        TQuery q(m_session.get());
        q.DatabaseName = "SHOP";
        q.SQL = QStringList {"SELECT ID, CODE, NOTE, PRICE * 2 AS DOUBLED FROM ITEM"};
        q.RequestLive = true;
        q.Open();
        QVERIFY(q.CanModify());
        QVERIFY(q.FieldByName("CODE").Required);
        QVERIFY(!q.FieldByName("NOTE").Required);
        QCOMPARE(q.FieldByName("NOTE").Size, 60); // beyond the 40 characters a grid shows
        QVERIFY(q.FieldByName("NOTE").DisplayWidth < 60);
        QVERIFY(q.FieldByName("DOUBLED").ReadOnly); // computed
        QVERIFY(!q.FieldByName("CODE").ReadOnly);
    }

    void textConvertsByTypeAndLocale()
    {
        TTextFormat comma;
        comma.Locale = QLocale(QLocale::German, QLocale::Germany);
        TTextFormat point;
        point.Locale = QLocale(QLocale::English, QLocale::UnitedStates);
        bool ok = false;
        QCOMPARE(FieldValueFromText("1.234,5", ftFloat, comma, &ok).toDouble(), 1234.5);
        QVERIFY(ok);
        // A decimal point is no grouping where it is the decimal separator.
        QCOMPARE(FieldValueFromText("12.50", ftFloat, point, &ok).toDouble(), 12.5);
        QCOMPARE(FieldValueFromText("1,234.50", ftCurrency, point, &ok).toDouble(), 1234.5);
        QCOMPARE(FieldValueFromText("31/12/1999", ftDate, point, &ok).toDate(),
                 QDate(1999, 12, 31));
        QVERIFY(ok);
        FieldValueFromText("31/02/1999", ftDate, point, &ok);
        QVERIFY(!ok);
        FieldValueFromText("12x", ftInteger, point, &ok);
        QVERIFY(!ok);
        // Plain digits read without the locale, grouped ones through it; a lone sign or a
        // number past 64 bits is no integer.
        QCOMPARE(FieldValueFromText("-9223372036854775808", ftLargeint, point, &ok).toLongLong(),
                 std::numeric_limits<qlonglong>::min());
        QCOMPARE(FieldValueFromText("1.234.567", ftInteger, comma, &ok).toLongLong(), 1234567);
        QVERIFY(ok);
        for (const char *bad : {"-", "+", "9223372036854775808", "1 2"}) {
            FieldValueFromText(bad, ftInteger, point, &ok);
            QVERIFY2(!ok, bad);
        }
        // Empty texts are NULL, for strings only the empty one.
        QVERIFY(FieldValueFromText("  ", ftInteger, point, &ok).isNull() && ok);
        QVERIFY(FieldValueFromText("", ftString, point, &ok).isNull() && ok);
        QCOMPARE(FieldValueFromText(" ", ftString, point, &ok).toString(), " ");
        FieldValueFromText("x", ftBlob, point, &ok);
        QVERIFY(!ok);

        // SQLite keeps dates as text: compared as dates, shown in the edit format.
        QVERIFY(SameFieldValue(QString("2024-02-29"), QDate(2024, 2, 29), ftDate));
        QVERIFY(!SameFieldValue(QVariant(), QString(""), ftString));
        QVERIFY(SameFieldValue(QString("7"), qlonglong(7), ftInteger));
        QCOMPARE(FieldValueToText(QString("2024-02-29"), ftDate, point), "29/02/2024");
        QCOMPARE(FieldValueToText(1234.5, ftFloat, comma), "1234,5");
        QCOMPARE(FieldValueToText(QVariant(), ftFloat, comma), "");
        QCOMPARE(FieldValueToText(QString("2024-02-29 13:45:10"), ftDateTime, point),
                 "29/02/2024 13:45:10");
    }

    void lookupIsExactAndKeyed()
    {
        TLookupQuery codes(m_session.get(), "SHOP", "CODES", "CODE", "TITLE");
        TTextFormat f;
        QVariant title;
        QVERIFY(codes.FindText("0007", f, &title));
        QCOMPARE(title.toString(), "seven");
        QVERIFY(!codes.FindText("7", f)); // a code is not a number
        QVERIFY(!codes.FindText("AB", f)); // the column ignores case, the lookup does not
        QVERIFY(codes.FindText("ab", f, &title));
        QCOMPARE(title.toString(), "lower");

        TLookupQuery items(m_session.get(), "SHOP", "ITEM", "ID", "NOTE");
        QVERIFY(items.FindText("1", f, &title));
        QCOMPARE(title.toString(), "seven");
        QVERIFY(!items.FindText("one", f));

        TLookupQuery wrong(m_session.get(), "SHOP", "ITEM", "NOPE");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, wrong.FindText("1", f));
    }
};

QTEST_GUILESS_MAIN(TestFieldValues)
#include "test_field_values.moc"
