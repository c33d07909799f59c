#include "Driver.h"
#include "EngineError.h"

#include <QAtomicInt>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <vector>

QString ParamValue(const TParams &params, const QString &name)
{
    for (const QString &p : params) {
        const qsizetype eq = p.indexOf(u'=');
        if (eq >= 0 && p.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return p.mid(eq + 1);
    }
    return {};
}

void SetParamValue(TParams &params, const QString &name, const QString &value)
{
    for (QString &p : params) {
        const qsizetype eq = p.indexOf(u'=');
        if (eq >= 0 && p.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            p = name + u'=' + value;
            return;
        }
    }
    params << name + u'=' + value;
}

TSqlHandle::~TSqlHandle()
{
    const QString name = db.connectionName();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

TConnection::TConnection(QSqlDatabase db)
    : TConnection(std::make_shared<TSqlHandle>(std::move(db)))
{}

TConnection::TConnection(std::shared_ptr<TSqlHandle> handle)
    : m_handle(std::move(handle))
    , m_db(m_handle->db)
{}

TConnection::~TConnection()
{
    m_db = QSqlDatabase(); // the handle must hold the last copy when it goes
    m_handle.reset();
}

bool TConnection::Answers()
{
    QSqlQuery probe(m_db);
    return probe.exec(ProbeStatement());
}

TFieldDef TConnection::ResultField(const QSqlQuery &query, int column)
{
    const QSqlField f = query.record().field(column);
    TFieldDef def;
    def.Name = f.name();
    switch (f.metaType().id()) {
    case QMetaType::Bool:
        def.DataType = ftBoolean;
        break;
    case QMetaType::Short:
    case QMetaType::UShort:
        def.DataType = ftSmallint;
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
        def.DataType = ftInteger;
        break;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        def.DataType = ftLargeint;
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        def.DataType = ftFloat;
        break;
    case QMetaType::QDate:
        def.DataType = ftDate;
        break;
    case QMetaType::QTime:
        def.DataType = ftTime;
        break;
    case QMetaType::QDateTime:
        def.DataType = ftDateTime;
        break;
    case QMetaType::QByteArray:
        def.DataType = ftBlob;
        break;
    case QMetaType::QString:
        def.DataType = f.length() > 0 ? ftString : ftMemo;
        def.Size = qMax(0, f.length());
        break;
    default:
        def.DataType = ftUnknown;
    }
    return def;
}

QString TConnection::QuoteName(const QString &name) const
{
    return m_db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
}

QSqlQuery TConnection::Run(const QString &sql, const QVariantList &binds)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw EDatabaseError(SqlErrorText(q.lastError()));
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        throw EDatabaseError(SqlErrorText(q.lastError()));
    return q;
}

QStringList TConnection::Texts(const QString &sql)
{
    QSqlQuery q = Run(sql);
    QStringList texts;
    while (q.next())
        texts << q.value(0).toString();
    return texts;
}

void TConnection::Exec(const QString &sql)
{
    if (ExecOwn(sql))
        return;
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        throw EDatabaseError(SqlErrorText(q.lastError()));
}

static std::vector<std::unique_ptr<TDriver>> &Drivers()
{
    static std::vector<std::unique_ptr<TDriver>> drivers;
    return drivers;
}

void RegisterDriver(std::unique_ptr<TDriver> driver)
{
    auto &all = Drivers();
    std::erase_if(all, [&](const auto &d) { return d->Name() == driver->Name(); });
    all.push_back(std::move(driver));
}

void RegisterDefaultDrivers(); // Drivers.cpp

TDriver *FindDriver(const QString &name)
{
    static const bool registered = (RegisterDefaultDrivers(), true);
    Q_UNUSED(registered);
    for (const auto &d : Drivers())
        if (d->Name().compare(name, Qt::CaseInsensitive) == 0)
            return d.get();
    return nullptr;
}

QStringList DriverNames()
{
    FindDriver(QString());
    QStringList names;
    for (const auto &d : Drivers())
        names << d->Name();
    return names;
}

QString NewConnectionName(const QString &prefix)
{
    static QAtomicInt counter;
    return prefix + u'#' + QString::number(counter.fetchAndAddRelaxed(1) + 1);
}

QString SqlErrorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    // SQLite's words for no error at all, given with a failure Qt found itself (more than
    // one statement at a time): Qt's own words say what went wrong.
    if (text.isEmpty() || text == QLatin1String("not an error"))
        text = error.driverText().trimmed();
    // PostgreSQL prefixes its severity; the program adds its own "ERROR:".
    for (const char *prefix : {"ERROR:", "FATAL:"})
        if (text.startsWith(QLatin1String(prefix)))
            text = text.mid(int(qstrlen(prefix))).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}
