#include "EngineError.h"
#include "FileConnection.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sqlite3.h>
#include <unordered_map>

// The virtual table module behind TFileConnection: each table file is one table, its rows
// held in memory while it is used and written back whole when a change commits.

namespace {

struct TSnapshot
{
    TRows rows;
    qint64 nextId = 1;
    std::unordered_map<QString, qint64> keys; // row id by primary key, for keyed tables
    std::vector<qlonglong> autoTop; // highest number so far, per auto-increment column
};

struct TVtab
{
    sqlite3_vtab base {};
    sqlite3 *db = nullptr;
    TFileConnection *owner = nullptr;
    TTableFile *file = nullptr;
    // Shared with the cursors reading it: a cursor keeps the rows it started on even when
    // the table is read again or rolled back under it.
    std::shared_ptr<TSnapshot> data = std::make_shared<TSnapshot>();
    bool loaded = false;
    QString stamp;
    bool inTransaction = false;
    bool dirty = false;
    // What a transaction changed, to undo it: the rows as the file holds them (none for a
    // row added) and the numbers at its start.
    std::map<qint64, std::optional<TRow>> undo;
    qint64 undoNextId = 1;
    std::vector<qlonglong> undoAutoTop;
    std::map<int, std::shared_ptr<TSnapshot>> savepoints;
    TFileMoves written; // new files waiting for the commit
    // Where each row lives in the file as committed (row id to TTableFile::Places), for
    // writing changed rows over their records; empty when unknown.
    std::unordered_map<qint64, qint64> places;
    std::unordered_map<qint64, qint64> writtenPlaces; // of the new files waiting
    std::unique_ptr<TInPlaceWrite> inPlace = std::make_unique<TInPlaceWrite>();
};

// Row ids paired with the places the file gave for rows in that order.
std::unordered_map<qint64, qint64> PlacesOf(const TTableFile &f, const TRows &rows)
{
    std::unordered_map<qint64, qint64> places;
    if (f.Places.size() != rows.size())
        return places;
    places.reserve(rows.size());
    size_t i = 0;
    for (const auto &[id, row] : rows)
        places.emplace(id, f.Places[i++]);
    return places;
}

struct TCursor
{
    sqlite3_vtab_cursor base {};
    TVtab *table = nullptr;
    // Changes never touch rows a cursor holds (they go to a copy), so its place in them
    // stays valid while it reads.
    std::shared_ptr<const TSnapshot> snap;
    TRows::const_iterator at;
    int column = -1; // a column that must equal wanted, or -1
    qint64 wanted = 0;
    qint64 id = 0; // the current row
    bool single = false; // a lookup by rowid
    bool eof = true;
};

int Fail(TVtab *t, const QString &message, int code = SQLITE_ERROR)
{
    sqlite3_free(t->base.zErrMsg);
    t->base.zErrMsg = sqlite3_mprintf("%s", message.toUtf8().constData());
    return code;
}

void Track(const TTableFile &f, TSnapshot &data, const TRow &row, qint64 id);

// Reads the file when it was never read or another connection changed it since.
void Refresh(TVtab *t)
{
    if (!t->file->Damage.isEmpty())
        throw EDatabaseError(t->file->Damage);
    const QString stamp = t->file->Stamp();
    if (t->loaded && stamp == t->stamp)
        return;
    std::vector<TRow> rows = t->file->Load();
    t->data = std::make_shared<TSnapshot>();
    t->data->autoTop.assign(t->file->Columns.size(), 0);
    for (TRow &r : rows) {
        const qint64 id = t->data->nextId++;
        Track(*t->file, *t->data, r, id);
        t->data->rows.emplace(id, std::move(r));
    }
    t->places = PlacesOf(*t->file, t->data->rows);
    t->loaded = true;
    t->stamp = stamp;
}

QVariant FromSqlite(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    case SQLITE_BLOB: {
        const void *p = sqlite3_value_blob(v);
        return QByteArray(static_cast<const char *>(p), p ? sqlite3_value_bytes(v) : 0);
    }
    default:
        return {};
    }
}

