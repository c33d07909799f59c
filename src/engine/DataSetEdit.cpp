// Changing rows of a live result: every change is one statement that names exactly one
// row by its key, checked to have reached exactly that row before it is committed.
#include "DataSet.h"
#include "Database.h"
#include "Driver.h"
#include "EngineError.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>

static const QString RowIdAlias = QStringLiteral("orvane_rowid_");

void TQuery::SetupIdentity()
{
    m_canModify = false;
    m_readOnlyReason = m_connection->ReadOnlyReason();
    if (!m_readOnlyReason.isEmpty())
        return;

    static const QRegularExpression single(
        QStringLiteral(
            R"(^\s*SELECT\s+(.+?)\s+FROM\s+("(?:[^"]|"")+"|[\w$]+(?:\.[\w$]+)?))"
            R"((?:\s+(?:AS\s+)?(?!WHERE\b|ORDER\b)(\w+))?\s*((?:WHERE|ORDER\s+BY)\b.*)?$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression combining(
        QStringLiteral(
            R"(\b(JOIN|GROUP\s+BY|HAVING|UNION|INTERSECT|EXCEPT|DISTINCT|LIMIT|OFFSET)\b|\(\s*SELECT\b|\b(COUNT|SUM|AVG|MIN|MAX|TOTAL|GROUP_CONCAT|STRING_AGG|ARRAY_AGG)\s*\()"),
        QRegularExpression::CaseInsensitiveOption);
    QString text = Text().trimmed();
    while (text.endsWith(u';'))
        text.chop(1);
    const auto m = single.match(text);
    if (!m.hasMatch() || text.contains(combining)) {
        m_readOnlyReason = QStringLiteral(
            "The result does not come from the rows of one table, so its rows cannot be changed.");
        return;
    }
    QString table = m.captured(2);
    const QString qualifier = m.captured(3).isEmpty() ? table : m.captured(3);
    if (table.startsWith(u'"'))
        table = table.mid(1, table.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));

    QList<TFieldDef> defs;
    QList<TIndexDef> indexes;
    try {
        defs = m_connection->FieldDefs(table);
        indexes = m_connection->IndexDefs(table);
    } catch (const EDatabaseError &e) {
        m_readOnlyReason = e.Message();
        return;
    }
    for (const TFieldDef &d : defs)
        m_updateColumns << d.Name.toLower();
    m_updateDefs = defs;

    // Which columns does the statement give? Executing it reads at most its first row.
    QStringList columns;
    {
        QSqlQuery probe(m_connection->Db());
        probe.setForwardOnly(true);
        if (!probe.exec(text))
            return; // Open reports the statement's own error
        const QSqlRecord rec = probe.record();
        for (int i = 0; i < rec.count(); ++i)
            columns << rec.fieldName(i).toLower();
    }

    QStringList key;
    for (const TIndexDef &i : indexes)
        if (i.IsPrimary())
            key = i.Fields.split(u';');
    const bool keyShown = !key.isEmpty()
        && std::all_of(key.begin(), key.end(),
                       [&](const QString &k) { return columns.contains(k.toLower()); });
    if (keyShown) {
        m_keyNames = key;
    } else if (const QString rowId = m_connection->RowIdColumn(); !rowId.isEmpty()) {
        const QString withId = text.left(m.capturedEnd(1)) + QStringLiteral(", ") + qualifier + u'.'
            + rowId + QStringLiteral(" AS ") + RowIdAlias + text.mid(m.capturedEnd(1));
        QSqlQuery probe(m_connection->Db());
        probe.setForwardOnly(true);
        if (!probe.exec(withId)) {
            m_readOnlyReason
                = QStringLiteral("Table %1 has no primary key and no row id, so its rows cannot be "
                                 "identified.")
                      .arg(table);
            return;
        }
        m_identitySelect = withId;
        m_hiddenColumns = 1;
        m_keyNames = {RowIdAlias};
        m_rowIdName = rowId;
    } else {
        m_readOnlyReason = key.isEmpty()
            ? QStringLiteral("Table %1 has no primary key, so its rows cannot be identified.")
                  .arg(table)
            : QStringLiteral("The result does not show the primary key of %1 (%2), so its rows "
                             "cannot be identified.")
                  .arg(table, key.join(QLatin1String(", ")));
        return;
    }
    m_updateTable = table;
    m_canModify = true;
}

