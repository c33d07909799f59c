#include "FirebirdThread.h"
#include "Driver.h"
#include "StatementWait.h"

#include <QSet>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <ibase.h>
#include <mutex>

namespace {

// Runs tasks one after the other on a thread of its own.
class TWorker final : public QThread
{
public:
    ~TWorker() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        wait();
    }

    // Returns once work has run there. Meanwhile the events of a run are let through, and
    // onStop is called every few milliseconds once the user asks the statement to stop: a
    // cancel that comes between two calls to the engine finds nothing to cancel.
    void Call(const std::function<void()> &work, const std::function<void()> &onStop)
    {
        TTask task {&work};
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(&task);
        }
        m_wake.notify_one();
        std::unique_lock lock(m_mutex);
        while (!m_done.wait_for(lock, std::chrono::milliseconds(10), [&] { return task.done; })) {
            lock.unlock();
            if (StatementWait::Waiting())
                onStop();
            lock.lock();
        }
    }

protected:
    void run() override
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_quit || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
            TTask *task = m_tasks.front();
            m_tasks.pop_front();
            lock.unlock();
            (*task->work)();
            lock.lock();
            task->done = true;
            m_done.notify_all();
        }
    }

private:
    struct TTask
    {
        const std::function<void()> *work;
        bool done = false;
    };
    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    std::deque<TTask *> m_tasks;
    bool m_quit = false;
};

class TThreadResult;

class TThreadDriver final : public QSqlDriver
{
public:
    TThreadDriver() { m_worker.start(); }
    ~TThreadDriver() override { close(); }

    // Runs work on the connection's thread; a stop request cancels what the engine does.
    void Call(const std::function<void()> &work) const
    {
        bool stopped = false;
        m_worker.Call(work, [&] {
            stopped = true;
            Cancel(fb_cancel_raise);
        });
        // A cancel the engine took in only as the statement ended must not stop the next.
        if (stopped)
            m_worker.Call(
                [this] {
                    Cancel(fb_cancel_disable);
                    Cancel(fb_cancel_enable);
                },
                [] {});
    }

    QSqlDatabase &Real() const { return m_real; }
    void Attach(TThreadResult *r) const { m_results.insert(r); }
    void Detach(TThreadResult *r) const { m_results.remove(r); }

    bool open(const QString &db, const QString &user, const QString &password, const QString &host,
              int port, const QString &options) override;
    void close() override;
    QSqlResult *createResult() const override;

    bool hasFeature(DriverFeature f) const override { return m_features & (1u << f); }

    bool beginTransaction() override
    {
        return Transaction([](QSqlDatabase &db) { return db.transaction(); });
    }
    bool commitTransaction() override
    {
        return Transaction([](QSqlDatabase &db) { return db.commit(); });
    }
    bool rollbackTransaction() override
    {
        return Transaction([](QSqlDatabase &db) { return db.rollback(); });
    }

    QStringList tables(QSql::TableType type) const override
    {
        QStringList names;
        if (isOpen())
            Call([&] { names = m_real.tables(type); });
        return names;
    }
    QSqlIndex primaryIndex(const QString &table) const override
    {
        QSqlIndex index;
        if (isOpen())
            Call([&] { index = m_real.primaryIndex(table); });
        return index;
    }
    QSqlRecord record(const QString &table) const override
    {
        QSqlRecord fields;
        if (isOpen())
            Call([&] { fields = m_real.record(table); });
        return fields;
    }

    // Writing names and values uses no connection: the engine's driver answers here.
    QString formatValue(const QSqlField &field, bool trimStrings) const override
    {
        return m_text ? m_text->formatValue(field, trimStrings)
                      : QSqlDriver::formatValue(field, trimStrings);
    }
    QString escapeIdentifier(const QString &name, IdentifierType type) const override
    {
        return m_text ? m_text->escapeIdentifier(name, type)
                      : QSqlDriver::escapeIdentifier(name, type);
    }

private:
    mutable TWorker m_worker;
    mutable QSqlDatabase m_real; // used on the worker thread only
    QSqlDriver *m_text = nullptr;
    QString m_name;
    isc_db_handle m_handle = 0;
    unsigned m_features = 0;
    mutable QSet<TThreadResult *> m_results;

    void Cancel(ISC_USHORT what) const
    {
        ISC_STATUS_ARRAY status {};
        isc_db_handle handle = m_handle;
        if (handle)
            fb_cancel_operation(status, &handle, what);
    }