void ToSqlite(sqlite3_context *ctx, const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
        sqlite3_result_int64(ctx, v.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_result_double(ctx, v.toDouble());
        break;
    case QMetaType::QString: {
        const QByteArray utf8 = v.toString().toUtf8();
        sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = v.toByteArray();
        sqlite3_result_blob(ctx, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        sqlite3_result_null(ctx);
    }
}

QString KeyOf(const TTableFile &f, const TRow &row)
{
    QString key;
    for (int k = 0; k < f.KeyFields; ++k)
        key += QString::number(row[k].typeId()) + u':' + row[k].toString() + QChar(0x1f);
    return key;
}

// Adds a row's key and numbers to the lookups kept beside the rows.
void Track(const TTableFile &f, TSnapshot &data, const TRow &row, qint64 id)
{
    if (f.KeyFields > 0)
        data.keys[KeyOf(f, row)] = id;
    for (size_t i = 0; i < f.Columns.size(); ++i)
        if (f.Columns[i].Type == ftAutoInc)
            data.autoTop[i] = std::max(data.autoTop[i], row[i].toLongLong());
}

void Untrack(const TTableFile &f, TSnapshot &data, const TRow &row)
{
    if (f.KeyFields > 0)
        data.keys.erase(KeyOf(f, row));
}

// Keyed rows must stay unique; an auto-increment column gets the next number.
void CheckRow(TVtab *t, TRow &row, qint64 id)
{
    const TTableFile &f = *t->file;
    for (size_t i = 0; i < f.Columns.size(); ++i)
        if (f.Columns[i].Type == ftAutoInc && row[i].isNull())
            row[i] = t->data->autoTop[i] + 1;
    if (f.KeyFields <= 0)
        return;
    for (int k = 0; k < f.KeyFields; ++k)
        if (row[k].isNull())
            throw EDatabaseError(
                QStringLiteral("Key field %1 must have a value.").arg(f.Columns[k].Name));
    const auto it = t->data->keys.find(KeyOf(f, row));
    if (it != t->data->keys.end() && it->second != id)
        throw EDatabaseError(
            QStringLiteral("Key violation: table %1 already has a row with this key.").arg(f.Name));
}

int Connect(sqlite3 *db, void *aux, int, const char *const *argv, sqlite3_vtab **out, char **err)
{
    auto *owner = static_cast<TFileConnection *>(aux);
    TTableFile *file = owner->FindTable(QString::fromUtf8(argv[2]));
    if (!file) {
        *err = sqlite3_mprintf("no table file for %s", argv[2]);
        return SQLITE_ERROR;
    }
    QStringList columns;
    for (const TFileColumn &c : file->Columns)
        columns << QStringLiteral("\"%1\" %2")
                       .arg(QString(c.Name).replace(u'"', QLatin1String("\"\"")),
                            DeclarationFor(c));
    if (columns.isEmpty()) // a damaged file: its reads fail with the reason
        columns << QStringLiteral("\"?\"");
    const QByteArray schema = QStringLiteral("CREATE TABLE x(%1)").arg(columns.join(u',')).toUtf8();
    if (const int rc = sqlite3_declare_vtab(db, schema.constData()); rc != SQLITE_OK) {
        *err = sqlite3_mprintf("%s", sqlite3_errmsg(db));
        return rc;
    }
    auto *t = new TVtab;
    t->db = db;
    t->owner = owner;
    t->file = file;
    *out = &t->base;
    return SQLITE_OK;
}

int Disconnect(sqlite3_vtab *vtab)
{
    for (const auto &move : std::as_const(reinterpret_cast<TVtab *>(vtab)->written))
        QFile::remove(move.first);
    sqlite3_free(vtab->zErrMsg);
    delete reinterpret_cast<TVtab *>(vtab);
    return SQLITE_OK;
}

// DROP TABLE: the table's files go with it.
int Destroy(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (!t->owner->Internal()) {
        if (const QString reason = t->file->ReadOnlyReason(); !reason.isEmpty())
            return Fail(t, reason, SQLITE_READONLY);
        // A deleted file cannot come back with a ROLLBACK.
        if (!sqlite3_get_autocommit(t->db))
            return Fail(t, QStringLiteral("Tables are dropped only outside a transaction."));
        for (const QString &f : t->file->Files() + t->file->Companions())
            if (QFile::exists(f) && !QFile::remove(f))
                return Fail(t, QStringLiteral("Cannot delete %1.").arg(f));
        t->owner->Forget(t->file);
    }
    sqlite3_free(t->base.zErrMsg);
    delete t;
    return SQLITE_OK;
}

// Plans above it look for rows whose column (the plan's number less this) equals a value.
constexpr int EqualColumnBase = 100;

// A keyed table whose key is one whole number finds a row by it.
bool KeyedByNumber(const TTableFile &f)
{
    if (f.KeyFields != 1 || f.Columns.empty())
        return false;
    const TFieldType type = f.Columns[0].Type;
    return type == ftSmallint || type == ftInteger || type == ftAutoInc || type == ftLargeint
        || type == ftWord;
}

int BestIndex(sqlite3_vtab *vtab, sqlite3_index_info *info)
{
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (c.usable && c.iColumn == -1 && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->idxNum = 1;
            info->estimatedCost = 1;
            info->estimatedRows = 1;
            info->idxFlags = SQLITE_INDEX_SCAN_UNIQUE;
            return SQLITE_OK;
        }
    }
    if (KeyedByNumber(*reinterpret_cast<TVtab *>(vtab)->file)) {
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto &c = info->aConstraint[i];
            if (c.usable && c.iColumn == 0 && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
                // SQLite checks the value again: a value that is no whole number scans.
                info->aConstraintUsage[i].argvIndex = 1;
                info->idxNum = 2;
                info->estimatedCost = 2;
                info->estimatedRows = 1;
                return SQLITE_OK;
            }
        }
    }
    // Any other column equal to a value: the rows are still all looked at, but here, and
    // SQLite checks the ones let through again.
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (c.usable && c.iColumn >= 0 && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            info->aConstraintUsage[i].argvIndex = 1;
            info->idxNum = EqualColumnBase + c.iColumn;
            info->estimatedCost = 1e5;
            info->estimatedRows = 10;
            return SQLITE_OK;
        }
    }
    info->idxNum = 0;
    info->estimatedCost = 1e6;
    return SQLITE_OK;
}

