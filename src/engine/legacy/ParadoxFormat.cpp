#include "ParadoxFormat.h"
#include "EngineError.h"
#include "ParadoxBlob.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
extern "C" {
#include <paradox.h>
}

namespace {

constexpr long SdnOfDayZero = 1721425; // pxlib's day numbers count from 1 January 1

QString SideFile(const QString &path, const char *extension)
{
    const QFileInfo info(path);
    const QString base = info.absolutePath() + u'/' + info.completeBaseName() + u'.';
    const QString lower = base + QLatin1String(extension);
    const QString upper = base + QString::fromLatin1(extension).toUpper();
    return !QFile::exists(lower) && QFile::exists(upper) ? upper : lower;
}

// pxlib reports through a handler; the last error becomes the exception's text.
struct TPxErrors
{
    QString last;
};

void OnPxError(pxdoc_t *, int level, const char *message, void *data)
{
    if (level != PX_Warning && data)
        static_cast<TPxErrors *>(data)->last = QString::fromLocal8Bit(message);
}

// One pxlib document, closed and freed on every path.
class TPxDoc
{
public:
    TPxDoc()
        : m_doc(PX_new3(OnPxError, nullptr, nullptr, nullptr, &m_errors))
    {
        if (!m_doc)
            throw EDatabaseError(QStringLiteral("pxlib could not start."));
    }
    ~TPxDoc()
    {
        Close();
        PX_delete(m_doc);
        if (m_fp)
            std::fclose(m_fp);
    }
    TPxDoc(const TPxDoc &) = delete;
    TPxDoc &operator=(const TPxDoc &) = delete;

    // Writes what pxlib still holds; closing twice is harmless.
    void Close()
    {
        if (!m_closed)
            PX_close(m_doc);
        m_closed = true;
    }

    pxdoc_t *operator->() const { return m_doc; }
    operator pxdoc_t *() const { return m_doc; }

    // Reads only: pxlib's own open asks for write access.
    void OpenRead(const QString &path)
    {
        m_fp = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (!m_fp)
            throw EDatabaseError(QStringLiteral("Cannot open %1.").arg(path));
        if (PX_open_fp(m_doc, m_fp) < 0)
            Fail(QStringLiteral("Cannot read %1").arg(path));
    }

    [[noreturn]] void Fail(const QString &what) const
    {
        throw EDatabaseError(m_errors.last.isEmpty() ? what + u'.'
                                                     : what + QStringLiteral(": ") + m_errors.last);
    }

