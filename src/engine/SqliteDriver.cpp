#include "SqliteDriver.h"
#include "EngineError.h"
#include "StatementWait.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>
#include <map>
#include <sqlite3.h>

QSqlDatabase OpenSqliteDatabase(const QString &file, const QString &options)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                NewConnectionName(QStringLiteral("sqlite")));
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000")
                         + (options.isEmpty() ? QString() : u';' + options));
    if (!db.open()) {
        const QString message = SqlErrorText(db.lastError());
        const QString name = db.connectionName();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw EDatabaseError(message);
    }
    return db;
}

std::unique_ptr<TConnection> TSqliteDriver::Connect(const TParams &params, const QString &,
                                                    const QString &)
{
    const QString path = ParamValue(params, QStringLiteral("DATABASE NAME"));
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("The alias names no database file (DATABASE NAME)."));
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Database file not found: %1").arg(path));
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("Not a database file: %1").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot read %1: %2").arg(path, f.errorString()));
    // An empty file is an empty database to SQLite; anything else must carry its header,
    // or SQLite would happily write over a file that is not its own.
    const QByteArray header = f.read(16);
    if (!header.isEmpty() && header != QByteArray("SQLite format 3\0", 16))
        throw EDatabaseError(QStringLiteral("%1 is not an SQLite database.").arg(path));
    f.close();

    // All databases of the program on one file share its connection: a result still being
    // read would otherwise lock out the script's changes to the same file.
    static std::map<QString, std::weak_ptr<TSqlHandle>> open;
    const QString key = info.canonicalFilePath();
    std::shared_ptr<TSqlHandle> handle = open[key].lock();
    if (!handle) {
        handle = std::make_shared<TSqlHandle>(OpenSqliteDatabase(path));
        open[key] = handle;
    }
    auto connection = std::make_unique<TSqliteConnection>(handle);
    // Reading the schema catches a damaged file before any table is shown.
    connection->Exec(QStringLiteral("PRAGMA schema_version"));
    connection->Exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    return connection;
}

// Every few thousand steps of a statement the engine asks whether to go on: the program
// answers its window meanwhile, and the user's Stop interrupts the statement there.
static int ProgressHandler(void *)
{
    return StatementWait::Waiting() ? 1 : 0;
}

static void WatchStatements(sqlite3 *handle)
{
    if (handle)
        sqlite3_progress_handler(handle, 4000, ProgressHandler, nullptr);
}

TSqliteConnection::TSqliteConnection(QSqlDatabase db)
    : TConnection(std::move(db))
{
    WatchStatements(Handle());
}

TSqliteConnection::TSqliteConnection(std::shared_ptr<TSqlHandle> handle)
    : TConnection(std::move(handle))
{
    WatchStatements(Handle());
}

sqlite3 *TSqliteConnection::Handle() const
{
    const QVariant v = m_db.driver()->handle();
    return v.isValid() ? *static_cast<sqlite3 *const *>(v.constData()) : nullptr;
}

bool TSqliteConnection::InTransaction()
{
    sqlite3 *handle = Handle();
    return handle && !sqlite3_get_autocommit(handle);
}

void TSqliteConnection::ReadSnapshot(const std::function<void()> &read)
{
    // Outside a transaction every catalog statement takes the file's lock and checks the
    // schema anew; one read transaction does it once, and every table is read as of the
    // same moment while another program changes the database.
    if (InTransaction() || !m_db.transaction()) {
        read();
        return;
    }
    // Commit, not roll back: a read-only transaction loses nothing either way, and a
    // rollback would abort the statements of result windows reading on this connection.
    const auto end = qScopeGuard([this] {
        if (InTransaction())
            m_db.commit();
    });
    read();
}