// Whether SQLite could find the value equal to the whole number the cursor looks for: only
// numbers that differ from it are passed over, everything else SQLite compares itself.
bool MayEqual(const TCursor &c, const TRow &row)
{
    if (c.column < 0 || c.column >= int(row.size()))
        return true;
    const QVariant &v = row[c.column];
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return *static_cast<const qlonglong *>(v.constData()) == c.wanted;
    case QMetaType::Double:
        // Doubles hold whole numbers exactly up to 2^53; beyond, SQLite's comparison decides.
        return std::abs(c.wanted) > (qint64(1) << 53)
            || *static_cast<const double *>(v.constData()) == double(c.wanted);
    default:
        return true;
    }
}

// Moves on to the first row from here the cursor may give; at the end it lets the rows go,
// so that changes go to the rows themselves.
void Land(TCursor &c)
{
    const TRows &rows = c.snap->rows;
    if (c.column >= 0)
        while (c.at != rows.end() && !MayEqual(c, c.at->second))
            ++c.at;
    c.eof = c.at == rows.end();
    c.id = c.eof ? 0 : c.at->first;
    if (c.eof)
        c.snap.reset();
}

int Open(sqlite3_vtab *vtab, sqlite3_vtab_cursor **out)
{
    auto *c = new TCursor;
    c->table = reinterpret_cast<TVtab *>(vtab);
    *out = &c->base;
    return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor *cursor)
{
    delete reinterpret_cast<TCursor *>(cursor);
    return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor *cursor, int idxNum, const char *, int argc, sqlite3_value **argv)
{
    auto *c = reinterpret_cast<TCursor *>(cursor);
    TVtab *t = c->table;
    try {
        if (!t->inTransaction)
            Refresh(t);
    } catch (const EDatabaseError &e) {
        return Fail(t, e.Message());
    }
    c->snap = t->data;
    const TRows &rows = c->snap->rows;
    c->single = idxNum == 1 && argc == 1;
    TRows::const_iterator at = rows.begin();
    if (c->single)
        at = sqlite3_value_type(argv[0]) == SQLITE_INTEGER ? rows.find(sqlite3_value_int64(argv[0]))
                                                           : rows.end();
    if (idxNum == 2 && argc == 1 && sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        c->single = true;
        const auto key = c->snap->keys.find(
            KeyOf(*t->file, TRow {QVariant(qlonglong(sqlite3_value_int64(argv[0])))}));
        at = key == c->snap->keys.end() ? rows.end() : rows.find(key->second);
    }
    c->column = -1;
    if (idxNum >= EqualColumnBase && argc == 1 && sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        c->column = idxNum - EqualColumnBase;
        c->wanted = sqlite3_value_int64(argv[0]);
    }
    c->at = at;
    Land(*c);
    return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor *cursor)
{
    auto *c = reinterpret_cast<TCursor *>(cursor);
    if (c->single || !c->snap) {
        c->eof = true;
        c->snap.reset(); // a cursor done reading lets changes go to the rows themselves
        return SQLITE_OK;
    }
    ++c->at;
    Land(*c);
    return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor *cursor)
{
    return reinterpret_cast<TCursor *>(cursor)->eof;
}

