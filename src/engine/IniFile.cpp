#include "IniFile.h"
#include "EngineError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The lock beside a settings file. The kernel lets go of it when its holder ends, however
// it ends, so a copy killed in the middle of a write never keeps the others out (a lock
// file that only says who made it is judged stale by its age, and one left empty by a
// kill kept every later writer out for seconds). The file is removed on release; a taker
// checks that the file it locked is still the one at the path, since the holder before
// may have removed it between the taker's open and its lock.
class TLockFile
{
public:
    explicit TLockFile(const QString &path)
        : m_path(QFile::encodeName(path))
    {}
    TLockFile(const TLockFile &) = delete;
    TLockFile &operator=(const TLockFile &) = delete;
    ~TLockFile()
    {
        if (m_fd < 0)
            return;
        ::unlink(m_path.constData()); // while still locked, so no one takes the old file
        ::close(m_fd);
    }

    // True once held; false while another process holds it, or with Error() set when the
    // lock file cannot be made.
    bool TryLock()
    {
        for (;;) {
            const int fd = ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) {
                m_error = errno;
                return false;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                m_error = errno == EWOULDBLOCK ? 0 : errno;
                ::close(fd);
                return false;
            }
            struct stat held, atPath;
            if (::fstat(fd, &held) == 0 && ::stat(m_path.constData(), &atPath) == 0
                && held.st_dev == atPath.st_dev && held.st_ino == atPath.st_ino) {
                m_fd = fd;
                return true;
            }
            ::close(fd);
        }
    }
    bool IsLocked() const { return m_fd >= 0; }
    int Error() const { return m_error; }

private:
    QByteArray m_path;
    int m_fd = -1;
    int m_error = 0;
};

// A "key=value" line.
QString PairText(QStringView key, QStringView value)
{
    QString text;
    text.reserve(key.size() + 1 + value.size());
    return text.append(key).append(u'=').append(value);
}

} // namespace

TIniFile::TIniFile(QString fileName)
    : m_fileName(std::move(fileName))
{
    Load();
}

TIniFile TIniFile::FromText(const QByteArray &text)
{
    TIniFile ini;
    ini.m_inMemory = true;
    ini.Parse(text);
    return ini;
}

bool TIniFile::Load(QString *error)
{
    QFile f(m_fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        Parse({});
        if (error)
            *error = f.errorString();
        return !f.exists(); // a missing file reads as defaults
    }
    Parse(f.readAll());
    return true;
}

void TIniFile::Parse(const QByteArray &bytes)
{
    m_lines.clear();
    m_sections.clear();
    m_lookups = 0;
    // Read whole and kept whole, each line a stretch of it: a project file holds a few lines
    // for each of possibly a thousand fields, read at every expansion of its table. Every CR
    // goes, as Qt's text mode drops them, so CR LF files from other systems read as LF ones.
    m_text = QString::fromUtf8(bytes.contains('\r') ? QByteArray(bytes).replace("\r", "") : bytes);
    const QStringView text(m_text);
    // Room for every line, and for as many sections as there are lines that could be
    // headers, made once: a project file's lines number in the thousands.
    const qsizetype lines = text.count(u'\n') + 1;
    m_lines.reserve(size_t(lines));
    m_sections.reserve(size_t(std::min(lines, text.count(u']'))));
    qsizetype at = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    while (at < text.size()) {
        qsizetype end = text.indexOf(u'\n', at);
        if (end < 0)
            end = text.size();
        const QStringView raw = text.sliced(at, end - at);
        const QStringView t = raw.trimmed();
        if (t.startsWith(u'[') && t.endsWith(u']')) {
            const QStringView name = t.sliced(1, t.size() - 2).trimmed();
            Section section;
            section.name.from = name.data() - text.data();
            section.name.length = name.size();
            section.begin = qsizetype(m_lines.size());
            m_sections.push_back(std::move(section));
            at = end + 1;
            continue;
        }
        Line line;
        line.text.from = at;
        line.text.length = raw.size();
        at = end + 1;
        const qsizetype eq = raw.indexOf(u'=');
        if (eq > 0 && !t.startsWith(u';') && !t.startsWith(u'#')) {
            const QStringView key = raw.first(eq).trimmed();
            if (!key.isEmpty()) {
                line.keyFrom = key.data() - raw.data();
                line.keyLength = key.size();
                line.valueFrom = eq + 1;
            }
        }
        m_lines.push_back(std::move(line));
    }
}

