#pragma once

// Selects over the DEMO business tables built the way the query generators build them,
// written, and run on the database they came from. The same checks serve SQLite (the
// DEMO database itself) and PostgreSQL (a copy of its tables under other names).

#include "SelectSupport.h"

#include <QLocale>
#include <functional>

class DemoScenario
{
public:
    // name maps a DEMO table or field name to its name in the database under test.
    DemoScenario(SelectBuilder &db, std::function<QString(const QString &)> name)
        : m_db(db)
        , N(std::move(name))
    {}

    // One table: every field in order, ORDER BY its first secondary index.
    void TableOnly()
    {
        QString orderedBy;
        auto s = m_db.TableSelect(N("ORDERS"), &orderedBy);
        QVERIFY(orderedBy == N("CUSTNO") || orderedBy == N("SALEDATE"));
        s->Write();
        const QStringList &text = s->Query()->SQL;
        QCOMPARE(text.first(), QString("SELECT"));
        QCOMPARE(text.at(1), "\t" + N("ORDERS") + "." + N("ORDERNO") + ",");
        QCOMPARE(text.mid(12, 4),
                 QStringList({"FROM", "\t" + N("ORDERS"), "ORDER BY",
                              "\t" + N("ORDERS") + "." + orderedBy}));
        QCOMPARE(text.size(), 16);

        int columns = 0;
        const QList<QStringList> rows = m_db.Rows(text, &columns);
        QCOMPARE(columns, 11);
        QCOMPARE(rows.size(), m_db.Count("SELECT COUNT(*) FROM " + N("ORDERS")));
        QVERIFY(rows.size() > 100);
        const int key = orderedBy == N("CUSTNO") ? 1 : 3;
        for (int i = 1; i < rows.size(); ++i) {
            const QString &a = rows[i - 1][key], &b = rows[i][key];
            const bool ordered = key == 1 ? a.toInt() <= b.toInt() : a <= b;
            QVERIFY2(ordered, qPrintable(a + " before " + b));
        }
    }

    // Orders joined on their key to customers and to employees, as the join command and
    // lookup links do.
    void JoinOnKeys()
    {
        auto orders = m_db.TableSelect(N("ORDERS"));
        auto customer = m_db.TableSelect(N("CUSTOMER"));
        auto employee = m_db.TableSelect(N("EMPLOYEE"));
        orders->AddJoin(customer, N("CUSTNO"), N("CUSTNO"));
        orders->AddJoin(employee, N("EMPNO"), N("EMPNO"));
        orders->Write();
        const QStringList &text = orders->Query()->SQL;
        const qsizetype from = text.indexOf("FROM");
        QCOMPARE(text.mid(from, 7),
                 QStringList({"FROM", "\t" + N("ORDERS") + ",", "\t" + N("CUSTOMER") + ",",
                              "\t" + N("EMPLOYEE"), "WHERE",
                              "\t" + N("ORDERS") + "." + N("CUSTNO") + " = " + N("CUSTOMER") + "."
                                  + N("CUSTNO") + "  AND",
                              "\t" + N("ORDERS") + "." + N("EMPNO") + " = " + N("EMPLOYEE") + "."
                                  + N("EMPNO") + " "}));
        QCOMPARE(text.at(from - 1).endsWith(","), false);

        int columns = 0;
        const QList<QStringList> rows = m_db.Rows(text, &columns);
        const int orderColumns = orders->Fields.Count();
        const int customerColumns = orders->Joins(0)->Fields.Count();
        QCOMPARE(columns, orders->SelectCount());
        QCOMPARE(rows.size(),
                 m_db.Count("SELECT COUNT(*) FROM " + N("ORDERS") + " WHERE " + N("EMPNO")
                            + " IN (SELECT " + N("EMPNO") + " FROM " + N("EMPLOYEE") + ") AND "
                            + N("CUSTNO") + " IN (SELECT " + N("CUSTNO") + " FROM " + N("CUSTOMER")
                            + ")"));
        QVERIFY(rows.size() > 100);
        for (const QStringList &row : rows) {
            QCOMPARE(row[1], row[orderColumns]); // ORDERS.CUSTNO = CUSTOMER.CUSTNO
            QCOMPARE(row[2], row[orderColumns + customerColumns]); // EMPNO
        }
    }

    // Items to parts to vendors: a joined select that carries a join of its own, written
    // depth first.
    void NestedJoins()
    {
        auto items = m_db.TableSelect(N("ITEMS"));
        auto parts = m_db.TableSelect(N("PARTS"));
        auto vendors = m_db.TableSelect(N("VENDORS"));
        parts->AddJoin(vendors, N("VENDORNO"), N("VENDORNO"));
        items->AddJoin(parts, N("PARTNO"), N("PARTNO"));
        QCOMPARE(items->FieldType(N("VENDORNAME")), ftString);
        items->Write();
        const QStringList &text = items->Query()->SQL;
        const qsizetype from = text.indexOf("FROM");
        QCOMPARE(
            text.mid(from + 1, 3),
            QStringList({"\t" + N("ITEMS") + ",", "\t" + N("PARTS") + ",", "\t" + N("VENDORS")}));
        const qsizetype order = text.indexOf("ORDER BY");
        QVERIFY(order > 0);
        QCOMPARE(text.size() - order - 1, items->OrderCount());
        QVERIFY(items->OrderCount() >= 3);

        int columns = 0;
        const QList<QStringList> rows = m_db.Rows(text, &columns);
        QCOMPARE(rows.size(), m_db.Count("SELECT COUNT(*) FROM " + N("ITEMS")));
        const int itemColumns = 5, partColumns = 7;
        for (const QStringList &row : rows) {
            QCOMPARE(row[2], row[itemColumns]); // ITEMS.PARTNO = PARTS.PARTNO
            QCOMPARE(row[itemColumns + 1], row[itemColumns + partColumns]); // VENDORNO
        }
    }