int Column(sqlite3_vtab_cursor *cursor, sqlite3_context *ctx, int column)
{
    auto *c = reinterpret_cast<TCursor *>(cursor);
    if (!c->snap) {
        sqlite3_result_null(ctx);
        return SQLITE_OK;
    }
    if (column >= 0 && column < int(c->at->second.size()))
        ToSqlite(ctx, c->at->second[column]);
    else
        sqlite3_result_null(ctx);
    return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor *cursor, sqlite3_int64 *id)
{
    *id = reinterpret_cast<TCursor *>(cursor)->id;
    return SQLITE_OK;
}

// Changes go to the rows themselves, but cursors still reading them keep them as they were.
void Own(TVtab *t)
{
    if (t->data.use_count() > 1)
        t->data = std::make_shared<TSnapshot>(*t->data);
}

// Keeps a row as it was before the transaction touched it.
void Remember(TVtab *t, qint64 id)
{
    if (t->undo.count(id))
        return;
    const auto at = t->data->rows.find(id);
    t->undo.emplace(id, at == t->data->rows.end() ? std::nullopt : std::optional(at->second));
}

int Update(sqlite3_vtab *vtab, int argc, sqlite3_value **argv, sqlite3_int64 *newId)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (const QString reason = t->file->ReadOnlyReason(); !reason.isEmpty())
        return Fail(t, reason, SQLITE_READONLY);
    try {
        if (!t->inTransaction) // SQLite begins one before any change; be safe regardless
            return Fail(t, QStringLiteral("A change outside a transaction was refused."));
        Own(t);
        TRows &rows = t->data->rows;
        const bool hasOld = sqlite3_value_type(argv[0]) != SQLITE_NULL;
        const qint64 oldId = hasOld ? sqlite3_value_int64(argv[0]) : 0;
        if (argc == 1) { // DELETE
            Remember(t, oldId);
            if (const auto old = rows.find(oldId); old != rows.end()) {
                Untrack(*t->file, *t->data, old->second);
                rows.erase(old);
            }
            t->dirty = true;
            return SQLITE_OK;
        }
        const std::vector<TFileColumn> &columns = t->file->Columns;
        TRow row(columns.size());
        for (size_t i = 0; i < columns.size() && int(i) + 2 < argc; ++i)
            row[i] = CoerceValue(columns[i], FromSqlite(argv[i + 2]));
        qint64 id = hasOld ? oldId : 0;
        if (sqlite3_value_type(argv[1]) != SQLITE_NULL)
            id = sqlite3_value_int64(argv[1]);
        if (!hasOld && id == 0)
            id = t->data->nextId;
        if (id != oldId && rows.count(id))
            return Fail(t, QStringLiteral("Row id %1 is already in use.").arg(id),
                        SQLITE_CONSTRAINT);
        CheckRow(t, row, hasOld ? oldId : id);
        if (hasOld)
            Remember(t, oldId);
        Remember(t, id);
        if (const auto old = rows.find(oldId); hasOld && old != rows.end()) {
            Untrack(*t->file, *t->data, old->second);
            rows.erase(old);
        }
        Track(*t->file, *t->data, row, id);
        rows[id] = std::move(row);
        t->data->nextId = std::max(t->data->nextId, id + 1);
        *newId = id;
        t->dirty = true;
        return SQLITE_OK;
    } catch (const EDatabaseError &e) {
        return Fail(t, e.Message(), SQLITE_CONSTRAINT);
    }
}

