#include "DataSet.h"
#include "Database.h"
#include "Driver.h"
#include "EngineError.h"
#include "Session.h"
#include "SqlText.h"
#include "StatementWait.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>

TQuery::TQuery(TSession *session)
    : m_session(session ? session : &TSession::Default())
{}

TQuery::~TQuery()
{
    Close();
}

TDatabase &TQuery::Database()
{
    return m_session->OpenDatabase(DatabaseName);
}

QString TQuery::Text() const
{
    return SQL.join(u'\n');
}

void TQuery::Prepare()
{
    Close();
    const QString text = Text();
    RequireNoNul(text);
    TConnection &c = Database().Connection();
    // Both looks are the program's own: a statement that fails them fails the run, but must
    // not abort a transaction the user holds open on this connection.
    // The result's columns, from a form of the statement that yields no row: nothing of
    // the statement runs and nothing is fetched. Statements that cannot be wrapped so
    // (not a plain query) simply have no fields until they are opened.
    QSqlQuery probe(c.Db());
    probe.setForwardOnly(true);
    const bool wrapped = c.ExecAside(probe, NoRowsForm(text, QStringLiteral("orvane_prepared")));
    // The statement itself is compiled where the form may not have compiled it as it stands.
    if (!(wrapped && NoRowsFormHoldsWhole(text)) && c.CanPrepare(StatementKeyword(text))) {
        QSqlQuery q(c.Db());
        q.setForwardOnly(true);
        if (!c.Aside([&] { return q.prepare(text); }))
            throw EDatabaseError(SqlErrorText(q.lastError()));
    }
    if (!wrapped)
        return;
    m_connection = &c;
    m_query = std::make_unique<QSqlQuery>(std::move(probe));
    SetupFields();
    m_query.reset();
    m_connection = nullptr;
}

void TQuery::ExecSQL()
{
    Close();
    const QString text = Text();
    RequireNoNul(text);
    TConnection &c = Database().Connection();
    if (c.ExecOwn(text)) {
        m_rowsAffected = 0;
        return;
    }
    if (StatementWait::Running() && c.ExecWatched(text, m_rowsAffected))
        return;
    QSqlQuery q(c.Db());
    if (!q.exec(text))
        throw EDatabaseError(SqlErrorText(q.lastError()));
    // A definition changes no rows: SQLite would give the count of the change before it, and
    // the Firebird driver warns that it cannot tell.
    static const QStringList definitions {"CREATE", "ALTER", "DROP", "RECREATE"};
    m_rowsAffected = definitions.contains(StatementKeyword(text)) ? 0 : q.numRowsAffected();
}

void TQuery::Open()
{
    Close();
    m_connectionRef = Database().SharedConnection();
    m_connection = m_connectionRef.get();
    m_hiddenColumns = 0;
    m_rowsRead = 0;
    m_identitySelect.clear();
    m_updateColumns.clear();
    m_updateDefs.clear();
    if (RequestLive)
        SetupIdentity();
    else
        m_readOnlyReason = QStringLiteral("The result was not asked to be live.");
    Execute();
    SetupFields();
    m_state = TDataSetState::Browse;
    First();
}

void TQuery::Close()
{
    m_query.reset();
    m_blocks.clear();
    m_queryDone = false;
    m_fields.clear();
    m_position = m_fetched = 0;
    m_allFetched = false;
    m_recNo = -1;
    m_eof = m_bof = true;
    m_buffer.clear();
    m_canModify = false;
    m_readOnlyReason.clear();
    m_updateTable.clear();
    m_keyColumns.clear();
    m_keyNames.clear();
    ResetSeek();
    m_state = TDataSetState::Inactive;
    m_connection = nullptr;
    m_connectionRef.reset();
}

