#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"
#include "Session.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

// Results of real SQLite queries: lazy fetching, cursors, live changes, Locate.
class TestDataSet : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TSession> m_session;

    void Setup(const QStringList &statements)
    {
        QSqlDatabase db = QSqlDatabase::database("setup");
        QSqlQuery q(db);
        for (const QString &s : statements)
            QVERIFY2(q.exec(s), qPrintable(s + ": " + q.lastError().text()));
    }
    int Count(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database("setup"));
        q.exec(sql);
        return q.next() ? q.value(0).toInt() : -1;
    }
    std::unique_ptr<TQuery> Open(const QString &sql, bool live = false)
    {
        auto q = std::make_unique<TQuery>(m_session.get());
        q->DatabaseName = "SHOP";
        q->SQL = QStringList {sql};
        q->RequestLive = live;
        q->Open();
        return q;
    }

private slots:
    void initTestCase()
    {
        const QString file = m_dir.filePath("data.sqlite");
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        Setup({"CREATE TABLE BIG (N INTEGER NOT NULL, LABEL VARCHAR(12))",
               "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c WHERE x < 99999)"
               " INSERT INTO BIG SELECT x, 'row ' || x FROM c",
               "CREATE TABLE PERSON (ID INTEGER PRIMARY KEY, NAME VARCHAR(20), CITY VARCHAR(20))",
               "INSERT INTO PERSON VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', 'Paris'),"
               " (3, 'bob', 'Rome'), (4, 'Annika', 'Oslo')",
               "CREATE TABLE TWIN (NAME VARCHAR(10), AGE INTEGER)", // no key: only its rowid
               "INSERT INTO TWIN VALUES ('same', 1), ('same', 1)",
               "CREATE TABLE NOROWID (K VARCHAR(5) PRIMARY KEY, V INTEGER) WITHOUT ROWID",
               "INSERT INTO NOROWID VALUES ('a', 1), ('b', 2)"});
        m_session = std::make_unique<TSession>(m_dir.filePath("aliases.ini"));
        m_session->AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + file});
    }

    void cleanupTestCase()
    {
        m_session.reset();
        QSqlDatabase::removeDatabase("setup");
    }

    void firstRowsComeWithoutReadingTheRest()
    {
        auto q = Open("SELECT * FROM BIG ORDER BY N");
        QCOMPARE(q->Value(0).toInt(), 0);
        QVERIFY(q->FetchedCount() <= TQuery::BlockSize);
        QVERIFY(!q->AllFetched());
        QCOMPARE(q->FieldCount(), 2);
        QCOMPARE(q->Fields()[1].DataType, ftString);
        QCOMPARE(q->Fields()[1].Size, 12);
        for (int i = 0; i < 10; ++i)
            q->Next();
        QCOMPARE(q->RecNo(), 10);
        QCOMPARE(q->Value("LABEL").toString(), QString("row 10"));
        QVERIFY(q->FetchedCount() <= TQuery::BlockSize);
    }

    void memoryStaysBoundedAndOldRowsComeBack()
    {
        auto q = Open("SELECT N, LABEL FROM BIG ORDER BY N");
        q->Last();
        QCOMPARE(q->RecordCount(), 100000);
        QCOMPARE(q->Value(0).toInt(), 99999);
        QVERIFY(q->Eof());
        QVERIFY(q->CachedRowCount() <= TQuery::BlockSize * TQuery::MaxCachedBlocks);
        // Far back, long since dropped from memory: read again, still right.
        QCOMPARE(q->ValueAt(5, 1).toString(), QString("row 5"));
        QCOMPARE(q->ValueAt(77777, 0).toInt(), 77777);
        QCOMPARE(q->ValueAt(100000, 0), QVariant());
        q->First();
        QVERIFY(q->Bof());
        q->Prior();
        QCOMPARE(q->RecNo(), 0);
        QVERIFY(q->MoveBy(50000));
        QCOMPARE(q->Value(0).toInt(), 50000);
        QVERIFY(!q->MoveBy(60000));
        QCOMPARE(q->RecNo(), 99999);
    }

    void openResultOutlivesItsDatabaseBeingClosed()
    {
        TDatabase db("DBResult", m_session.get());
        db.SetAliasName("SHOP");
        TQuery q(m_session.get());
        q.DatabaseName = "DBResult";
        q.SQL = QStringList {"SELECT N FROM BIG ORDER BY N"};
        q.Open();
        db.Close(); // an ALIAS switch while a result window still reads its rows
        QCOMPARE(q.ValueAt(5000, 0).toInt(), 5000);
        QCOMPARE(q.ValueAt(3, 0).toInt(), 3);
    }

    void liveEditByPrimaryKeyTouchesOneRow()
    {
        auto q = Open("SELECT NAME, ID FROM PERSON WHERE ID < 100 ORDER BY NAME", true);
        QVERIFY2(q->CanModify(), qPrintable(q->ReadOnlyReason()));
        QVERIFY(q->Locate("NAME", "Bob"));
        q->Edit();
        q->SetValue("NAME", "Robert");
        q->Post();
        QCOMPARE(Count("SELECT COUNT(*) FROM PERSON WHERE NAME = 'Robert'"), 1);
        QCOMPARE(Count("SELECT ID FROM PERSON WHERE NAME = 'Robert'"), 2);
        QCOMPARE(q->Value("NAME").toString(), QString("Robert"));
        QCOMPARE(q->State(), TDataSetState::Browse);

        q->Append();
        q->SetValue("NAME", "Zoe");
        q->SetValue("ID", 10);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q->SetValue("CITY", "Oslo")); // not in the result
        q->Post();
        QCOMPARE(q->Value("ID").toInt(), 10); // the cursor is on the new row
        QCOMPARE(Count("SELECT COUNT(*) FROM PERSON"), 5);

        QVERIFY(q->Locate("ID", 10));
        q->Delete();
        QCOMPARE(Count("SELECT COUNT(*) FROM PERSON"), 4);
        QCOMPARE(Count("SELECT COUNT(*) FROM PERSON WHERE ID = 10"), 0);
    }

    // An edit far down a result read to its end neither reads the result again up to the
    // row nor forgets how many rows it has; one that may move rows starts over.
    void editFarDownKeepsPlacesUnlessRowsMayMove()
    {
        auto q = Open("SELECT N, LABEL FROM BIG", true);
        q->Last();
        QVERIFY(q->MoveBy(-40000));
        QCOMPARE(q->Value("N").toInt(), 59999);
        q->Edit();
        q->SetValue("LABEL", "edited");
        const qint64 before = q->RowsRead();
        q->Post();
        QCOMPARE(q->RowsRead() - before, 1); // the edited row alone, by its key
        QCOMPARE(q->RecNo(), 59999);
        QCOMPARE(q->Value("LABEL").toString(), QString("edited"));
        QVERIFY(q->AllFetched());
        QCOMPARE(q->FetchedCount(), 100000);
        QCOMPARE(Count("SELECT N FROM BIG WHERE LABEL = 'edited'"), 59999);

        auto ordered = Open("SELECT N, LABEL FROM BIG ORDER BY LABEL", true);
        ordered->Last();
        QVERIFY(ordered->Locate("N", 59999));
        ordered->Edit();
        ordered->SetValue("LABEL", "row 59999");
        ordered->Post();
        QVERIFY(!ordered->AllFetched()); // the row moved: read from the start again
        QCOMPARE(ordered->RecordCount(), 100000);
        QCOMPARE(Count("SELECT COUNT(*) FROM BIG WHERE LABEL = 'edited'"), 0);
    }

    void rowIdIdentifiesRowsOfATableWithoutKey()
    {
        auto q = Open("SELECT AGE FROM TWIN", true);
        QVERIFY2(q->CanModify(), qPrintable(q->ReadOnlyReason()));
        QCOMPARE(q->FieldCount(), 1); // the row id stays out of sight
        q->Next();
        q->Edit();
        q->SetValue(0, 2);
        q->Post();
        // Two identical rows: only the second one changed.
        QCOMPARE(Count("SELECT COUNT(*) FROM TWIN WHERE AGE = 1"), 1);
        QCOMPARE(Count("SELECT AGE FROM TWIN WHERE rowid = 2"), 2);
        q->Append();
        q->SetValue(0, 7);
        q->Post();
        QCOMPARE(q->Value(0).toInt(), 7);
    }

    void resultsThatCannotIdentifyRowsAreReadOnly()
    {
        for (const char *sql : {"SELECT DISTINCT CITY FROM PERSON",
                                "SELECT p.NAME FROM PERSON p JOIN TWIN t ON 1 = 1",
                                "SELECT CITY, COUNT(*) FROM PERSON GROUP BY CITY",
                                "SELECT COUNT(*) FROM PERSON", "SELECT V FROM NOROWID"}) {
            auto q = Open(sql, true);
            QVERIFY2(!q->CanModify(), sql);
            QVERIFY2(!q->ReadOnlyReason().isEmpty(), sql);
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, q->Edit());
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, q->Delete());
        }
        auto plain = Open("SELECT * FROM PERSON", false);
        QVERIFY(!plain->CanModify());
        auto keyed = Open("SELECT K, V FROM NOROWID", true);
        QVERIFY(keyed->CanModify());
        auto computed = Open("SELECT ID, NAME || '!' AS LOUD FROM PERSON", true);
        QVERIFY(computed->CanModify());
        computed->Edit();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, computed->SetValue("LOUD", "x"));
        computed->Cancel();
    }

    void failedChangeWritesNothingAndKeepsTheEdit()
    {
        Setup({"CREATE TABLE STRICTT (ID INTEGER PRIMARY KEY, NAME VARCHAR(10) NOT NULL)",
               "INSERT INTO STRICTT VALUES (1, 'one')"});
        auto q = Open("SELECT * FROM STRICTT", true);
        q->Edit();
        q->SetValue("NAME", QVariant());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q->Post());
        QCOMPARE(q->State(), TDataSetState::Edit);
        QCOMPARE(Count("SELECT COUNT(*) FROM STRICTT WHERE NAME = 'one'"), 1);
        q->Cancel();
        // Someone else deletes the row between reading and writing it.
        Setup({"DELETE FROM STRICTT"});
        q->Edit();
        q->SetValue("NAME", "two");
        try {
            q->Post();
            QFAIL("a change to a vanished row was reported as done");
        } catch (const EDatabaseError &e) {
            QVERIFY(e.Message() == RowChangedMessage());
        }
        QCOMPARE(Count("SELECT COUNT(*) FROM STRICTT"), 0);
    }

    void locateOptions()
    {
        Setup({"CREATE TABLE PLACE (ID INTEGER PRIMARY KEY, NAME VARCHAR(20))",
               "INSERT INTO PLACE VALUES (1, 'Ann'), (2, 'Bob'), (3, 'bob'), (4, 'Annika')"});
        auto q = Open("SELECT * FROM PLACE ORDER BY ID");
        QVERIFY(q->Locate("NAME", "bob"));
        QCOMPARE(q->Value("ID").toInt(), 3);
        QVERIFY(q->Locate("NAME", "BOB", loCaseInsensitive));
        QCOMPARE(q->Value("ID").toInt(), 2);
        QVERIFY(q->Locate("NAME", "annik", loCaseInsensitive | loPartialKey));
        QCOMPARE(q->Value("ID").toInt(), 4);
        QVERIFY(q->Locate("NAME", "Ann", loPartialKey));
        QCOMPARE(q->Value("ID").toInt(), 1);
        QVERIFY(!q->Locate("NAME", "annik", loPartialKey)); // case matters without the option
        QCOMPARE(q->Value("ID").toInt(), 1); // a miss leaves the cursor where it was
        QVERIFY(!q->Locate("NAME", "Anni", loCaseInsensitive)); // whole value without partial
        QVERIFY(q->Locate("ID", 4));
        QCOMPARE(q->Value("NAME").toString(), QString("Annika"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q->Locate("NOFIELD", 1));
    }

    void engineMessagesReachTheCaller()
    {
        TQuery q(m_session.get());
        q.DatabaseName = "SHOP";
        const auto failure = [](const std::function<void()> &action) {
            try {
                action();
            } catch (const EDatabaseError &e) {
                return e.Message();
            }
            return QStringLiteral("(no error)");
        };
        q.SQL = QStringList {"SELECT * FROM NOTHERE"};
        QCOMPARE(failure([&q] { q.Open(); }), QString("no such table: NOTHERE"));
        // Nor do texts that only the columns' no-rows form around them makes a query of.
        for (const char *text :
             {"SELEC 1", "SELECT 1) UNION SELECT (1", "(SELECT NAME FROM PERSON)", "PERSON",
              "SELECT NAME FROM PERSON) x, (SELECT 1"}) {
            q.SQL = QStringList {text};
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.Prepare());
        }
        // The engine closes a comment left open at the end: the columns are found all the
        // same.
        // A no-break space is part of a name to the engine, at the end and before a ";" too.
        for (const char *text : {"SELECT NAME FROM PERSON\u00a0 \n;",
                                 "SELECT NAME FROM PERSON\u00a0", "\u00a0SELECT 1"}) {
            q.SQL = QStringList {QString::fromUtf8(text)};
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.Prepare());
        }
        q.SQL = QStringList {"SELECT NAME, CITY FROM PERSON /* note"};
        q.Prepare();
        QCOMPARE(q.FieldCount(), 2);
        q.SQL = QStringList {"UPDATE PERSON SET CITY = 'Oslo'"};
        q.Prepare(); // checking does not run it
        QCOMPARE(Count("SELECT COUNT(*) FROM PERSON WHERE CITY = 'Oslo'"), 2);
        q.ExecSQL();
        QCOMPARE(q.RowsAffected(), 4);
        q.SQL = QStringList {"CREATE TABLE AFTER_UPDATE (A INTEGER)"};
        q.ExecSQL();
        QCOMPARE(q.RowsAffected(), 0); // not the count of the UPDATE before it
        // Refused by Qt before the engine sees it: Qt's words, not the engine's "not an error".
        q.SQL = QStringList {"SELECT 1; SELECT 2"};
        QCOMPARE(failure([&q] { q.ExecSQL(); }),
                 QString("Unable to execute multiple statements at a time"));

        // The engine would read only the text before a NUL, and change every row.
        q.SQL = QStringList {QString("UPDATE PERSON SET CITY = 'Rome'") + QChar(0)
                             + " WHERE NAME = 'nobody'"};
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.ExecSQL());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.Prepare());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.Open());
        QCOMPARE(Count("SELECT COUNT(*) FROM PERSON WHERE CITY = 'Rome'"), 0);
    }
};

QTEST_GUILESS_MAIN(TestDataSet)
#include "test_dataset.moc"
