// The SELECT reader over any statement text, on real SQLite tables: reading never crashes,
// and what it writes reads back into the same statement (written again, the same lines).

#include "DataSet.h"
#include "EngineError.h"
#include "FuzzSupport.h"
#include "Select.h"
#include "Session.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <dlfcn.h>
#include <memory>
#include <sqlite3.h>

namespace {

// The engine's own memory from the C library's allocator rather than the sanitizer's: SQLite
// is not instrumented, so the sanitizer only checks it at each allocation, and its parser's
// many small ones were a fifth of each input's time. The reader's memory is checked as ever.
void UseUncheckedEngineMemory()
{
    using TMalloc = void *(*)(size_t);
    using TFree = void (*)(void *);
    using TRealloc = void *(*)(void *, size_t);
    using TSize = size_t (*)(void *);
    static const auto cMalloc = reinterpret_cast<TMalloc>(dlsym(RTLD_NEXT, "malloc"));
    static const auto cFree = reinterpret_cast<TFree>(dlsym(RTLD_NEXT, "free"));
    static const auto cRealloc = reinterpret_cast<TRealloc>(dlsym(RTLD_NEXT, "realloc"));
    static const auto cSize = reinterpret_cast<TSize>(dlsym(RTLD_NEXT, "malloc_usable_size"));
    if (!cMalloc || !cFree || !cRealloc || !cSize)
        std::abort();
    static const sqlite3_mem_methods methods {[](int n) { return cMalloc(size_t(n)); },
                                              [](void *p) { cFree(p); },
                                              [](void *p, int n) { return cRealloc(p, size_t(n)); },
                                              [](void *p) { return int(cSize(p)); },
                                              [](int n) { return (n + 15) & ~15; },
                                              [](void *) { return SQLITE_OK; },
                                              [](void *) {},
                                              nullptr};
    if (sqlite3_config(SQLITE_CONFIG_MALLOC, &methods) != SQLITE_OK)
        std::abort();
}

TSession &Session()
{
    static TSession *session = [] {
        UseUncheckedEngineMemory();
        const QString file = FuzzFolder() + QStringLiteral("/select.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "setup");
            db.setDatabaseName(file);
            if (!db.open())
                std::abort();
            QSqlQuery q(db);
            for (const char *s : {"CREATE TABLE T1 (A INTEGER, B VARCHAR(20), D DATE, S SMALLINT)",
                                  "CREATE TABLE T2 (K INTEGER, C VARCHAR(10), E DATE)",
                                  "CREATE TABLE T3 (X INTEGER, Y TIMESTAMP)"})
                q.exec(QString::fromLatin1(s));
        }
        QSqlDatabase::removeDatabase("setup");
        auto *s = new TSession(FuzzFolder() + QStringLiteral("/aliases.ini"));
        s->AddAlias(QStringLiteral("SEL"), QStringLiteral("SQLITE"),
                    {QStringLiteral("DATABASE NAME=") + file});
        return s;
    }();
    return *session;
}

// The statement the model writes for text, or nothing when the text cannot be read.
std::optional<QStringList> ReadAndWrite(const QStringList &text)
{
    TQuery query(&Session());
    query.DatabaseName = QStringLiteral("SEL");
    query.SQL = text;
    try {
        TSelect select(&query, TSelect::AllClauses);
        select.Write();
        return query.SQL;
    } catch (const EDatabaseError &) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList text = FuzzText(data, size).split(u'\n');
    const std::optional<QStringList> first = ReadAndWrite(text);
    if (!first)
        return 0;
    const std::optional<QStringList> second = ReadAndWrite(*first);
    if (!second)
        fprintf(stderr, "written, and not read again:\n%s\n", qPrintable(first->join(u'\n')));
    FUZZ_CHECK(second.has_value());
    if (*second != *first)
        fprintf(stderr, "first:\n%s\nsecond:\n%s\n", qPrintable(first->join(u'\n')),
                qPrintable(second->join(u'\n')));
    FUZZ_CHECK(*second == *first);
    return 0;
}
