#include "PostgresWait.h"
#include "StatementWait.h"

#include <libpq-fe.h>
#include <poll.h>

#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QVariant>
#include <cmath>

namespace PostgresWait {

PGconn *Handle(const QSqlDriver *driver)
{
    if (!driver || driver->dbmsType() != QSqlDriver::PostgreSQL)
        return nullptr;
    const QVariant h = driver->handle();
    return h.isValid() ? *static_cast<PGconn *const *>(h.constData()) : nullptr;
}

void AwaitAnswer(PGconn *conn, bool &cancelSent)
{
    // Rows already in hand cost no call to the system: a row at a time is read so.
    while (PQisBusy(conn) && PQconsumeInput(conn) && PQisBusy(conn)) {
        if (StatementWait::Waiting() && !cancelSent) {
            cancelSent = true;
            if (PGcancel *cancel = PQgetCancel(conn)) {
                char error[256];
                PQcancel(cancel, error, sizeof error);
                PQfreeCancel(cancel);
            }
        }
        pollfd socket {PQsocket(conn), POLLIN, 0};
        poll(&socket, 1, 20);
    }
}

QString CanceledMessage(PGconn *conn)
{
    if (PQtransactionStatus(conn) == PQTRANS_INERROR)
        return StatementWait::CanceledText()
            + QStringLiteral(": the open transaction is aborted, only ROLLBACK ends it.");
    return StatementWait::CanceledText();
}

namespace {

// Type numbers of the server's catalog, as the Qt driver maps them.
enum : Oid {
    BoolOid = 16,
    ByteaOid = 17,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    RegprocOid = 24,
    XidOid = 28,
    CidOid = 29,
    Float4Oid = 700,
    Float8Oid = 701,
    AbstimeOid = 702,
    ReltimeOid = 703,
    DateOid = 1082,
    TimeOid = 1083,
    TimestampOid = 1114,
    TimestamptzOid = 1184,
    TimetzOid = 1266,
    BitOid = 1560,
    VarbitOid = 1562,
    NumericOid = 1700,
    OidOid = 2278,
};

QMetaType TypeOf(Oid type)
{
    switch (type) {
    case BoolOid:
        return QMetaType(QMetaType::Bool);
    case Int8Oid:
        return QMetaType(QMetaType::LongLong);
    case Int2Oid:
    case Int4Oid:
    case OidOid:
    case RegprocOid:
    case XidOid:
    case CidOid:
        return QMetaType(QMetaType::Int);
    case NumericOid:
    case Float4Oid:
    case Float8Oid:
        return QMetaType(QMetaType::Double);
    case AbstimeOid:
    case ReltimeOid:
    case DateOid:
        return QMetaType(QMetaType::QDate);
    case TimeOid:
    case TimetzOid:
        return QMetaType(QMetaType::QTime);
    case TimestampOid:
    case TimestamptzOid:
        return QMetaType(QMetaType::QDateTime);
    case ByteaOid:
        return QMetaType(QMetaType::QByteArray);
    default:
        return QMetaType(QMetaType::QString);
    }
}

// Reads and drops what the server still has to say on the connection.
void Drain(PGconn *conn)
{
    while (PGresult *r = PQgetResult(conn))
        PQclear(r);
}

class TRowsResult final : public QSqlResult
{
public:
    TRowsResult(const QSqlDriver *driver, PGconn *conn)
        : QSqlResult(driver)
        , m_conn(conn)
    {
        setForwardOnly(true);
    }
    ~TRowsResult() override { Finish(); }

protected:
    bool reset(const QString &sql) override
    {
        Finish();
        // Answers nobody read would make the send fail, as they would the Qt driver's.
        Drain(m_conn);
        if (!PQsendQuery(m_conn, sql.toUtf8().constData())) {
            Fail(QStringLiteral("Unable to send query"));
            return false;
        }
        m_more = PQsetSingleRowMode(m_conn) > 0;
        m_sent = true;
        m_answer = Next();
        if (!m_answer) {
            Fail(QStringLiteral("Unable to create query"));
            return false;
        }
        switch (PQresultStatus(m_answer)) {
        case PGRES_SINGLE_TUPLE:
        case PGRES_TUPLES_OK:
            m_more = PQresultStatus(m_answer) == PGRES_SINGLE_TUPLE;
            setSelect(true);
            setActive(true);
            m_record = Record();
            return true;
        case PGRES_COMMAND_OK:
            m_more = false;
            setSelect(false);
            setActive(true);
            return true;
        default:
            m_more = false;
            Fail(QStringLiteral("Unable to create query"));
            return false;
        }
    }

