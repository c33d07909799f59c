#include "FirebirdDriver.h"
#include "CatalogProbe.h"
#include "EngineError.h"
#include "FirebirdThread.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QtEndian>
#include <ibase.h>

namespace {

// "host:path" names a server; anything else is a local file for the embedded engine.
bool SplitServer(const QString &server, QString *host, QString *path)
{
    static const QRegularExpression remote(QStringLiteral(R"(^([A-Za-z0-9_.\-\[\]]{2,}):(.+)$)"));
    const auto m = remote.match(server);
    if (m.hasMatch() && !server.startsWith(u'/')) {
        *host = m.captured(1);
        *path = m.captured(2);
        return true;
    }
    *path = server;
    return false;
}

TFieldType FirebirdType(int type, int subType, int scale, bool identity)
{
    if (scale < 0 && (type == 7 || type == 8 || type == 16 || type == 27))
        return ftBCD;
    switch (type) {
    case 7:
        return identity ? ftAutoInc : ftSmallint;
    case 8:
        return identity ? ftAutoInc : ftInteger;
    case 16:
        return identity ? ftAutoInc : ftLargeint;
    case 10:
    case 11:
    case 27:
        return ftFloat;
    case 12:
        return ftDate;
    case 13:
        return ftTime;
    case 35:
        return ftDateTime;
    case 14:
        return ftFixedChar;
    case 37:
    case 40:
        return ftString;
    case 23:
        return ftBoolean;
    case 261:
        return subType == 1 ? ftMemo : ftBlob;
    case 9:
        return ftLargeint;
    default:
        return ftUnknown;
    }
}

class TFirebirdConnection : public TConnection
{
public:
    using TConnection::TConnection;

    // Firebird has no SELECT without a FROM.
    QString ProbeStatement() const override { return QStringLiteral("SELECT 1 FROM RDB$DATABASE"); }

    QStringList TableNames() override
    {
        return Texts(QStringLiteral("SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS"
                                    " WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1"));
    }

    QList<TFieldDef> FieldDefs(const QString &table) override
    {
        QSqlQuery q
            = Run(QStringLiteral("SELECT TRIM(rf.RDB$FIELD_NAME), f.RDB$FIELD_TYPE, "
                                 "COALESCE(f.RDB$FIELD_SUB_TYPE, 0),"
                                 "  f.RDB$FIELD_LENGTH, COALESCE(f.RDB$CHARACTER_LENGTH, 0),"
                                 "  COALESCE(f.RDB$FIELD_SCALE, 0),"
                                 "  COALESCE(rf.RDB$NULL_FLAG, f.RDB$NULL_FLAG, 0),"
                                 "  CASE WHEN rf.RDB$IDENTITY_TYPE IS NULL THEN 0 ELSE 1 END"
                                 " FROM RDB$RELATION_FIELDS rf"
                                 " JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE"
                                 " WHERE rf.RDB$RELATION_NAME = ? ORDER BY rf.RDB$FIELD_POSITION"),
                  {CatalogName(table)});
        QList<TFieldDef> defs;
        while (q.next()) {
            TFieldDef def;
            def.Name = q.value(0).toString();
            const int type = q.value(1).toInt();
            const int scale = q.value(5).toInt();
            def.DataType = FirebirdType(type, q.value(2).toInt(), scale, q.value(7).toInt() != 0);
            if (def.DataType == ftString || def.DataType == ftFixedChar) {
                def.Size = q.value(4).toInt() > 0 ? q.value(4).toInt() : q.value(3).toInt();
                def.DataType = ftString;
            } else if (def.DataType == ftBCD) {
                def.Size = -scale;
            }
            def.Required = q.value(6).toInt() != 0;
            defs << def;
        }
        if (defs.isEmpty())
            throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(table));
        return defs;
    }