QString TQuery::WhereForRow(const Row &row, QVariantList &binds) const
{
    QStringList terms;
    for (size_t i = 0; i < m_keyColumns.size(); ++i) {
        const QString name = m_keyNames[int(i)] == RowIdAlias
            ? m_rowIdName
            : m_connection->QuoteName(m_keyNames[int(i)]);
        const QVariant &v = row[m_keyColumns[i]];
        if (v.isNull()) {
            terms << name + QStringLiteral(" IS NULL");
        } else {
            terms << name + QStringLiteral(" = ?");
            binds << v;
        }
    }
    return terms.join(QLatin1String(" AND "));
}

// SQLite reads a table without ORDER BY in row id order, so an update that leaves every
// key alone moves no row: positions, the row count and the seek checkpoints stay true, and
// the row edited in a huge result is found again without reading up to it.
bool TQuery::UpdateKeepsPlaces(const std::vector<int> &changed) const
{
    static const QRegularExpression orderBy(QStringLiteral(R"(\bORDER\s+BY\b)"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (m_connection->Db().driverName() != QLatin1String("QSQLITE")
        || orderBy.match(SeekBase()).hasMatch())
        return false;
    for (const int c : changed)
        if (c == m_keyColumn
            || std::find(m_keyColumns.begin(), m_keyColumns.end(), c) != m_keyColumns.end())
            return false;
    return true;
}

const QString &RowChangedMessage()
{
    static const QString text
        = QStringLiteral("The row was changed by another user. Reload it and try again.");
    return text;
}

// Both values were read through the same driver, so an unchanged value converts to the same
// variant: exact equality is sound for floating-point values as well, and NULL equals NULL.
static bool SameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.metaType() == b.metaType())
        return a == b;
    return a.toString() == b.toString();
}

// Inside the change's transaction: whether the row still holds what it held when it was
// read. On PostgreSQL the row stays locked until the change commits; on SQLite the read lock
// taken here keeps any other writer from committing before the change.
QString TQuery::CheckUnchanged(const Row &old)
{
    QStringList names;
    std::vector<int> columns;
    for (const TField &f : m_fields)
        if (!f.ReadOnly) {
            names << m_connection->QuoteName(f.FieldName);
            columns.push_back(f.Index);
        }
    QVariantList binds;
    const QString where = WhereForRow(old, binds);
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                      .arg(names.isEmpty() ? QStringLiteral("1") : names.join(QLatin1String(", ")),
                           m_connection->QuoteName(m_updateTable), where);
    if (m_connection->Db().driverName() == QLatin1String("QPSQL"))
        sql += QStringLiteral(" FOR UPDATE");
    QSqlQuery q(m_connection->Db());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return SqlErrorText(q.lastError());
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        return SqlErrorText(q.lastError());
    if (!q.next())
        return RowChangedMessage(); // deleted, or its key changed
    for (size_t i = 0; i < columns.size(); ++i)
        if (!SameValue(q.value(int(i)), old[columns[i]]))
            return RowChangedMessage();
    return {};
}

