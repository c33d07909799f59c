#include "TableJournal.h"
#include "EngineError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// A journal: "ORVJRNL1", the file's size before the change (8 bytes), the number of
// ranges (4); per range its offset (8), length (4) and the bytes it held; then a checksum of
// all before it (8) and "ORVJEND1". Only a journal that is whole counts: without its end the
// writer died before it touched the file.

namespace {

constexpr char Head[] = "ORVJRNL1";
constexpr char Tail[] = "ORVJEND1";
constexpr int MarkSize = 8;

quint64 Checksum(const char *data, qsizetype size)
{
    quint64 h = 1469598103934665603ull; // FNV-1a
    for (qsizetype i = 0; i < size; ++i)
        h = (h ^ uchar(data[i])) * 1099511628211ull;
    return h;
}

void Put(QByteArray &out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xff);
}

quint64 Get(const QByteArray &in, qsizetype at, int bytes)
{
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= quint64(uchar(in[at + i])) << (8 * i);
    return v;
}

bool WriteAll(int fd, const char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

QByteArray ReadAt(int fd, qint64 offset, qint64 size)
{
    QByteArray bytes(size, '\0');
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size_t(size - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

void SyncFolder(const QString &path)
{
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

struct TSaved
{
    qint64 size = 0;
    std::vector<TFilePatch> ranges;
};

// The saved ranges of a whole journal; false when it is not whole.
bool ParseJournal(const QByteArray &j, TSaved *saved)
{
    const qsizetype body = j.size() - 8 - MarkSize;
    if (j.size() < MarkSize + 12 + 8 + MarkSize || !j.startsWith(Head)
        || std::memcmp(j.constData() + j.size() - MarkSize, Tail, MarkSize) != 0
        || Get(j, body, 8) != Checksum(j.constData(), body))
        return false;
    saved->size = qint64(Get(j, MarkSize, 8));
    const quint64 count = Get(j, MarkSize + 8, 4);
    qsizetype at = MarkSize + 12;
    for (quint64 i = 0; i < count; ++i) {
        if (at + 12 > body)
            return false;
        TFilePatch p;
        p.Offset = qint64(Get(j, at, 8));
        const qsizetype length = qsizetype(Get(j, at + 8, 4));
        at += 12;
        if (length > body - at)
            return false;
        p.Bytes = j.mid(at, length);
        at += length;
        saved->ranges.push_back(std::move(p));
    }
    return at == body;
}

// Puts the saved bytes back into the open file and syncs it.
bool PlayBack(int fd, const TSaved &saved)
{
    for (const TFilePatch &r : saved.ranges)
        if (!WriteAll(fd, r.Bytes.constData(), r.Bytes.size(), r.Offset))
            return false;
    return ::ftruncate(fd, saved.size) == 0 && ::fdatasync(fd) == 0;
}

[[noreturn]] void CannotWrite(const QString &path)
{
    throw EDatabaseError(
        QStringLiteral("Cannot write %1: %2.")
            .arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

QString JournalPath(const QString &path)
{
    return path + QStringLiteral("-journal");
}

TInPlaceWrite::~TInPlaceWrite()
{
    if (Pending()) {
        try {
            Rollback();
        } catch (const EDatabaseError &) {
            Close(); // the journal stays and is played back when the table is next opened
        }
    }
}

void TInPlaceWrite::Close()
{
    if (m_journal >= 0)
        ::close(m_journal);
    if (m_table >= 0)
        ::close(m_table); // also lets go of the lock
    m_journal = m_table = -1;
}

void TInPlaceWrite::Write(const QString &path, const std::vector<TFilePatch> &patches)
{
    if (Pending())
        Commit();
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    m_table = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (m_table < 0)
        CannotWrite(path);
    // Another program that plays back journals waits until this change is done.
    if (::flock(m_table, LOCK_EX) != 0) {
        Close();
        CannotWrite(path);
    }
    struct stat st
    {
    };
    if (::fstat(m_table, &st) != 0) {
        Close();
        CannotWrite(path);
    }
    QByteArray journal(Head, MarkSize);
    Put(journal, quint64(st.st_size), 8);
    Put(journal, patches.size(), 4);
    for (const TFilePatch &p : patches) {
        const QByteArray old
            = p.Offset < st.st_size ? ReadAt(m_table, p.Offset, p.Bytes.size()) : QByteArray();
        Put(journal, quint64(p.Offset), 8);
        Put(journal, quint64(old.size()), 4);
        journal += old;
    }
    Put(journal, Checksum(journal.constData(), journal.size()), 8);
    journal.append(Tail, MarkSize);

    const QString journalPath = JournalPath(path);
    m_journal = ::open(QFile::encodeName(journalPath).constData(),
                       O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_journal < 0) {
        Close();
        CannotWrite(journalPath);
    }
    if (!WriteAll(m_journal, journal.constData(), journal.size(), 0)
        || ::fdatasync(m_journal) != 0) {
        const int error = errno;
        ::unlink(QFile::encodeName(journalPath).constData());
        Close();
        errno = error;
        CannotWrite(journalPath);
    }
    SyncFolder(path); // the journal is known to exist before the table is touched
    for (const TFilePatch &p : patches) {
        if (!WriteAll(m_table, p.Bytes.constData(), p.Bytes.size(), p.Offset)) {
            const int error = errno;
            Rollback();
            errno = error;
            CannotWrite(path);
        }
    }
    if (::fdatasync(m_table) != 0) {
        const int error = errno;
        Rollback();
        errno = error;
        CannotWrite(path);
    }
}

void TInPlaceWrite::Commit()
{
    if (!Pending())
        return;
    ::unlink(QFile::encodeName(JournalPath(m_path)).constData());
    Close();
}

void TInPlaceWrite::Rollback()
{
    if (!Pending())
        return;
    TSaved saved;
    const QByteArray journal = ReadAt(m_journal, 0, ::lseek(m_journal, 0, SEEK_END));
    if (!ParseJournal(journal, &saved) || !PlayBack(m_table, saved)) {
        Close();
        throw EDatabaseError(
            QStringLiteral("%1 could not be rolled back; it will be when it is next opened.")
                .arg(QFileInfo(m_path).fileName()));
    }
    ::unlink(QFile::encodeName(JournalPath(m_path)).constData());
    Close();
}

QString RecoverJournal(const QString &path)
{
    const QByteArray journalName = QFile::encodeName(JournalPath(path));
    if (::access(journalName.constData(), F_OK) != 0)
        return {};
    const QString name = QFileInfo(path).fileName();
    const int table = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (table < 0)
        return QStringLiteral("%1 has a journal left behind that cannot be played back").arg(name);
    // A writer still at work holds the lock and finishes its change itself.
    if (::flock(table, LOCK_EX | LOCK_NB) != 0) {
        ::close(table);
        return {};
    }
    QFile journal(QFile::decodeName(journalName));
    QString error;
    if (journal.open(QIODevice::ReadOnly)) {
        TSaved saved;
        const QByteArray bytes = journal.readAll();
        journal.close();
        // A journal that is not whole was never followed by a write to the table.
        if (ParseJournal(bytes, &saved) && !PlayBack(table, saved))
            error = QStringLiteral("%1 has a journal left behind that cannot be played back")
                        .arg(name);
        else
            ::unlink(journalName.constData());
    }
    ::close(table);
    return error;
}