// Runs the statement again from its first row, keeping the fields as they are.
void TQuery::Execute()
{
    QSqlResult *watched
        = StatementWait::Running() && !Aside ? m_connection->NewWatchedResult() : nullptr;
    m_query = watched ? std::make_unique<QSqlQuery>(watched)
                      : std::make_unique<QSqlQuery>(m_connection->Db());
    m_query->setForwardOnly(true); // lets the driver hand rows over as they come
    QString text = Text();
    RequireNoNul(text);
    if (!m_identitySelect.isEmpty())
        text = m_identitySelect;
    if (!(Aside ? m_connection->ExecAside(*m_query, text) : m_query->exec(text))) {
        const QString message = SqlErrorText(m_query->lastError());
        m_query.reset();
        throw EDatabaseError(message);
    }
    if (!m_query->isSelect()) {
        m_query.reset();
        throw EDatabaseError(QStringLiteral("The statement returns no rows."));
    }
    m_queryColumns = m_query->record().count(); // asked once: each answer copies the record
    m_position = 0;
    m_queryDone = false;
    m_keyedCursor = false;
    m_keyedFrom = -1;
}

void TQuery::SetupFields()
{
    m_fields.clear();
    const QSqlRecord rec = m_query->record();
    const int visible = rec.count() - m_hiddenColumns;
    for (int i = 0; i < visible; ++i) {
        const TFieldDef def = m_connection->ResultField(*m_query, i);
        TField f;
        f.FieldName = rec.fieldName(i);
        f.DisplayLabel = f.FieldName;
        f.DataType = def.DataType;
        f.Size = def.Size;
        f.Index = i;
        switch (f.DataType) {
        case ftString:
            f.DisplayWidth = qBound(1, f.Size, 40);
            break;
        case ftDate:
        case ftTime:
            f.DisplayWidth = 10;
            break;
        case ftDateTime:
            f.DisplayWidth = 19;
            break;
        case ftBoolean:
            f.DisplayWidth = 5;
            break;
        case ftMemo:
        case ftBlob:
        case ftGraphic:
            f.DisplayWidth = 10;
            break;
        default:
            f.DisplayWidth = 10;
        }
        f.DisplayWidth = qMax(f.DisplayWidth, qMin(int(f.FieldName.size()), 30));
        const qsizetype column = m_updateColumns.indexOf(f.FieldName.toLower());
        f.ReadOnly = !m_canModify || column < 0;
        if (column >= 0) {
            const TFieldDef &tableDef = m_updateDefs[column];
            f.Required = tableDef.Required;
            if (f.Size == 0 && f.DataType == ftString)
                f.Size = tableDef.Size;
        }
        m_fields.push_back(f);
    }
    // Key columns are known by name; find them among the result's columns.
    m_keyColumns.clear();
    for (const QString &key : m_keyNames) {
        int found = -1;
        for (int i = 0; i < rec.count(); ++i)
            if (rec.fieldName(i).compare(key, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0) {
            m_canModify = false;
            m_readOnlyReason = QStringLiteral("The key field %1 is not in the result.").arg(key);
            break;
        }
        m_keyColumns.push_back(found);
    }
}

const TField *TQuery::FindField(const QString &name) const
{
    for (const TField &f : m_fields)
        if (f.FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

const TField &TQuery::FieldByName(const QString &name) const
{
    if (const TField *f = FindField(name))
        return *f;
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

bool TQuery::ReadRow(Row &row)
{
    if (m_queryDone || !m_query)
        return false;
    if (!m_query->next()) {
        if (m_query->lastError().isValid())
            throw EDatabaseError(SqlErrorText(m_query->lastError()));
        m_queryDone = true;
        return false;
    }
    ++m_rowsRead;
    const int n = m_queryColumns;
    row.resize(n);
    for (int i = 0; i < n; ++i)
        row[i] = m_query->value(i);
    return true;
}

const TQuery::Row *TQuery::RowAt(int row)
{
    if (row < 0 || !m_query)
        return nullptr;
    const int blockNo = row / BlockSize;
    const int offset = row % BlockSize;
    auto it = m_blocks.find(blockNo);
    if (it != m_blocks.end() && offset < int(it->second.rows.size())) {
        it->second.lastUse = ++m_useClock;
        return &it->second.rows[offset];
    }
    if ((m_allFetched && row >= m_fetched) || StatementWait::Pumping())
        return nullptr;
    // Going back, the blocks just before the wanted one come along: paging on backwards
    // then finds them in memory.
    int keepFrom = blockNo;
    if (row < m_position)
        keepFrom = qMax(0, blockNo - SeekBackBlocks);
    SeekTo(keepFrom * BlockSize);
    // Whole blocks are read: a small result is then read to its end at once, which also
    // lets the engine release what it holds for an unfinished statement.
    const int blockEnd = (blockNo + 1) * BlockSize;
    Row r;
    while (m_position < blockEnd) {
        // A cursor started at a key checkpoint vouches only for rows already seen in order.
        if (m_keyedCursor && m_position >= m_verified && !m_allFetched)
            SeekPositional(m_position);
        if (!ReadRow(r)) {
            if (m_keyedCursor && m_keyedFrom == m_position) { // the checkpoint row is gone
                DropKey();
                SeekPositional(m_position);
                continue;
            }
            m_allFetched = true;
            break;
        }
        if (m_keyedCursor && !KeyedCursorValid(m_position, r)) {
            SeekPositional(m_position);
            continue;
        }
        NoteKey(m_position, r);
        const int b = m_position / BlockSize;
        // Rows before the blocks wanted are only passed over, unless their block is cached.
        if ((b >= keepFrom && b <= blockNo) || m_blocks.count(b)) {
            Block &block = m_blocks[b];
            if (int(block.rows.size()) == m_position % BlockSize)
                block.rows.push_back(std::move(r));
            block.lastUse = ++m_useClock;
        }
        ++m_position;
        m_fetched = qMax(m_fetched, m_position);
        if (int(m_blocks.size()) > MaxCachedBlocks) {
            auto oldest = m_blocks.end();
            for (auto i = m_blocks.begin(); i != m_blocks.end(); ++i)
                if (i->first != blockNo
                    && (oldest == m_blocks.end() || i->second.lastUse < oldest->second.lastUse))
                    oldest = i;
            m_blocks.erase(oldest);
        }
    }
    it = m_blocks.find(blockNo);
    if (it == m_blocks.end() || offset >= int(it->second.rows.size()))
        return nullptr;
    return &it->second.rows[offset];
}

int TQuery::FetchMore(int count)
{
    const int before = m_fetched;
    if (count > 0)
        RowAt(m_fetched + count - 1);
    return m_fetched - before;
}

int TQuery::RecordCount()
{
    while (!m_allFetched && m_query)
        FetchMore(BlockSize * 16);
    return m_fetched;
}

int TQuery::CachedRowCount() const
{
    int n = 0;
    for (const auto &[no, block] : m_blocks)
        n += int(block.rows.size());
    return n;
}

QVariant TQuery::ValueAt(int row, int column)
{
    const Row *r = RowAt(row);
    return r && column >= 0 && column < int(r->size()) ? (*r)[column] : QVariant();
}

QVariant TQuery::Value(int column) const
{
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return column >= 0 && column < int(m_buffer.size()) ? m_buffer[column] : QVariant();
    return const_cast<TQuery *>(this)->ValueAt(m_recNo, column);
}

void TQuery::SetCursor(int row)
{
    m_recNo = row;
    m_bof = row <= 0;
    m_eof = row < 0;
}

void TQuery::RequireBrowse(const char *what) const
{
    if (m_state == TDataSetState::Inactive)
        throw EDatabaseError(
            QStringLiteral("Cannot %1: the dataset is closed").arg(QLatin1String(what)));
    if (m_state != TDataSetState::Browse)
        throw EDatabaseError(
            QStringLiteral("Cannot %1 while a record is being edited").arg(QLatin1String(what)));
}

void TQuery::First()
{
    RequireBrowse("move");
    SetCursor(RowAt(0) ? 0 : -1);
    m_bof = true;
}

void TQuery::Next()
{
    RequireBrowse("move");
    if (RowAt(m_recNo + 1)) {
        SetCursor(m_recNo + 1);
        m_bof = false;
    } else {
        m_eof = true;
    }
}

void TQuery::Prior()
{
    RequireBrowse("move");
    m_eof = false;
    if (m_recNo > 0)
        SetCursor(m_recNo - 1);
    else
        m_bof = true;
}

void TQuery::Last()
{
    RequireBrowse("move");
    const int n = RecordCount();
    SetCursor(n - 1);
    m_eof = true;
    m_bof = n <= 1;
}

bool TQuery::MoveBy(int distance)
{
    RequireBrowse("move");
    const int target = qMax(0, m_recNo + distance);
    if (RowAt(target)) {
        SetCursor(target);
        return true;
    }
    Last();
    return false;
}

bool TQuery::IsEmpty()
{
    return RowAt(0) == nullptr;
}