    bool Transaction(bool (*step)(QSqlDatabase &))
    {
        if (!isOpen())
            return false;
        bool ok = false;
        QSqlError error;
        Call([&] {
            ok = step(m_real);
            error = m_real.lastError();
        });
        if (!ok)
            setLastError(error);
        return ok;
    }
};

// What a statement's run on the worker thread brings back.
struct TAnswer
{
    QSqlError error;
    QSqlRecord record;
    int size = -1;
    bool select = false;
    bool active = false;
};

class TThreadResult final : public QSqlResult
{
public:
    explicit TThreadResult(const TThreadDriver *driver)
        : QSqlResult(driver)
    {
        driver->Attach(this);
    }
    ~TThreadResult() override
    {
        if (const TThreadDriver *d = Driver()) {
            d->Detach(this);
            if (m_query)
                d->Call([q = m_query] { delete q; });
        }
    }

    // The connection closes: its queries go first, on its own thread.
    void Drop() { m_query = nullptr; }
    QSqlQuery *Query() const { return m_query; }

protected:
    bool reset(const QString &sql) override
    {
        return Start([&](QSqlQuery &q) { return q.exec(sql); });
    }

    bool prepare(const QString &sql) override
    {
        return Start([&](QSqlQuery &q) { return q.prepare(sql); });
    }

    bool exec() override
    {
        const QVariantList values = boundValues();
        QList<QSql::ParamType> types;
        for (int i = 0; i < values.size(); ++i)
            types << bindValueType(i);
        return Start(
            [&](QSqlQuery &q) {
                for (int i = 0; i < values.size(); ++i)
                    q.bindValue(i, values[i], types[i]);
                return q.exec();
            },
            false);
    }

    bool fetchNext() override
    {
        if (!isForwardOnly())
            return Move([](QSqlQuery &q) { return q.next(); });
        if (m_ahead.empty() && !m_end)
            ReadAhead();
        if (m_ahead.empty())
            return false;
        m_row = std::move(m_ahead.front());
        m_ahead.pop_front();
        setAt(at() < 0 ? 0 : at() + 1);
        return true;
    }

    bool fetchFirst() override
    {
        if (!isForwardOnly())
            return Move([](QSqlQuery &q) { return q.first(); });
        return at() == QSql::BeforeFirstRow ? fetchNext() : at() == 0;
    }

    bool fetch(int i) override
    {
        if (!isForwardOnly())
            return Move([i](QSqlQuery &q) { return q.seek(i); });
        if (i < at() || i < 0)
            return false;
        bool ok = true;
        while (ok && at() < i)
            ok = fetchNext();
        return ok;
    }

    bool fetchLast() override
    {
        if (!isForwardOnly())
            return Move([](QSqlQuery &q) { return q.last(); });
        while (fetchNext()) {}
        return false;
    }

    bool fetchPrevious() override
    {
        return !isForwardOnly() && Move([](QSqlQuery &q) { return q.previous(); });
    }

    QVariant data(int i) override { return m_row.value(i); }
    bool isNull(int i) override { return m_row.value(i).isNull(); }
    int size() override { return m_answer.size; }
    // Asked for only when wanted: the engine's driver complains when asked after DDL.
    int numRowsAffected() override
    {
        const TThreadDriver *d = Driver();
        int n = -1;
        if (d && m_query)
            d->Call([&, q = m_query] { n = q->numRowsAffected(); });
        return n;
    }
    QSqlRecord record() const override { return m_answer.record; }

    void detachFromResultSet() override
    {
        m_ahead.clear();
        m_end = true;
        if (const TThreadDriver *d = Driver(); d && m_query)
            d->Call([q = m_query] { q->finish(); });
    }

private:
    QSqlQuery *m_query = nullptr; // lives on the worker thread
    TAnswer m_answer;
    QVariantList m_row;
    std::deque<QVariantList> m_ahead; // rows a forward-only result has read ahead
    bool m_end = false;

    const TThreadDriver *Driver() const { return static_cast<const TThreadDriver *>(driver()); }

    static QVariantList Values(const QSqlQuery &q)
    {
        QVariantList values;
        const int n = q.record().count();
        values.reserve(n);
        for (int i = 0; i < n; ++i)
            values << q.value(i);
        return values;
    }

