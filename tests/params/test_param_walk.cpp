#include "IniFile.h"
#include "ParamWalk.h"
#include "WhereLogic.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The parameter walk and its rules without any dialog: answers come from a script of values.
class TestParamWalk : public QObject
{
    Q_OBJECT

    struct Asked
    {
        QString caption, name, proposed;
    };

    // Answers each question with the next value; an empty QString() cancels.
    static TAskParam Script(QList<Asked> &asked, QStringList answers)
    {
        return
            [&asked, answers](const QString &caption, const QString &name, QString &value) mutable {
                asked.append({caption, name, value});
                if (answers.isEmpty() || answers.first().isNull())
                    return false;
                value = answers.takeFirst();
                return true;
            };
    }

private slots:
    void comparisonSignsEnclosePlaceholder()
    {
        QStringList lines {"SELECT * FROM T WHERE x < 5 AND y > 2;"};
        QStringList values;
        QList<Asked> asked;
        QVERIFY(ParamWalk(lines, 0, values, Script(asked, {"0"})));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].name, QString(" 5 AND y "));
        QCOMPARE(lines[0], QString("SELECT * FROM T WHERE x 0 2;"));
        QCOMPARE(asked[0].caption, QString("SELECT * FROM T WHERE x"));
    }

    void inequalityAloneIsNoPlaceholderButOpensOne()
    {
        QStringList alone {"WHERE a <> b", "AND c <> d;"};
        QStringList values;
        QList<Asked> asked;
        QVERIFY(ParamWalk(alone, 0, values, Script(asked, {})));
        QVERIFY(asked.isEmpty());
        QCOMPARE(alone, QStringList({"WHERE a <> b", "AND c <> d;"}));

        QStringList later {"WHERE a <> b AND c > d"};
        QVERIFY(ParamWalk(later, 0, values, Script(asked, {"X"})));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].name, QString("> b AND c "));
        QCOMPARE(later[0], QString("WHERE a X d"));

        // A ">" before the "<" closes nothing; the last "<" before a ">" opens.
        int open, close;
        QVERIFY(NextPlaceholder("a>b<<c>", 0, open, close));
        QCOMPARE(open, 4);
        QCOMPARE(close, 6);
        QVERIFY(!NextPlaceholder("a > b < c", 0, open, close));
    }

    void captionsFollowStatements()
    {
        QStringList lines {"CREATE TABLE <TableName> (", "\t<FieldName> <FieldType>,", ");",
                           "  DROP TABLE <Old>;", "<Lone>"};
        QStringList values;
        QList<Asked> asked;
        QVERIFY(ParamWalk(lines, 0, values, Script(asked, {"T", "F", "INTEGER", "O", "L"})));
        QCOMPARE(asked.size(), 5);
        QCOMPARE(asked[0].caption, QString("CREATE TABLE"));
        QCOMPARE(asked[1].caption, QString("CREATE TABLE"));
        QCOMPARE(asked[2].caption, QString("CREATE TABLE"));
        QCOMPARE(asked[3].caption, QString("DROP TABLE"));
        QCOMPARE(asked[4].caption, QString(""));
        QCOMPARE(lines,
                 QStringList({"CREATE TABLE T (", "\tF INTEGER,", ");", "  DROP TABLE O;", "L"}));
    }

    void valueHoldingPlaceholderLeadsToIt()
    {
        QStringList lines {"\tNAME <FieldType>, <Other>"};
        QStringList values;
        QList<Asked> asked;
        QVERIFY(ParamWalk(lines, 0, values, Script(asked, {"VARCHAR(<Size>)", "30", "x"})));
        QCOMPARE(asked.size(), 3);
        QCOMPARE(asked[1].name, QString("Size"));
        QCOMPARE(asked[2].name, QString("Other"));
        QCOMPARE(lines[0], QString("\tNAME VARCHAR(30), x"));
        QCOMPARE(values, QStringList({"FieldType=VARCHAR(<Size>)", "Size=30", "Other=x"}));
    }

    void valueStartingWithAngleOpensNothing()
    {
        QStringList lines {"WHERE a <Op> 5 AND b > 2;"};
        QStringList values;
        QList<Asked> asked;
        QVERIFY(ParamWalk(lines, 0, values, Script(asked, {"<=", "x"})));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(lines[0], QString("WHERE a <= 5 AND b > 2;"));
        QStringList ne {"WHERE a <Op> 5 AND <B>;"};
        QVERIFY(ParamWalk(ne, 0, values, Script(asked, {"<>", "b = 1"})));
        QCOMPARE(asked.last().name, QString("B"));
        QCOMPARE(ne[0], QString("WHERE a <> 5 AND b = 1;"));
        // An empty value skips nothing after it.
        QStringList empty {"<A><B>"};
        QVERIFY(ParamWalk(empty, 0, values, Script(asked, {"", "b"})));
        QCOMPARE(asked.last().name, QString("B"));
        QCOMPARE(empty[0], QString("b"));
    }

    void passwordsNeverProposedNorKept()
    {
        QTemporaryDir dir;
        TIniFile ini(dir.filePath("Orvane.ini"));
        QStringList lines {"<Password_PG> <password_pg>"};
        QStringList values {"Password_PG=secret"};
        QList<Asked> asked;
        QVERIFY(ParamWalk(lines, 0, values, Script(asked, {"typed", "again"})));
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].proposed, QString());
        QCOMPARE(asked[1].proposed, QString());
        QCOMPARE(values, QStringList({"Password_PG=secret"}));
        QVERIFY(!AddParamHistory(ini, "PASSWORD_PG", "typed"));
        ini.WriteString(ParamHistorySection("Password_PG"), "old", QString());
        QVERIFY(ParamHistory(ini, "Password_PG").isEmpty());
    }

    void rememberedValuesProposedIgnoringCase()
    {
        QStringList lines {"SELECT * FROM <TableName>;", "DELETE FROM <TABLENAME>;"};
        QStringList values {"tablename=CUST"};
        QList<Asked> asked;
        QVERIFY(ParamWalk(lines, 0, values, Script(asked, {"ORDERS", "ITEMS"})));
        QCOMPARE(asked[0].proposed, QString("CUST"));
        QCOMPARE(asked[1].proposed, QString("ORDERS"));
        QCOMPARE(values.size(), 1);
        QVERIFY(values[0].endsWith("=ITEMS"));
    }

    void cancelEndsWalkKeepingEarlierReplacements()
    {
        QStringList lines {"<A>", "<B>", "<C>"};
        QStringList values;
        QList<Asked> asked;
        QVERIFY(!ParamWalk(lines, 0, values, Script(asked, {"1", QString()})));
        QCOMPARE(asked.size(), 2);
        QCOMPARE(lines, QStringList({"1", "<B>", "<C>"}));
        QCOMPARE(values, QStringList({"A=1"}));
    }

    void startLineAndLongLines()
    {
        const QString pad(400, u'x');
        QStringList lines {"<Skipped>", pad + "<Far>" + pad + "<Farther>"};
        QStringList values;
        QList<Asked> asked;
        QVERIFY(ParamWalk(lines, 1, values, Script(asked, {"1", "2"})));
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].name, QString("Far"));
        QCOMPARE(lines[0], QString("<Skipped>"));
        QCOMPARE(lines[1], pad + "1" + pad + "2");
    }

    void dialogKindsAndTypes()
    {
        QCOMPARE(ParamKindOf("tablename"), TParamKind::Table);
        QCOMPARE(ParamKindOf("FieldName"), TParamKind::Field);
        QCOMPARE(ParamKindOf("FIELDTYPE"), TParamKind::Type);
        QCOMPARE(ParamKindOf("Where"), TParamKind::Where);
        QCOMPARE(ParamKindOf("IndexName"), TParamKind::Free);
        QCOMPARE(ParamKindOf(" TableName"), TParamKind::Free);
        QStringList sorted = TypeParamItems();
        sorted.sort();
        QCOMPARE(TypeParamItems(), sorted);
        QVERIFY(TypeParamItems().contains("VARCHAR(<Size>)"));
        QCOMPARE(NewParamName(12), QString("Param12"));
    }

    void historyInSettings()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("Orvane.ini");
        {
            TIniFile ini(file);
            QVERIFY(AddParamHistory(ini, "Size", "30"));
            QVERIFY(AddParamHistory(ini, "size", "40"));
            QVERIFY(AddParamHistory(ini, "SIZE", "30"));
            QVERIFY(!AddParamHistory(ini, "Size", "a=b"));
            QVERIFY(!AddParamHistory(ini, "Size", "; note"));
            QVERIFY(!AddParamHistory(ini, "Size", " 7"));
        }
        TIniFile again(file);
        QCOMPARE(ParamHistory(again, "Size"), QStringList({"30", "40"}));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains("[ValuesOfParam_SIZE]\n30=\n40=\n"), qPrintable(text));
    }

    void whereOperatorsAndValues()
    {
        QCOMPARE(WhereOperators(ftString), QStringList({"=", ">", "<", "<>", "like", "in"}));
        QCOMPARE(WhereOperators(ftUnknown), QStringList({"=", ">", "<", "<>", "like", "in"}));
        QCOMPARE(WhereOperators(ftInteger), QStringList({"=", ">", "<", "<>", "in"}));

        const TFieldDef name {"NAME", ftString, 30, false};
        const TFieldDef born {"BORN", ftDate, 0, false};
        const TFieldDef age {"AGE", ftSmallint, 0, false};
        const QDate day(2026, 3, 7);
        // The box holds the value itself: no quotes to type between, dates in ISO form.
        TWhereValue v = WhereFieldValue(&name, {}, day);
        QCOMPARE(v.text, QString());
        QCOMPARE(v.maxLength, 30);
        v = WhereFieldValue(&born, v, day);
        QCOMPARE(v.text, QString("2026-03-07"));
        QCOMPARE(v.maxLength, 0);
        v = WhereFieldValue(&age, {"", 12}, day);
        QCOMPARE(v.text, QString());
        QCOMPARE(v.maxLength, 12);
        QCOMPARE(WhereFieldValue(nullptr, {"", 0}, day).text, QString());

        v = WhereOperatorValue("IN", {"1,2", 5});
        QCOMPARE(v.text, QString("(1,2)"));
        QCOMPARE(v.maxLength, 7);
        QCOMPARE(WhereOperatorValue("in", v).text, QString("(1,2)"));
        QCOMPARE(WhereOperatorValue("in", {"", 0}).maxLength, 0);
        QCOMPARE(WhereOperatorValue("like", {"A%", 0}).text, QString("A%"));

        // Values become literals of the engine: single quotes, embedded ones doubled.
        const auto pg = TSqlDialect::Postgres;
        QCOMPARE(WhereCondition("NAME", "like", "O'B%", ftString, pg),
                 QString("NAME like 'O''B%'"));
        QCOMPARE(WhereCondition("NAME", "like", "\"A%\"", ftUnknown, pg),
                 QString("NAME like 'A%'"));
        QCOMPARE(WhereCondition("AGE", "like", "4%", ftSmallint, pg), QString("AGE like '4%'"));
        QCOMPARE(WhereCondition("NAME", "", "'it''s'", ftString, pg), QString("NAME = 'it''s'"));
        QCOMPARE(WhereCondition("AGE", "", "5", ftSmallint, pg), QString("AGE = 5"));
        QCOMPARE(WhereCondition("AGE", "=", "5 OR 1=1", ftSmallint, pg),
                 QString("AGE = '5 OR 1=1'"));
        QCOMPARE(WhereCondition("BORN", ">", "03/07/2026", ftDate, TSqlDialect::Sqlite),
                 QString("BORN > '2026-03-07'"));
        QCOMPARE(WhereCondition("AGE", "in", "(1, 2,3)", ftSmallint, pg),
                 QString("AGE in (1, 2, 3)"));
        QCOMPARE(WhereCondition("NAME", "IN", "('a,b', \"c\", d)", ftString, pg),
                 QString("NAME IN ('a,b', 'c', 'd')"));
        QCOMPARE(WhereCondition("NAME", "=", "", ftString, pg), QString("NAME = ''"));
        QCOMPARE(WhereCondition("AGE", ">", "", ftSmallint, pg), QString("AGE >"));
        QCOMPARE(WhereCondition("NAME", "", "", ftString, pg), QString("NAME"));
    }
};

QTEST_GUILESS_MAIN(TestParamWalk)
#include "test_param_walk.moc"
