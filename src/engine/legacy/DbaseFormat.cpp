#include "DbaseFormat.h"
#include "EngineError.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>
#include <shapefil.h>

namespace {

constexpr int MemoBlock = 512;

QString SideFile(const QString &path, const char *extension)
{
    const QFileInfo info(path);
    const QString base = info.absolutePath() + u'/' + info.completeBaseName() + u'.';
    const QString lower = base + QLatin1String(extension);
    const QString upper = base + QString::fromLatin1(extension).toUpper();
    return !QFile::exists(lower) && QFile::exists(upper) ? upper : lower;
}

TFileColumn ColumnOf(const QString &name, char native, int width, int decimals)
{
    TFileColumn c;
    c.Name = name;
    c.Native = native;
    c.Width = width;
    c.Decimals = decimals;
    switch (native) {
    case 'C':
        c.Type = ftString;
        c.Size = width;
        break;
    case 'N':
        if (decimals > 0) {
            c.Type = ftBCD;
            c.Size = decimals;
        } else {
            c.Type = width <= 11 ? ftInteger : ftLargeint;
        }
        break;
    case 'F':
        c.Type = ftFloat;
        break;
    case 'L':
        c.Type = ftBoolean;
        break;
    case 'D':
        c.Type = ftDate;
        break;
    case 'M':
        c.Type = ftMemo;
        break;
    default:
        c.Type = ftUnknown;
    }
    return c;
}

class TDbaseFile : public TTableFile
{
public:
    explicit TDbaseFile(const QString &path)
    {
        Path = path;
        Name = QFileInfo(path).completeBaseName();
        Damage = RecoverJournal(path);
        if (Damage.isEmpty())
            Damage = ReadHeader();
        if (!Damage.isEmpty())
            Damage = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), Damage);
        // A code page file saying UTF-8 marks tables made here; older ones are Latin-1.
        QFile cpg(SideFile(path, "cpg"));
        m_utf8 = cpg.open(QIODevice::ReadOnly) && cpg.read(64).toUpper().contains("UTF");
    }

    QStringList Companions() const override
    {
        return SiblingFiles(Path, [](const QString &e) { return e == QLatin1String("mdx"); });
    }

    QStringList Files() const override
    {
        QStringList files {Path};
        for (const char *side : {"dbt", "cpg"})
            if (QFile::exists(SideFile(Path, side)))
                files << SideFile(Path, side);
        return files;
    }

    std::vector<TRow> Load() override
    {
        if (const QString failure = RecoverJournal(Path); !failure.isEmpty())
            throw EDatabaseError(failure + u'.');
        Places.clear();
        DBFHandle h = DBFOpen(QFile::encodeName(Path).constData(), "rb");
        if (!h)
            throw EDatabaseError(QStringLiteral("Cannot open dBASE table %1.").arg(Path));
        QByteArray memo;
        if (HasMemo()) {
            QFile dbt(SideFile(Path, "dbt"));
            if (!dbt.open(QIODevice::ReadOnly)) {
                DBFClose(h);
                throw EDatabaseError(QStringLiteral("The memo file of %1 is missing.").arg(Name));
            }
            memo = dbt.readAll();
        }
        std::vector<TRow> rows;
        const int count = DBFGetRecordCount(h);
        try {
            for (int r = 0; r < count; ++r) {
                if (DBFIsRecordDeleted(h, r))
                    continue;
                Places.push_back(r);
                TRow row(Columns.size());
                for (size_t i = 0; i < Columns.size(); ++i)
                    if (!DBFIsAttributeNULL(h, r, int(i)))
                        row[i] = Decode(Columns[i], DBFReadStringAttribute(h, r, int(i)), memo);
                rows.push_back(std::move(row));
            }
        } catch (...) {
            DBFClose(h);
            throw;
        }
        DBFClose(h);
        return rows;
    }

    TFileMoves Write(const std::vector<TRow> &rows) override
    {
        Places.clear();
        TFileMoves moves = WriteBeside(Path, QStringLiteral(".dbf"),
                                       HasMemo() ? SideFile(Path, "dbt") : QString(),
                                       [&](const QString &temp, const QString &memoTemp) {
                                           WriteTable(temp, memoTemp, rows);
                                       });
        for (size_t r = 0; r < rows.size(); ++r)
            Places.push_back(qint64(r));
        return moves;
    }

    // The changed rows are made into records by the ordinary writer, in a scratch table
    // beside this one, and their bytes copied over the old records. Memos live in the memo
    // file: a change of one needs the whole table written.
    bool WriteInPlace(const std::vector<TRowChange> &changes, TInPlaceWrite &write) override
    {
        std::vector<TRow> rows;
        for (const TRowChange &c : changes) {
            for (size_t i = 0; i < Columns.size(); ++i)
                if (Columns[i].Native == 'M' && (*c.Old)[i] != (*c.New)[i])
                    return false;
            rows.push_back(*c.New);
        }
        QByteArray scratch;
        const TFileMoves made = WriteBeside(Path, QStringLiteral(".dbf"),
                                            HasMemo() ? SideFile(Path, "dbt") : QString(),
                                            [&](const QString &temp, const QString &memoTemp) {
                                                WriteTable(temp, memoTemp, rows);
                                            });
        for (const auto &[temp, target] : made) {
            QFile f(temp);
            if (target == Path && f.open(QIODevice::ReadOnly))
                scratch = f.readAll();
            QFile::remove(temp);
        }
        QFile table(Path);
        if (scratch.size() < 32 || !table.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(Path));
        const QByteArray head = table.read(32);
        const auto *b = reinterpret_cast<const uchar *>(head.constData());
        const auto *s = reinterpret_cast<const uchar *>(scratch.constData());
        const qint64 headerLength = qFromLittleEndian<quint16>(b + 8);
        const int recordLength = qFromLittleEndian<quint16>(b + 10);
        const qint64 scratchHeader = qFromLittleEndian<quint16>(s + 8);
        if (head.size() < 32 || qFromLittleEndian<quint16>(s + 10) != recordLength
            || scratch.size() < scratchHeader + qint64(rows.size()) * recordLength)
            throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(Path));
        std::vector<TFilePatch> patches;
        for (size_t r = 0; r < changes.size(); ++r) {
            TFilePatch p {headerLength + changes[r].Place * recordLength, {}};
            if (!table.seek(p.Offset)
                || (p.Bytes = table.read(recordLength)).size() != recordLength)
                throw EDatabaseError(QStringLiteral("Cannot read %1.").arg(Path));
            // Memo block numbers stay those of the table itself.
            int offset = 1;
            for (const TFileColumn &c : Columns) {
                if (c.Native != 'M')
                    std::memcpy(p.Bytes.data() + offset,
                                scratch.constData() + scratchHeader + qint64(r) * recordLength
                                    + offset,
                                size_t(c.Width));
                offset += c.Width;
            }
            patches.push_back(std::move(p));
        }
        write.Write(Path, patches);
        return true;
    }

    bool HasMemo() const
    {
        return std::any_of(Columns.begin(), Columns.end(),
                           [](const TFileColumn &c) { return c.Native == 'M'; });
    }

    bool m_utf8 = false;