    bool fetch(int i) override
    {
        if (!isActive() || i < 0 || i < at())
            return false;
        bool ok = true;
        while (ok && i > at())
            ok = fetchNext();
        return ok;
    }

    bool fetchFirst() override
    {
        if (!isActive() || at() != QSql::BeforeFirstRow)
            return at() == 0;
        if (m_answer && PQntuples(m_answer) > 0) {
            setAt(0);
            return true;
        }
        return false;
    }

    bool fetchLast() override
    {
        while (fetchNext()) {}
        return false;
    }

    bool fetchNext() override
    {
        if (!isActive() || at() == QSql::AfterLastRow)
            return false;
        if (at() == QSql::BeforeFirstRow)
            return fetchFirst();
        if (!m_more)
            return false;
        const int row = at();
        PQclear(m_answer);
        m_answer = Next();
        const ExecStatusType status = m_answer ? PQresultStatus(m_answer) : PGRES_FATAL_ERROR;
        if (status == PGRES_SINGLE_TUPLE) {
            setAt(row + 1);
            return true;
        }
        m_more = false;
        if (status != PGRES_TUPLES_OK)
            Fail(QStringLiteral("Unable to get result"));
        return false;
    }

    QVariant data(int i) override
    {
        if (!m_answer || i < 0 || i >= PQnfields(m_answer) || PQntuples(m_answer) < 1)
            return {};
        const Oid ptype = PQftype(m_answer, i);
        const QMetaType type = TypeOf(ptype);
        if (PQgetisnull(m_answer, 0, i))
            return QVariant(type, nullptr);
        const char *val = PQgetvalue(m_answer, 0, i);
        switch (type.id()) {
        case QMetaType::Bool:
            return QVariant(val[0] == 't');
        case QMetaType::QString:
            return QString::fromUtf8(val);
        case QMetaType::LongLong:
            if (val[0] == '-')
                return QByteArray::fromRawData(val, qstrlen(val)).toLongLong();
            return QByteArray::fromRawData(val, qstrlen(val)).toULongLong();
        case QMetaType::Int:
            return atoi(val);
        case QMetaType::Double:
            return Number(ptype, val);
        case QMetaType::QDate:
            return QDate::fromString(QString::fromLatin1(val), Qt::ISODate);
        case QMetaType::QTime:
            return QTime::fromString(QString::fromLatin1(val), Qt::ISODate);
        case QMetaType::QDateTime:
            return DateTime(val);
        case QMetaType::QByteArray: {
            size_t length = 0;
            unsigned char *bytes
                = PQunescapeBytea(reinterpret_cast<const unsigned char *>(val), &length);
            const QByteArray value(reinterpret_cast<const char *>(bytes), qsizetype(length));
            PQfreemem(bytes);
            return value;
        }
        default:
            return {};
        }
    }

    bool isNull(int i) override
    {
        return !m_answer || PQntuples(m_answer) < 1 || PQgetisnull(m_answer, 0, i);
    }

    int size() override { return -1; }

    int numRowsAffected() override
    {
        return m_answer ? QByteArray(PQcmdTuples(m_answer)).toInt() : -1;
    }

    QSqlRecord record() const override { return m_record; }

private:
    PGconn *m_conn;
    PGresult *m_answer = nullptr; // the current row, or the statement's last answer
    QSqlRecord m_record;
    bool m_more = false; // rows may follow
    bool m_sent = false; // the statement's answers are still to be read to the end
    bool m_cancelSent = false;