    void Free(void *p) const
    {
        if (p)
            m_doc->free(m_doc, p);
    }

private:
    TPxErrors m_errors;
    pxdoc_t *m_doc;
    FILE *m_fp = nullptr;
    bool m_closed = false;
};

TFieldType TypeOf(int native)
{
    switch (native) {
    case pxfAlpha:
        return ftString;
    case pxfDate:
        return ftDate;
    case pxfShort:
        return ftSmallint;
    case pxfLong:
        return ftInteger;
    case pxfCurrency:
        return ftCurrency;
    case pxfNumber:
        return ftFloat;
    case pxfLogical:
        return ftBoolean;
    case pxfMemoBLOb:
        return ftMemo;
    case pxfBLOb:
        return ftBlob;
    case pxfFmtMemoBLOb:
        return ftFmtMemo;
    case pxfOLE:
        return ftParadoxOle;
    case pxfGraphic:
        return ftGraphic;
    case pxfTime:
        return ftTime;
    case pxfTimestamp:
        return ftDateTime;
    case pxfAutoInc:
        return ftAutoInc;
    case pxfBCD:
        return ftBCD;
    case pxfBytes:
        return ftBytes;
    default:
        return ftUnknown;
    }
}

bool IsBlob(int native)
{
    return native == pxfMemoBLOb || native == pxfBLOb || native == pxfFmtMemoBLOb
        || native == pxfOLE || native == pxfGraphic;
}

// Whether a field of the type can be as wide as a header says. pxlib copies the fixed
// types into buffers of their own size, so a wider one overran its stack, and the last
// ten bytes of a blob field locate its blob.
bool WidthFits(int native, int width)
{
    switch (native) {
    case pxfLogical:
        return width == 1;
    case pxfShort:
        return width == 2;
    case pxfLong:
    case pxfAutoInc:
    case pxfDate:
    case pxfTime:
        return width == 4;
    case pxfCurrency:
    case pxfNumber:
    case pxfTimestamp:
        return width == 8;
    case pxfBCD:
        return width == 17;
    default:
        return width >= (IsBlob(native) ? 10 : 1) && width <= 255;
    }
}

TFileColumn ColumnOf(const QString &name, int native, int width, int decimals)
{
    TFileColumn c;
    c.Name = name;
    c.Native = char(native);
    c.Width = width;
    c.Decimals = decimals;
    c.Type = TypeOf(native);
    if (native == pxfAlpha || native == pxfBytes)
        c.Size = width;
    else if (native == pxfBCD)
        c.Size = decimals;
    return c;
}

QVariant DateText(long days)
{
    int y = 0, m = 0, d = 0;
    PX_SdnToGregorian(days + SdnOfDayZero, &y, &m, &d);
    const QDate date(y, m, d);
    return date.isValid() ? QVariant(date.toString(Qt::ISODate)) : QVariant();
}

long DayNumber(const QDate &date)
{
    return PX_GregorianToSdn(date.year(), date.month(), date.day()) - SdnOfDayZero;
}

class TParadoxFile : public TTableFile
{
public:
    explicit TParadoxFile(const QString &path)
    {
        Path = path;
        Name = QFileInfo(path).completeBaseName();
        try {
            if (const QString failure = RecoverJournal(path); !failure.isEmpty())
                throw EDatabaseError(failure);
            ReadHeader();
        } catch (const EDatabaseError &e) {
            Columns.clear();
            KeyFields = 0;
            Damage = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), e.Message());
        }
    }

    // Validity checks, table view settings and secondary indexes (.Xnn, .Ynn, .XGn, .YGn).
    QStringList Companions() const override
    {
        return SiblingFiles(Path, [](const QString &e) {
            static const QRegularExpression index(QStringLiteral("^[xy]g?[0-9a-f]{1,2}$"));
            return e == QLatin1String("val") || e == QLatin1String("tv")
                || e == QLatin1String("fam") || index.match(e).hasMatch();
        });
    }

    QStringList Files() const override
    {
        QStringList files {Path};
        for (const char *side : {"mb", "px"})
            if (QFile::exists(SideFile(Path, side)))
                files << SideFile(Path, side);
        return files;
    }

    std::vector<TRow> Load() override
    {
        if (const QString failure = RecoverJournal(Path); !failure.isEmpty())
            throw EDatabaseError(failure + u'.');
        Places.clear();
        TPxDoc doc;
        doc.OpenRead(Path);
        PX_set_targetencoding(doc, "UTF-8");
        // pxlib's own blob reader breaks on the files it writes: memos are read here.
        m_blobs.clear();
        if (HasBlobs()) {
            QFile mb(SideFile(Path, "mb"));
            if (mb.exists() && !mb.open(QIODevice::ReadOnly))
                throw EDatabaseError(QStringLiteral("Cannot read the memo file of %1.").arg(Name));
            m_blobs = mb.readAll();
        }
        const int count = PX_get_num_records(doc);
        QByteArray record(PX_get_recordsize(doc), '\0');
        std::vector<TRow> rows;
        rows.reserve(count);
        for (int r = 0; r < count; ++r) {
            int deleted = 0;
            pxdatablockinfo_t info;
            if (!PX_get_record2(doc, r, record.data(), &deleted, &info))
                doc.Fail(QStringLiteral("Cannot read record %1 of %2").arg(r + 1).arg(Name));
            if (deleted)
                continue;
            Places.push_back(info.recordpos);
            TRow row(Columns.size());
            int offset = 0;
            for (size_t i = 0; i < Columns.size(); ++i) {
                row[i] = Decode(doc, Columns[i], record.data() + offset);
                offset += Columns[i].Width;
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    TFileMoves Write(const std::vector<TRow> &rows) override
    {
        Places.clear();
        return WriteBeside(Path, QString(), HasBlobs() ? SideFile(Path, "mb") : QString(),
                           [&](const QString &temp, const QString &blobTemp) {
                               WriteFiles(temp, blobTemp, rows);
                           });
    }

    void Commit(const TFileMoves &moves) override
    {
        ReplaceFiles(moves);
        // A primary index file of the old rows would now point at the wrong records.
        if (QFile::exists(SideFile(Path, "px")))
            QFile::remove(SideFile(Path, "px"));
    }

    // Keys decide a record's place in a keyed table, and blobs live in the memo file: a
    // change of either needs the whole table written.
    bool WriteInPlace(const std::vector<TRowChange> &changes, TInPlaceWrite &write) override
    {
        for (const TRowChange &c : changes)
            for (size_t i = 0; i < Columns.size(); ++i)
                if ((int(i) < KeyFields || IsBlob(uchar(Columns[i].Native)))
                    && (*c.Old)[i] != (*c.New)[i])
                    return false;
        TPxDoc doc;
        doc.OpenRead(Path);
        PX_set_inputencoding(doc, "UTF-8");
        PX_set_targetencoding(doc, "UTF-8");
        QFile file(Path);
        if (!file.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("Cannot read %1.").arg(Path));
        const int recordSize = PX_get_recordsize(doc);
        std::vector<TFilePatch> patches;
        for (const TRowChange &c : changes) {
            TFilePatch p {c.Place, {}};
            if (!file.seek(c.Place) || (p.Bytes = file.read(recordSize)).size() != recordSize)
                throw EDatabaseError(QStringLiteral("Cannot read %1.").arg(Path));
            int offset = 0;
            for (size_t i = 0; i < Columns.size(); ++i) {
                if ((*c.Old)[i] != (*c.New)[i]) {
                    std::memset(p.Bytes.data() + offset, 0, size_t(Columns[i].Width));
                    Encode(doc, Columns[i], p.Bytes.data() + offset, (*c.New)[i]);
                }
                offset += Columns[i].Width;
            }
            patches.push_back(std::move(p));
        }
        write.Write(Path, patches);
        return true;
    }

    bool HasBlobs() const
    {
        return std::any_of(Columns.begin(), Columns.end(),
                           [](const TFileColumn &c) { return IsBlob(uchar(c.Native)); });
    }

private:
    QByteArray m_blobs; // the memo file while the rows are read

    // The header is checked before pxlib sees it: pxlib trusts block numbers and sizes.
    void ReadHeader()
    {
        QFile f(Path);
        if (!f.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("cannot be read"));
        const QByteArray head = f.read(0x58);
        if (head.size() < 0x58)
            throw EDatabaseError(QStringLiteral("the header is truncated"));
        const auto *b = reinterpret_cast<const uchar *>(head.constData());
        const int recordSize = qFromLittleEndian<quint16>(b);
        const int headerSize = qFromLittleEndian<quint16>(b + 2);
        const int fileType = b[4];
        const int blockSize = b[5] * 0x400;
        const qint64 records = qFromLittleEndian<quint32>(b + 6);
        const qint64 blocks = qFromLittleEndian<quint16>(b + 12);
        const int fields = qFromLittleEndian<quint16>(b + 0x21);
        const bool blockOk = b[5] == 1 || b[5] == 2 || b[5] == 3 || b[5] == 4 || b[5] == 8
            || b[5] == 16 || b[5] == 32;
        if ((fileType != pxfFileTypIndexDB && fileType != pxfFileTypNonIndexDB) || !blockOk
            || recordSize <= 0 || headerSize < 0x58 || headerSize % 0x800 != 0 || fields <= 0
            || fields > 255)
            throw EDatabaseError(QStringLiteral("not a Paradox table"));
        if (f.size() < headerSize + blocks * blockSize)
            throw EDatabaseError(QStringLiteral("the file is truncated"));
        if (records > blocks * ((blockSize - 6) / recordSize))
            throw EDatabaseError(QStringLiteral("the header is damaged"));
        // pxlib would decrypt the blocks with this key and, without the password, follow
        // their scrambled chain without end: such a table is refused before pxlib sees it.
        // The key is where pxlib looks for it: in the header, or in the data header when
        // the header holds the marker 0xFF00FF00. pxlib reads the data header only for the
        // versions 4.0 to 7 it knows (5 to 12); for others it would take the key from memory
        // it never wrote.
        quint32 key = qFromLittleEndian<quint32>(b + 0x25);
        if (key == 0xFF00FF00u) {
            const QByteArray more = f.read(0x60 - 0x58);
            const int version = uchar(head[0x39]);
            if (version < 5 || version > 12 || more.size() != 8)
                throw EDatabaseError(QStringLiteral("the header is damaged"));
            key = qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(more.constData()) + 4);
        }
        if (key != 0)
            throw EDatabaseError(QStringLiteral("the table is encrypted, which is not supported"));
        // pxlib follows the chain of data blocks as it stands: a chain that leaves the file,
        // comes back on itself or holds other records than the header counts would send it
        // round without end.
        std::vector<bool> visited(size_t(blocks) + 1);
        qint64 counted = 0;
        for (qint64 block = qFromLittleEndian<quint16>(b + 0x0e); block != 0;) {
            QByteArray head; // the next block, the previous one, the offset of the last record
            if (block > blocks || visited[size_t(block)]
                || !f.seek(headerSize + (block - 1) * blockSize) || (head = f.read(6)).size() != 6)
                throw EDatabaseError(QStringLiteral("the chain of data blocks is damaged"));
            visited[size_t(block)] = true;
            const auto *h = reinterpret_cast<const uchar *>(head.constData());
            // Counted as pxlib counts them: a block of the chain holds at least one record.
            const int last = qFromLittleEndian<quint16>(h + 4);
            if (last >= blockSize - 6)
                throw EDatabaseError(QStringLiteral("the chain of data blocks is damaged"));
            counted += last / recordSize + 1;
            block = qFromLittleEndian<quint16>(h);
        }
        if (counted != records)
            throw EDatabaseError(QStringLiteral("the header is damaged"));
        f.close();

        TPxDoc doc;
        doc.OpenRead(Path);
        int sum = 0;
        for (int i = 0; i < PX_get_num_fields(doc); ++i) {
            const pxfield_t *pf = PX_get_field(doc, i);
            const int type = uchar(pf->px_ftype);
            const QString name = QString::fromLatin1(pf->px_fname ? pf->px_fname : "");
            if (TypeOf(type) == ftUnknown || pf->px_flen <= 0)
                throw EDatabaseError(QStringLiteral("field %1 has an unknown type").arg(name));
            if (!WidthFits(type, pf->px_flen))
                throw EDatabaseError(
                    QStringLiteral("field %1 cannot be %2 bytes wide").arg(name).arg(pf->px_flen));
            Columns.push_back(ColumnOf(name, type, pf->px_flen, pf->px_fdc));
            sum += pf->px_flen;
        }
        if (sum != recordSize || int(Columns.size()) != fields)
            throw EDatabaseError(QStringLiteral("the header is damaged"));
        KeyFields = doc->px_head->px_filetype == pxfFileTypIndexDB
            ? qBound(0, doc->px_head->px_primarykeyfields, fields)
            : 0;
    }

    QVariant Decode(TPxDoc &doc, const TFileColumn &c, char *data)
    {
        const int type = uchar(c.Native);
        switch (type) {
        case pxfAlpha: {
            char *value = nullptr;
            if (PX_get_data_alpha(doc, data, c.Width, &value) <= 0 || !value)
                return {};
            const QString text = QString::fromUtf8(value);
            doc.Free(value);
            return text;
        }
        case pxfShort: {
            short v = 0;
            return PX_get_data_short(doc, data, c.Width, &v) > 0 ? QVariant(qlonglong(v))
                                                                 : QVariant();
        }
        case pxfLong:
        case pxfAutoInc:
        case pxfDate:
        case pxfTime: {
            // Read here: pxlib's reader looks at eight bytes of this four-byte field.
            const quint32 raw = qFromBigEndian<quint32>(data);
            if (raw == 0)
                return {};
            const qint32 v = qint32(raw ^ 0x80000000u);
            if (type == pxfDate)
                return DateText(v);
            if (type == pxfTime)
                return QTime::fromMSecsSinceStartOfDay(int(v % 86400000))
                    .toString(QStringLiteral("HH:mm:ss"));
            return qlonglong(v);
        }
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp: {
            double v = 0;
            if (PX_get_data_double(doc, data, c.Width, &v) <= 0)
                return {};
            if (type != pxfTimestamp)
                return v;
            const qint64 ms = qint64(std::llround(v));
            const QVariant date = DateText(long(ms / 86400000));
            if (date.isNull())
                return {};
            return date.toString() + u' '
                + QTime::fromMSecsSinceStartOfDay(int(ms % 86400000))
                      .toString(QStringLiteral("HH:mm:ss"));
        }
        case pxfLogical: {
            char v = 0;
            return PX_get_data_byte(doc, data, c.Width, &v) > 0 ? QVariant(qlonglong(v ? 1 : 0))
                                                                : QVariant();
        }
        case pxfBCD: {
            char *value = nullptr;
            // pxlib may allocate the text also when it reports an empty or bad value.
            const int got
                = PX_get_data_bcd(doc, reinterpret_cast<unsigned char *>(data), c.Decimals, &value);
            const QString text = got > 0 && value ? QString::fromLatin1(value) : QString();
            if (value)
                doc.Free(value);
            if (got <= 0 || !value)
                return {};
            return text;
        }
        case pxfBytes: {
            char *value = nullptr;
            const int got = PX_get_data_bytes(doc, data, c.Width, &value);
            const QByteArray bytes = got > 0 && value ? QByteArray(value, c.Width) : QByteArray();
            if (value)
                doc.Free(value);
            if (got <= 0 || !value)
                return {};
            return bytes;
        }
        default: { // memos and blobs
            bool present = false;
            const QByteArray bytes
                = ReadParadoxBlob(m_blobs, data, c.Width, type == pxfGraphic, &present, Name);
            if (!present)
                return {};
            if (type == pxfMemoBLOb || type == pxfFmtMemoBLOb)
                return QString::fromLatin1(bytes);
            return bytes;
        }
        }
    }

    void WriteFiles(const QString &temp, const QString &blobTemp, const std::vector<TRow> &source)
    {
        // A keyed table is kept in key order.
        std::vector<const TRow *> rows;
        for (const TRow &r : source)
            rows.push_back(&r);
        if (KeyFields > 0)
            std::stable_sort(rows.begin(), rows.end(), [&](const TRow *a, const TRow *b) {
                for (int k = 0; k < KeyFields; ++k) {
                    const QPartialOrdering o = QVariant::compare((*a)[k], (*b)[k]);
                    if (o == QPartialOrdering::Less)
                        return true;
                    if (o == QPartialOrdering::Greater)
                        return false;
                }
                return false;
            });

        // pxlib rewrites the header after every record: the table is built in memory and
        // written in one go. A record takes at most twice its size in a block.
        int recordSize = 0;
        for (const TFileColumn &col : Columns)
            recordSize += col.Width;
        const qint64 bound = 0x10000 + 0x8000 + (qint64(rows.size()) + 2) * (2 * recordSize + 16);
        QByteArray image(bound, '\0');
        std::unique_ptr<FILE, int (*)(FILE *)> memory(
            fmemopen(image.data(), size_t(image.size()), "w+"), std::fclose);
        // The document comes after its memory file: when a value is refused, closing it still
        // writes into that file, which must then be open.
        TPxDoc doc;
        const int n = int(Columns.size());
        auto *fields = static_cast<pxfield_t *>(doc->malloc(doc, sizeof(pxfield_t) * n, "fields"));
        if (!fields)
            throw EDatabaseError(QStringLiteral("Out of memory."));
        for (int i = 0; i < n; ++i) {
            fields[i].px_fname = PX_strdup(doc, Columns[i].Name.toLatin1().constData());
            fields[i].px_ftype = Columns[i].Native;
            fields[i].px_flen = Columns[i].Width;
            fields[i].px_fdc = Columns[i].Decimals;
        }
        if (!memory
            || PX_create_fp(doc, fields, n, memory.get(),
                            KeyFields > 0 ? pxfFileTypIndexDB : pxfFileTypNonIndexDB)
                < 0)
            doc.Fail(QStringLiteral("Cannot write %1").arg(temp));
        if (KeyFields > 0)
            PX_set_value(doc, "numprimkeys", float(KeyFields));
        PX_set_tablename(doc, Name.toLatin1().constData());
        PX_set_inputencoding(doc, "UTF-8");
        PX_set_targetencoding(doc, "UTF-8");
        if (!blobTemp.isEmpty()
            && PX_set_blob_file(doc, QFile::encodeName(blobTemp).constData()) < 0)
            doc.Fail(QStringLiteral("Cannot write %1").arg(blobTemp));

        QByteArray record(PX_get_recordsize(doc), '\0');
        for (const TRow *row : rows) {
            record.fill('\0');
            int offset = 0;
            for (int i = 0; i < n; ++i) {
                Encode(doc, Columns[i], record.data() + offset, (*row)[i]);
                offset += Columns[i].Width;
            }
            if (PX_put_record(doc, record.data()) < 0)
                doc.Fail(QStringLiteral("Cannot write %1").arg(Name));
        }
        doc.Close();
        if (std::fflush(memory.get()) != 0 || std::fseek(memory.get(), 0, SEEK_END) != 0)
            throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(temp));
        const long size = std::ftell(memory.get());
        if (size > 0 && size < bound) {
            const std::vector<qint64> sorted = RecordPlaces(image, size);
            if (sorted.size() == rows.size()) {
                Places.assign(rows.size(), 0);
                for (size_t i = 0; i < rows.size(); ++i)
                    Places[size_t(rows[i] - source.data())] = sorted[i];
            }
        }
        QFile out(temp);
        if (size <= 0 || size >= bound || !out.open(QIODevice::WriteOnly)
            || out.write(image.constData(), size) != size || !out.flush())
            throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(temp));
    }

    // The file offsets of the records of a table image, in the order of its block chain;
    // empty when the chain is not sound.
    static std::vector<qint64> RecordPlaces(const QByteArray &image, qint64 size)
    {
        const auto *b = reinterpret_cast<const uchar *>(image.constData());
        const int recordSize = qFromLittleEndian<quint16>(b);
        const qint64 headerSize = qFromLittleEndian<quint16>(b + 2);
        const qint64 blockSize = qint64(b[5]) * 0x400;
        const int fileBlocks = qFromLittleEndian<quint16>(b + 0x0c);
        std::vector<qint64> places;
        int block = qFromLittleEndian<quint16>(b + 0x0e);
        for (int seen = 0; block != 0 && seen < fileBlocks; ++seen) {
            const qint64 at = headerSize + (block - 1) * blockSize;
            if (at < headerSize || at + blockSize > size)
                return {};
            const int last = qFromLittleEndian<qint16>(b + at + 4);
            for (int r = 0; last >= 0 && r <= last / recordSize; ++r)
                places.push_back(at + 6 + qint64(r) * recordSize);
            block = qFromLittleEndian<quint16>(b + at);
        }
        return places;
    }

    void Encode(TPxDoc &doc, const TFileColumn &c, char *data, const QVariant &v)
    {
        if (v.isNull())
            return; // pxlib reads an all-zero field as empty
        const int type = uchar(c.Native);
        switch (type) {
        case pxfAlpha: {
            QByteArray text = v.toString().toUtf8();
            PX_put_data_alpha(doc, data, c.Width, text.data());
            // Check what came back: text the table's code page cannot hold must not be lost.
            char *back = nullptr;
            PX_get_data_alpha(doc, data, c.Width, &back);
            if (!back || QByteArray(back) != text) {
                doc.Free(back);
                throw EDatabaseError(QStringLiteral("Value does not fit field %1.").arg(c.Name));
            }
            doc.Free(back);
            break;
        }
        case pxfShort:
            PX_put_data_short(doc, data, c.Width, short(v.toLongLong()));
            break;
        case pxfLong:
        case pxfAutoInc:
            PX_put_data_long(doc, data, c.Width, int(v.toLongLong()));
            break;
        case pxfDate:
            PX_put_data_long(doc, data, c.Width,
                             int(DayNumber(QDate::fromString(v.toString(), Qt::ISODate))));
            break;
        case pxfTime:
            PX_put_data_long(doc, data, c.Width,
                             QTime::fromString(v.toString(), Qt::ISODate).msecsSinceStartOfDay());
            break;
        case pxfNumber:
        case pxfCurrency:
            PX_put_data_double(doc, data, c.Width, v.toDouble());
            break;
        case pxfTimestamp: {
            const QDateTime dt
                = QDateTime::fromString(QString(v.toString()).replace(u' ', u'T'), Qt::ISODate);
            PX_put_data_double(doc, data, c.Width,
                               double(DayNumber(dt.date())) * 86400000.0
                                   + dt.time().msecsSinceStartOfDay());
            break;
        }
        case pxfLogical:
            PX_put_data_byte(doc, data, c.Width, v.toLongLong() ? 1 : 0);
            break;
        case pxfBCD: {
            // 32 digits in all, c.Decimals of them after the point.
            QByteArray text = FixedDecimals(v.toString(), c.Decimals).toLatin1();
            const qsizetype dot = text.indexOf('.');
            const QByteArray whole = (dot < 0 ? text : text.left(dot)).replace("-", "");
            if (whole.size() > 32 - c.Decimals)
                throw EDatabaseError(
                    QStringLiteral("Value %1 does not fit field %2.").arg(v.toString(), c.Name));
            PX_put_data_bcd(doc, data, c.Decimals, text.data());
            break;
        }
        case pxfBytes: {
            QByteArray bytes = v.toByteArray().leftJustified(c.Width, '\0', true);
            PX_put_data_bytes(doc, data, c.Width, bytes.data());
            break;
        }
        default: {
            QByteArray bytes = v.toByteArray();
            if (v.typeId() == QMetaType::QString) { // memo text is kept in the table's code page
                bytes = v.toString().toLatin1();
                if (QString::fromLatin1(bytes) != v.toString())
                    throw EDatabaseError(
                        QStringLiteral("Value does not fit field %1.").arg(c.Name));
            }
            if (bytes.isEmpty())
                return;
            if (PX_put_data_blob(doc, data, c.Width, bytes.data(), int(bytes.size())) < 0)
                doc.Fail(QStringLiteral("Cannot write field %1").arg(c.Name));
        }
        }
    }
};

} // namespace