int Begin(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    try {
        Refresh(t);
    } catch (const EDatabaseError &e) {
        return Fail(t, e.Message());
    }
    t->undo.clear();
    t->undoNextId = t->data->nextId;
    t->undoAutoTop = t->data->autoTop;
    t->savepoints.clear();
    t->inTransaction = true;
    t->dirty = false;
    return SQLITE_OK;
}

void Discard(TVtab *t)
{
    for (const auto &move : std::as_const(t->written))
        QFile::remove(move.first);
    t->written.clear();
}

// Writes rows that only changed over their records; false when rows came or went, or the
// file wants the whole table written.
bool WriteInPlace(TVtab *t)
{
    if (t->places.empty())
        return false;
    std::vector<TRowChange> changes;
    for (const auto &[id, old] : t->undo) {
        const auto now = t->data->rows.find(id);
        const auto place = t->places.find(id);
        if (!old || now == t->data->rows.end() || place == t->places.end())
            return false;
        if (*old != now->second)
            changes.push_back({place->second, &*old, &now->second});
    }
    return changes.empty() || t->file->WriteInPlace(changes, *t->inPlace);
}

// Changes are written here, before SQLite commits, so that a failure in any table of the
// transaction still rolls all of them back: new files wait to be renamed and records
// written in place wait with their journal, which the commit removes.
int Sync(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (!t->dirty)
        return SQLITE_OK;
    try {
        if (WriteInPlace(t))
            return SQLITE_OK;
        std::vector<TRow> rows;
        rows.reserve(t->data->rows.size());
        for (const auto &[id, r] : t->data->rows)
            rows.push_back(r);
        Discard(t);
        t->written = t->file->Write(rows);
        t->writtenPlaces = PlacesOf(*t->file, t->data->rows);
    } catch (const EDatabaseError &e) {
        return Fail(t, e.Message());
    }
    return SQLITE_OK;
}

int Commit(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (t->inPlace->Pending()) {
        t->inPlace->Commit();
        t->stamp = t->file->Stamp();
    }
    if (!t->written.isEmpty()) {
        try {
            t->file->Commit(t->written);
            t->places = std::move(t->writtenPlaces);
        } catch (const EDatabaseError &) {
            t->loaded = false; // what the file holds is unknown now: read it again
        }
        t->written.clear();
        t->stamp = t->file->Stamp();
    }
    t->writtenPlaces.clear();
    t->inTransaction = false;
    t->dirty = false;
    t->undo.clear();
    t->savepoints.clear();
    return SQLITE_OK;
}