void TQuery::RunChange(const QString &sql, const QVariantList &binds, const Row *old)
{
    QSqlDatabase &db = m_connection->Db();
    m_query.reset(); // no reading statement may hold the database while it changes
    if (!db.transaction())
        throw EDatabaseError(SqlErrorText(db.lastError()));
    QSqlQuery q(db);
    QString failure = old ? CheckUnchanged(*old) : QString();
    if (!failure.isEmpty()) {
    } else if (!q.prepare(sql)) {
        failure = SqlErrorText(q.lastError());
    } else {
        for (const QVariant &b : binds)
            q.addBindValue(b);
        if (!q.exec())
            failure = SqlErrorText(q.lastError());
        else if (const int n = q.numRowsAffected(); n == 0)
            failure = RowChangedMessage();
        else if (n != 1)
            failure = QStringLiteral("The change would reach %1 rows; nothing was written.").arg(n);
    }
    q.finish();
    if (!failure.isEmpty()) {
        db.rollback();
        throw EDatabaseError(failure);
    }
    // Asked only where an insert is found again by it: on PostgreSQL the question runs
    // lastval(), whose failure (no sequence used yet) aborts the transaction and so the change.
    m_lastInsertId = !old && m_keyNames.contains(RowIdAlias) ? q.lastInsertId() : QVariant();
    if (!db.commit()) {
        const QString message = SqlErrorText(db.lastError());
        db.rollback();
        throw EDatabaseError(message);
    }
}

void TQuery::Reopen(int row, bool placesKept)
{
    if (placesKept && ReadRowAgain(row)) {
        // No statement runs until a row not in memory is wanted: the file is not held
        // meanwhile, as it was not when the result had been read to its end.
        m_query = std::make_unique<QSqlQuery>(m_connection->Db());
        m_queryDone = true;
        m_position = 0;
        SetCursor(row);
        return;
    }
    if (placesKept) {
        m_blocks.erase(row / BlockSize); // the other rows are as they were read
    } else {
        m_blocks.clear();
        m_fetched = 0;
        m_allFetched = false;
        ResetSeek(); // rows may have come or gone: positions and checkpoints start over
    }
    Execute();
    if (RowAt(row)) {
        SetCursor(row);
    } else {
        const int n = RecordCount();
        SetCursor(n - 1);
    }
}

// The row of a kept place read again by its key into its cached block; false when it
// cannot be, and the block must be read again.
bool TQuery::ReadRowAgain(int row)
{
    const auto block = m_blocks.find(row / BlockSize);
    const QString base = SeekBase();
    if (m_keyColumn < 0 || row >= m_verified || base.isEmpty() || block == m_blocks.end()
        || row % BlockSize >= int(block->second.rows.size()))
        return false;
    Row &cached = block->second.rows[row % BlockSize];
    // Keys rise strictly through the rows verified, so the first row with this key is it.
    if (!ExecuteSeek(QStringLiteral("SELECT * FROM (\n%1\n) orvane_seek WHERE %2 = ?")
                         .arg(base, m_connection->QuoteName(m_keyName)),
                     cached[m_keyColumn]))
        return false;
    Row fresh;
    const bool found = ReadRow(fresh);
    m_query.reset();
    if (found)
        cached = std::move(fresh);
    return found;
}

void TQuery::Edit()
{
    RequireBrowse("edit");
    if (!m_canModify)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only result. ")
                             + m_readOnlyReason);
    const Row *r = RowAt(m_recNo);
    if (!r)
        throw EDatabaseError(QStringLiteral("There is no record to edit."));
    m_buffer = *r;
    m_state = TDataSetState::Edit;
}

void TQuery::Append()
{
    RequireBrowse("insert");
    if (!m_canModify)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only result. ")
                             + m_readOnlyReason);
    m_buffer.assign(m_fields.size() + m_hiddenColumns, QVariant());
    m_state = TDataSetState::Insert;
}

void TQuery::SetValue(int column, const QVariant &value)
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDatabaseError(QStringLiteral("The dataset is not in edit or insert mode."));
    if (column < 0 || column >= FieldCount())
        throw EDatabaseError(QStringLiteral("No field number %1.").arg(column));
    if (m_fields[column].ReadOnly)
        throw EDatabaseError(
            QStringLiteral("Field '%1' cannot be modified.").arg(m_fields[column].FieldName));
    m_buffer[column] = value;
}

void TQuery::Cancel()
{
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        m_state = TDataSetState::Browse;
    m_buffer.clear();
}

