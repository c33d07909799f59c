#include "FileConnection.h"
#include "EngineError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlResult>
#include <algorithm>
#include <sqlite3.h>

namespace {

struct TSnapshot
{
    TRows rows;
    qint64 nextId = 1;
};

struct TVtab
{
    sqlite3_vtab base {};
    TFileConnection *owner = nullptr;
    TTableFile *file = nullptr;
    TSnapshot data;
    bool loaded = false;
    QString stamp;
    bool inTransaction = false;
    bool dirty = false;
    TSnapshot committed; // the rows as the file holds them, while a transaction runs
    std::map<int, TSnapshot> savepoints;
    TFileMoves written; // new files waiting for the commit
};

struct TCursor
{
    sqlite3_vtab_cursor base {};
    TVtab *table = nullptr;
    TRows::const_iterator at;
    qint64 onlyId = 0; // a lookup by rowid
    bool single = false;
    bool eof = true;
};

int Fail(TVtab *t, const QString &message, int code = SQLITE_ERROR)
{
    sqlite3_free(t->base.zErrMsg);
    t->base.zErrMsg = sqlite3_mprintf("%s", message.toUtf8().constData());
    return code;
}

// Reads the file when it was never read or another connection changed it since.
void Refresh(TVtab *t)
{
    if (!t->file->Damage.isEmpty())
        throw EDatabaseError(t->file->Damage);
    const QString stamp = t->file->Stamp();
    if (t->loaded && stamp == t->stamp)
        return;
    std::vector<TRow> rows = t->file->Load();
    t->data = TSnapshot();
    for (TRow &r : rows)
        t->data.rows.emplace(t->data.nextId++, std::move(r));
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

// Keyed rows must stay unique; an auto-increment column gets the next number.
void CheckRow(TVtab *t, TRow &row, qint64 id)
{
    const TTableFile &f = *t->file;
    for (size_t i = 0; i < f.Columns.size(); ++i) {
        if (f.Columns[i].Type == ftAutoInc && row[i].isNull()) {
            qlonglong top = 0;
            for (const auto &[rid, r] : t->data.rows)
                top = std::max(top, r[i].toLongLong());
            row[i] = top + 1;
        }
    }
    if (f.KeyFields <= 0)
        return;
    for (int k = 0; k < f.KeyFields; ++k)
        if (row[k].isNull())
            throw EDatabaseError(
                QStringLiteral("Key field %1 must have a value.").arg(f.Columns[k].Name));
    for (const auto &[rid, r] : t->data.rows) {
        if (rid == id)
            continue;
        bool same = true;
        for (int k = 0; k < f.KeyFields && same; ++k)
            same = r[k] == row[k];
        if (same)
            throw EDatabaseError(QStringLiteral("Key violation: table %1 already has a row "
                                                "with this key.")
                                     .arg(f.Name));
    }
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
        for (const QString &f : t->file->Files() + t->file->Companions())
            if (QFile::exists(f) && !QFile::remove(f))
                return Fail(t, QStringLiteral("Cannot delete %1.").arg(f));
        t->owner->Forget(t->file);
    }
    sqlite3_free(t->base.zErrMsg);
    delete t;
    return SQLITE_OK;
}

int BestIndex(sqlite3_vtab *, sqlite3_index_info *info)
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
    info->idxNum = 0;
    info->estimatedCost = 1e6;
    return SQLITE_OK;
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
    const TRows &rows = t->data.rows;
    c->single = idxNum == 1 && argc == 1;
    if (c->single) {
        c->at = sqlite3_value_type(argv[0]) == SQLITE_INTEGER
            ? rows.find(sqlite3_value_int64(argv[0]))
            : rows.end();
    } else {
        c->at = rows.begin();
    }
    c->eof = c->at == rows.end();
    return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor *cursor)
{
    auto *c = reinterpret_cast<TCursor *>(cursor);
    const TRows &rows = c->table->data.rows;
    if (c->single) {
        c->eof = true;
        return SQLITE_OK;
    }
    // The row may have gone meanwhile: continue after its id.
    c->at = rows.upper_bound(c->at->first);
    c->eof = c->at == rows.end();
    return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor *cursor)
{
    return reinterpret_cast<TCursor *>(cursor)->eof;
}

int Column(sqlite3_vtab_cursor *cursor, sqlite3_context *ctx, int column)
{
    auto *c = reinterpret_cast<TCursor *>(cursor);
    const TRow &row = c->at->second;
    if (column >= 0 && column < int(row.size()))
        ToSqlite(ctx, row[column]);
    else
        sqlite3_result_null(ctx);
    return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor *cursor, sqlite3_int64 *id)
{
    *id = reinterpret_cast<TCursor *>(cursor)->at->first;
    return SQLITE_OK;
}