int Rollback(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    Discard(t);
    t->writtenPlaces.clear();
    if (t->inPlace->Pending()) {
        try {
            t->inPlace->Rollback();
        } catch (const EDatabaseError &) {
            t->loaded = false; // the journal stays; reading the table again plays it back
        }
        t->stamp = t->file->Stamp();
    }
    if (t->inTransaction) {
        Own(t);
        TSnapshot &data = *t->data;
        for (const auto &[id, old] : t->undo)
            if (const auto now = data.rows.find(id); now != data.rows.end()) {
                Untrack(*t->file, data, now->second);
                data.rows.erase(now);
            }
        for (const auto &[id, old] : t->undo)
            if (old) {
                Track(*t->file, data, *old, id);
                data.rows.emplace(id, *old);
            }
        data.nextId = t->undoNextId;
        data.autoTop = t->undoAutoTop;
    }
    t->undo.clear();
    t->inTransaction = false;
    t->dirty = false;
    t->savepoints.clear();
    return SQLITE_OK;
}

int Savepoint(sqlite3_vtab *vtab, int n)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    t->savepoints[n] = std::make_shared<TSnapshot>(*t->data);
    return SQLITE_OK;
}

int Release(sqlite3_vtab *vtab, int n)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    t->savepoints.erase(t->savepoints.lower_bound(n), t->savepoints.end());
    return SQLITE_OK;
}

int RollbackTo(sqlite3_vtab *vtab, int n)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (auto it = t->savepoints.find(n); it != t->savepoints.end())
        t->data = std::make_shared<TSnapshot>(*it->second);
    t->savepoints.erase(t->savepoints.upper_bound(n), t->savepoints.end());
    return SQLITE_OK;
}

int Rename(sqlite3_vtab *vtab, const char *)
{
    return Fail(reinterpret_cast<TVtab *>(vtab),
                QStringLiteral("Table files cannot be renamed here."));
}

} // namespace

const sqlite3_module &FileTableModule()
{
    static const sqlite3_module module = [] {
        sqlite3_module m {};
        m.iVersion = 2;
        m.xCreate = Connect;
        m.xConnect = Connect;
        m.xBestIndex = BestIndex;
        m.xDisconnect = Disconnect;
        m.xDestroy = Destroy;
        m.xOpen = Open;
        m.xClose = Close;
        m.xFilter = Filter;
        m.xNext = Next;
        m.xEof = Eof;
        m.xColumn = Column;
        m.xRowid = Rowid;
        m.xUpdate = Update;
        m.xBegin = Begin;
        m.xSync = Sync;
        m.xCommit = Commit;
        m.xRollback = Rollback;
        m.xRename = Rename;
        m.xSavepoint = Savepoint;
        m.xRelease = Release;
        m.xRollbackTo = RollbackTo;
        return m;
    }();
    return module;
}

QString DeclarationFor(const TFileColumn &c)
{
    switch (c.Type) {
    case ftString:
    case ftFixedChar:
        return QStringLiteral("ALPHA(%1)").arg(c.Size);
    case ftSmallint:
        return QStringLiteral("SMALLINT");
    case ftInteger:
        return QStringLiteral("INTEGER");
    case ftWord:
        return QStringLiteral("WORD");
    case ftLargeint:
        return QStringLiteral("BIGINT");
    case ftAutoInc:
        return QStringLiteral("AUTOINC");
    case ftBoolean:
        return QStringLiteral("BOOLEAN");
    case ftFloat:
        return QStringLiteral("FLOAT");
    case ftCurrency:
        return QStringLiteral("CURRENCY");
    case ftBCD:
        return QStringLiteral("NUMERIC(%1,%2)").arg(qMax(c.Width, 1)).arg(c.Size);
    case ftDate:
        return QStringLiteral("DATE");
    case ftTime:
        return QStringLiteral("TIME");
    case ftDateTime:
        return QStringLiteral("TIMESTAMP");
    case ftMemo:
    case ftFmtMemo:
        return QStringLiteral("MEMO");
    case ftGraphic:
        return QStringLiteral("GRAPHIC");
    case ftBytes:
        return QStringLiteral("BYTES(%1)").arg(c.Size);
    default:
        return QStringLiteral("BLOB");
    }
}
