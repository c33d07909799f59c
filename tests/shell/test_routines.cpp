#include "Session.h"
#include "SharedRoutines.h"
#include "SqliteFile.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestRoutines : public QObject
{
    Q_OBJECT

private slots:
    void typeNames()
    {
        QCOMPARE(TypeName(ftString, 20, true), QString("CHAR(20)"));
        QCOMPARE(TypeName(ftString, 21, true), QString("VARCHAR(21)"));
        QCOMPARE(TypeName(ftString, 21, false), QString("CHAR(21)"));
        QCOMPARE(TypeName(ftString, 255, true), QString("VARCHAR(255)"));
        QCOMPARE(TypeName(ftWord, 0, true), QString("SMALLINT"));
        QCOMPARE(TypeName(ftBoolean, 0, true), QString("BIT"));
        QCOMPARE(TypeName(ftBCD, 2, true), QString("FLOAT"));
        QCOMPARE(TypeName(ftTime, 0, true), QString("DATE"));
        QCOMPARE(TypeName(ftAutoInc, 0, true), QString("AUTO INC"));
        QCOMPARE(TypeName(ftMemo, 0, true), QString("MEMO"));
        QCOMPARE(TypeName(ftBlob, 0, true), QString("/*???*/"));
        QCOMPARE(TypeName(ftLargeint, 0, true), QString("/*???*/"));
    }

    void splitAndJoin()
    {
        QCOMPARE(Commas("ID;NAME"), QString("ID,NAME"));
        QCOMPARE(Split("A,,B,", u','), QStringList({"A", "", "B"}));
        QCOMPARE(Split("  A , B  ", u','), QStringList({"A ", " B"})); // entries keep blanks
        QCOMPARE(Split("   ", u','), QStringList());
        QCOMPARE(Split(",A", u','), QStringList({"", "A"}));
        QCOMPARE(Join({"", "A"}, u','), QString("A"));
        QCOMPARE(Join({"A", "", "B"}, u';'), QString("A;;B"));
        QCOMPARE(Join({}, u';'), QString());
        const QString longText = QString(300, u'x') + u',' + QString(300, u'y');
        QCOMPARE(Split(longText, u',').value(1).size(), 300);
    }

    void aliasTablesAreSortedWithoutRegardToCase()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("t.sqlite");
        RunOnSqliteFile(
            file, {"CREATE TABLE beta (x)", "CREATE TABLE Alpha (x)", "CREATE TABLE GAMMA (x)"});
        TSession session(dir.filePath("aliases.ini"));
        session.AddAlias("T", "SQLITE", {"DATABASE NAME=" + file});
        QCOMPARE(AliasTableNames("T", &session), QStringList({"Alpha", "beta", "GAMMA"}));
        QVERIFY(ApplicationFolder().endsWith("/Orvane/"));
    }
};

QTEST_GUILESS_MAIN(TestRoutines)
#include "test_routines.moc"
