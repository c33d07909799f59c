#include "IniFile.h"
#include "EngineError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

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
    m_preamble.clear();
    m_sections.clear();
    m_indexed = false;
    // Read whole and cut into lines by views: a project file holds a few lines for each of
    // possibly a thousand fields, read at every expansion of its table. Every CR goes, as
    // Qt's text mode drops them, so CR LF files from other systems read as LF ones.
    const QString text
        = QString::fromUtf8(bytes.contains('\r') ? QByteArray(bytes).replace("\r", "") : bytes);
    QStringView rest(text);
    if (rest.startsWith(QChar(0xFEFF)))
        rest = rest.mid(1);
    std::vector<Line> *target = &m_preamble;
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf(u'\n');
        const QStringView raw = end < 0 ? rest : rest.left(end);
        rest = end < 0 ? QStringView() : rest.mid(end + 1);
        const QStringView t = raw.trimmed();
        if (t.startsWith(u'[') && t.endsWith(u']')) {
            m_sections.push_back({t.mid(1, t.size() - 2).trimmed().toString(), {}});
            target = &m_sections.back().lines;
            continue;
        }
        Line line {raw.toString(), {}, {}, false};
        const qsizetype eq = raw.indexOf(u'=');
        if (eq > 0 && !t.startsWith(u';') && !t.startsWith(u'#')) {
            line.key = raw.left(eq).trimmed().toString();
            line.value = raw.mid(eq + 1).toString();
            line.isPair = !line.key.isEmpty();
        }
        target->push_back(std::move(line));
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

const TIniFile::Section *TIniFile::FindSection(const QString &name) const
{
    if (!m_indexed) {
        m_index.clear();
        m_index.reserve(qsizetype(m_sections.size()));
        // The views stay valid: a section's name is never changed, and moving a QString
        // keeps its characters where they are.
        for (size_t i = m_sections.size(); i-- > 0;)
            m_index.insert({m_sections[i].name}, i); // the first one counts
        m_indexed = true;
    }
    const auto found = m_index.constFind({name});
    return found == m_index.constEnd() ? nullptr : &m_sections[*found];
}

TIniFile::Section *TIniFile::FindSection(const QString &name)
{
    return const_cast<Section *>(std::as_const(*this).FindSection(name));
}

TIniFile::Line *TIniFile::FindKey(Section &s, const QString &key)
{
    for (Line &l : s.lines)
        if (l.isPair && l.key.compare(key, Qt::CaseInsensitive) == 0)
            return &l;
    return nullptr;
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    if (const Section *s = FindSection(section))
        for (const Line &l : s->lines)
            if (l.isPair && l.key.compare(key, Qt::CaseInsensitive) == 0)
                return l.value;
    return def;
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
        Section *s = FindSection(section);
        if (!s) {
            m_sections.push_back({section, {}});
            m_indexed = false;
            s = &m_sections.back();
        }
        if (Line *l = FindKey(*s, key)) {
            if (l->value == clean)
                return false;
            l->value = clean;
            l->raw.clear();
        } else {
            s->lines.push_back({{}, key, clean, true});
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
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return ReadSection(section).contains(key, Qt::CaseInsensitive);
}

QStringList TIniFile::ReadSections() const
{
    QStringList names;
    for (const Section &s : m_sections)
        names << s.name;
    return names;
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    QStringList keys;
    if (const Section *s = FindSection(section))
        for (const Line &l : s->lines)
            if (l.isPair)
                keys << l.key;
    return keys;
}

QStringList TIniFile::ReadSectionValues(const QString &section) const
{
    QStringList pairs;
    if (const Section *s = FindSection(section))
        for (const Line &l : s->lines)
            if (l.isPair)
                pairs << l.key + u'=' + l.value;
    return pairs;
}

void TIniFile::EraseSection(const QString &section)
{
    Change([&] {
        m_indexed = false;
        return std::erase_if(m_sections,
                             [&](const Section &s) {
                                 return s.name.compare(section, Qt::CaseInsensitive) == 0;
                             })
            > 0;
    });
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    Change([&] {
        Section *s = FindSection(section);
        return s
            && std::erase_if(s->lines,
                             [&](const Line &l) {
                                 return l.isPair && l.key.compare(key, Qt::CaseInsensitive) == 0;
                             })
            > 0;
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
    QString out;
    auto writeLines = [&](const std::vector<Line> &lines) {
        for (const Line &l : lines) {
            if (l.isPair && l.raw.isEmpty())
                out += l.key + u'=' + l.value;
            else
                out += l.raw;
            out += u'\n';
        }
    };
    writeLines(m_preamble);
    for (const Section &s : m_sections) {
        out += u'[' + s.name + QStringLiteral("]\n");
        writeLines(s.lines);
    }
    return out.toUtf8();
}