void TQuery::Post()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDatabaseError(QStringLiteral("The dataset is not in edit or insert mode."));
    const QString table = m_connection->QuoteName(m_updateTable);
    QVariantList binds;
    QStringList names;
    const bool inserting = m_state == TDataSetState::Insert;
    std::vector<int> changedColumns;
    Row old;
    if (!inserting) {
        const Row *r = RowAt(m_recNo);
        if (!r)
            throw EDatabaseError(QStringLiteral("The record being edited is gone."));
        old = *r;
    }
    for (const TField &f : m_fields) {
        const QVariant &v = m_buffer[f.Index];
        const bool changed
            = inserting ? !v.isNull() : (v.isNull() != old[f.Index].isNull() || v != old[f.Index]);
        if (!changed || f.ReadOnly)
            continue;
        names << m_connection->QuoteName(f.FieldName);
        binds << v;
        changedColumns.push_back(f.Index);
    }

    const int row = m_recNo;
    try {
        if (inserting) {
            QStringList marks;
            for (int i = 0; i < names.size(); ++i)
                marks << QStringLiteral("?");
            RunChange(names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                      : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                            .arg(table, names.join(QLatin1String(", ")),
                                                 marks.join(QLatin1String(", "))),
                      binds);
        } else if (!names.isEmpty()) {
            const QString set = names.join(QLatin1String(" = ?, ")) + QStringLiteral(" = ?");
            const QString where = WhereForRow(old, binds);
            RunChange(QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(table, set, where), binds,
                      &old);
        }
    } catch (const EDatabaseError &) {
        Reopen(row); // the statement changed nothing; stay in edit mode with the buffer
        throw;
    }

    const Row inserted = m_buffer;
    m_state = TDataSetState::Browse;
    m_buffer.clear();
    Reopen(row, !inserting && UpdateKeepsPlaces(changedColumns));
    if (inserting)
        FindInserted(inserted);
}

// After an insert the new row is wherever the statement's order puts it: find it by
// its key values, or by the row id the engine gave it.
void TQuery::FindInserted(const Row &values)
{
    Row key;
    for (size_t i = 0; i < m_keyColumns.size(); ++i) {
        const QVariant v
            = m_keyNames[int(i)] == RowIdAlias ? m_lastInsertId : values[m_keyColumns[i]];
        if (v.isNull()) {
            Last();
            return;
        }
        key.push_back(v);
    }
    for (int r = 0; const Row *row = RowAt(r); ++r) {
        bool same = true;
        for (size_t i = 0; i < m_keyColumns.size() && same; ++i)
            same = (*row)[m_keyColumns[i]].toString() == key[i].toString();
        if (same) {
            SetCursor(r);
            return;
        }
    }
    Last();
}

void TQuery::Delete()
{
    RequireBrowse("delete");
    if (!m_canModify)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only result. ")
                             + m_readOnlyReason);
    const Row *r = RowAt(m_recNo);
    if (!r)
        throw EDatabaseError(QStringLiteral("There is no record to delete."));
    QVariantList binds;
    const Row old = *r;
    const QString where = WhereForRow(old, binds);
    const int row = m_recNo;
    try {
        RunChange(QStringLiteral("DELETE FROM %1 WHERE %2")
                      .arg(m_connection->QuoteName(m_updateTable), where),
                  binds, &old);
    } catch (const EDatabaseError &) {
        Reopen(row);
        throw;
    }
    Reopen(row);
}

static bool Matches(const QVariant &v, const QVariant &key, unsigned options)
{
    if (key.isNull())
        return v.isNull();
    if (v.isNull())
        return false;
    const Qt::CaseSensitivity cs
        = options & loCaseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString a = v.toString();
    const QString b = key.toString();
    return options & loPartialKey ? a.startsWith(b, cs) : a.compare(b, cs) == 0;
}

bool TQuery::Locate(const QString &field, const QVariant &value, unsigned options)
{
    RequireBrowse("locate");
    const int column = FieldByName(field).Index;
    for (int r = 0; const Row *row = RowAt(r); ++r)
        if (Matches((*row)[column], value, options)) {
            SetCursor(r);
            m_eof = false;
            return true;
        }
    return false;
}
