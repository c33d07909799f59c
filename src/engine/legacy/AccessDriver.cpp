#include "CatalogProbe.h"
#include "EngineError.h"
#include "FileConnection.h"
#include "LegacyDrivers.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <mdbtools.h>

namespace {

const QString ReadOnly = QStringLiteral("Access databases are read only.");
constexpr size_t BindSize = 256 * 1024;

// The file must be a Jet or ACE database made of whole pages before mdbtools reads it.
void CheckAccessFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Database file not found: %1").arg(path));
    QFile f(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot read database file %1").arg(path));
    const QByteArray head = f.read(0x15);
    const bool magic = head.size() == 0x15 && head.startsWith(QByteArray("\0\1\0\0", 4))
        && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
    const int pageSize = magic && head[0x14] == 0 ? 2048 : 4096;
    if (!magic || f.size() < 3 * pageSize || f.size() % pageSize != 0)
        throw EDatabaseError(
            QStringLiteral("%1 is not an Access database or is damaged.").arg(path));
}

struct TMdb
{
    explicit TMdb(const QString &path)
        : handle(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS))
    {
        if (!handle)
            throw EDatabaseError(QStringLiteral("Cannot open Access database %1.").arg(path));
        mdb_set_bind_size(handle, BindSize);
        mdb_set_date_fmt(handle, "%Y-%m-%d %H:%M:%S");
        if (!mdb_read_catalog(handle, MDB_TABLE)) {
            mdb_close(handle);
            throw EDatabaseError(QStringLiteral("Cannot read the tables of %1.").arg(path));
        }
    }
    ~TMdb() { mdb_close(handle); }
    TMdb(const TMdb &) = delete;
    TMdb &operator=(const TMdb &) = delete;

    // The user tables, read with their columns; the caller frees them.
    // Indexes are read at once: mdbtools reads them from where the columns left off.
    std::vector<MdbTableDef *> Tables(const QString &only = {}, bool withIndexes = false)
    {
        std::vector<MdbTableDef *> tables;
        for (unsigned i = 0; i < handle->num_catalog; ++i) {
            auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(handle->catalog, i));
            if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
                continue;
            if (!only.isEmpty() && QString::fromUtf8(entry->object_name) != only)
                continue;
            MdbTableDef *t = mdb_read_table(entry);
            if (!t)
                continue;
            if (!mdb_read_columns(t)) {
                mdb_free_tabledef(t);
                continue;
            }
            if (withIndexes)
                mdb_read_indices(t);
            tables.push_back(t);
        }
        return tables;
    }

    // mdbtools ends the catalog quietly at a page it cannot read, and the tables after it
    // are missing: the catalog table's own row count tells. Asked when the tables are
    // listed; a table missing later is reported as missing anyway.
    bool CatalogWhole()
    {
        MdbCatalogEntry entry {};
        entry.mdb = handle;
        qstrcpy(entry.object_name, "MSysObjects");
        entry.object_type = MDB_TABLE;
        entry.table_pg = 2; // where every Jet and ACE file keeps it
        MdbTableDef *t = mdb_read_table(&entry);
        if (!t)
            return false;
        mdb_read_columns(t);
        mdb_rewind_table(t);
        unsigned long rows = 0;
        while (mdb_fetch_row(t))
            ++rows;
        const bool whole = rows == t->num_rows;
        mdb_free_tabledef(t);
        return whole;
    }

    MdbHandle *handle;
};

TFileColumn ColumnOf(const MdbColumn *col, bool jet3)
{
    TFileColumn c;
    c.Name = QString::fromUtf8(col->name);
    c.Native = char(col->col_type);
    c.Width = col->col_size;
    const char *required = mdb_col_get_prop(col, "Required");
    c.Required = required && qstrcmp(required, "yes") == 0;
    switch (col->col_type) {
    case MDB_BOOL:
        c.Type = ftBoolean;
        break;
    case MDB_BYTE:
    case MDB_INT:
        c.Type = ftSmallint;
        break;
    case MDB_LONGINT:
        c.Type = col->is_long_auto ? ftAutoInc : ftInteger;
        break;
    case MDB_MONEY:
        c.Type = ftCurrency;
        break;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        c.Type = ftFloat;
        break;
    case MDB_DATETIME:
        c.Type = ftDateTime;
        break;
    case MDB_BINARY:
        c.Type = ftBytes;
        c.Size = col->col_size;
        break;
    case MDB_TEXT:
        c.Type = ftString;
        c.Size = jet3 ? col->col_size : col->col_size / 2; // Jet 4 keeps two bytes a letter
        break;
    case MDB_REPID:
        c.Type = ftString;
        c.Size = 38;
        break;
    case MDB_OLE:
        c.Type = ftBlob;
        break;
    case MDB_MEMO:
        c.Type = ftMemo;
        break;
    case MDB_NUMERIC:
        c.Type = ftBCD;
        c.Size = col->col_scale;
        c.Width = col->col_prec;
        break;
    default:
        c.Type = ftUnknown;
    }
    return c;
}

class TAccessTable : public TTableFile
{
public:
    QString ReadOnlyReason() const override { return ReadOnly; }
    TFileMoves Write(const std::vector<TRow> &) override { throw EDatabaseError(ReadOnly); }

