// Reaching a row of a result again after its block was dropped from memory, without
// reading the result from its first row: from the nearest key checkpoint, else by
// position where the engine skips rows itself.
#include "DataSet.h"
#include "Database.h"
#include "Driver.h"

#include <QRegularExpression>
#include <QSqlRecord>

namespace {

bool IsInteger(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return !v.isNull();
    default:
        return false;
    }
}

} // namespace

void TQuery::ResetSeek()
{
    m_keyColumn = -1;
    m_verified = 0;
    m_lastKey = 0;
    m_checkKeys.clear();
    m_checkSpacing = BlockSize;
    m_keyedCursor = false;
    m_keyedFrom = -1;
    m_offsetWorks = true;
}

void TQuery::DropKey()
{
    m_keyColumn = -2;
    m_checkKeys.clear();
}

// The statement as the seeking forms wrap it; empty when it is no plain query, which
// must never be wrapped (it could fail and so disturb the user's transaction, or run twice).
QString TQuery::SeekBase() const
{
    QString text = (m_identitySelect.isEmpty() ? Text() : m_identitySelect).trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    static const QRegularExpression query(QStringLiteral(R"(^(SELECT|WITH)\b)"),
                                          QRegularExpression::CaseInsensitiveOption);
    return query.match(text).hasMatch() ? text : QString();
}

bool TQuery::ExecuteSeek(const QString &sql, const QVariant &bind)
{
    m_query.reset();
    auto q = std::make_unique<QSqlQuery>(m_connection->Db());
    q->setForwardOnly(true);
    if (!q->prepare(sql))
        return false;
    if (bind.isValid())
        q->addBindValue(bind);
    if (!q->exec() || !q->isSelect()
        || q->record().count() != int(m_fields.size()) + m_hiddenColumns)
        return false;
    m_query = std::move(q);
    m_queryColumns = m_query->record().count();
    m_queryDone = false;
    return true;
}

// Checks the key of every row met for the first time, in order, and notes a checkpoint
// at every m_checkSpacing-th row. The key is the row id the program added, else the first
// integer column; once its values fail to rise strictly, the result has no key.
void TQuery::NoteKey(int position, const Row &row)
{
    if (m_keyColumn == -2 || m_keyedCursor || position != m_verified)
        return;
    if (m_keyColumn == -1) {
        m_keyColumn = -2;
        const QSqlRecord rec = m_query->record();
        const int visible = int(row.size()) - m_hiddenColumns;
        auto unique = [&](int i) {
            int same = 0;
            for (int j = 0; j < rec.count(); ++j)
                same += rec.fieldName(j).compare(rec.fieldName(i), Qt::CaseInsensitive) == 0;
            return same == 1 && !rec.fieldName(i).contains(u'.');
        };
        for (int i = m_hiddenColumns ? int(row.size()) - 1 : 0; i < int(row.size()); ++i)
            if ((m_hiddenColumns || i < visible) && IsInteger(row[i]) && unique(i)) {
                m_keyColumn = i;
                m_keyName = rec.fieldName(i);
                break;
            }
        if (m_keyColumn < 0)
            return;
    }
    const QVariant &v = row[m_keyColumn];
    if (!IsInteger(v) || (position > 0 && v.toLongLong() <= m_lastKey)) {
        DropKey();
        return;
    }
    m_lastKey = v.toLongLong();
    ++m_verified;
    if (position % m_checkSpacing == 0 && position / m_checkSpacing == int(m_checkKeys.size())) {
        m_checkKeys.push_back(m_lastKey);
        if (int(m_checkKeys.size()) > MaxCheckpoints) {
            // Half as many, twice as far apart: memory stays bounded for any result.
            std::vector<qint64> kept;
            for (size_t i = 0; i < m_checkKeys.size(); i += 2)
                kept.push_back(m_checkKeys[i]);
            m_checkKeys = std::move(kept);
            m_checkSpacing *= 2;
        }
    }
}

// The first row of a cursor started at a checkpoint must be the row noted there.
bool TQuery::KeyedCursorValid(int position, const Row &row)
{
    if (position != m_keyedFrom)
        return true;
    m_keyedFrom = -1;
    if (IsInteger(row[m_keyColumn]) && row[m_keyColumn].toLongLong() == m_keyedFromKey)
        return true;
    DropKey();
    return false;
}

// Makes row `start` (or one before it) the next row read. Going forward, the open cursor
// goes on unless a checkpoint lies well ahead of it.
void TQuery::SeekTo(int start)
{
    const bool ahead = m_query && !m_queryDone && start >= m_position;
    const QString base = SeekBase();
    if (m_keyColumn >= 0 && !m_checkKeys.empty() && start < m_verified && !base.isEmpty()) {
        const int c = qMin(start / m_checkSpacing, int(m_checkKeys.size()) - 1);
        const int from = c * m_checkSpacing;
        if (!ahead || from >= m_position + 4 * BlockSize) {
            if (ExecuteSeek(QStringLiteral("SELECT * FROM (\n%1\n) orvane_seek WHERE %2 >= ?")
                                .arg(base, m_connection->QuoteName(m_keyName)),
                            m_checkKeys[c])) {
                m_position = from;
                m_keyedCursor = true;
                m_keyedFrom = from;
                m_keyedFromKey = m_checkKeys[c];
                return;
            }
            DropKey();
        }
    }
    if (!ahead)
        SeekPositional(start);
}

// Makes row `start` the next row read by its position: the engine skips the rows before
// it where the statement can say so (OFFSET), else the driver steps over them unread.
void TQuery::SeekPositional(int start)
{
    m_keyedCursor = false;
    m_keyedFrom = -1;
    const QString base = SeekBase();
    if (start > 0 && m_offsetWorks && !base.isEmpty()) {
        const QString offset = m_connection->Db().driverName() == QLatin1String("QSQLITE")
            ? QStringLiteral(" LIMIT -1 OFFSET %1")
            : QStringLiteral(" OFFSET %1 ROWS");
        if (ExecuteSeek(QStringLiteral("SELECT * FROM (\n%1\n) orvane_seek").arg(base)
                            + offset.arg(start),
                        {})) {
            m_position = start;
            return;
        }
        m_offsetWorks = false;
    }
    Execute();
    if (start > 0) {
        if (!m_query->seek(start - 1))
            m_queryDone = true;
        m_rowsRead += start;
    }
    m_position = start;
}