    // The grouping query: sums of the numeric fields, the group field and a count.
    void GroupQuery()
    {
        TQuery *q = m_db.NewQuery("SELECT * FROM " + N("ITEMS"));
        TSelect s(q);
        const QString group = N("PARTNO");
        for (const TFieldDef &f : s.FieldDefs()) {
            const bool summed = f.DataType == ftSmallint || f.DataType == ftInteger
                || f.DataType == ftWord || f.DataType == ftFloat || f.DataType == ftCurrency;
            if (summed && f.Name.compare(group, Qt::CaseInsensitive) != 0)
                s.Fields.Add("SUM(" + f.Name + ")");
        }
        s.GroupBy.Add(group);
        s.Fields.Add(group);
        s.Fields.Add("Count(*)");
        s.Write();
        const QString table = N("ITEMS");
        QCOMPARE(s.Query()->SQL,
                 QStringList({"SELECT", "\tSUM(" + table + "." + N("ORDERNO") + "),",
                              "\tSUM(" + table + "." + N("ITEMNO") + "),",
                              "\tSUM(" + table + "." + N("QTY") + "),",
                              "\tSUM(" + table + "." + N("DISCOUNT") + "),",
                              "\t" + table + "." + group + ",", "\tCount(*)", "FROM", "\t" + table,
                              "GROUP BY", "\t" + table + "." + group}));
        const QList<QStringList> rows = m_db.Rows(s.Query()->SQL);
        QCOMPARE(rows.size(),
                 m_db.Count("SELECT COUNT(DISTINCT " + group + ") FROM " + N("ITEMS")));
        int counted = 0;
        for (const QStringList &row : rows)
            counted += row.last().toInt();
        QCOMPARE(counted, m_db.Count("SELECT COUNT(*) FROM " + N("ITEMS")));
    }

    // What the generators write reads back into the same items.
    void ReadBack()
    {
        auto orders = m_db.TableSelect(N("ORDERS"));
        auto customer = m_db.TableSelect(N("CUSTOMER"));
        orders->AddJoin(customer, N("CUSTNO"), N("CUSTNO"));
        orders->Write();
        TQuery *q = m_db.NewQuery({});
        q->SQL = orders->Query()->SQL;
        TSelect read(q, TSelect::AllClauses);
        QCOMPARE(read.TableName, N("ORDERS") + ", " + N("CUSTOMER"));
        QCOMPARE(read.Fields.Count(), orders->SelectCount());
        QCOMPARE(read.Fields.Items(1)->Text, N("ORDERS") + "." + N("CUSTNO"));
        QCOMPARE(read.Where.Count(), 1);
        QCOMPARE(read.Where.Items(0)->FieldName, N("ORDERS") + "." + N("CUSTNO"));
        QCOMPARE(read.Where.Items(0)->Condition, "= " + N("CUSTOMER") + "." + N("CUSTNO") + " ");
        QCOMPARE(read.OrderBy.Count(), orders->OrderCount());
    }

    // Conditions with values, written as the engine's literals, find their rows: a text
    // holding a quote, a date typed in the user's notation and in ISO form.
    void WhereValues()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        auto customer = m_db.TableSelect(N("CUSTOMER"));
        customer->Where.Add(N("COMPANY"), "=", "Neptune's Diving Ltd.", "");
        customer->Write();
        const QList<QStringList> found = m_db.Rows(customer->Query()->SQL);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().first(), QString("1332"));

        const int all = m_db.Count("SELECT COUNT(*) FROM " + N("ORDERS"));
        const int since = m_db.Count("SELECT COUNT(*) FROM " + N("ORDERS") + " WHERE "
                                     + N("SALEDATE") + " >= '2025-01-01'");
        QVERIFY(since > 0 && since < all);
        for (const QString &day : {QString("1/1/2025"), QString("2025-01-01")}) {
            auto orders = m_db.TableSelect(N("ORDERS"));
            orders->Where.Add(N("SALEDATE"), ">=", day, "");
            orders->Where.Add(N("PAYMENTMETHOD"), "<>", "it's none", "");
            orders->Write();
            QCOMPARE(m_db.Rows(orders->Query()->SQL).size(), since);
        }
        QLocale::setDefault(QLocale::c());
    }

private:
    SelectBuilder &m_db;
    std::function<QString(const QString &)> N;
};