int Update(sqlite3_vtab *vtab, int argc, sqlite3_value **argv, sqlite3_int64 *newId)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (const QString reason = t->file->ReadOnlyReason(); !reason.isEmpty())
        return Fail(t, reason, SQLITE_READONLY);
    try {
        if (!t->inTransaction) // SQLite begins one before any change; be safe regardless
            return Fail(t, QStringLiteral("A change outside a transaction was refused."));
        TRows &rows = t->data.rows;
        const bool hasOld = sqlite3_value_type(argv[0]) != SQLITE_NULL;
        const qint64 oldId = hasOld ? sqlite3_value_int64(argv[0]) : 0;
        if (argc == 1) { // DELETE
            rows.erase(oldId);
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
            id = t->data.nextId;
        if (id != oldId && rows.count(id))
            return Fail(t, QStringLiteral("Row id %1 is already in use.").arg(id),
                        SQLITE_CONSTRAINT);
        CheckRow(t, row, hasOld ? oldId : id);
        if (hasOld && id != oldId)
            rows.erase(oldId);
        rows[id] = std::move(row);
        t->data.nextId = std::max(t->data.nextId, id + 1);
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
    t->committed = t->data;
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

// New files are written here, before SQLite commits, so that a failure in any table of
// the transaction still rolls all of them back; the commit only renames.
int Sync(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (!t->dirty)
        return SQLITE_OK;
    try {
        std::vector<TRow> rows;
        rows.reserve(t->data.rows.size());
        for (const auto &[id, r] : t->data.rows)
            rows.push_back(r);
        Discard(t);
        t->written = t->file->Write(rows);
    } catch (const EDatabaseError &e) {
        return Fail(t, e.Message());
    }
    return SQLITE_OK;
}

int Commit(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    if (!t->written.isEmpty()) {
        try {
            t->file->Commit(t->written);
        } catch (const EDatabaseError &) {
            t->loaded = false; // what the file holds is unknown now: read it again
        }
        t->written.clear();
        t->stamp = t->file->Stamp();
    }
    t->inTransaction = false;
    t->dirty = false;
    t->committed = TSnapshot();
    t->savepoints.clear();
    return SQLITE_OK;
}

int Rollback(sqlite3_vtab *vtab)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    Discard(t);
    if (t->inTransaction)
        t->data = std::move(t->committed);
    t->committed = TSnapshot();
    t->inTransaction = false;
    t->dirty = false;
    t->savepoints.clear();
    return SQLITE_OK;
}

int Savepoint(sqlite3_vtab *vtab, int n)
{
    auto *t = reinterpret_cast<TVtab *>(vtab);
    t->savepoints[n] = t->data;
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
        t->data = it->second;
    t->savepoints.erase(t->savepoints.upper_bound(n), t->savepoints.end());
    return SQLITE_OK;
}

int Rename(sqlite3_vtab *vtab, const char *)
{
    return Fail(reinterpret_cast<TVtab *>(vtab),
                QStringLiteral("Table files cannot be renamed here."));
}

const sqlite3_module &Module()
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

// Only the connection itself defines tables: anything a statement would create in the
// in-memory database would vanish with it, so it is refused.
int Authorize(void *aux, int action, const char *, const char *, const char *schema, const char *)
{
    const auto *owner = static_cast<const TFileConnection *>(aux);
    if (owner->Internal())
        return SQLITE_OK;
    switch (action) {
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VTABLE:
    case SQLITE_ALTER_TABLE:
    case SQLITE_ATTACH:
        return SQLITE_DENY;
    default:
        return SQLITE_OK;
    }
    Q_UNUSED(schema);
}

QString Quoted(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QLatin1String("\"\"")) + u'"';
}

} // namespace

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

TFileConnection::TFileConnection(QSqlDatabase db, std::unique_ptr<TTableFormat> format,
                                 QString folder, QString readOnlyReason)
    : TSqliteConnection(std::move(db))
    , m_format(std::move(format))
    , m_folder(std::move(folder))
    , m_readOnlyReason(std::move(readOnlyReason))
{
    sqlite3 *h = Handle();
    if (!h)
        throw EDatabaseError(QStringLiteral("The SQLite driver gives no handle."));
    if (sqlite3_create_module_v2(h, "orvane_file", &Module(), this, nullptr) != SQLITE_OK)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(h)));
    sqlite3_set_authorizer(h, Authorize, this);
}

