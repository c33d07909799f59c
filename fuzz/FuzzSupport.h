#pragma once

// Shared by the fuzz targets: the input as text, and a scratch folder in memory.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

inline QString FuzzText(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// One folder per target process, on a memory file system when there is one, so that
// file readers are fuzzed through real files without wearing a disk.
inline QString FuzzFolder()
{
    struct TFolder
    {
        QString path;
        ~TFolder() { QDir(path).removeRecursively(); }
    };
    static const TFolder folder {[] {
        const QString base
            = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString f
            = base + QStringLiteral("/orvane-fuzz-%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(f);
        return f;
    }()};
    return folder.path;
}

inline void WriteFuzzFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}

// Splits the input at the first occurrence of a separator: the part before, and after.
inline std::pair<QByteArray, QByteArray> SplitInput(const uint8_t *data, size_t size,
                                                    const QByteArray &separator)
{
    const QByteArray all(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype at = all.indexOf(separator);
    if (at < 0)
        return {all, {}};
    return {all.left(at), all.mid(at + separator.size())};
}

// For a target's own checks: their comparisons are not the reader's paths, and counting
// each one for the fuzzer's guidance cost more than the reading itself in byte-by-byte
// loops. The readers they call are counted as ever.
#define FUZZ_CHECKER __attribute__((no_sanitize("coverage")))

// Stops the target with a message libFuzzer records with the input.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);         \
            abort();                                                                               \
        }                                                                                          \
    } while (0)
