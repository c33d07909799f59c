#include "DataSet.h"
#include "LegacyTestUtil.h"
#include "Session.h"

#include <QDir>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <thread>
#include <unistd.h>

using namespace LegacyTest;

namespace {

// The pid of a running orvane-probe child of this process, or 0.
pid_t ProbeChild()
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray all = stat.readAll();
        const QList<QByteArray> after = all.mid(all.lastIndexOf(')') + 2).split(' ');
        if (all.contains("(orvane-probe)") && after.value(1).toInt() == getpid())
            return entry.toInt();
    }
    return 0;
}

} // namespace

// The Access fixtures are copied first: a test must never be able to touch the originals.
class TestAccess : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_nwind;
    QString m_dates;

    std::unique_ptr<TConnection> Open(const QString &file)
    {
        return Connect(QStringLiteral("MSACCESS"), {QStringLiteral("DATABASE NAME=") + file});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString fixtures
            = qEnvironmentVariable("ORVANE_FIXTURES") + QStringLiteral("/access/");
        m_nwind = m_dir.filePath(QStringLiteral("nwind.mdb"));
        m_dates = m_dir.filePath(QStringLiteral("dates.mdb"));
        QVERIFY2(QFile::copy(fixtures + QStringLiteral("nwind.mdb"), m_nwind),
                 qPrintable(fixtures));
        QVERIFY(QFile::copy(fixtures + QStringLiteral("DateTestDatabase.mdb"), m_dates));
        QFile::setPermissions(m_nwind, QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(m_dates, QFile::ReadOwner | QFile::WriteOwner);
    }

    void listsAndReadsNorthwind()
    {
        auto c = Open(m_nwind);
        const QStringList expected {"Categories",    "Customers", "Employees",
                                    "Order Details", "Orders",    "Products",
                                    "Shippers",      "Suppliers", "Umsätze"};
        QCOMPARE(c->TableNames(), expected);
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM \"Order Details\""))[0][0].toInt(),
                 2155);
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM \"Umsätze\""))[0][0].toInt(), 830);
        const auto ana = Rows(*c,
                              QStringLiteral("SELECT CompanyName, City, Region FROM Customers "
                                             "WHERE CustomerID = 'ANATR'"));
        QCOMPARE(ana.size(), 1);
        QCOMPARE(ana[0][0].toString(), QStringLiteral("Ana Trujillo Emparedados y helados"));
        QCOMPARE(ana[0][1].toString(), QStringLiteral("México D.F."));
        QVERIFY(ana[0][2].isNull());
        const auto chai = Rows(*c,
                               QStringLiteral("SELECT ProductName, UnitPrice, UnitsInStock, "
                                              "Discontinued FROM Products WHERE ProductID = 1"));
        QCOMPARE(chai[0][0].toString(), QStringLiteral("Chai"));
        QCOMPARE(chai[0][1].toDouble(), 18.0);
        QCOMPARE(chai[0][2].toInt(), 39);
        QCOMPARE(chai[0][3].toInt(), 0);
        const auto order
            = Rows(*c,
                   QStringLiteral("SELECT OrderDate, Freight, ShipAddress FROM \"Umsätze\" "
                                  "WHERE OrderID = 10330"));
        QCOMPARE(order[0][0].toString(), QStringLiteral("1994-11-16 00:00:00"));
        QCOMPARE(order[0][1].toDouble(), 12.75);
        QVERIFY(order[0][2].toString().contains(QStringLiteral("Bolívar")));

        // Memos and OLE pictures come whole.
        QVERIFY(Rows(*c, QStringLiteral("SELECT MIN(length(Notes)) FROM Employees"))[0][0].toInt()
                > 50);
        QVERIFY(
            Rows(*c, QStringLiteral("SELECT MIN(length(Picture)) FROM Categories"))[0][0].toInt()
            > 1000);
        QCOMPARE(
            Field(c->FieldDefs(QStringLiteral("Categories")), QStringLiteral("Picture"))->DataType,
            ftBlob);
        const QList<TFieldDef> customers = c->FieldDefs(QStringLiteral("Customers"));
        QCOMPARE(customers.size(), 11);
        QCOMPARE(customers[1].Name, QStringLiteral("CompanyName"));
        QCOMPARE(customers[1].DataType, ftString);
        QCOMPARE(customers[1].Size, 40);
        QVERIFY(customers[1].Required); // NOT NULL in the file
        QVERIFY(!customers[2].Required);
        const QList<TFieldDef> products = c->FieldDefs(QStringLiteral("Products"));
        QCOMPARE(Field(products, QStringLiteral("UnitPrice"))->DataType, ftCurrency);
        QCOMPARE(Field(products, QStringLiteral("UnitsInStock"))->DataType, ftSmallint);
        QCOMPARE(Field(products, QStringLiteral("Discontinued"))->DataType, ftBoolean);
        QCOMPARE(
            Field(c->FieldDefs(QStringLiteral("Orders")), QStringLiteral("OrderDate"))->DataType,
            ftDateTime);
        QCOMPARE(
            Field(c->FieldDefs(QStringLiteral("Employees")), QStringLiteral("Notes"))->DataType,
            ftMemo);
        const QList<TIndexDef> productIndexes = c->IndexDefs(QStringLiteral("Products"));
        QVERIFY(productIndexes.size() >= 2);
        QVERIFY(productIndexes[0].IsPrimary()); // the primary key comes first
        QCOMPARE(productIndexes[0].Fields, QStringLiteral("ProductID"));
        QVERIFY(!productIndexes[1].IsPrimary());
        const QList<TIndexDef> detailIndexes = c->IndexDefs(QStringLiteral("Order Details"));
        const auto primary = std::find_if(detailIndexes.begin(), detailIndexes.end(),
                                          [](const TIndexDef &i) { return i.IsPrimary(); });
        QVERIFY(primary != detailIndexes.end());
        QCOMPARE(primary->Fields, QStringLiteral("OrderID;ProductID"));
    }

    void readsOlderFiles()
    {
        auto c = Open(m_dates);
        QCOMPARE(c->TableNames(), QStringList {QStringLiteral("DateTest")});
        const auto rows
            = Rows(*c,
                   QStringLiteral("SELECT IDCol, DateTimeCol, LongTextCol, ShortTextCol "
                                  "FROM DateTest ORDER BY IDCol"));
        QVERIFY(rows.size() >= 4);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("2021-12-02 00:00:00"));
        QCOMPARE(rows[0][2].toString(), QStringLiteral("Hello"));
        QCOMPARE(rows[3][3].toString(), QStringLiteral("Pre-1000 years"));
        QCOMPARE(c->FieldDefs(QStringLiteral("DateTest"))[4].DataType, ftMemo);
    }

    void refusesEveryChange()
    {
        const QByteArray before = FileHash(m_nwind);
        auto c = Open(m_nwind);
        QVERIFY(!c->ReadOnlyReason().isEmpty());
        const QStringList statements {
            "INSERT INTO Shippers (ShipperID, CompanyName) VALUES (9, 'Fast')",
            "UPDATE Shippers SET Phone = '1'", "DELETE FROM \"Order Details\"",
            "CREATE TABLE extra (a INTEGER)", "DROP TABLE Shippers"};
        for (const QString &sql : statements) {
            const QString error = Exec(*c, sql);
            QVERIFY2(error.contains(QStringLiteral("read only")),
                     qPrintable(sql + QStringLiteral(" -> ") + error));
        }
        QCOMPARE(Rows(*c, QStringLiteral("SELECT COUNT(*) FROM Shippers"))[0][0].toInt(), 3);
        QCOMPARE(FileHash(m_nwind), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), 2);

        // A live result says why it cannot change anything.
        TSession session(m_dir.filePath(QStringLiteral("aliases.ini")));
        session.AddAlias(QStringLiteral("nwind"), QStringLiteral("MSACCESS"),
                         {QStringLiteral("DATABASE NAME=") + m_nwind},
                         TSession::TPersistence::SessionOnly);
        TQuery q(&session);
        q.DatabaseName = QStringLiteral("nwind");
        q.SQL = QStringList {QStringLiteral("SELECT * FROM Shippers")};
        q.RequestLive = true;
        q.Open();
        QVERIFY(!q.CanModify());
        QVERIFY(q.ReadOnlyReason().contains(QStringLiteral("read only")));
    }

    // The reader of a file's tables is held still for longer than it may work, as a loaded
    // machine would hold it: a healthy file is still read, not called damaged.
    void slowReadIsNoDamage()
    {
        const QString file = m_dir.filePath(QStringLiteral("slow.mdb"));
        QVERIFY(QFile::copy(m_nwind, file));
        std::atomic<bool> held = false;
        std::thread holder([&held] {
            for (int i = 0; i < 2000 && !held; ++i) {
                if (const pid_t child = ProbeChild()) {
                    kill(child, SIGSTOP);
                    held = true;
                    std::this_thread::sleep_for(std::chrono::seconds(7));
                    kill(child, SIGCONT);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        QString error;
        bool listed = false;
        try {
            listed = Open(file)->TableNames().contains(QStringLiteral("Categories"));
        } catch (const EDatabaseError &e) {
            error = e.Message();
        }
        holder.join();
        QVERIFY(held);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(listed);
    }

    void damagedFilesGiveErrors_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message"); // what the error must say, when it is known
        QFile f(m_nwind);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray good = f.readAll();
        QTest::newRow("truncated header") << good.left(100) << QString();
        QTest::newRow("cut inside a page") << good.left(good.size() / 2 + 1000) << QString();
        QByteArray garbage(8192, 'z');
        QTest::newRow("garbage") << garbage << QString();
        QByteArray renamed = good.left(4096 * 4);
        QTest::newRow("first pages only")
            << renamed << "The file bad.mdb is damaged: its list of tables cannot be read whole.";
        // One row of Categories marked deleted in its data page: mdbtools passes over it.
        QByteArray lostRow = good;
        lostRow[65551] = char(lostRow[65551] | 0x40);
        QTest::newRow("row lost") << lostRow
                                  << "The file bad.mdb is damaged: table Categories holds 8 "
                                     "rows, of which 7 could be read.";
    }

    void damagedFilesGiveErrors()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString file = m_dir.filePath(QStringLiteral("bad.mdb"));
        WriteFile(file, content);
        QString error;
        try {
            auto c = Open(file);
            // A file that passes the checks may still lack its tables' pages or rows:
            // reading then fails with an error, never a crash nor fewer rows.
            for (const QString &t : c->TableNames())
                if (error.isEmpty())
                    error = Exec(*c, QStringLiteral("SELECT * FROM \"%1\"").arg(t));
        } catch (const EDatabaseError &e) {
            error = e.Message();
        }
        QVERIFY(!error.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(error, message);
        QCOMPARE(FileHash(file), QCryptographicHash::hash(content, QCryptographicHash::Sha256));
    }
};

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_legacy_access.moc"