TFileConnection::~TFileConnection()
{
    // The virtual tables point at this object: close the database while it still exists.
    m_db.close();
}

void TFileConnection::RunInternal(const QString &sql)
{
    m_internal = true;
    QSqlQuery q(m_db);
    const bool ok = q.exec(sql);
    m_internal = false;
    if (!ok)
        throw EDatabaseError(SqlErrorText(q.lastError()));
}

void TFileConnection::AddTable(std::unique_ptr<TTableFile> file)
{
    TTableFile *raw = file.get();
    m_tables.push_back(std::move(file));
    try {
        RunInternal(QStringLiteral("CREATE VIRTUAL TABLE main.%1 USING orvane_file")
                        .arg(Quoted(raw->Name)));
    } catch (...) {
        Forget(raw);
        throw;
    }
}

void TFileConnection::Forget(TTableFile *file)
{
    std::erase_if(m_tables, [&](const auto &t) { return t.get() == file; });
}

TTableFile *TFileConnection::FindTable(const QString &name) const
{
    for (const auto &t : m_tables)
        if (t->Name.compare(name, Qt::CaseInsensitive) == 0)
            return t.get();
    return nullptr;
}

// Another connection may have made or dropped table files since this one looked.
void TFileConnection::Rescan()
{
    if (!m_format)
        return;
    const QFileInfoList entries = QDir(m_folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &info : entries)
        if (info.suffix().compare(m_format->Extension(), Qt::CaseInsensitive) == 0
            && !info.fileName().startsWith(u'.') && !FindTable(info.completeBaseName())) {
            try {
                AddTable(m_format->Open(info.absoluteFilePath()));
            } catch (const EDatabaseError &) {
                // a name SQLite cannot take stays out of the list
            }
        }
    std::vector<TTableFile *> gone;
    for (const auto &t : m_tables)
        if (!QFileInfo::exists(t->Path))
            gone.push_back(t.get());
    for (TTableFile *t : gone) {
        try {
            RunInternal(QStringLiteral("DROP TABLE main.%1").arg(Quoted(t->Name)));
            Forget(t);
        } catch (const EDatabaseError &) {
            // still in use by an open result: it goes at the next look
        }
    }
}

TTableFile &TFileConnection::Table(const QString &name)
{
    TTableFile *t = FindTable(name);
    if (!t) {
        Rescan();
        t = FindTable(name);
    }
    if (!t)
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(name));
    if (!t->Damage.isEmpty())
        throw EDatabaseError(t->Damage);
    return *t;
}