QStringList TSqliteConnection::TableNames()
{
    return Texts(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') ORDER BY name"));
}

QList<TFieldDef> TSqliteConnection::FieldDefs(const QString &table)
{
    QSqlQuery sql
        = Run(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = '%1' COLLATE NOCASE")
                  .arg(QString(table).replace(u'\'', QLatin1String("''"))));
    const bool autoIncrement = sql.next()
        && sql.value(0).toString().contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);

    QSqlQuery q = Run(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)));
    QList<TFieldDef> defs;
    int keyColumns = 0;
    while (q.next()) {
        TFieldDef def;
        def.Name = q.value(1).toString();
        def.DataType = FieldTypeFromDeclaration(q.value(2).toString(), &def.Size);
        def.Required = q.value(3).toInt() != 0;
        const bool key = q.value(5).toInt() > 0;
        keyColumns += key;
        if (key && autoIncrement
            && q.value(2).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            def.DataType = ftAutoInc;
        defs << def;
    }
    if (defs.isEmpty())
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(table));
    if (keyColumns != 1) // AUTOINCREMENT only exists on a one-column INTEGER key
        for (TFieldDef &d : defs)
            if (d.DataType == ftAutoInc)
                d.DataType = ftInteger;
    return defs;
}

QList<TIndexDef> TSqliteConnection::IndexDefs(const QString &table)
{
    QList<TIndexDef> defs;

    // The primary key, in key order (a rowid key has no index of its own).
    QSqlQuery info = Run(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)));
    QMap<int, QString> keyFields;
    while (info.next())
        if (info.value(5).toInt() > 0)
            keyFields.insert(info.value(5).toInt(), info.value(1).toString());

    QSqlQuery list = Run(QStringLiteral("PRAGMA index_list(%1)").arg(QuoteName(table)));
    QString primaryName = QStringLiteral("PRIMARY");
    struct Entry
    {
        QString name;
        bool unique;
    };
    QList<Entry> entries;
    while (list.next()) {
        const QString name = list.value(1).toString();
        if (list.value(3).toString() == QLatin1String("pk"))
            primaryName = name;
        else
            entries.append({name, list.value(2).toInt() != 0});
    }
    if (!keyFields.isEmpty())
        defs << TIndexDef {primaryName, QStringList(keyFields.values()).join(u';'),
                           ixPrimary | ixUnique};

    for (const Entry &e : entries) {
        QSqlQuery cols = Run(QStringLiteral("PRAGMA index_xinfo(%1)").arg(QuoteName(e.name)));
        QStringList fields;
        bool descending = false;
        while (cols.next()) {
            if (cols.value(5).toInt() == 0) // auxiliary columns after the key
                continue;
            fields << cols.value(2).toString();
            descending |= cols.value(3).toInt() != 0;
        }
        if (fields.contains(QString()))
            continue; // an index on expressions has no field list to offer
        defs << TIndexDef {e.name, fields.join(u';'),
                           (e.unique ? ixUnique : 0u) | (descending ? ixDescending : 0u)};
    }
    return defs;
}

TFieldDef TSqliteConnection::ResultField(const QSqlQuery &query, int column)
{
    TFieldDef def = TConnection::ResultField(query, column);
    const QVariant h = query.result() ? query.result()->handle() : QVariant();
    sqlite3_stmt *stmt = h.isValid() ? *static_cast<sqlite3_stmt *const *>(h.constData()) : nullptr;
    if (stmt && column < sqlite3_column_count(stmt)) {
        if (const char *decl = sqlite3_column_decltype(stmt, column)) {
            int size = 0;
            const TFieldType t = FieldTypeFromDeclaration(QString::fromUtf8(decl), &size);
            if (t != ftUnknown) {
                def.DataType = t;
                def.Size = size;
            }
        }
    }
    return def;
}

// Whether a PRAGMA reports is the engine's to say, from the statement compiled but not
// stepped: "PRAGMA name" mostly reports and "PRAGMA name = value" mostly sets, but
// "PRAGMA journal_mode = WAL" reports and "PRAGMA shrink_memory" does not.
bool TSqliteConnection::ReturnsRows(const QString &keyword, const QString &statement) const
{
    if (keyword != QLatin1String("PRAGMA"))
        return false;
    sqlite3 *handle = Handle();
    const QByteArray text = statement.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (!handle
        || sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &stmt, nullptr)
            != SQLITE_OK
        || !stmt) {
        sqlite3_finalize(stmt);
        return false; // run as a change, which reports the statement's own error
    }
    const bool rows = sqlite3_column_count(stmt) > 0;
    sqlite3_finalize(stmt);
    return rows;
}