    // Runs a statement (or prepares one) on the worker's query; fresh asks for the query
    // to be set up anew, which a bound execution of a prepared one must not.
    bool Start(const std::function<bool(QSqlQuery &)> &run, bool fresh = true)
    {
        m_row.clear();
        m_ahead.clear();
        m_end = false;
        const TThreadDriver *d = Driver();
        if (!d || !d->isOpen()) {
            setLastError(QSqlError(QStringLiteral("The Firebird connection is closed."), {},
                                   QSqlError::ConnectionError));
            return false;
        }
        const bool forward = isForwardOnly();
        const QSql::NumericalPrecisionPolicy policy = numericalPrecisionPolicy();
        bool ok = false;
        TAnswer answer;
        QSqlQuery *query = m_query;
        d->Call([&] {
            if (!query)
                query = new QSqlQuery(d->Real());
            QSqlQuery &q = *query;
            if (fresh) {
                q.finish();
                q.setForwardOnly(forward);
                q.setNumericalPrecisionPolicy(policy);
            }
            ok = run(q);
            answer.error = q.lastError();
            answer.record = q.record();
            answer.size = q.size();
            answer.select = q.isSelect();
            answer.active = q.isActive();
        });
        m_query = query;
        m_answer = answer;
        setLastError(answer.error);
        setSelect(answer.select);
        setActive(answer.active);
        setAt(QSql::BeforeFirstRow);
        return ok;
    }

    // Reads the next rows in one hand-over: a row at a time would cost a thread switch each.
    void ReadAhead()
    {
        const TThreadDriver *d = Driver();
        if (!d || !m_query) {
            m_end = true;
            return;
        }
        QSqlError error;
        bool end = false;
        std::deque<QVariantList> rows;
        d->Call([&, q = m_query] {
            for (int n = 0; n < 256; ++n) {
                if (!q->next()) {
                    end = true;
                    error = q->lastError();
                    return;
                }
                rows.push_back(Values(*q));
            }
        });
        m_ahead = std::move(rows);
        m_end = end;
        if (end && error.isValid())
            setLastError(error);
    }

    bool Move(const std::function<bool(QSqlQuery &)> &how)
    {
        const TThreadDriver *d = Driver();
        if (!d || !m_query)
            return false;
        bool ok = false;
        int at = QSql::BeforeFirstRow;
        QSqlError error;
        QVariantList row;
        d->Call([&, q = m_query] {
            ok = how(*q);
            at = q->at();
            error = q->lastError();
            if (ok)
                row = Values(*q);
        });
        m_row = std::move(row);
        setAt(at);
        if (error.isValid())
            setLastError(error);
        return ok;
    }
};

bool TThreadDriver::open(const QString &db, const QString &user, const QString &password,
                         const QString &host, int port, const QString &options)
{
    close();
    const QString name = NewConnectionName(QStringLiteral("firebird-thread"));
    bool ok = false;
    QSqlError error;
    QSqlDriver *real = nullptr;
    isc_db_handle handle = 0;
    unsigned features = 0;
    Call([&] {
        m_real = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), name);
        m_real.setDatabaseName(db);
        m_real.setUserName(user);
        m_real.setPassword(password);
        m_real.setHostName(host);
        m_real.setPort(port);
        m_real.setConnectOptions(options);
        ok = m_real.open();
        if (!ok) {
            error = m_real.lastError();
            m_real = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return;
        }
        real = m_real.driver();
        for (int f = Transactions; f <= CancelQuery; ++f)
            if (real->hasFeature(DriverFeature(f)))
                features |= 1u << f;
        const QVariant h = real->handle();
        if (h.isValid() && h.metaType().sizeOf() == sizeof handle)
            handle = *static_cast<const isc_db_handle *>(h.constData());
    });
    if (!ok) {
        setLastError(error);
        setOpenError(true);
        return false;
    }
    m_text = real;
    m_handle = handle;
    m_features = features;
    m_name = name;
    setOpen(true);
    setOpenError(false);
    return true;
}

void TThreadDriver::close()
{
    if (m_name.isEmpty())
        return;
    QList<QSqlQuery *> queries;
    for (TThreadResult *r : std::as_const(m_results)) {
        if (r->Query())
            queries << r->Query();
        r->Drop();
    }
    Call([&] {
        qDeleteAll(queries);
        m_real.close();
        m_real = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    });
    m_text = nullptr;
    m_handle = 0;
    m_name.clear();
    setOpen(false);
    setOpenError(false);
}

QSqlResult *TThreadDriver::createResult() const
{
    return new TThreadResult(this);
}

} // namespace

QSqlDriver *NewThreadedFirebirdDriver()
{
    return new TThreadDriver;
}
