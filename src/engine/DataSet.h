#pragma once

#include "FieldTypes.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

class TSession;

// What a change of a row that another connection changed since it was read is refused with.
const QString &RowChangedMessage();
class TDatabase;
class TConnection;

// A result column with what the views need to show it.
struct TField
{
    QString FieldName;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    int DisplayWidth = 10; // characters
    QString DisplayLabel;
    bool Visible = true;
    bool ReadOnly = false; // not a column of the table a live result changes, or not live
    bool Required = false; // the table's column takes no NULL
    int Index = 0;
};

enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };

enum class TDataSetState { Inactive, Browse, Edit, Insert };

// An SQL query and, once opened, its result: a cursor over rows fetched lazily in blocks.
// Only a window of blocks is kept in memory. Going back past it starts reading again at a
// checkpoint near the wanted row: the value of a key column (an integer column found to
// rise from row to row) noted every few blocks while fetching, else the row's position
// (OFFSET), so no row is ever read from the start again to reach another.
class TQuery
{
public:
    explicit TQuery(TSession *session = nullptr);
    ~TQuery();
    TQuery(const TQuery &) = delete;
    TQuery &operator=(const TQuery &) = delete;

    QString DatabaseName;
    QStringList SQL;
    bool RequestLive = false;
    TSession *Session() const { return m_session; }
    // The program's own look at a statement, not the user's: its failure leaves the user's
    // open transaction as it was.
    bool Aside = false;

    // Checks the statement and, for a query, sets up its fields; runs and fetches nothing.
    void Prepare();
    void Open();
    void ExecSQL(); // a statement without a result
    void Close();
    int RowsAffected() const { return m_rowsAffected; }

    bool Active() const { return m_state != TDataSetState::Inactive; }
    TDataSetState State() const { return m_state; }
    const std::vector<TField> &Fields() const { return m_fields; }
    int FieldCount() const { return int(m_fields.size()); }
    const TField &FieldByName(const QString &name) const; // throws when missing
    const TField *FindField(const QString &name) const;

    // Cursor. RecNo is 0-based; -1 on an empty result.
    void First();
    void Next();
    void Prior();
    void Last();
    bool MoveBy(int distance);
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    int RecNo() const { return m_recNo; }
    bool IsEmpty();

    // Values of the current row (the edit buffer while editing or inserting).
    QVariant Value(int column) const;
    QVariant Value(const QString &field) const { return Value(FieldByName(field).Index); }
    // Random access for views: fetches what is needed.
    QVariant ValueAt(int row, int column);
    // Rows read so far; all rows once AllFetched().
    int FetchedCount() const { return m_fetched; }
    bool AllFetched() const { return m_allFetched; }
    // Reads up to count further rows; returns how many came.
    int FetchMore(int count);
    // Total rows; reads to the end.
    int RecordCount();
    // Rows held in memory now (bounded, whatever the result's size).
    int CachedRowCount() const;
    // Rows taken from the engine since the query was opened, including those read again.
    qint64 RowsRead() const { return m_rowsRead; }
    // Checkpoints held for seeking back (bounded, whatever the result's size).
    int CheckpointCount() const { return int(m_checkKeys.size()); }

    // Editing. A live result can change only rows it can identify exactly.
    bool CanModify() const { return m_canModify; }
    const QString &ReadOnlyReason() const { return m_readOnlyReason; }
    const QString &UpdateTable() const { return m_updateTable; }
    void Edit();
    void Append();
    void SetValue(int column, const QVariant &value);
    void SetValue(const QString &field, const QVariant &value)
    {
        SetValue(FieldByName(field).Index, value);
    }
    // Edits and deletes write only when the row still holds what it held when it was read.
    void Post();
    void Cancel();
    void Delete();

    bool Locate(const QString &field, const QVariant &value, unsigned options = 0);

    static constexpr int BlockSize = 256;
    static constexpr int MaxCachedBlocks = 64;
    static constexpr int MaxCheckpoints = 4096;
    // Blocks before a row sought back to that are read with it, so that paging on
    // backwards finds them in memory.
    static constexpr int SeekBackBlocks = 16;

private:
    using Row = std::vector<QVariant>;
    struct Block
    {
        std::vector<Row> rows;
        quint64 lastUse = 0;
    };

    TDatabase &Database();
    QString Text() const;
    void Execute();
    bool ReadRow(Row &row);
    const Row *RowAt(int row);
    void SetCursor(int row);
    void SetupFields();
    void SetupIdentity();
    void RequireBrowse(const char *what) const;
    void Reopen(int row, bool placesKept = false);
    bool UpdateKeepsPlaces(const std::vector<int> &changed) const;
    bool ReadRowAgain(int row);
    QString WhereForRow(const Row &row, QVariantList &binds) const;
    void RunChange(const QString &sql, const QVariantList &binds, const Row *old = nullptr);
    QString CheckUnchanged(const Row &old);
    void FindInserted(const Row &values);
    // Seeking (DataSetSeek.cpp).
    void ResetSeek();
    void SeekTo(int row);
    void SeekPositional(int row);
    bool ExecuteSeek(const QString &sql, const QVariant &bind);
    QString SeekBase() const;
    void NoteKey(int position, const Row &row);
    bool KeyedCursorValid(int position, const Row &row);
    void DropKey();

    TSession *m_session;
    TDataSetState m_state = TDataSetState::Inactive;
    std::unique_ptr<QSqlQuery> m_query;
    TConnection *m_connection = nullptr;
    std::shared_ptr<TConnection> m_connectionRef; // keeps m_connection alive while open
    std::vector<TField> m_fields;
    int m_queryColumns = 0; // of m_query
    int m_hiddenColumns = 0; // trailing columns the program added to identify rows
    std::unordered_map<int, Block> m_blocks;
    quint64 m_useClock = 0;
    int m_position = 0; // rows consumed from m_query
    int m_fetched = 0;
    bool m_allFetched = false; // m_fetched is the result's size
    bool m_queryDone = false; // the running statement has no more rows
    int m_recNo = -1;
    bool m_eof = true;
    bool m_bof = true;
    Row m_buffer;
    int m_rowsAffected = -1;

    bool m_canModify = false;
    QString m_readOnlyReason;
    QString m_updateTable;
    std::vector<int> m_keyColumns; // columns (in the row) that identify it
    QStringList m_keyNames;
    QString m_identitySelect; // the statement with the row id appended, when one is needed
    QStringList m_updateColumns; // lower-case names of the table's own columns
    QList<TFieldDef> m_updateDefs; // their definitions, in the same order
    QString m_rowIdName;
    QVariant m_lastInsertId;

    qint64 m_rowsRead = 0;
    int m_keyColumn = -1; // -1 not chosen yet, -2 the result has none
    QString m_keyName;
    int m_verified = 0; // rows from the first whose key rises strictly
    qint64 m_lastKey = 0; // the key of row m_verified - 1
    std::vector<qint64> m_checkKeys; // the key of row i * m_checkSpacing
    int m_checkSpacing = BlockSize;
    bool m_keyedCursor = false; // m_query started at a checkpoint: trusted up to m_verified
    int m_keyedFrom = -1; // the checkpoint row it started at, until its first row is checked
    qint64 m_keyedFromKey = 0;
    bool m_offsetWorks = true;
};