// Folded code point by code point as the comparison does, without making a folded copy:
// a thousand lookups in a thousand sections would otherwise allocate two thousand strings.
size_t TIniFile::FoldedName::Hash(size_t seed) const
{
    const QStringView s = name;
    size_t h = seed ^ 0xcbf29ce484222325u;
    for (qsizetype i = 0; i < s.size(); ++i) {
        char32_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), s[++i].unicode());
        h = (h ^ QChar::toCaseFolded(c)) * 0x100000001b3u;
    }
    return h;
}

qsizetype TIniFile::FindSection(const QString &name) const
{
    // The first few lookups after a change look through the sections, which costs less
    // than making the index; it pays off over many, as when each field of a table of a
    // thousand looks up its section.
    constexpr int lookupsWithoutIndex = 8;
    if (m_lookups < lookupsWithoutIndex) {
        ++m_lookups;
        for (size_t i = 0; i < m_sections.size(); ++i)
            if (FoldedName {View(m_sections[i].name)} == FoldedName {name})
                return qsizetype(i);
        return -1;
    }
    if (m_lookups == lookupsWithoutIndex) {
        m_index.clear();
        m_index.reserve(qsizetype(m_sections.size()));
        // The views stay valid: a section's name is never changed, m_text only with the
        // index, and moving a QString keeps its characters where they are.
        for (size_t i = m_sections.size(); i-- > 0;)
            m_index.insert({View(m_sections[i].name)}, i); // the first one counts
        ++m_lookups;
    }
    const auto found = m_index.constFind({name});
    return found == m_index.constEnd() ? -1 : qsizetype(*found);
}

qsizetype TIniFile::End(qsizetype section) const
{
    return size_t(section + 1) < m_sections.size() ? m_sections[section + 1].begin
                                                   : qsizetype(m_lines.size());
}

TIniFile::TLines TIniFile::Lines(qsizetype section) const
{
    if (section < 0)
        return {};
    return TLines(m_lines).subspan(m_sections[section].begin,
                                   End(section) - m_sections[section].begin);
}

qsizetype TIniFile::FindKey(qsizetype section, const QString &key) const
{
    for (qsizetype i = m_sections[section].begin, end = End(section); i < end; ++i)
        if (IsKey(m_lines[i], key))
            return i;
    return -1;
}

void TIniFile::MoveSections(qsizetype after, qsizetype by)
{
    for (size_t i = after + 1; i < m_sections.size(); ++i)
        m_sections[i].begin += by;
}