QStringList TFileConnection::TableNames()
{
    Rescan();
    QStringList names;
    for (const auto &t : m_tables)
        names << t->Name;
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QList<TFieldDef> TFileConnection::FieldDefs(const QString &table)
{
    const TTableFile &t = Table(table);
    QList<TFieldDef> defs;
    for (size_t i = 0; i < t.Columns.size(); ++i) {
        const TFileColumn &c = t.Columns[i];
        defs << TFieldDef {c.Name, c.Type, c.Size, int(i) < t.KeyFields};
    }
    return defs;
}

QList<TIndexDef> TFileConnection::IndexDefs(const QString &table)
{
    const TTableFile &t = Table(table);
    QList<TIndexDef> defs;
    if (t.KeyFields > 0) {
        QStringList fields;
        for (int i = 0; i < t.KeyFields; ++i)
            fields << t.Columns[i].Name;
        defs << TIndexDef {QStringLiteral("PRIMARY"), fields.join(u';'), ixPrimary | ixUnique};
    }
    defs << t.Indexes;
    return defs;
}

TFieldDef TFileConnection::ResultField(const QSqlQuery &query, int column)
{
    TFieldDef def = TSqliteConnection::ResultField(query, column);
    const QVariant h = query.result() ? query.result()->handle() : QVariant();
    sqlite3_stmt *stmt = h.isValid() ? *static_cast<sqlite3_stmt *const *>(h.constData()) : nullptr;
    if (stmt && column < sqlite3_column_count(stmt))
        if (const char *decl = sqlite3_column_decltype(stmt, column)) {
            static const QRegularExpression bytes(QStringLiteral(R"(^BYTES\((\d+)\)$)"));
            if (const auto m = bytes.match(QString::fromUtf8(decl)); m.hasMatch()) {
                def.DataType = ftBytes;
                def.Size = m.captured(1).toInt();
            }
        }
    return def;
}

// Blanks and comments before a statement's first word.
#define ORVANE_LEAD R"(^(?:\s+|--[^\n]*(?:\n|$)|/\*.*?\*/)*)"

bool TFileConnection::ExecOwn(const QString &sql)
{
    static const QRegularExpression create(QStringLiteral(ORVANE_LEAD R"(CREATE\s+TABLE\s)"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression drop(QStringLiteral(ORVANE_LEAD R"(DROP\s+TABLE\s)"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    if (!m_readOnlyReason.isEmpty() && drop.match(sql).hasMatch())
        throw EDatabaseError(m_readOnlyReason);
    if (!create.match(sql).hasMatch())
        return false;
    if (!m_readOnlyReason.isEmpty())
        throw EDatabaseError(m_readOnlyReason);
    if (!m_format)
        throw EDatabaseError(QStringLiteral("Tables cannot be created here."));
    CreateTableFile(sql);
    return true;
}

// SQLite parses the statement in a scratch database of its own; the columns it made are
// read back and become the new file's fields.
void TFileConnection::CreateTableFile(const QString &sql)
{
    static const QRegularExpression endsWithColumns(
        QStringLiteral(R"(\)\s*(?:;\s*)?(?:--[^\n]*\s*|/\*.*?\*/\s*)*$)"),
        QRegularExpression::DotMatchesEverythingOption);
    if (!endsWithColumns.match(sql).hasMatch())
        throw EDatabaseError(QStringLiteral("CREATE TABLE needs a column list here."));
    sqlite3 *scratch = nullptr;
    if (sqlite3_open(":memory:", &scratch) != SQLITE_OK) {
        sqlite3_close(scratch);
        throw EDatabaseError(QStringLiteral("Cannot open a scratch database."));
    }
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> guard(scratch, sqlite3_close);
    auto check = [&](int rc) {
        if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(scratch)));
    };
    check(sqlite3_exec(scratch, sql.toUtf8().constData(), nullptr, nullptr, nullptr));

    auto rows = [&](const QString &query) {
        QList<QStringList> out;
        sqlite3_stmt *stmt = nullptr;
        check(sqlite3_prepare_v2(scratch, query.toUtf8().constData(), -1, &stmt, nullptr));
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> finalize(stmt, sqlite3_finalize);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                row << QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)));
            out << row;
        }
        check(rc);
        return out;
    };
    const QList<QStringList> tables
        = rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    if (tables.size() != 1)
        throw EDatabaseError(QStringLiteral("CREATE TABLE must make exactly one table."));
    const QString name = tables.first().first();
    if (name.isEmpty() || name.startsWith(u'.') || name.contains(u'/') || name.contains(QChar(0)))
        throw EDatabaseError(QStringLiteral("%1 cannot be a table file name.").arg(name));
    if (FindTable(name)) {
        static const QRegularExpression ifNotExists(
            QStringLiteral(ORVANE_LEAD R"(CREATE\s+TABLE\s+IF\s+NOT\s+EXISTS\s)"),
            QRegularExpression::CaseInsensitiveOption
                | QRegularExpression::DotMatchesEverythingOption);
        if (ifNotExists.match(sql).hasMatch())
            return;
        throw EDatabaseError(QStringLiteral("Table %1 already exists.").arg(name));
    }

    std::vector<TFileColumn> columns;
    int keyFields = 0;
    const QList<QStringList> info
        = rows(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(%1)")
                   .arg(u'\'' + QString(name).replace(u'\'', QLatin1String("''")) + u'\''));
    for (const QStringList &c : info) {
        columns.push_back(m_format->ColumnFor(c[0], c[1]));
        const int pk = c[2].toInt();
        if (pk > 0) {
            if (!m_format->HasKeys())
                throw EDatabaseError(
                    QStringLiteral("%1 tables have no primary key.").arg(m_format->KindName()));
            if (pk != int(columns.size()) || keyFields != int(columns.size()) - 1)
                throw EDatabaseError(QStringLiteral("The key fields must be the first fields of "
                                                    "the table, in key order."));
            ++keyFields;
        }
    }
    const QString path = m_folder + name + u'.' + m_format->Extension();
    if (QFile::exists(path))
        throw EDatabaseError(QStringLiteral("File %1 already exists.").arg(path));
    m_format->Create(path, columns, keyFields);
    std::unique_ptr<TTableFile> file = m_format->Open(path);
    if (!file->Damage.isEmpty())
        throw EDatabaseError(file->Damage);
    AddTable(std::move(file));
}
