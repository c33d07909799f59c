#pragma once

#include <QAbstractTableModel>

class TQuery;

// The grid's view of an open query. Only the rows the query has fetched are shown; the view
// asks for more (canFetchMore/fetchMore) as it scrolls, so a result of any size shows its
// first rows at once and the query keeps only a bounded window of them in memory.
class TQueryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TQueryModel(TQuery &query, QObject *parent = nullptr);

    static constexpr int FetchRows = 256;

    // The query was opened, closed or read again: start over with what it has fetched.
    void Reset();
    // The query fetched further rows by itself (Last, Locate): show them too.
    void Sync();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // Text shown for a value: long texts are cut, binary values named.
    static QString DisplayText(const QVariant &value);

private:
    TQuery &m_query;
    int m_rows = 0;
    int m_columns = 0;
};