    PGresult *Next()
    {
        AwaitAnswer(m_conn, m_cancelSent);
        return PQgetResult(m_conn);
    }

    // What the connection would still answer is read, as the Qt driver reads it when its
    // query ends, so that the next statement can be sent.
    void Finish()
    {
        PQclear(m_answer);
        m_answer = nullptr;
        if (m_sent)
            Drain(m_conn);
        m_sent = m_more = false;
        m_record.clear();
        setAt(QSql::BeforeFirstRow);
        setActive(false);
    }

    void Fail(const QString &what)
    {
        const char *code = m_answer ? PQresultErrorField(m_answer, PG_DIAG_SQLSTATE) : nullptr;
        const QString state = QString::fromLatin1(code ? code : "");
        QString text = QString::fromUtf8(PQerrorMessage(m_conn));
        if (m_answer)
            text += QStringLiteral("(%1)").arg(state);
        if (m_cancelSent) {
            // The state of the transaction comes with the statement's last answer.
            Drain(m_conn);
            m_sent = false;
            text = CanceledMessage(m_conn);
        }
        setLastError(
            QSqlError(QStringLiteral("QPSQL: ") + what, text, QSqlError::StatementError, state));
        setSelect(false);
        setActive(false);
    }

    QVariant Number(Oid ptype, const char *val) const
    {
        if (ptype == NumericOid && numericalPrecisionPolicy() == QSql::HighPrecision)
            return QString::fromLatin1(val);
        bool ok = false;
        double value = QByteArray::fromRawData(val, qstrlen(val)).toDouble(&ok);
        if (!ok) {
            if (qstricmp(val, "NaN") == 0)
                value = qQNaN();
            else if (qstricmp(val, "Infinity") == 0)
                value = qInf();
            else if (qstricmp(val, "-Infinity") == 0)
                value = -qInf();
            else
                return {};
        }
        if (ptype == NumericOid) {
            if (numericalPrecisionPolicy() == QSql::LowPrecisionInt64)
                return qlonglong(value);
            if (numericalPrecisionPolicy() == QSql::LowPrecisionInt32)
                return int(value);
        }
        return value;
    }

    static QVariant DateTime(const char *val)
    {
        const QString text = QString::fromLatin1(val);
        const QStringView time = QStringView(text).mid(11);
        if (time.contains(u'-') || time.contains(u'+') || time.endsWith(u'Z'))
            return QDateTime::fromString(text, Qt::ISODate);
        return QDateTime::fromString(text + u'Z', Qt::ISODate);
    }

    // The fields as the Qt driver describes those of a forward-only result: no table names,
    // which would take another statement on the busy connection.
    QSqlRecord Record() const
    {
        QSqlRecord info;
        for (int i = 0; i < PQnfields(m_answer); ++i) {
            QSqlField f(QString::fromUtf8(PQfname(m_answer, i)));
            const Oid ptype = PQftype(m_answer, i);
            f.setMetaType(TypeOf(ptype));
            f.setValue(QVariant(f.metaType()));
            int length = PQfsize(m_answer, i);
            int precision = PQfmod(m_answer, i);
            switch (ptype) {
            case TimestampOid:
            case TimestamptzOid:
                precision = 3;
                break;
            case NumericOid:
                if (precision != -1) {
                    length = precision >> 16;
                    precision = (precision - 4) & 0xffff;
                }
                break;
            case BitOid:
            case VarbitOid:
                length = precision;
                precision = -1;
                break;
            default:
                if (length == -1 && precision >= 4) {
                    length = precision - 4;
                    precision = -1;
                }
            }
            f.setLength(length);
            f.setPrecision(precision);
            f.setSqlType(int(ptype));
            info.append(f);
        }
        return info;
    }
};

} // namespace

QSqlResult *NewRowsResult(const QSqlDriver *driver, PGconn *conn)
{
    return new TRowsResult(driver, conn);
}

} // namespace PostgresWait
