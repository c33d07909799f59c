#include "LegacyTestUtil.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>
#include <cstring>
extern "C" {
#include <paradox.h>
}

using namespace LegacyTest;

namespace {

// Field layout of the table the tests write with pxlib itself.
struct TPxField
{
    const char *name;
    char type;
    int length;
    int decimals;
};
const TPxField PartsFields[] = {
    {"ID", pxfLong, 4, 0},        {"NAME", pxfAlpha, 20, 0},     {"QTY", pxfShort, 2, 0},
    {"PRICE", pxfCurrency, 8, 0}, {"RATE", pxfNumber, 8, 0},     {"BORN", pxfDate, 4, 0},
    {"AT", pxfTime, 4, 0},        {"STAMP", pxfTimestamp, 8, 0}, {"OK", pxfLogical, 1, 0},
    {"CODE", pxfBCD, 17, 2},      {"RAW", pxfBytes, 4, 0},       {"NOTE", pxfMemoBLOb, 11, 0},
};
constexpr int PartsCount = int(sizeof(PartsFields) / sizeof(PartsFields[0]));

} // namespace

class TestParadox : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;

    TParams Params() const
    {
        return {QStringLiteral("DEFAULT DRIVER=PARADOX"), QStringLiteral("PATH=") + m_folder};
    }
    std::unique_ptr<TConnection> Open() { return Connect(QStringLiteral("STANDARD"), Params()); }
    QString PathOf(const QString &file) const { return m_folder + file; }

    // parts.db, keyed on ID, two rows, written record by record through pxlib.
    void MakeParts()
    {
        pxdoc_t *doc = PX_new();
        QVERIFY(doc);
        auto *fields
            = static_cast<pxfield_t *>(doc->malloc(doc, sizeof(pxfield_t) * PartsCount, "test"));
        for (int i = 0; i < PartsCount; ++i) {
            fields[i].px_fname = PX_strdup(doc, PartsFields[i].name);
            fields[i].px_ftype = PartsFields[i].type;
            fields[i].px_flen = PartsFields[i].length;
            fields[i].px_fdc = PartsFields[i].decimals;
        }
        const QByteArray path = QFile::encodeName(PathOf(QStringLiteral("parts.db")));
        QVERIFY(PX_create_file(doc, fields, PartsCount, path.constData(), pxfFileTypIndexDB) == 0);
        QVERIFY(PX_set_value(doc, "numprimkeys", 1) == 0);
        QVERIFY(
            PX_set_blob_file(doc, QFile::encodeName(PathOf(QStringLiteral("parts.mb"))).constData())
            == 0);
        const int size = PX_get_recordsize(doc);
        QByteArray record(size, '\0');
        auto put = [&](int id, const char *name, short qty, double price, bool withMemo) {
            record.fill('\0');
            char *p = record.data();
            PX_put_data_long(doc, p, 4, id);
            PX_put_data_alpha(doc, p + 4, 20, const_cast<char *>(name));
            PX_put_data_short(doc, p + 24, 2, qty);
            PX_put_data_double(doc, p + 26, 8, price);
            if (withMemo) {
                PX_put_data_double(doc, p + 34, 8, 0.125);
                PX_put_data_long(doc, p + 42, 4, PX_GregorianToSdn(2020, 2, 29) - 1721425);
                PX_put_data_long(doc, p + 46, 4, ((13 * 60 + 45) * 60 + 30) * 1000);
                const double stamp = double(PX_GregorianToSdn(1999, 12, 31) - 1721425) * 86400000.0
                    + ((23 * 60 + 59) * 60 + 58) * 1000.0;
                PX_put_data_double(doc, p + 50, 8, stamp);
                PX_put_data_byte(doc, p + 58, 1, 1);
                char bcd[] = "-123.45";
                PX_put_data_bcd(doc, p + 59, 2, bcd);
                char raw[] = {1, 0, char(0xff), 7};
                PX_put_data_bytes(doc, p + 76, 4, raw);
                QByteArray memo = QByteArray(300, 'x') + "end";
                QVERIFY(PX_put_data_blob(doc, p + 80, 11, memo.data(), int(memo.size())) >= 0);
            }
            QVERIFY(PX_put_record(doc, p) >= 0);
        };
        put(10, "Washer", 500, 0.02, false);
        put(20, "Gear", -3, 19.99, true);
        PX_close(doc);
        PX_delete(doc);
    }

    // Rows of a Paradox file as pxlib sees them: the first field of each, as a number.
    QList<long> KeysInFile(const QString &file)
    {
        QList<long> keys;
        pxdoc_t *doc = PX_new();
        FILE *fp = fopen(QFile::encodeName(PathOf(file)).constData(), "rb");
        if (!doc || !fp || PX_open_fp(doc, fp) < 0)
            return {-1};
        QByteArray record(PX_get_recordsize(doc), '\0');
        for (int r = 0; r < PX_get_num_records(doc); ++r) {
            long v = 0;
            if (PX_get_record(doc, r, record.data()))
                PX_get_data_long(doc, record.data(), 4, &v);
            keys << v;
        }
        PX_close(doc);
        PX_delete(doc);
        fclose(fp);
        return keys;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_folder
            = m_dir.path() + QStringLiteral("/case%1/").arg(QRandomGenerator::global()->generate());
        QVERIFY(QDir().mkpath(m_folder));
        MakeParts();
    }

    void readsWhatPxlibWrote()
    {
        auto c = Open();
        QCOMPARE(c->TableNames(), QStringList {QStringLiteral("parts")});
        const QList<TFieldDef> defs = c->FieldDefs(QStringLiteral("parts"));
        const QList<TFieldType> types {ftInteger, ftString, ftSmallint, ftCurrency,
                                       ftFloat,   ftDate,   ftTime,     ftDateTime,
                                       ftBoolean, ftBCD,    ftBytes,    ftMemo};
        QCOMPARE(defs.size(), types.size());
        for (int i = 0; i < defs.size(); ++i)
            QCOMPARE(defs[i].DataType, types[i]);
        QCOMPARE(defs[1].Size, 20);
        QCOMPARE(defs[9].Size, 2);
        QCOMPARE(defs[10].Size, 4);
        QVERIFY(defs[0].Required);
        const QList<TIndexDef> indexes = c->IndexDefs(QStringLiteral("parts"));
        QCOMPARE(indexes.size(), 1);
        QVERIFY(indexes[0].IsPrimary());
        QCOMPARE(indexes[0].Fields, QStringLiteral("ID"));

        const auto rows = Rows(*c, QStringLiteral("SELECT * FROM parts ORDER BY id"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Washer"));
        QCOMPARE(rows[0][2].toInt(), 500);
        QCOMPARE(rows[0][3].toDouble(), 0.02);
        QVERIFY(rows[0][5].isNull());
        QVERIFY(rows[0][11].isNull());
        const QVariantList &g = rows[1];
        QCOMPARE(g[2].toInt(), -3);
        QCOMPARE(g[4].toDouble(), 0.125);
        QCOMPARE(g[5].toString(), QStringLiteral("2020-02-29"));
        QCOMPARE(g[6].toString(), QStringLiteral("13:45:30"));
        QCOMPARE(g[7].toString(), QStringLiteral("1999-12-31 23:59:58"));
        QCOMPARE(g[8].toInt(), 1);
        QCOMPARE(g[9].toString().toDouble(), -123.45);
        QCOMPARE(g[10].toByteArray(), QByteArray("\x01\x00\xff\x07", 4));
        QCOMPARE(g[11].toString(), QString(300, u'x') + QStringLiteral("end"));
    }

    void changesReachTheFileInKeyOrder()
    {
        {
            auto c = Open();
            QCOMPARE(Exec(*c,
                          QStringLiteral("INSERT INTO parts (id, name, born, note) VALUES "
                                         "(5, 'Café', '2000-01-01', 'new memo, déjà vu')")),
                     QString());
            QCOMPARE(Exec(*c,
                          QStringLiteral("UPDATE parts SET qty = 7, stamp = '2010-05-06 07:08:09',"
                                         " ok = 0 WHERE id = 10")),
                     QString());
            QCOMPARE(Exec(*c, QStringLiteral("DELETE FROM parts WHERE id = 20")), QString());
        }
        QCOMPARE(KeysInFile(QStringLiteral("parts.db")), (QList<long> {5, 10}));
        auto c = Open();
        const auto rows
            = Rows(*c, QStringLiteral("SELECT id, name, qty, born, note, stamp, ok FROM parts"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Café"));
        QCOMPARE(rows[0][3].toString(), QStringLiteral("2000-01-01"));
        QCOMPARE(rows[0][4].toString(), QStringLiteral("new memo, déjà vu"));
        QCOMPARE(rows[1][2].toInt(), 7);
        QCOMPARE(rows[1][5].toString(), QStringLiteral("2010-05-06 07:08:09"));
        QCOMPARE(rows[1][6].toInt(), 0);
    }

    // Many blocks' worth of rows, written in reverse key order.
    void largeTablesStayInKeyOrder()
    {
        auto c = Open();
        QCOMPARE(Exec(*c,
                      QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 3000 UNION ALL SELECT i - 1 "
                                     "FROM n WHERE i > 100) INSERT INTO parts (id, name, note) "
                                     "SELECT i, 'part ' || i, CASE WHEN i % 500 = 0 THEN "
                                     "printf('%.*c', 200, 'n') END FROM n")),
                 QString());
        const QList<long> keys = KeysInFile(QStringLiteral("parts.db"));
        QCOMPARE(keys.size(), 2903);
        QVERIFY(std::is_sorted(keys.begin(), keys.end()));
        auto fresh = Open();
        QCOMPARE(Rows(*fresh, QStringLiteral("SELECT COUNT(*), SUM(length(note)) FROM parts")),
                 (QList<QVariantList> {{2903, 6 * 200 + 303}}));
        QCOMPARE(
            Rows(*fresh, QStringLiteral("SELECT name FROM parts WHERE id = 2999"))[0][0].toString(),
            QStringLiteral("part 2999"));
    }

    void refusedChangesLeaveTheFile()
    {
        const QString file = PathOf(QStringLiteral("parts.db"));
        const QByteArray before = FileHash(file);
        auto c = Open();
        QVERIFY(
            Exec(*c, QStringLiteral("INSERT INTO parts (id, name) VALUES (30, 'a'), (10, 'dup')"))
                .contains(u"Key violation"));
        QVERIFY(!Exec(*c, QStringLiteral("UPDATE parts SET id = 10")).isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("INSERT INTO parts (name) VALUES ('no key')")).isEmpty());
        QVERIFY(
            !Exec(*c, QStringLiteral("INSERT INTO parts (id, qty) VALUES (40, 40000)")).isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("INSERT INTO parts (id, at) VALUES (41, '25:00:00')"))
                     .isEmpty());
        // Cyrillic has no place in the table's Windows-1252 text: refused, not mangled.
        QVERIFY(!Exec(*c, QStringLiteral("INSERT INTO parts (id, name) VALUES (42, 'Шестерня')"))
                     .isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("INSERT INTO parts (id, note) VALUES (43, 'Шестерня')"))
                     .isEmpty());
        QVERIFY(!Exec(*c,
                      QStringLiteral("INSERT INTO parts (id, code) VALUES (44, '%1')")
                          .arg(QString(31, u'9')))
                     .isEmpty());
        QCOMPARE(FileHash(file), before);
        QCOMPARE(Rows(*Open(), QStringLiteral("SELECT COUNT(*) FROM parts"))[0][0].toInt(), 2);

        // Keys follow deletes, key changes and rollbacks.
        QCOMPARE(Exec(*c, QStringLiteral("BEGIN")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("DELETE FROM parts WHERE id = 10")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO parts (id, name) VALUES (10, 'again')")),
                 QString());
        QCOMPARE(Exec(*c, QStringLiteral("UPDATE parts SET id = 11 WHERE id = 20")), QString());
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO parts (id, name) VALUES (20, 'freed')")),
                 QString());
        QCOMPARE(Exec(*c, QStringLiteral("ROLLBACK")), QString());
        QVERIFY(Exec(*c, QStringLiteral("INSERT INTO parts (id) VALUES (20)"))
                    .contains(u"Key violation"));
        QCOMPARE(Exec(*c, QStringLiteral("INSERT INTO parts (id) VALUES (11)")), QString());
        QCOMPARE(KeysInFile(QStringLiteral("parts.db")), (QList<long> {10, 11, 20}));
    }

    void createAndDropTables()
    {
        auto c = Open();
        auto other = Open(); // sees tables that come and go without reconnecting
        QCOMPARE(
            Exec(*c,
                 QStringLiteral(
                     "/* made here */ -- orders\nCREATE TABLE orders (region CHAR(3), no INTEGER, "
                     "seq AUTOINC, placed TIMESTAMP, due DATE, at TIME, "
                     "total NUMERIC(12,2), paid CURRENCY, urgent BOOLEAN, "
                     "small SMALLINT, ratio FLOAT, memo TEXT, pic BLOB, "
                     "tag BYTES(8), PRIMARY KEY (region, no))")),
            QString());
        QVERIFY(QFile::exists(PathOf(QStringLiteral("orders.db"))));
        QCOMPARE(
            Exec(*c,
                 QStringLiteral("INSERT INTO orders (region, no, placed, total, memo, pic, tag) "
                                "VALUES ('EU', 2, '2021-03-04 05:06:07', '1234.56', 'hello', "
                                "x'00ff10', x'0102')")),
            QString());
        QCOMPARE(Exec(*c,
                      QStringLiteral("INSERT INTO orders (region, no, urgent, ratio) VALUES "
                                     "('EU', 1, 1, 2.75)")),
                 QString());

        auto fresh = Open();
        const QList<TIndexDef> indexes = fresh->IndexDefs(QStringLiteral("orders"));
        QCOMPARE(indexes.size(), 1);
        QCOMPARE(indexes[0].Fields, QStringLiteral("region;no"));
        const QList<TFieldDef> defs = fresh->FieldDefs(QStringLiteral("orders"));
        const QList<TFieldType> types {ftString, ftInteger, ftAutoInc,  ftDateTime, ftDate,
                                       ftTime,   ftBCD,     ftCurrency, ftBoolean,  ftSmallint,
                                       ftFloat,  ftMemo,    ftBlob,     ftBytes};
        QCOMPARE(defs.size(), types.size());
        for (int i = 0; i < defs.size(); ++i)
            QCOMPARE(defs[i].DataType, types[i]);
        QCOMPARE(defs[0].Size, 3);
        QCOMPARE(defs[6].Size, 2);
        QCOMPARE(defs[13].Size, 8);

        const auto rows = Rows(*fresh,
                               QStringLiteral("SELECT no, seq, placed, total, memo, pic, tag, "
                                              "urgent, ratio FROM orders"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][0].toInt(), 1); // kept in key order
        QCOMPARE(rows[0][7].toInt(), 1);
        QCOMPARE(rows[0][8].toDouble(), 2.75);
        QCOMPARE(rows[1][1].toInt(), 1); // numbered on the first insert
        QCOMPARE(rows[0][1].toInt(), 2);
        QCOMPARE(rows[1][2].toString(), QStringLiteral("2021-03-04 05:06:07"));
        QCOMPARE(rows[1][3].toString().toDouble(), 1234.56);
        QCOMPARE(rows[1][4].toString(), QStringLiteral("hello"));
        QCOMPARE(rows[1][5].toByteArray(), QByteArray("\x00\xff\x10", 3));
        QCOMPARE(rows[1][6].toByteArray(), QByteArray("\x01\x02\0\0\0\0\0\0", 8));

        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE bad1 (a INTEGER, b INTEGER PRIMARY KEY)"))
                     .isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE bad2 (a VARCHAR(300))")).isEmpty());
        QVERIFY(!Exec(*c, QStringLiteral("CREATE TABLE bad3 (a GEOMETRY)")).isEmpty());
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("bad1.db"))));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("bad2.db"))));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("bad3.db"))));

        QCOMPARE(other->TableNames(),
                 (QStringList {QStringLiteral("orders"), QStringLiteral("parts")}));
        QCOMPARE(Rows(*other, QStringLiteral("SELECT COUNT(*) FROM orders"))[0][0].toInt(), 2);
        WriteFile(PathOf(QStringLiteral("orders.VAL")), "checks");
        WriteFile(PathOf(QStringLiteral("orders.X02")), "index");
        WriteFile(PathOf(QStringLiteral("orders2.X02")), "another table's index");
        QCOMPARE(Exec(*fresh, QStringLiteral("DROP TABLE orders")), QString());
        QCOMPARE(other->TableNames(), QStringList {QStringLiteral("parts")});
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("orders.VAL"))));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("orders.X02"))));
        QVERIFY(QFile::remove(PathOf(QStringLiteral("orders2.X02"))));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("orders.db"))));
        QVERIFY(!QFile::exists(PathOf(QStringLiteral("orders.mb"))));
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden),
                 (QStringList {QStringLiteral("parts.db"), QStringLiteral("parts.mb")}));
    }

    void damagedMemoFileGivesAnError()
    {
        QFile mb(PathOf(QStringLiteral("parts.mb")));
        QVERIFY(mb.open(QIODevice::ReadWrite));
        QVERIFY(mb.resize(4096 + 20)); // the memo's block is cut off
        mb.close();
        const QByteArray before = FileHash(PathOf(QStringLiteral("parts.db")));
        auto c = Open();
        const QString error = Exec(*c, QStringLiteral("SELECT note FROM parts"));
        QVERIFY2(error.contains(u"memo file"), qPrintable(error));
        QVERIFY(!Exec(*c, QStringLiteral("DELETE FROM parts WHERE id = 10")).isEmpty());
        QCOMPARE(FileHash(PathOf(QStringLiteral("parts.db"))), before);
    }

    void damagedFilesGiveErrors_data()
    {
        QTest::addColumn<QByteArray>("content");
        QFile parts(PathOf(QStringLiteral("parts.db")));
        QVERIFY(parts.open(QIODevice::ReadOnly));
        const QByteArray good = parts.readAll();
        QTest::newRow("truncated header") << good.left(60);
        QTest::newRow("blocks cut off") << good.left(good.size() - 100);
        QByteArray garbage(4096, '\0');
        for (char &b : garbage)
            b = char(QRandomGenerator::global()->bounded(256));
        QTest::newRow("garbage") << garbage;
        QByteArray records = good;
        records[6] = char(0xff); // far more records than the blocks hold
        records[7] = char(0xff);
        QTest::newRow("record count") << records;
        QByteArray locked = good;
        locked[0x5d] = char(0x20); // an encryption key: pxlib would loop over the blocks
        QTest::newRow("encrypted") << locked;
        QByteArray keyed = good;
        keyed[0x25] = char(0x01); // the key in the header itself, as tables before 4.0 keep it
        QTest::newRow("encrypted in the header") << keyed;
        QByteArray unknownVersion = good;
        unknownVersion[0x39] = char(13); // pxlib would take the key from uninitialised memory
        QTest::newRow("unknown version") << unknownVersion;
        // Found by fuzzing: pxlib followed the chain of blocks round for ever.
        QByteArray looped = good;
        const int blockSize = uchar(good[5]) * 0x400;
        const int first = qFromLittleEndian<quint16>(good.constData() + 0x0e);
        const int at = qFromLittleEndian<quint16>(good.constData() + 2) + (first - 1) * blockSize;
        looped[at] = char(first & 0xff); // the first block's next one is itself
        looped[at + 1] = char(first >> 8);
        QTest::newRow("block chain loops") << looped;
        // Also found by fuzzing: a currency field wider than a number, the record's size kept
        // by a narrower text field, overran pxlib's stack.
        QByteArray wide = good;
        const qsizetype fields = good.indexOf(QByteArray("\x04\x04\x01\x14\x03\x02\x05\x08", 8));
        QVERIFY(fields > 0);
        wide[fields + 3] = char(8);
        wide[fields + 7] = char(20);
        QTest::newRow("currency field too wide") << wide;
    }

    void damagedFilesGiveErrors()
    {
        QFETCH(QByteArray, content);
        const QString file = PathOf(QStringLiteral("bad.db"));
        WriteFile(file, content);
        auto c = Open();
        QVERIFY(c->TableNames().contains(QStringLiteral("bad")));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, c->FieldDefs(QStringLiteral("bad")));
        const QString error = Exec(*c, QStringLiteral("SELECT * FROM bad"));
        QVERIFY2(error.contains(u"bad.db"), qPrintable(error));
        QVERIFY(!Exec(*c, QStringLiteral("DELETE FROM bad")).isEmpty());
        QCOMPARE(FileHash(file), QCryptographicHash::hash(content, QCryptographicHash::Sha256));
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM parts"))[0][0].toInt(), 2);
    }
};

QTEST_GUILESS_MAIN(TestParadox)
#include "tst_legacy_paradox.moc"