private:
    QString ReadHeader()
    {
        QFile f(Path);
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot be read");
        const QByteArray head = f.read(32);
        if (head.size() < 32)
            return QStringLiteral("the header is truncated");
        const auto *b = reinterpret_cast<const uchar *>(head.constData());
        static const QByteArray versions("\x02\x03\x04\x05\x30\x31\x43\x63\x83\x8b\xcb\xf5\xfb",
                                         13);
        if (!versions.contains(char(b[0])))
            return QStringLiteral("not a dBASE table");
        const qint64 records = qFromLittleEndian<quint32>(b + 4);
        const int headerLength = qFromLittleEndian<quint16>(b + 8);
        const int recordLength = qFromLittleEndian<quint16>(b + 10);
        if (headerLength < 65 || recordLength < 2 || headerLength > f.size())
            return QStringLiteral("the header is damaged");
        const QByteArray fields = f.read(headerLength - 32);
        int sum = 1;
        int at = 0;
        for (; at + 32 <= fields.size() && fields[at] != '\r'; at += 32) {
            const char *d = fields.constData() + at;
            const QString name = QString::fromLatin1(d, int(qstrnlen(d, 11)));
            const int width = uchar(d[16]);
            const int decimals = uchar(d[17]);
            TFileColumn c = ColumnOf(name, d[11], width, decimals);
            if (c.Type == ftUnknown)
                return QStringLiteral("field %1 has the type '%2', which is not supported")
                    .arg(name, QChar::fromLatin1(d[11]));
            if (name.isEmpty() || width == 0)
                return QStringLiteral("the header is damaged");
            sum += width;
            Columns.push_back(c);
        }
        if (at >= fields.size() || Columns.empty() || sum != recordLength)
            return QStringLiteral("the header is damaged");
        if (f.size() < headerLength + records * recordLength)
            return QStringLiteral("the file is truncated");
        if (HasMemo()) {
            QFile dbt(SideFile(Path, "dbt"));
            if (!dbt.open(QIODevice::ReadOnly) || dbt.size() < MemoBlock)
                return QStringLiteral("its memo file is missing or truncated");
            const QByteArray memoHead = dbt.read(24);
            if (b[0] == 0x8b && memoHead.size() == 24) {
                const int size = qFromLittleEndian<quint16>(memoHead.constData() + 20);
                m_memoBlock = size > 0 ? size : MemoBlock;
            }
        }
        return {};
    }

    QString Text(const char *raw) const
    {
        QByteArray bytes(raw);
        while (bytes.endsWith(' '))
            bytes.chop(1);
        return m_utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    }

    QVariant Decode(const TFileColumn &c, const char *raw, const QByteArray &memo) const
    {
        const QByteArray v = QByteArray(raw).trimmed();
        switch (c.Native) {
        case 'C':
            return Text(raw);
        case 'N':
            if (c.Decimals > 0)
                return QString::fromLatin1(v);
            return v.toLongLong();
        case 'F':
            return v.toDouble();
        case 'L':
            if (v.isEmpty() || v == "?")
                return {};
            return qlonglong(QByteArray("TtYy").contains(v[0]) ? 1 : 0);
        case 'D': {
            const QDate d = QDate::fromString(QString::fromLatin1(v), QStringLiteral("yyyyMMdd"));
            return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant();
        }
        case 'M':
            return ReadMemo(memo, v.toLongLong());
        default:
            return {};
        }
    }

    // dBASE IV blocks start with FF FF 08 00 and a length; dBASE III text ends at 1A.
    QVariant ReadMemo(const QByteArray &memo, qint64 block) const
    {
        if (block <= 0)
            return {};
        const qint64 at = block * m_memoBlock;
        if (at >= memo.size())
            throw EDatabaseError(QStringLiteral("The memo file of %1 is damaged.").arg(Name));
        QByteArray data;
        if (memo.mid(at, 4) == QByteArray("\xff\xff\x08\x00", 4)) {
            const quint32 length = qFromLittleEndian<quint32>(memo.constData() + at + 4);
            if (length < 8 || at + length > memo.size())
                throw EDatabaseError(QStringLiteral("The memo file of %1 is damaged.").arg(Name));
            data = memo.mid(at + 8, length - 8);
        } else {
            const qsizetype end = memo.indexOf('\x1a', at);
            data = memo.mid(at, end < 0 ? -1 : end - at);
        }
        return m_utf8 ? QString::fromUtf8(data) : QString::fromLatin1(data);
    }

    // Text a Latin-1 table cannot hold is refused rather than stored as question marks.
    bool Encode(const QString &text, QByteArray *bytes) const
    {
        *bytes = m_utf8 ? text.toUtf8() : text.toLatin1();
        return m_utf8 || QString::fromLatin1(*bytes) == text;
    }

    void WriteTable(const QString &temp, const QString &memoTemp, const std::vector<TRow> &rows)
    {
        DBFHandle h = DBFCreateEx(QFile::encodeName(temp).constData(), "LDID/87");
        if (!h)
            throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(temp));
        QByteArray memo(MemoBlock, '\0');
        auto fail = [&](const QString &message) {
            DBFClose(h);
            throw EDatabaseError(message);
        };
        for (const TFileColumn &c : Columns)
            if (DBFAddNativeFieldType(h, c.Name.toLatin1().constData(), c.Native, c.Width,
                                      c.Decimals)
                < 0)
                fail(QStringLiteral("Cannot write field %1.").arg(c.Name));
        for (int r = 0; r < int(rows.size()); ++r) {
            for (int i = 0; i < int(Columns.size()); ++i) {
                const TFileColumn &c = Columns[i];
                const QVariant &v = rows[r][i];
                bool ok = true;
                if (v.isNull()) {
                    ok = DBFWriteNULLAttribute(h, r, i);
                } else if (c.Native == 'C') {
                    QByteArray bytes;
                    if (!Encode(v.toString(), &bytes))
                        fail(QStringLiteral("Field %1 cannot hold the letters of '%2'.")
                                 .arg(c.Name, v.toString().left(40)));
                    if (bytes.size() > c.Width)
                        fail(QStringLiteral("Value is too long for field %1.").arg(c.Name));
                    ok = DBFWriteStringAttribute(h, r, i, bytes.constData());
                } else if (c.Native == 'L') {
                    ok = DBFWriteLogicalAttribute(h, r, i, v.toLongLong() ? 'T' : 'F');
                } else if (c.Native == 'D') {
                    // shapelib's string writer takes a date field for a number.
                    ok = WriteDirect(h, r, i, v.toString().remove(u'-').toLatin1(), c.Width);
                } else if (c.Native == 'M') {
                    const qint64 block = memo.size() / MemoBlock;
                    QByteArray data;
                    if (!Encode(v.toString(), &data))
                        fail(QStringLiteral("Field %1 cannot hold the letters of '%2'.")
                                 .arg(c.Name, v.toString().left(40)));
                    data += "\x1a\x1a";
                    data.resize((data.size() + MemoBlock - 1) / MemoBlock * MemoBlock, '\0');
                    memo += data;
                    ok = WriteDirect(h, r, i, QByteArray::number(block), c.Width);
                } else {
                    const QByteArray text = c.Native == 'F'
                        ? QByteArray::number(v.toDouble(), 'g', 15)
                        : c.Decimals > 0 ? FixedDecimals(v.toString(), c.Decimals).toLatin1()
                                         : QByteArray::number(v.toLongLong());
                    if (text.size() > c.Width)
                        fail(QStringLiteral("Value %1 does not fit field %2.")
                                 .arg(QString::fromLatin1(text), c.Name));
                    ok = WriteDirect(h, r, i, text, c.Width);
                }
                if (!ok)
                    fail(QStringLiteral("Cannot write field %1.").arg(c.Name));
            }
        }
        DBFClose(h);
        if (HasMemo()) {
            // A dBASE III table with memos carries 0x83; the memo header holds the next block.
            QFile table(temp);
            if (!table.open(QIODevice::ReadWrite) || !table.putChar('\x83'))
                throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(temp));
            qToLittleEndian<quint32>(quint32(memo.size() / MemoBlock), memo.data());
            QFile out(memoTemp);
            if (!out.open(QIODevice::WriteOnly) || out.write(memo) != memo.size() || !out.flush())
                throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(memoTemp));
        }
    }

    static bool WriteDirect(DBFHandle h, int r, int i, const QByteArray &text, int width)
    {
        QByteArray field = text.rightJustified(width, ' ');
        return DBFWriteAttributeDirectly(h, r, i, field.data());
    }

    int m_memoBlock = MemoBlock;
};

} // namespace

