#include "Database.h"
#include "EngineError.h"
#include "Session.h"
#include "SqliteFile.h"
#include "Table.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// Catalog questions and aliases against real SQLite files.
class TestSqliteEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;

    QString Config(const QString &name) const { return m_dir.filePath(name); }

    static void Exec(const QString &file, const QStringList &statements)
    {
        RunOnSqliteFile(file, statements);
    }

    static QByteArray Digest(const QString &file)
    {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }

private slots:
    void initTestCase()
    {
        m_db = m_dir.filePath("shop.sqlite");
        Exec(m_db,
             {
                 "CREATE TABLE CUST (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME VARCHAR(30) NOT "
                 "NULL,"
                 " CODE CHAR(5), SHORTNAME CHAR(20), AGE SMALLINT, SCORE INTEGER, OK BOOLEAN,"
                 " RATE REAL, PRICE NUMERIC(10,2), PAID MONEY, BORN DATE, AT TIME, SEEN TIMESTAMP,"
                 " PIC BLOB, NOTES TEXT, ODD GEOMETRY)",
                 "CREATE TABLE ITEM (ORD INTEGER NOT NULL, LINE SMALLINT NOT NULL, PART INTEGER,"
                 " PRIMARY KEY (LINE, ORD))",
                 "CREATE UNIQUE INDEX ITEM_PART ON ITEM (PART, ORD DESC)",
                 "CREATE INDEX CUST_NAME ON CUST (NAME, CODE)",
                 "CREATE INDEX CUST_EXPR ON CUST (lower(NAME))",
                 "CREATE VIEW BIG_CUST AS SELECT * FROM CUST WHERE SCORE > 10",
             });
    }

    void fieldTypesAndSizes()
    {
        TSession session(Config("types.ini"));
        session.AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_db});
        TTable t(&session);
        t.DatabaseName = "SHOP";
        t.TableName = "cust"; // table names are not case-sensitive here
        t.UpdateFieldDefs();
        struct Want
        {
            const char *name;
            TFieldType type;
            int size;
            bool required;
        };
        const Want want[] = {
            {"ID", ftAutoInc, 0, false},    {"NAME", ftString, 30, true},
            {"CODE", ftString, 5, false},   {"SHORTNAME", ftString, 20, false},
            {"AGE", ftSmallint, 0, false},  {"SCORE", ftInteger, 0, false},
            {"OK", ftBoolean, 0, false},    {"RATE", ftFloat, 0, false},
            {"PRICE", ftBCD, 2, false},     {"PAID", ftCurrency, 0, false},
            {"BORN", ftDate, 0, false},     {"AT", ftTime, 0, false},
            {"SEEN", ftDateTime, 0, false}, {"PIC", ftBlob, 0, false},
            {"NOTES", ftMemo, 0, false},    {"ODD", ftUnknown, 0, false},
        };
        QCOMPARE(t.FieldDefs.size(), qsizetype(std::size(want)));
        for (size_t i = 0; i < std::size(want); ++i) {
            const TFieldDef &d = t.FieldDefs[int(i)];
            QCOMPARE(d.Name, QString(want[i].name));
            QCOMPARE(int(d.DataType), int(want[i].type));
            QCOMPARE(d.Size, want[i].size);
            QCOMPARE(d.Required, want[i].required);
        }
    }

    void indexesWithPrimaryInKeyOrder()
    {
        TSession session(Config("indexes.ini"));
        session.AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_db});
        TTable t(&session);
        t.DatabaseName = "SHOP";
        t.TableName = "ITEM";
        t.UpdateIndexDefs();
        QCOMPARE(t.IndexDefs.size(), 2);
        QVERIFY(t.IndexDefs[0].IsPrimary());
        QCOMPARE(t.IndexDefs[0].Fields, QString("LINE;ORD")); // key order, not column order
        QCOMPARE(t.IndexFieldNames(), QString("LINE;ORD"));
        QCOMPARE(t.IndexDefs[1].Name, QString("ITEM_PART"));
        QCOMPARE(t.IndexDefs[1].Fields, QString("PART;ORD"));
        QVERIFY(t.IndexDefs[1].IsUnique() && !t.IndexDefs[1].IsPrimary());
        QVERIFY(t.IndexDefs[1].Options & ixDescending);

        t.TableName = "CUST";
        t.UpdateIndexDefs();
        // The rowid key has no index of its own but is still the primary key; the
        // expression index has no field list and is left out.
        QCOMPARE(t.IndexDefs.size(), 2);
        QCOMPARE(t.IndexDefs[0].Fields, QString("ID"));
        QVERIFY(t.IndexDefs[0].IsPrimary());
        QCOMPARE(t.IndexDefs[1].Fields, QString("NAME;CODE"));
        QCOMPARE(t.IndexDefs[1].Options, 0u);

        t.TableName = "NOPE";
        try {
            t.UpdateFieldDefs();
            QFAIL("a missing table was read");
        } catch (const EDatabaseError &e) {
            QCOMPARE(e.Message(), QString("Table does not exist: NOPE"));
        }
    }

    void tableListHasTablesViewsAndInternalTables()
    {
        TSession session(Config("tables.ini"));
        session.AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_db});
        QCOMPARE(session.GetTableNames("SHOP"),
                 QStringList({"BIG_CUST", "CUST", "ITEM", "sqlite_sequence"}));
    }

    void savedAliasesSurviveSessionOnlyOnesDoNot()
    {
        const QString config = Config("aliases.ini");
        {
            TSession session(config);
            QCOMPARE(session.GetAliasNames(), QStringList({"DEMO"})); // first start
            session.AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_db});
            session.AddAlias("TEMPFILES", "SQLITE", {"DATABASE NAME=/tmp/x.sqlite"},
                             TSession::TPersistence::SessionOnly);
            QCOMPARE(session.GetAliasNames(), QStringList({"DEMO", "SHOP", "TEMPFILES"}));
            session.SaveConfigFile();
        }
        TSession again(config);
        QCOMPARE(again.GetAliasNames(), QStringList({"DEMO", "SHOP"}));
        QCOMPARE(again.GetAliasDriverName("shop"), QString("SQLITE"));
        QCOMPARE(again.GetAliasParams("SHOP"), QStringList({"DATABASE NAME=" + m_db}));
        QFile f(config);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.readAll().contains("TEMPFILES"));

        again.DeleteAlias("SHOP");
        again.SaveConfigFile();
        QCOMPARE(TSession(config).GetAliasNames(), QStringList({"DEMO"}));
    }

    void demoDatabaseIsBuiltOnFirstStart()
    {
        TSession session(Config("demo.ini"));
        const QStringList tables = session.GetTableNames("DEMO");
        for (const char *t : {"CUSTOMER", "EMPLOYEE", "ITEMS", "ORDERS", "PARTS", "VENDORS"})
            QVERIFY2(tables.contains(t), t);
        TTable items(&session);
        items.DatabaseName = "DEMO";
        items.TableName = "ITEMS";
        items.Update();
        QCOMPARE(items.IndexFieldNames(), QString("ORDERNO;ITEMNO"));
    }

    void aliasErrorsAreClear()
    {
        TSession session(Config("errors.ini"));
        session.AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_db});
        auto message = [](auto &&call) {
            try {
                call();
            } catch (const EDatabaseError &e) {
                return e.Message();
            }
            return QString("no error");
        };
        QCOMPARE(message([&] { session.AddAlias("shop", "SQLITE", {}); }),
                 QString("Duplicate alias name: shop"));
        QCOMPARE(message([&] { session.GetAliasDriverName("NOWHERE"); }),
                 QString("Unknown alias: NOWHERE"));
        QCOMPARE(message([&] { session.DeleteAlias("NOWHERE"); }),
                 QString("Unknown alias: NOWHERE"));
        QCOMPARE(message([&] { session.AddAlias("X", "NODRIVER", {}); }),
                 QString("Unknown driver: NODRIVER"));
        QCOMPARE(message([&] { session.GetTableNames("NOWHERE"); }),
                 QString("Unknown database: NOWHERE"));
        QCOMPARE(session.GetAliasNames(), QStringList({"DEMO", "SHOP"}));
    }

    void badDatabaseFilesAreRefusedAndLeftAlone()
    {
        TSession session(Config("bad.ini"));
        const QString missing = m_dir.filePath("typo.sqlite");
        const QString text = m_dir.filePath("notes.sqlite");
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("These are my notes, not a database.\n");
        }
        const QByteArray before = Digest(text);
        session.AddAlias("MISSING", "SQLITE", {"DATABASE NAME=" + missing});
        session.AddAlias("TEXT", "SQLITE", {"DATABASE NAME=" + text});

        TDatabase db("DBTest", &session);
        db.SetAliasName("MISSING");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, db.Open());
        QVERIFY(!QFile::exists(missing)); // never created as an empty database
        try {
            db.SetAliasName("TEXT");
            db.Open();
            QFAIL("a text file opened as a database");
        } catch (const EDatabaseError &e) {
            QCOMPARE(e.Message(), text + " is not an SQLite database.");
        }
        QVERIFY(!db.Connected());
        QCOMPARE(Digest(text), before);
    }

    void aliasChangesOnlyWhileDisconnected()
    {
        TSession session(Config("switch.ini"));
        session.AddAlias("SHOP", "SQLITE", {"DATABASE NAME=" + m_db});
        TDatabase db("DBOrvane", &session);
        db.SetAliasName("SHOP");
        QVERIFY(!db.Connected());
        QCOMPARE(session.GetTableNames("DBOrvane").size(), 4); // connects on first use
        QVERIFY(db.Connected());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, db.SetAliasName("DEMO"));
        db.Close();
        db.SetAliasName("DEMO");
        QVERIFY(session.GetTableNames("DBOrvane").contains("CUSTOMER"));
    }
};

QTEST_GUILESS_MAIN(TestSqliteEngine)
#include "test_sqlite_engine.moc"
