#pragma once

// Builds selects the way the query generators do: every field of a table, ordered by the
// table's first index that is not the primary key.

#include "DataSet.h"
#include "Select.h"
#include "Session.h"
#include "Table.h"

#include <QTest>
#include <memory>
#include <vector>

class SelectBuilder
{
public:
    SelectBuilder(TSession *session, QString databaseName)
        : m_session(session)
        , m_databaseName(std::move(databaseName))
    {}

    // A new query on the database; kept until the builder goes.
    TQuery *NewQuery(const QString &sql)
    {
        auto q = std::make_unique<TQuery>(m_session);
        q->DatabaseName = m_databaseName;
        q->SQL = QStringList {sql};
        m_queries.push_back(std::move(q));
        return m_queries.back().get();
    }

    std::unique_ptr<TSelect> TableSelect(const QString &table, QString *orderedBy = nullptr)
    {
        TQuery *q = NewQuery("SELECT * FROM " + table);
        auto select = std::make_unique<TSelect>(q);
        TTable t(m_session);
        t.DatabaseName = m_databaseName;
        t.TableName = table;
        t.Update();
        for (const TFieldDef &f : t.FieldDefs)
            select->Fields.Add(f.Name);
        for (const TIndexDef &ix : t.IndexDefs) {
            if (ix.IsPrimary())
                continue;
            for (const QString &name : ix.Fields.split(u';'))
                select->OrderBy.Add(name);
            if (orderedBy)
                *orderedBy = ix.Fields;
            break;
        }
        return select;
    }

    // Runs text through the engine and returns its rows, each column rendered as text.
    QList<QStringList> Rows(const QStringList &text, int *columns = nullptr)
    {
        TQuery *q = NewQuery({});
        q->SQL = text;
        q->Open();
        if (columns)
            *columns = q->FieldCount();
        QList<QStringList> rows;
        for (; !q->Eof(); q->Next()) {
            QStringList row;
            for (int i = 0; i < q->FieldCount(); ++i)
                row << q->Value(i).toString();
            rows << row;
        }
        q->Close();
        return rows;
    }

    int Count(const QString &sql)
    {
        const QList<QStringList> rows = Rows({sql});
        return rows.isEmpty() ? -1 : rows.first().first().toInt();
    }

private:
    TSession *m_session;
    QString m_databaseName;
    std::vector<std::unique_ptr<TQuery>> m_queries;
};

// The message of what fn throws, or "no error".
template<typename Fn>
QString ErrorOf(Fn fn)
{
    try {
        fn();
    } catch (const EDatabaseError &e) {
        return e.Message();
    }
    return QStringLiteral("no error");
}