std::unique_ptr<TTableFile> TDbaseFormat::Open(const QString &path)
{
    return std::make_unique<TDbaseFile>(path);
}

TFileColumn TDbaseFormat::ColumnFor(const QString &name, const QString &declaration)
{
    if (name.toLatin1().size() > 10 || name.toLatin1() != name.toUtf8())
        throw EDatabaseError(QStringLiteral("dBASE field names have at most 10 plain "
                                            "characters: %1")
                                 .arg(name));
    static const QRegularExpression precision(QStringLiteral(R"(\(\s*(\d+)\s*(?:,\s*(\d+))?)"));
    const auto m = precision.match(declaration);
    int size = 0;
    switch (FieldTypeFromDeclaration(declaration, &size)) {
    case ftString:
        if (size > 254)
            throw EDatabaseError(
                QStringLiteral("dBASE character fields hold at most 254 characters: %1").arg(name));
        return ColumnOf(name, 'C', size, 0);
    case ftSmallint:
        return ColumnOf(name, 'N', 6, 0);
    case ftInteger:
    case ftAutoInc:
    case ftWord:
        return ColumnOf(name, 'N', 11, 0);
    case ftLargeint:
        return ColumnOf(name, 'N', 20, 0);
    case ftBoolean:
        return ColumnOf(name, 'L', 1, 0);
    case ftFloat:
        return ColumnOf(name, 'F', 20, 0);
    case ftCurrency:
        return ColumnOf(name, 'N', 20, 4);
    case ftBCD: {
        const int digits = m.hasMatch() ? m.captured(1).toInt() : 18;
        const int decimals = m.captured(2).toInt();
        if (digits < 1 || digits > 18 || decimals > digits)
            throw EDatabaseError(
                QStringLiteral("dBASE numbers have at most 18 digits: %1").arg(name));
        return ColumnOf(name, 'N', digits + 2, decimals);
    }
    case ftDate:
        return ColumnOf(name, 'D', 8, 0);
    case ftMemo:
        return ColumnOf(name, 'M', 10, 0);
    default:
        throw EDatabaseError(
            QStringLiteral("dBASE tables have no field type like %1 (field %2).")
                .arg(declaration.isEmpty() ? QStringLiteral("(none)") : declaration, name));
    }
}

void TDbaseFormat::Create(const QString &path, const std::vector<TFileColumn> &columns, int)
{
    if (columns.empty())
        throw EDatabaseError(QStringLiteral("A table needs at least one field."));
    // New tables keep their text as UTF-8 and say so in a code page file.
    QSaveFile cpg(SideFile(path, "cpg"));
    if (!cpg.open(QIODevice::WriteOnly) || cpg.write("UTF-8\n") < 0 || !cpg.commit())
        throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(cpg.fileName()));
    TDbaseFile file(path);
    file.Columns = columns;
    file.Damage.clear();
    file.m_utf8 = true;
    try {
        file.Save({});
    } catch (...) {
        QFile::remove(SideFile(path, "cpg"));
        throw;
    }
}