    std::vector<TRow> Load() override
    {
        TMdb mdb(Path);
        std::vector<MdbTableDef *> tables = mdb.Tables(Name);
        if (tables.empty())
            throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(Name));
        MdbTableDef *t = tables.front();
        std::vector<TRow> rows;
        try {
            rows = Fetch(mdb.handle, t);
        } catch (...) {
            for (MdbTableDef *d : tables)
                mdb_free_tabledef(d);
            throw;
        }
        for (MdbTableDef *d : tables)
            mdb_free_tabledef(d);
        return rows;
    }

private:
    std::vector<TRow> Fetch(MdbHandle *mdb, MdbTableDef *t)
    {
        const int n = int(t->num_cols);
        if (n != int(Columns.size()))
            throw EDatabaseError(QStringLiteral("Table %1 changed its columns.").arg(Name));
        std::vector<QByteArray> buffers(n, QByteArray(int(BindSize), '\0'));
        std::vector<int> lengths(n, 0);
        for (int i = 0; i < n; ++i)
            mdb_bind_column(t, i + 1, buffers[i].data(), &lengths[i]);
        mdb_rewind_table(t);
        std::vector<TRow> rows;
        while (mdb_fetch_row(t)) {
            TRow row(n);
            for (int i = 0; i < n; ++i) {
                auto *col = static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i));
                const int length = qBound(0, lengths[i], int(BindSize) - 1);
                if (col->col_type == MDB_OLE) {
                    size_t size = 0;
                    if (length > 0)
                        if (void *data = mdb_ole_read_full(mdb, col, &size)) {
                            row[i] = QByteArray(static_cast<const char *>(data), qsizetype(size));
                            free(data);
                        }
                    continue;
                }
                if (col->col_type == MDB_MEMO && lengths[i] >= int(BindSize) - 1)
                    throw EDatabaseError(QStringLiteral("A memo in %1.%2 is too long to be read.")
                                             .arg(Name, Columns[i].Name));
                if (length == 0 && col->col_type != MDB_BOOL)
                    continue; // mdbtools gives nulls as empty values
                const QByteArray raw(buffers[i].constData(), length);
                row[i] = Value(Columns[i], raw);
            }
            rows.push_back(std::move(row));
        }
        // mdbtools passes over a row it cannot read and stops at a page it cannot read; the
        // row count the table keeps tells that rows were lost.
        if (rows.size() != size_t(t->num_rows))
            throw EDatabaseError(
                QStringLiteral("The file %1 is damaged: table %2 holds %3 rows, of which %4 "
                               "could be read.")
                    .arg(QFileInfo(Path).fileName(), Name)
                    .arg(t->num_rows)
                    .arg(rows.size()));
        return rows;
    }

    static QVariant Value(const TFileColumn &c, const QByteArray &raw)
    {
        switch (c.Type) {
        case ftBoolean:
            return qlonglong(raw.trimmed() == "1" || raw.trimmed().toLower() == "true" ? 1 : 0);
        case ftSmallint:
        case ftInteger:
        case ftAutoInc:
            return raw.trimmed().toLongLong();
        case ftFloat:
        case ftCurrency:
            return raw.trimmed().toDouble();
        case ftBytes:
            return raw;
        default:
            return QString::fromUtf8(raw);
        }
    }
};

} // namespace

std::unique_ptr<TConnection> TAccessDriver::Connect(const TParams &params, const QString &,
                                                    const QString &)
{
    const QString path = ParamValue(params, QStringLiteral("DATABASE NAME"));
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("The alias names no database file (DATABASE NAME)."));
    CheckAccessFile(path);
    // mdbtools may loop without end on a damaged catalog, its memory growing.
    ProbeCatalog(Name(), params, QString(), path);

    std::vector<std::unique_ptr<TTableFile>> files;
    {
        TMdb mdb(path);
        if (!mdb.CatalogWhole())
            throw EDatabaseError(
                QStringLiteral("The file %1 is damaged: its list of tables cannot be read whole.")
                    .arg(QFileInfo(path).fileName()));
        const bool jet3 = mdb.handle->f->jet_version == MDB_VER_JET3;
        for (MdbTableDef *t : mdb.Tables({}, true)) {
            auto file = std::make_unique<TAccessTable>();
            file->Path = path;
            file->Name = QString::fromUtf8(t->name);
            for (unsigned i = 0; i < t->num_cols; ++i)
                file->Columns.push_back(
                    ColumnOf(static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i)), jet3));
            {
                for (unsigned i = 0; i < t->num_idxs; ++i) {
                    auto *idx = static_cast<MdbIndex *>(g_ptr_array_index(t->indices, i));
                    if (idx->index_type == 2) // the far side of a relationship
                        continue;
                    QStringList fields;
                    for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
                        const int col = idx->key_col_num[k] - 1;
                        if (col >= 0 && col < int(file->Columns.size()))
                            fields << file->Columns[col].Name;
                    }
                    unsigned options = (idx->flags & MDB_IDX_UNIQUE) ? ixUnique : 0u;
                    if (idx->index_type == 1)
                        options |= ixPrimary | ixUnique;
                    if (!fields.isEmpty())
                        file->Indexes
                            << TIndexDef {QString::fromUtf8(idx->name), fields.join(u';'), options};
                }
            }
            std::stable_partition(file->Indexes.begin(), file->Indexes.end(),
                                  [](const TIndexDef &i) { return i.IsPrimary(); });
            mdb_free_tabledef(t);
            files.push_back(std::move(file));
        }
    }

    auto connection = std::make_unique<TFileConnection>(
        OpenSqliteDatabase(QStringLiteral(":memory:")), nullptr, QString(), ReadOnly);
    for (auto &file : files)
        connection->AddTable(std::move(file));
    return connection;
}
