// Paradox and dBASE tables with their memo files as users bring them from anywhere,
// through the real readers: any bytes give rows or an engine error, never a crash or a
// hang. The first byte picks the kind; the rest is the table file and, after a separator,
// its memo file.

#include "DbaseFormat.h"
#include "EngineError.h"
#include "FuzzSupport.h"
#include "ParadoxFormat.h"

namespace {

// A seed of each kind, written by our own writers: a keyed table with every common type
// and a memo, so that the fuzzer starts from files whose headers are sound.
void WriteSeed(TTableFormat &format, bool paradox, const QString &folder)
{
    const QString path = FuzzFolder() + (paradox ? "/S.db" : "/S.dbf");
    std::vector<TFileColumn> columns;
    for (const auto &[name, type] :
         std::vector<std::pair<QString, QString>> {{"ID", "INTEGER"},
                                                   {"NAME", "CHAR(12)"},
                                                   {"PRICE", "NUMERIC(8,2)"},
                                                   {"BORN", "DATE"},
                                                   {"OK", "BOOLEAN"},
                                                   {"NOTE", "TEXT"}})
        columns.push_back(format.ColumnFor(name, type));
    format.Create(path, columns, paradox ? 1 : 0);
    std::unique_ptr<TTableFile> table = format.Open(path);
    std::vector<TRow> rows;
    for (int i = 0; i < 3; ++i)
        rows.push_back({qlonglong(i + 1), QString("name %1").arg(i), 12.5 * i,
                        QString("2024-01-0%1").arg(i + 1), qlonglong(i % 2),
                        QString(300, QChar(u'a' + i))});
    table->Save(rows);
    QByteArray seed(1, paradox ? 1 : 0);
    for (const QString &file :
         {path, path.left(path.lastIndexOf(u'.')) + (paradox ? ".mb" : ".dbt")}) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly))
            seed += (seed.size() > 1 ? QByteArray("MEMO:") : QByteArray()) + f.readAll();
    }
    WriteFuzzFile(folder + (paradox ? "/paradox-seed" : "/dbase-seed"), seed);
}

} // namespace

// With ORVANE_FUZZ_SEEDS set to a folder, writes the seeds there before fuzzing.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const QString folder = qEnvironmentVariable("ORVANE_FUZZ_SEEDS");
    if (folder.isEmpty())
        return 0;
    QDir().mkpath(folder);
    TParadoxFormat paradox;
    TDbaseFormat dbase;
    try {
        WriteSeed(paradox, true, folder);
        WriteSeed(dbase, false, folder);
    } catch (const EDatabaseError &e) {
        fprintf(stderr, "cannot write seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool paradox = data[0] & 1;
    const auto [table, memo] = SplitInput(data + 1, size - 1, QByteArray("MEMO:", 5));
    const QString base = FuzzFolder() + QStringLiteral("/T");
    const QString path = base + (paradox ? QStringLiteral(".db") : QStringLiteral(".dbf"));
    const QString memoPath = base + (paradox ? QStringLiteral(".mb") : QStringLiteral(".dbt"));
    WriteFuzzFile(path, table);
    if (memo.isEmpty())
        QFile::remove(memoPath);
    else
        WriteFuzzFile(memoPath, memo);

    TParadoxFormat paradoxFormat;
    TDbaseFormat dbaseFormat;
    TTableFormat &format = paradox ? static_cast<TTableFormat &>(paradoxFormat) : dbaseFormat;
    const std::unique_ptr<TTableFile> file = format.Open(path);
    FUZZ_CHECK(file != nullptr);
    if (!file->Damage.isEmpty())
        return 0;
    try {
        const std::vector<TRow> rows = file->Load();
        for (const TRow &row : rows)
            FUZZ_CHECK(row.size() == file->Columns.size());
    } catch (const EDatabaseError &) {}
    return 0;
}
