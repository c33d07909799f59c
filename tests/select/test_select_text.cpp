#include "Select.h"
#include "SelectText.h"

#include <QDate>
#include <QLocale>
#include <QTest>

// The word routines under the SELECT model: splitting, tokens, the clause scanner and
// its brace notation, and dates in the user's notation.
class TestSelectText : public QObject
{
    Q_OBJECT

    static QString DateError(const QString &value)
    {
        try {
            DateOfUserText(value);
        } catch (const ESelectError &e) {
            return e.Message();
        }
        return QStringLiteral("no error");
    }

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void splitTextKeepsEmptyPartsAndBlanks()
    {
        QStringList list {"stale"};
        SplitText(list, "a,,b,", u',');
        QCOMPARE(list, QStringList({"a", "", "b"}));
        SplitText(list, " A, B ", u',');
        QCOMPARE(list, QStringList({" A", " B "}));
        SplitText(list, "", u',');
        QVERIFY(list.isEmpty());
    }

    void nextTokenTakesIdentifiersOrOneCharacter()
    {
        QString text = "A.x = B.y";
        QCOMPARE(NextToken(text), QString("A.x"));
        QCOMPARE(text, QString(" = B.y"));
        QCOMPARE(NextToken(text), QString("="));
        QCOMPARE(text, QString(" B.y"));

        text = "COUNT(x)";
        QCOMPARE(NextToken(text), QString("COUNT(x"));
        QCOMPARE(text, QString(")"));

        text = " \t name_1 \r";
        QCOMPARE(NextToken(text), QString("name_1"));
        QVERIFY(text.isEmpty());

        text = "";
        QCOMPARE(NextToken(text), QString());
        QVERIFY(text.isEmpty());

        // Letters beyond ASCII are part of a name, not a break inside it.
        text = QString::fromUtf8("Größe AS g");
        QCOMPARE(NextToken(text), QString::fromUtf8("Größe"));
        QCOMPARE(text, QString(" AS g"));
    }

    void firstTableNameFollowsFromAcrossLines()
    {
        QCOMPARE(FirstTableName(QStringList {"SELECT *", "FROM", "", "\tORDERS,", "\tITEMS"}),
                 QString("ORDERS"));
        QCOMPARE(FirstTableName(QStringList {"select a from t1 where a = 1"}), QString("t1"));
        QCOMPARE(FirstTableName(QStringList {"SELECT FROMAGE, X", "FROM\tCheese"}),
                 QString("Cheese"));
        QCOMPARE(FirstTableName(QStringList {"SELECT 1"}), QString());
        QCOMPARE(FirstTableName(QStringList {"SELECT a FROM"}), QString());
        // A line handed over with breaks inside it is still read line by line.
        QCOMPARE(FirstTableName(QStringList {"SELECT a\r\nFROM\nT9"}), QString("T9"));
    }

    void scannerMarksJoinsWithBraces()
    {
        TClauses c = ReadClauses(
            {"select * from A inner join B on A.x = B.y where A.z > 5 and B.w = 3 Or B.v < 1"});
        QCOMPARE(c.Select, QString("*"));
        QCOMPARE(c.From, QString("A , B { A.x = B.y"));
        QCOMPARE(c.Where, QString("A.z > 5 {and} B.w = 3 {Or} B.v < 1"));

        // Outer joins read as plain joins; OUTER itself stays a word. AND outside WHERE and
        // JOIN outside FROM are ordinary words.
        c = ReadClauses(
            {"SELECT x AND y FROM A LEFT OUTER JOIN B ON A.k=B.k", "WHERE A.k JOIN 1 ORDER BY x"});
        QCOMPARE(c.Select, QString("x AND y"));
        QCOMPARE(c.From, QString("A OUTER , B { A.k=B.k"));
        QCOMPARE(c.Where, QString("A.k JOIN 1"));
        QCOMPARE(c.Order, QString("x"));

        // BY after GROUP and ORDER, and LEFT, RIGHT and INNER in a FROM list, only shape the
        // statement; elsewhere they are names and functions and stay.
        c = ReadClauses({"SELECT LEFT(B, 2), RIGHT FROM T1 INNER JOIN T2 ON T1.A = T2.K",
                         "WHERE By = 1 AND INNER > 0 GROUP BY B ORDER BY(A), BY"});
        QCOMPARE(c.Select, QString("LEFT (B, 2), RIGHT"));
        QCOMPARE(c.From, QString("T1 , T2 { T1.A = T2.K"));
        QCOMPARE(c.Where, QString("By = 1 {AND} INNER > 0"));
        QCOMPARE(c.Group, QString("B"));
        QCOMPARE(c.Order, QString("(A), BY"));
    }

