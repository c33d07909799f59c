// The SELECT reader over any statement text, on real SQLite tables: reading never crashes,
// and what it writes reads back into the same statement (written again, the same lines).

#include "DataSet.h"
#include "EngineError.h"
#include "FuzzSupport.h"
#include "Select.h"
#include "Session.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>

namespace {

TSession &Session()
{
    static TSession *session = [] {
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
