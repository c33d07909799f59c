#include "QueryModel.h"

#include "DataSet.h"
#include "EngineError.h"
#include "StatementWait.h"

#include <QTextDocument>

TQueryModel::TQueryModel(TQuery &query, QObject *parent)
    : QAbstractTableModel(parent)
    , m_query(query)
{}

void TQueryModel::Reset()
{
    beginResetModel();
    m_columns = m_query.Active() ? m_query.FieldCount() : 0;
    if (m_query.Active() && m_query.FetchedCount() < FetchRows && !m_query.AllFetched())
        m_query.FetchMore(FetchRows - m_query.FetchedCount());
    m_rows = m_query.Active() ? m_query.FetchedCount() : 0;
    endResetModel();
}

void TQueryModel::Sync()
{
    const int now = m_query.Active() ? m_query.FetchedCount() : 0;
    if (now > m_rows) {
        beginInsertRows({}, m_rows, now - 1);
        m_rows = now;
        endInsertRows();
    } else if (now < m_rows) {
        Reset();
    }
}

int TQueryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TQueryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QString TQueryModel::DisplayText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("(BLOB)");
    QString text = value.toString();
    constexpr int shown = 255;
    if (text.size() > shown)
        text = text.left(shown) + QChar(0x2026);
    return text.replace(u'\n', u' ');
}

QVariant TQueryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_columns)
        return {};
    if (role == Qt::EditRole) {
        // The whole value is edited, not the shortened text the grid shows.
        try {
            const QVariant v = m_query.ValueAt(index.row(), index.column());
            return v.isNull() ? QString() : v.toString();
        } catch (const EDatabaseError &) {
            return {};
        }
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    // A tool tip that looks like markup is shown as markup: values and messages are text.
    try {
        const QString text = DisplayText(m_query.ValueAt(index.row(), index.column()));
        return role == Qt::ToolTipRole && !text.isEmpty() ? Qt::convertFromPlainText(text) : text;
    } catch (const EDatabaseError &e) {
        return role == Qt::ToolTipRole ? Qt::convertFromPlainText(e.Message())
                                       : QStringLiteral("#error");
    }
}

QVariant TQueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= m_columns)
        return {};
    return m_query.Fields()[section].DisplayLabel;
}

// Bytes cannot be typed into a cell.
static bool IsBinary(TFieldType t)
{
    switch (t) {
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
        return true;
    default:
        return false;
    }
}

Qt::ItemFlags TQueryModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (WriteCell && index.isValid() && index.column() < m_columns
        && !m_query.Fields()[index.column()].ReadOnly
        && !IsBinary(m_query.Fields()[index.column()].DataType))
        f |= Qt::ItemIsEditable;
    return f;
}

bool TQueryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    if (value.toString() == data(index, Qt::EditRole).toString())
        return true; // left as it was: nothing to write
    const QString text = value.toString();
    return WriteCell(index.row(), index.column(), text.isEmpty() ? QVariant() : QVariant(text));
}

bool TQueryModel::ReadAgain()
{
    const int now = m_query.Active() ? m_query.FetchedCount() : 0;
    if (now != m_rows || m_query.FieldCount() != m_columns) {
        Reset();
        return true;
    }
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1));
    return false;
}

bool TQueryModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_query.Active() && !m_query.AllFetched();
}

void TQueryModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !m_query.Active())
        return;
    QString failure;
    {
        // A slow result keeps the program answering and can be stopped (Escape).
        const StatementWait::TRun stoppable;
        try {
            m_query.FetchMore(FetchRows);
        } catch (const EDatabaseError &e) {
            // the rows already shown stay; a broken or stopped cursor shows no more
            failure = StatementWait::StopRequested() ? StatementWait::CanceledText() : e.Message();
        }
    }
    Sync();
    if (!failure.isEmpty() && FetchFailed)
        FetchFailed(failure);
}
