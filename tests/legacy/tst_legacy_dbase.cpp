#include "DataSet.h"
#include "LegacyTestUtil.h"
#include "Session.h"
#include "Table.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <shapefil.h>

using namespace LegacyTest;

class TestDbase : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;

    TParams Params() const
    {
        return {QStringLiteral("DEFAULT DRIVER=DBASE"), QStringLiteral("PATH=") + m_folder};
    }
    std::unique_ptr<TConnection> Open() { return Connect(QStringLiteral("STANDARD"), Params()); }
    QString PathOf(const QString &file) const { return m_folder + file; }

    // A table written by shapelib itself, text in Latin-1 as old dBASE files keep it.
    void MakeStock(const QString &file)
    {
        DBFHandle h = DBFCreate(QFile::encodeName(PathOf(file)).constData());
        QVERIFY(h);
        QVERIFY(DBFAddField(h, "NAME", FTString, 20, 0) >= 0);
        QVERIFY(DBFAddField(h, "QTY", FTInteger, 6, 0) >= 0);
        QVERIFY(DBFAddField(h, "PRICE", FTDouble, 10, 2) >= 0);
        QVERIFY(DBFAddNativeFieldType(h, "RATIO", 'F', 12, 4) >= 0);
        QVERIFY(DBFAddNativeFieldType(h, "ACTIVE", 'L', 1, 0) >= 0);
        QVERIFY(DBFAddNativeFieldType(h, "BORN", 'D', 8, 0) >= 0);
        QVERIFY(DBFWriteStringAttribute(h, 0, 0, QString("Åsa").toLatin1().constData()));
        QVERIFY(DBFWriteIntegerAttribute(h, 0, 1, 3));
        QVERIFY(DBFWriteDoubleAttribute(h, 0, 2, 12.5));
        QVERIFY(DBFWriteDoubleAttribute(h, 0, 3, 0.25));
        QVERIFY(DBFWriteLogicalAttribute(h, 0, 4, 'T'));
        char born[] = "19990102";
        QVERIFY(DBFWriteAttributeDirectly(h, 0, 5, born));
        QVERIFY(DBFWriteStringAttribute(h, 1, 0, "Bolt"));
        QVERIFY(DBFWriteIntegerAttribute(h, 1, 1, -40));
        QVERIFY(DBFWriteDoubleAttribute(h, 1, 2, 0.05));
        QVERIFY(DBFWriteNULLAttribute(h, 1, 3));
        QVERIFY(DBFWriteLogicalAttribute(h, 1, 4, 'F'));
        QVERIFY(DBFWriteNULLAttribute(h, 1, 5));
        DBFClose(h);
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_folder
            = m_dir.path() + QStringLiteral("/case%1/").arg(QRandomGenerator::global()->generate());
        QVERIFY(QDir().mkpath(m_folder));
        MakeStock(QStringLiteral("stock.dbf"));
    }

    void readsWhatShapelibWrote()
    {
        auto c = Open();
        QCOMPARE(c->TableNames(), QStringList {QStringLiteral("stock")});
        const QList<TFieldDef> defs = c->FieldDefs(QStringLiteral("STOCK"));
        QCOMPARE(defs.size(), 6);
        QCOMPARE(defs[0].DataType, ftString);
        QCOMPARE(defs[0].Size, 20);
        QCOMPARE(defs[1].DataType, ftInteger);
        QCOMPARE(defs[2].DataType, ftBCD);
        QCOMPARE(defs[2].Size, 2);
        QCOMPARE(defs[3].DataType, ftFloat);
        QCOMPARE(defs[4].DataType, ftBoolean);
        QCOMPARE(defs[5].DataType, ftDate);
        QVERIFY(c->IndexDefs(QStringLiteral("stock")).isEmpty());

        const auto rows = Rows(*c, QStringLiteral("SELECT * FROM stock ORDER BY qty"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("Bolt"));
        QCOMPARE(rows[0][1].toInt(), -40);
        QCOMPARE(rows[0][2].toString(), QStringLiteral("0.05"));
        QVERIFY(rows[0][3].isNull());
        QCOMPARE(rows[0][4].toInt(), 0);
        QVERIFY(rows[0][5].isNull());
        QCOMPARE(rows[1][0].toString(), QStringLiteral("Åsa"));
        QCOMPARE(rows[1][2].toDouble(), 12.5);
        QCOMPARE(rows[1][3].toDouble(), 0.25);
        QCOMPARE(rows[1][4].toInt(), 1);
        QCOMPARE(rows[1][5].toString(), QStringLiteral("1999-01-02"));

        // Result columns carry the file's types too.
        QSqlQuery q(c->Db());
        QVERIFY(q.exec(QStringLiteral("SELECT name, born FROM stock")));
        QCOMPARE(c->ResultField(q, 0).DataType, ftString);
        QCOMPARE(c->ResultField(q, 0).Size, 20);
        QCOMPARE(c->ResultField(q, 1).DataType, ftDate);
    }

    void changesReachTheFile()
    {
        {
            auto c = Open();
            QCOMPARE(Exec(*c,
                          QStringLiteral("INSERT INTO stock (name, qty, price, active, born) "
                                         "VALUES ('Nut', 7, '1.20', 1, '2024-02-29')")),
                     QString());
            QCOMPARE(Exec(*c,
                          QStringLiteral("UPDATE stock SET qty = qty + 1, name = 'Äxel' "
                                         "WHERE name = 'Bolt'")),
                     QString());
            QCOMPARE(Exec(*c, QStringLiteral("DELETE FROM stock WHERE qty = 3")), QString());
        }
        auto c = Open();
        const auto rows
            = Rows(*c, QStringLiteral("SELECT name, qty, price, born FROM stock ORDER BY qty"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("Äxel"));
        QCOMPARE(rows[0][1].toInt(), -39);
        QCOMPARE(rows[1][0].toString(), QStringLiteral("Nut"));
        QCOMPARE(rows[1][2].toString(), QStringLiteral("1.20"));
        QCOMPARE(rows[1][3].toString(), QStringLiteral("2024-02-29"));

        // shapelib reads the file as written: deleted rows are gone, text stays Latin-1.
        DBFHandle h
            = DBFOpen(QFile::encodeName(PathOf(QStringLiteral("stock.dbf"))).constData(), "rb");
        QVERIFY(h);
        QCOMPARE(DBFGetRecordCount(h), 2);
        QCOMPARE(QByteArray(DBFReadStringAttribute(h, 0, 0)).trimmed(), QString("Äxel").toLatin1());
        QCOMPARE(DBFReadIntegerAttribute(h, 1, 1), 7);
        DBFClose(h);
    }

    // A result still being read keeps its rows while the table changes under it, here by
    // another connection and then by a statement of its own connection.
    void openReaderSurvivesChanges()
    {
        auto c = Open();
        auto other = Open();
        QSqlQuery reader(c->Db());
        reader.setForwardOnly(true);
        QVERIFY(reader.exec(QStringLiteral("SELECT name FROM stock")));
        QVERIFY(reader.next());
        QCOMPARE(Exec(*other, QStringLiteral("DELETE FROM stock")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO stock (name) VALUES ('new')")), QString());
        QVERIFY(reader.next());
        QCOMPARE(reader.value(0).toString(), QStringLiteral("Bolt"));
        QVERIFY(!reader.next());
        QCOMPARE(Rows(*c, QStringLiteral("SELECT name FROM stock")),
                 QList<QVariantList> {{QStringLiteral("new")}});
    }

    // A column compared with a value finds the rows SQLite's own comparison finds (inside
    // coalesce the table does not see the comparison), for numbers, text and NULL alike.
    void equalityOnAnyColumnFindsWhatSqliteFinds()
    {
        auto c = Open();
        QCOMPARE(Exec(*c,
                      QStringLiteral("CREATE TABLE eq (id INTEGER, qty NUMERIC(10,2), "
                                     "name VARCHAR(12))")),
                 QString());
        QCOMPARE(Exec(*c,
                      QStringLiteral("INSERT INTO eq VALUES (1, 3, '3'), (2, 3.0, 'x'), "
                                     "(3, NULL, NULL), (4, 2.5, '2.5'), (5, -40, '-40'), "
                                     "(6, 12.5, '12.50'), (7, 0, '')")),
                 QString());
        int found = 0;
        for (const char *column : {"id", "qty", "name"})
            for (const char *value :
                 {"3", "'3'", "3.0", "-40", "12.5", "2", "0", "NULL", "9007199254740993"}) {
                const QString query = QStringLiteral("SELECT id FROM eq WHERE %1 ORDER BY id");
                const QString test
                    = QStringLiteral("%1 = %2").arg(QLatin1String(column), QLatin1String(value));
                const auto rows = Rows(*c, query.arg(test));
                QVERIFY2(rows == Rows(*c, query.arg("coalesce(" + test + ", 0)")),
                         qPrintable(test));
                found += int(rows.size());
            }
        QVERIFY(found > 10);
    }

    void failuresLeaveTheFileAsItWas()
    {
        const QString file = PathOf(QStringLiteral("stock.dbf"));
        const QByteArray before = FileHash(file);
        auto c = Open();
        // The second row's new name is too long: neither row may change.
        QVERIFY(!Exec(*c,
                      QStringLiteral("UPDATE stock SET name = CASE WHEN qty < 0 THEN "
                                     "'a name much longer than twenty' ELSE 'ok' END"))
                     .isEmpty());
        QVERIFY(
            Exec(*c, QStringLiteral("INSERT INTO stock (qty) VALUES ('many')")).contains(u"QTY"));
        QVERIFY(
            !Exec(*c, QStringLiteral("INSERT INTO stock (born) VALUES ('2023-02-30')")).isEmpty());
        QVERIFY(
            !Exec(*c, QStringLiteral("INSERT INTO stock (qty) VALUES (12345678901234)")).isEmpty());
        QCOMPARE(Exec(*c, QStringLiteral("BEGIN")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("DELETE FROM stock")), QString());
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM stock"))[0][0].toInt(), 0);
        QCOMPARE(Exec(*c, QStringLiteral("ROLLBACK")), QString());
        QCOMPARE(FileHash(file), before);
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM stock"))[0][0].toInt(), 2);
        QCOMPARE(Rows(*c, QStringLiteral("SELECT name FROM stock WHERE qty = 3"))[0][0].toString(),
                 QStringLiteral("Åsa"));

        QCOMPARE(Exec(*c, QStringLiteral("BEGIN")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("DELETE FROM stock WHERE qty < 0")), QString());
        QCOMPARE(FileHash(file), before); // nothing is written before the commit
        QCOMPARE(Exec(*c, QStringLiteral("COMMIT")), QString());
        QCOMPARE(Rows(*Open(), QStringLiteral("SELECT COUNT(*) FROM stock"))[0][0].toInt(), 1);
    }

    // The second table's rows cannot be written (its Latin-1 text cannot hold Cyrillic):
    // the first table, changed in the same transaction, must not be written either.
    void failedWriteLeavesEveryTable()
    {
        auto c = Open();
        QCOMPARE(Exec(*c, QStringLiteral("CREATE TABLE sums (amount NUMERIC(6,2))")), QString());
        const QByteArray stock = FileHash(PathOf(QStringLiteral("stock.dbf")));
        const QByteArray sums = FileHash(PathOf(QStringLiteral("sums.dbf")));
        QCOMPARE(Exec(*c, QStringLiteral("BEGIN")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO sums VALUES ('1.5')")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO stock (name) VALUES ('Шайба')")), QString());
        const QString error = Exec(*c, QStringLiteral("COMMIT"));
        QVERIFY2(error.contains(u"NAME"), qPrintable(error));
        Exec(*c, QStringLiteral("ROLLBACK"));
        QCOMPARE(FileHash(PathOf(QStringLiteral("stock.dbf"))), stock);
        QCOMPARE(FileHash(PathOf(QStringLiteral("sums.dbf"))), sums);
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM sums"))[0][0].toInt(), 0);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden).filter(u".tmp").size(), 0);

        // Numbers wider than their field are refused by the statement itself; a table made
        // here keeps its text as UTF-8 and takes any letters.
        QVERIFY(Exec(*c, QStringLiteral("INSERT INTO sums VALUES ('123456789.5')"))
                    .contains(u"amount"));
        QVERIFY(!Exec(*c, QStringLiteral("INSERT INTO stock (qty) VALUES (1234567)")).isEmpty());
        QCOMPARE(FileHash(PathOf(QStringLiteral("sums.dbf"))), sums);
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO sums VALUES ('-999.99'), (2)")), QString());
        QCOMPARE(Rows(*Open(), QStringLiteral("SELECT amount FROM sums")),
                 (QList<QVariantList> {{QStringLiteral("-999.99")}, {QStringLiteral("2.00")}}));
    }

    void createAndDropTables()
    {
        auto c = Open();
        const QString memo = QString(700, u'm') + QStringLiteral(" – ünïcode");
        QCOMPARE(Exec(*c,
                      QStringLiteral("CREATE TABLE notes (id INTEGER, title VARCHAR(30), "
                                     "amount NUMERIC(8,3), ratio FLOAT, done BOOLEAN, "
                                     "due DATE, body MEMO, big BIGINT)")),
                 QString());
        QVERIFY(QFile::exists(PathOf(QStringLiteral("notes.dbf"))));
        QCOMPARE(Exec(*c,
                      QStringLiteral("INSERT INTO notes VALUES (1, 'Привет', '12.345', 1.5, 0, "
                                     "'2001-12-31', '%1', 9000000000)")
                          .arg(memo)),
                 QString());
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO notes (id, body) VALUES (2, 'short')")),
                 QString());
        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE notes (x INTEGER)")).isEmpty());
        QCOMPARE(Exec(*c, QStringLiteral("CREATE TABLE IF NOT EXISTS notes (x INTEGER)")),
                 QString());

        auto fresh = Open();
        QCOMPARE(fresh->TableNames(),
                 (QStringList {QStringLiteral("notes"), QStringLiteral("stock")}));
        const QList<TFieldDef> defs = fresh->FieldDefs(QStringLiteral("notes"));
        QCOMPARE(defs.size(), 8);
        QCOMPARE(defs[0].DataType, ftInteger);
        QCOMPARE(defs[1].DataType, ftString);
        QCOMPARE(defs[1].Size, 30);
        QCOMPARE(defs[2].DataType, ftBCD);
        QCOMPARE(defs[2].Size, 3);
        QCOMPARE(defs[3].DataType, ftFloat);
        QCOMPARE(defs[4].DataType, ftBoolean);
        QCOMPARE(defs[5].DataType, ftDate);
        QCOMPARE(defs[6].DataType, ftMemo);
        QCOMPARE(defs[7].DataType, ftLargeint);
        const auto rows = Rows(*fresh, QStringLiteral("SELECT * FROM notes ORDER BY id"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Привет"));
        QCOMPARE(rows[0][2].toString(), QStringLiteral("12.345"));
        QCOMPARE(rows[0][3].toDouble(), 1.5);
        QCOMPARE(rows[0][4].toInt(), 0);
        QCOMPARE(rows[0][5].toString(), QStringLiteral("2001-12-31"));
        QCOMPARE(rows[0][6].toString(), memo);
        QCOMPARE(rows[0][7].toLongLong(), 9000000000LL);
        QCOMPARE(rows[1][6].toString(), QStringLiteral("short"));
        QVERIFY(rows[1][1].isNull());

        // Types and keys a dBASE file cannot hold are refused, leaving no file behind.
        QVERIFY(Exec(*c, QStringLiteral("CREATE TABLE t1 (at TIMESTAMP)")).contains(u"dBASE"));
        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE t2 (id INTEGER PRIMARY KEY)")).isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE t3 (a_very_long_name INTEGER)")).isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE t4 AS SELECT * FROM stock")).isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE t5 (a INTEGER")).isEmpty());
        for (const char *name : {"t1", "t2", "t3", "t4", "t5"})
            QVERIFY(!QFile::exists(PathOf(QString::fromLatin1(name) + QStringLiteral(".dbf"))));
        // Views or indexes would only live in memory: refused.
        QVERIFY(!Exec(*c, QStringLiteral("CREATE VIEW v AS SELECT * FROM stock")).isEmpty());

        QCOMPARE(Exec(*fresh, QStringLiteral("BEGIN")), QString());
        QVERIFY(
            Exec(*fresh, QStringLiteral("DROP TABLE notes")).contains(u"outside a transaction"));
        QCOMPARE(Exec(*fresh, QStringLiteral("ROLLBACK")), QString());
        QVERIFY(QFile::exists(PathOf(QStringLiteral("notes.dbt"))));
        QCOMPARE(Exec(*fresh, QStringLiteral("DROP TABLE notes")), QString());
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("notes.dbf"))));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("notes.dbt"))));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("notes.cpg"))));
        QCOMPARE(fresh->TableNames(), QStringList {QStringLiteral("stock")});
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList {QStringLiteral("stock.dbf")}); // no temporary files left
    }

    void damagedFilesGiveErrors_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated header") << QByteArray("\x03\x7c\x01\x01\x05", 5);
        QByteArray garbage(3000, '\0');
        for (char &b : garbage)
            b = char(QRandomGenerator::global()->bounded(256));
        garbage[0] = 'x';
        QTest::newRow("garbage") << garbage;
        QFile stock(PathOf(QStringLiteral("stock.dbf")));
        QVERIFY(stock.open(QIODevice::ReadOnly));
        const QByteArray good = stock.readAll();
        QTest::newRow("records cut off") << good.left(good.size() - 20);
        QByteArray lying = good;
        lying[10] = char(lying[10] + 5); // record length no longer matches the fields
        QTest::newRow("header disagrees") << lying;
    }

    void damagedFilesGiveErrors()
    {
        QFETCH(QByteArray, content);
        const QString file = PathOf(QStringLiteral("bad.dbf"));
        WriteFile(file, content);
        auto c = Open();
        QVERIFY(c->TableNames().contains(QStringLiteral("bad")));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, c->FieldDefs(QStringLiteral("bad")));
        const QString error = Exec(*c, QStringLiteral("SELECT * FROM bad"));
        QVERIFY2(error.contains(u"bad.dbf"), qPrintable(error));
        QVERIFY(!Exec(*c, QStringLiteral("INSERT INTO bad VALUES (1)")).isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("DELETE FROM bad")).isEmpty());
        QCOMPARE(FileHash(file), QCryptographicHash::hash(content, QCryptographicHash::Sha256));
        // The sound table beside it still works.
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM stock"))[0][0].toInt(), 2);
    }

    // The program's own path: an alias, TQuery statements and a live result edited by row id.
    void throughTheSession()
    {
        TSession session(m_dir.path() + QStringLiteral("/aliases.ini"));
        session.AddAlias(QStringLiteral("Files"), QStringLiteral("STANDARD"), Params(),
                         TSession::TPersistence::SessionOnly);
        TQuery create(&session);
        create.DatabaseName = QStringLiteral("Files");
        create.SQL
            = QStringList {QStringLiteral("CREATE TABLE people (name CHAR(10), age SMALLINT)")};
        create.ExecSQL();
        create.SQL
            = QStringList {QStringLiteral("INSERT INTO people VALUES ('Ann', 30), ('Bob', 40)")};
        create.ExecSQL();
        QCOMPARE(create.RowsAffected(), 2);
        QVERIFY(session.GetTableNames(QStringLiteral("Files")).contains(QStringLiteral("people")));

        TTable table(&session);
        table.DatabaseName = QStringLiteral("Files");
        table.TableName = QStringLiteral("people");
        table.Update();
        QCOMPARE(table.FieldDefs.size(), 2);
        QCOMPARE(table.FieldDefs[0].Size, 10);

        TQuery live(&session);
        live.DatabaseName = QStringLiteral("Files");
        live.SQL = QStringList {QStringLiteral("SELECT name, age FROM people ORDER BY age")};
        live.RequestLive = true;
        live.Open();
        QVERIFY2(live.CanModify(), qPrintable(live.ReadOnlyReason()));
        live.Next();
        live.Edit();
        live.SetValue(QStringLiteral("age"), 41);
        live.Post();
        live.Append();
        live.SetValue(QStringLiteral("name"), QStringLiteral("Cy"));
        live.SetValue(QStringLiteral("age"), 50);
        live.Post();
        QCOMPARE(live.RecordCount(), 3);
        QVERIFY(live.Locate(QStringLiteral("name"), QStringLiteral("cy"), loCaseInsensitive));
        live.Delete();
        live.Close();
        auto c = Open();
        QCOMPARE(Rows(*c, QStringLiteral("SELECT name, age FROM people ORDER BY name")),
                 (QList<QVariantList> {{QStringLiteral("Ann"), 30}, {QStringLiteral("Bob"), 41}}));
    }
};

QTEST_GUILESS_MAIN(TestDbase)
#include "tst_legacy_dbase.moc"
