#pragma once

#include <QAbstractTableModel>
#include <functional>

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
    // The query was read again after a change of its rows: show them, and say whether the
    // rows had to start over (the current cell is then gone).
    bool ReadAgain();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // Text shown for a value: long texts are cut, binary values named.
    static QString DisplayText(const QVariant &value);

    // Set while the rows may be changed: writes one edited cell (an empty text as NULL) and
    // says whether it was written. Cells of read-only fields are not editable.
    std::function<bool(int row, int column, const QVariant &value)> WriteCell;
    // Told why the rows stopped coming before the end (the engine's message, or the text of
    // a stop), so that the rows shown are never taken for the whole result.
    std::function<void(const QString &message)> FetchFailed;

private:
    TQuery &m_query;
    int m_rows = 0;
    int m_columns = 0;
};