TIniFile::Line TIniFile::WrittenPair(QStringView key, const QString &value)
{
    Line l;
    l.text.own = PairText(key, value);
    l.text.owned = true;
    l.keyLength = key.size();
    l.valueFrom = key.size() + 1;
    return l;
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    const qsizetype s = FindSection(section);
    const qsizetype at = s < 0 ? -1 : FindKey(s, key);
    return at < 0 ? def : Value(m_lines[at]).toString();
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    bool ok = false;
    const int v = ReadString(section, key).trimmed().toInt(&ok, 0);
    return ok ? v : def;
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    const QString v = ReadString(section, key).trimmed();
    if (v.isEmpty())
        return def;
    return v != QLatin1String("0");
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    // Line breaks would split the value into lines of its own.
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    Change([&] {
        qsizetype s = FindSection(section);
        if (s < 0) {
            s = qsizetype(m_sections.size());
            m_sections.push_back({{0, 0, section, true}, qsizetype(m_lines.size())});
            m_lookups = 0;
        }
        if (const qsizetype at = FindKey(s, key); at >= 0) {
            if (Value(m_lines[at]) == clean)
                return false;
            m_lines[at] = WrittenPair(Key(m_lines[at]), clean);
        } else {
            m_lines.insert(m_lines.begin() + End(s), WrittenPair(key, clean));
            MoveSections(s, 1);
        }
        return true;
    });
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::SectionExists(const QString &section) const
{
    return FindSection(section) >= 0;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return ReadSection(section).contains(key, Qt::CaseInsensitive);
}

QStringList TIniFile::ReadSections() const
{
    QStringList names;
    names.reserve(qsizetype(m_sections.size()));
    for (const Section &s : m_sections)
        names << View(s.name).toString();
    return names;
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    QStringList keys;
    for (const Line &l : Lines(FindSection(section)))
        if (l.IsPair())
            keys << Key(l).toString();
    return keys;
}

QStringList TIniFile::ReadSectionValues(const QString &section) const
{
    QStringList pairs;
    for (const Line &l : Lines(FindSection(section)))
        if (l.IsPair())
            pairs << PairText(Key(l), Value(l));
    return pairs;
}

void TIniFile::EraseSection(const QString &section)
{
    Change([&] {
        bool erased = false;
        for (qsizetype s = qsizetype(m_sections.size()); s-- > 0;) {
            if (View(m_sections[s].name).compare(section, Qt::CaseInsensitive) != 0)
                continue;
            const qsizetype begin = m_sections[s].begin;
            const qsizetype end = End(s);
            m_lines.erase(m_lines.begin() + begin, m_lines.begin() + end);
            MoveSections(s, begin - end);
            m_sections.erase(m_sections.begin() + s);
            erased = true;
        }
        m_lookups = 0;
        return erased;
    });
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    Change([&] {
        const qsizetype s = FindSection(section);
        if (s < 0)
            return false;
        const auto end = m_lines.begin() + End(s);
        const auto kept = std::remove_if(m_lines.begin() + m_sections[s].begin, end,
                                         [&](const Line &l) { return IsKey(l, key); });
        const qsizetype removed = end - kept;
        m_lines.erase(kept, end);
        MoveSections(s, -removed);
        return removed > 0;
    });
}

void TIniFile::UpdateFile()
{
    Change([] { return true; });
}

void TIniFile::Change(const std::function<bool()> &edit)
{
    if (m_updating) {
        m_dirty = edit() || m_dirty;
        return;
    }
    Update([&] { m_dirty = edit() || m_dirty; });
}

void TIniFile::Update(const std::function<void()> &edits)
{
    // In memory there is no file to lock, re-read or write: the edits are the change.
    if (m_updating || m_inMemory) {
        edits();
        return;
    }
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    // The other copy holds the lock only while it re-reads and writes, a few milliseconds;
    // it is polled briefly rather than waited on with growing sleeps.
    TLockFile lock(m_fileName + QStringLiteral(".lock"));
    QDeadlineTimer deadline(10000);
    while (!lock.TryLock() && lock.Error() == 0 && !deadline.hasExpired())
        QThread::msleep(2);
    if (!lock.IsLocked())
        throw EDatabaseError(
            lock.Error() == 0
                ? QStringLiteral("Cannot write %1: another program holds its lock file %1.lock")
                      .arg(m_fileName)
                : QStringLiteral("Cannot write %1: its lock file %1.lock cannot be made: %2")
                      .arg(m_fileName, QString::fromLocal8Bit(std::strerror(lock.Error()))));
    // A file that is there but cannot be read must not be replaced by our one key.
    if (QString error; !Load(&error))
        throw EDatabaseError(QStringLiteral("Cannot read %1: %2").arg(m_fileName, error));
    m_updating = true;
    m_dirty = false;
    try {
        edits();
    } catch (...) {
        m_updating = false;
        throw;
    }
    m_updating = false;
    if (m_dirty)
        Save();
}

void TIniFile::Save() const
{
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly))
        throw EDatabaseError(
            QStringLiteral("Cannot write %1: %2").arg(m_fileName, f.errorString()));
    const QByteArray text = Text();
    if (f.write(text) != text.size() || !f.commit())
        throw EDatabaseError(
            QStringLiteral("Cannot write %1: %2").arg(m_fileName, f.errorString()));
}

QByteArray TIniFile::Text() const
{
    // Measured first and made in one piece: a project file holds a section per field.
    qsizetype size = 0;
    for (const Line &l : m_lines)
        size += View(l.text).size() + 1;
    for (const Section &s : m_sections)
        size += View(s.name).size() + 3;
    QString out;
    out.reserve(size);
    auto writeLines = [&](TLines lines) {
        for (const Line &l : lines)
            out.append(View(l.text)).append(u'\n');
    };
    writeLines(TLines(m_lines).first(m_sections.empty() ? m_lines.size() : m_sections[0].begin));
    for (qsizetype s = 0; s < qsizetype(m_sections.size()); ++s) {
        out.append(u'[').append(View(m_sections[s].name)).append(QLatin1String("]\n"));
        writeLines(Lines(s));
    }
    return out.toUtf8();
}