    QList<TIndexDef> IndexDefs(const QString &table) override
    {
        QSqlQuery q = Run(
            QStringLiteral(
                "SELECT TRIM(i.RDB$INDEX_NAME), COALESCE(i.RDB$UNIQUE_FLAG, 0),"
                "  COALESCE(i.RDB$INDEX_TYPE, 0), TRIM(COALESCE(rc.RDB$CONSTRAINT_TYPE, '')),"
                "  TRIM(s.RDB$FIELD_NAME)"
                " FROM RDB$INDICES i"
                " JOIN RDB$INDEX_SEGMENTS s ON s.RDB$INDEX_NAME = i.RDB$INDEX_NAME"
                " LEFT JOIN RDB$RELATION_CONSTRAINTS rc ON rc.RDB$INDEX_NAME = i.RDB$INDEX_NAME"
                " WHERE i.RDB$RELATION_NAME = ?"
                " ORDER BY CASE WHEN rc.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY' THEN 0 ELSE 1 END,"
                "  i.RDB$INDEX_NAME, s.RDB$FIELD_POSITION"),
            {CatalogName(table)});
        QList<TIndexDef> defs;
        while (q.next()) {
            const QString name = q.value(0).toString();
            if (defs.isEmpty() || defs.last().Name != name) {
                unsigned options = q.value(1).toInt() ? ixUnique : 0u;
                if (q.value(3).toString() == QLatin1String("PRIMARY KEY"))
                    options |= ixPrimary | ixUnique;
                if (q.value(2).toInt() == 1)
                    options |= ixDescending;
                defs << TIndexDef {name, q.value(4).toString(), options};
            } else {
                defs.last().Fields += u';' + q.value(4).toString();
            }
        }
        return defs;
    }

private:
    // Unquoted names are stored in capitals; a name that exists as given wins.
    QString CatalogName(const QString &table)
    {
        QSqlQuery q = Run(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS"
                                         " WHERE RDB$RELATION_NAME = ?"),
                          {table});
        return q.next() && q.value(0).toInt() > 0 ? table : table.toUpper();
    }
};

} // namespace

void CheckFirebirdFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Database file not found: %1").arg(path));
    QFile f(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot read database file %1").arg(path));
    // The header page: page type 1, then the page size at offset 16 and the on-disk
    // structure version at 18; the file holds whole pages.
    const QByteArray head = f.read(20);
    const auto bytes = reinterpret_cast<const uchar *>(head.constData());
    const int pageSize = head.size() == 20 ? qFromLittleEndian<quint16>(bytes + 16) : 0;
    const int ods = head.size() == 20 ? qFromLittleEndian<quint16>(bytes + 18) & 0x7fff : 0;
    const bool sizeOk = pageSize >= 1024 && pageSize <= 32768 && (pageSize & (pageSize - 1)) == 0;
    if (head.size() < 20 || bytes[0] != 1 || !sizeOk || ods < 8 || ods > 13
        || f.size() < 4 * qint64(pageSize) || f.size() % pageSize != 0)
        throw EDatabaseError(
            QStringLiteral("%1 is not a Firebird database file or is damaged.").arg(path));
}

void CreateFirebirdFile(const QString &path)
{
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    QByteArray file = QFile::encodeName(path);
    file.replace('\'', "''");
    const QByteArray sql
        = "CREATE DATABASE '" + file + "' USER 'SYSDBA' PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8";
    isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), 3, nullptr);
    if (status[0] == 1 && status[1]) {
        char text[512] = {};
        const ISC_STATUS *p = status;
        fb_interpret(text, sizeof text, &p);
        throw EDatabaseError(QString::fromLocal8Bit(text));
    }
    isc_detach_database(status, &db);
}

bool TFirebirdDriver::NeedsLogin(const TParams &params) const
{
    QString host, path;
    return SplitServer(ParamValue(params, QStringLiteral("SERVER NAME")), &host, &path);
}

std::unique_ptr<TConnection> TFirebirdDriver::Connect(const TParams &params, const QString &user,
                                                      const QString &password)
{
    const QString server = ParamValue(params, QStringLiteral("SERVER NAME"));
    if (server.isEmpty())
        throw EDatabaseError(QStringLiteral("The alias names no database (SERVER NAME)."));
    QString host, path;
    if (!SplitServer(server, &host, &path)) {
        CheckFirebirdFile(path);
        // The embedded engine runs inside the program: a damaged file could take it down.
        ProbeCatalog(Name(), params, user, path);
    }

    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QIBASE")))
        throw EDatabaseError(QStringLiteral("The Firebird driver (QIBASE) is not installed."));
    QSqlDatabase db = QSqlDatabase::addDatabase(NewThreadedFirebirdDriver(),
                                                NewConnectionName(QStringLiteral("firebird")));
    db.setHostName(host);
    db.setDatabaseName(path);
    db.setUserName(user.isEmpty() ? QStringLiteral("SYSDBA") : user);
    db.setPassword(password);
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
    if (!db.open()) {
        const QString message = SqlErrorText(db.lastError());
        const QString name = db.connectionName();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw EDatabaseError(message);
    }
    return std::make_unique<TFirebirdConnection>(db);
}
