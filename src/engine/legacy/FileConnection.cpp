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
// Only the connection itself defines tables: anything a statement would create in the
// in-memory database would vanish with it, so it is refused.
int Authorize(void *aux, int action, const char *, const char *, const char *, const char *)
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
}

QString Quoted(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QLatin1String("\"\"")) + u'"';
}

} // namespace

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
    if (sqlite3_create_module_v2(h, "orvane_file", &FileTableModule(), this, nullptr) != SQLITE_OK)
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
        defs << TFieldDef {c.Name, c.Type, c.Size, c.Required || int(i) < t.KeyFields};
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
    if (drop.match(sql).hasMatch()) {
        if (!m_readOnlyReason.isEmpty())
            throw EDatabaseError(m_readOnlyReason);
        // A deleted file cannot come back with a ROLLBACK.
        if (!sqlite3_get_autocommit(Handle()))
            throw EDatabaseError(QStringLiteral("Tables are dropped only outside a transaction."));
        return false;
    }
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