std::unique_ptr<TTableFile> TParadoxFormat::Open(const QString &path)
{
    return std::make_unique<TParadoxFile>(path);
}

TFileColumn TParadoxFormat::ColumnFor(const QString &name, const QString &declaration)
{
    if (name.size() > 25 || name.toLatin1() != name.toUtf8())
        throw EDatabaseError(
            QStringLiteral("Paradox field names have at most 25 plain characters: %1").arg(name));
    static const QRegularExpression precision(QStringLiteral(R"(\(\s*(\d+)\s*(?:,\s*(\d+))?)"));
    const auto m = precision.match(declaration);
    int size = 0;
    const TFieldType type = FieldTypeFromDeclaration(declaration, &size);
    switch (type) {
    case ftString:
        if (size < 1 || size > 255)
            throw EDatabaseError(
                QStringLiteral("Paradox alpha fields hold 1 to 255 characters: %1").arg(name));
        return ColumnOf(name, pxfAlpha, size, 0);
    case ftSmallint:
        return ColumnOf(name, pxfShort, 2, 0);
    case ftInteger:
    case ftWord:
        return ColumnOf(name, pxfLong, 4, 0);
    case ftAutoInc:
        return ColumnOf(name, pxfAutoInc, 4, 0);
    case ftFloat:
        return ColumnOf(name, pxfNumber, 8, 0);
    case ftCurrency:
        return ColumnOf(name, pxfCurrency, 8, 0);
    case ftBCD: {
        const int decimals = m.captured(2).toInt();
        if (decimals > 32)
            throw EDatabaseError(
                QStringLiteral("Paradox BCD fields have at most 32 decimals: %1").arg(name));
        return ColumnOf(name, pxfBCD, 17, decimals);
    }
    case ftDate:
        return ColumnOf(name, pxfDate, 4, 0);
    case ftTime:
        return ColumnOf(name, pxfTime, 4, 0);
    case ftDateTime:
        return ColumnOf(name, pxfTimestamp, 8, 0);
    case ftBoolean:
        return ColumnOf(name, pxfLogical, 1, 0);
    case ftMemo:
        return ColumnOf(name, pxfMemoBLOb, 11, 0);
    case ftBlob:
        return ColumnOf(name, pxfBLOb, 11, 0);
    case ftGraphic:
        return ColumnOf(name, pxfGraphic, 11, 0);
    default:
        break;
    }
    static const QRegularExpression bytes(QStringLiteral(R"(^\s*BYTES\s*\(\s*(\d+)\s*\)\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (const auto b = bytes.match(declaration); b.hasMatch()) {
        const int n = b.captured(1).toInt();
        if (n < 1 || n > 255)
            throw EDatabaseError(
                QStringLiteral("Paradox bytes fields hold 1 to 255 bytes: %1").arg(name));
        return ColumnOf(name, pxfBytes, n, 0);
    }
    throw EDatabaseError(
        QStringLiteral("Paradox tables have no field type like %1 (field %2).")
            .arg(declaration.isEmpty() ? QStringLiteral("(none)") : declaration, name));
}

void TParadoxFormat::Create(const QString &path, const std::vector<TFileColumn> &columns,
                            int keyFields)
{
    if (columns.empty())
        throw EDatabaseError(QStringLiteral("A table needs at least one field."));
    TParadoxFile file(path);
    file.Columns = columns;
    file.KeyFields = keyFields;
    file.Damage.clear();
    file.Save({});
}