    void scannerCollapsesBlanksAndKeepsEverySign()
    {
        const QString longText(300, u'x');
        const TClauses c = ReadClauses({QString::fromUtf8("/* note */ SELECT N,\t\tGröße €"),
                                        QString::fromUtf8("FROM Maße"), "WHERE N = 'a   b' AND",
                                        "M = '" + longText + "' AND Q||R = x::int;"});
        // Characters beyond ASCII and every sign stay; a ";" ends the word and goes. Quoted
        // text stays as it stands.
        QCOMPARE(c.Select, QString::fromUtf8("N, Größe €"));
        QCOMPARE(c.From, QString::fromUtf8("Maße"));
        QCOMPARE(c.Where, "N = 'a   b' {AND} M = '" + longText + "' {AND} Q||R = x::int");
        QCOMPARE(ReadClauses({"SELECT 'a", " {b};' FROM T1"}).Select, QString("'a\n {b};'"));
        // Empty statements around it are none; words after a ";" are the next statement's,
        // which the model cannot hold (";" in quotes and comments ends nothing).
        QVERIFY(!c.Statements);
        QVERIFY(!ReadClauses({";; SELECT A FROM T1 WHERE B = ';x' -- ;y", "; ;"}).Statements);
        QVERIFY(ReadClauses({"SELECT A FROM T1;", "DELETE FROM T1"}).Statements);
        QVERIFY(ReadClauses({"SELECT A FROM T1 WHERE :v(a;b)"}).Statements);
        // SQLite takes all up to a blank or ")" into a parameter's suffix in parentheses.
        for (const char *text : {"SELECT :v(a,b) FROM T1", "SELECT A FROM T1 WHERE A = ?(1,2)",
                                 "SELECT @x1(1) FROM T1", "SELECT SUM(S)%:0t(<,*) FROM T1",
                                 "SELECT ?::::a(`,`) FROM T1", "SELECT d&:::::1out(<,*) FROM T1",
                                 "SELECT:0t(x) FROM T1", "SELECT d& $$x:?out(<,*) FROM T1"})
            QVERIFY2(ReadClauses({text}).ParameterSuffix, text);
        for (const char *text : {"SELECT ? FROM T1 WHERE A = :v AND x::numeric(4,2) = 1",
                                 "SELECT $1, a$b(1)", "SELECT A FROM T1 WHERE B LIKE '%:x(%'"})
            QVERIFY2(!ReadClauses({text}).ParameterSuffix, text);

        // Form feeds part words as blanks do, other control characters do not (SQLite takes
        // them into a token or rejects them); the statement ends at a NUL, as SQLite reads it.
        const TClauses fed = ReadClauses({"SELECT A\fFROM\vT1\fWHERE A = 1 AND :v(a\x1c"
                                          "b)"});
        QCOMPARE(fed.From, QString("T1"));
        QCOMPARE(fed.Where,
                 QString("A = 1 {AND} :v(a\x1c"
                         "b)"));
        const QStringList cut {"SELECT A", QString("FROM\tT1") + QChar(u'\0') + "Y", "WHERE A = 1"};
        QCOMPARE(ReadClauses(cut).From, QString("T1"));
        QCOMPARE(ReadClauses(cut).Where, QString());
        QCOMPARE(FirstTableName(cut), QString("T1"));

        // Comments are skipped, but not inside quoted text.
        const TClauses noted = ReadClauses({"SELECT A -- , B FROM X", "FROM T1/* WHERE",
                                            "ORDER */WHERE B = '--x' AND C = \"/*\"-- end"});
        QCOMPARE(noted.Select, QString("A"));
        QCOMPARE(noted.From, QString("T1"));
        QCOMPARE(noted.Where, QString("B = '--x' {AND} C = \"/*\""));
        QCOMPARE(noted.Order, QString());
        const TClauses quoted
            = ReadClauses({"SELECT A FROM T1 WHERE B LIKE ' WHERE x FROM and' AND C = \"on BY\""});
        QCOMPARE(quoted.From, QString("T1"));
        const TClauses closed
            = ReadClauses({"SELECT A FROM T1 WHERE B = 'it''s x'ORDER BY \"q\"\"\"GROUP BY A"});
        QCOMPARE(closed.Where, QString("B = 'it''s x'"));
        QCOMPARE(closed.Order, QString("\"q\"\"\""));
        QCOMPARE(closed.Group, QString("A"));
        QCOMPARE(ReadClauses({"SELECT `a FROM b`, [c WHERE d] FROM T1"}).From, QString("T1"));
        // What follows quoted text at once stays joined to it.
        QCOMPARE(ReadClauses({"SELECT \"t\".A,'x'||B FROM T1"}).Select, QString("\"t\".A,'x'||B"));
        // A keyword glued to the sign after it is still the keyword.
        const TClauses glued = ReadClauses(
            {"SELECT(A) FROM T1 JOIN T2 ON(T1.A = T2.K) WHERE(A > 1) OR(B = 2) ORDER BY(A)"});
        QCOMPARE(glued.Select, QString("(A)"));
        QCOMPARE(glued.From, QString("T1 , T2 { (T1.A = T2.K)"));
        QCOMPARE(glued.Where, QString("(A > 1) {OR} (B = 2)"));
        QCOMPARE(glued.Order, QString("(A)"));
        // "$" continues a name: "FROM$T1" is no keyword.
        QCOMPARE(ReadClauses({"SELECT a$b FROM$T1"}).Select, QString("a$b FROM$T1"));
        QCOMPARE(quoted.Where, QString("B LIKE ' WHERE x FROM and' {AND} C = \"on BY\""));
    }

    void datesFollowTheUsersNotation()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(DateOfUserText("5/3/2024"), QDate(2024, 5, 3));
        QCOMPARE(DateOfUserText("12/31/99"), QDate(1999, 12, 31));
        QCOMPARE(DateOfUserText("1/2/24"), QDate(2024, 1, 2));
        QCOMPARE(DateError("2/30/2024"), QString("'2/30/2024' is not a valid date"));

        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(DateOfUserText("25/12/2024"), QDate(2024, 12, 25));
        QCOMPARE(DateOfUserText("25/12"), QDate(QDate::currentDate().year(), 12, 25));
        QCOMPARE(DateError("12/25/2024"), QString("'12/25/2024' is not a valid date"));

        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(DateOfUserText("3.5.2024"), QDate(2024, 5, 3));
        QCOMPARE(DateOfUserText(" 2024-05-03"), QDate(2024, 5, 3));
        QCOMPARE(DateError("2024-02-30"), QString("'2024-02-30' is not a valid date"));
        QCOMPARE(DateError("tomorrow"), QString("'tomorrow' is not a valid date"));
        QCOMPARE(DateError(""), QString("'' is not a valid date"));
    }
};

QTEST_GUILESS_MAIN(TestSelectText)
#include "test_select_text.moc"
