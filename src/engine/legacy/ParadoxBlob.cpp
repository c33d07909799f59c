#include "ParadoxBlob.h"
#include "EngineError.h"

#include <QtEndian>

// The field's last ten bytes locate the blob: block offset and index, size, and a
// modification number. A blob no longer than the field's leader is kept in the record.
QByteArray ReadParadoxBlob(const QByteArray &memoFile, const char *data, int width, bool graphic,
                           bool *present, const QString &table)
{
    const int leader = width - 10;
    const auto *tail = reinterpret_cast<const uchar *>(data + leader);
    const quint32 where = qFromLittleEndian<quint32>(tail);
    const qint64 stored = qFromLittleEndian<quint32>(tail + 4);
    const qint64 size = graphic ? stored - 8 : stored;
    *present = size > 0;
    if (size <= 0)
        return {};
    if (size <= leader)
        return QByteArray(data, int(size));
    auto damaged = [&] {
        return EDatabaseError(QStringLiteral("The memo file of %1 is damaged.").arg(table));
    };
    const qint64 offset = where & 0xffffff00u;
    const int index = int(where & 0xff);
    const qint64 total = memoFile.size();
    if (offset == 0 || offset + 12 > total)
        throw damaged();
    const auto *block = reinterpret_cast<const uchar *>(memoFile.constData() + offset);
    if (block[0] == 2) {
        const int head = graphic ? 17 : 9;
        if (index != 0xff || qFromLittleEndian<quint32>(block + 3) != stored
            || offset + head + size > total)
            throw damaged();
        return memoFile.mid(offset + head, size);
    }
    if (block[0] == 3 && index < 64 && offset + 12 + index * 5 + 5 <= total) {
        const uchar *p = block + 12 + index * 5;
        const qint64 start = offset + p[0] * 16;
        if ((p[1] - 1) * 16 + p[4] != stored || start + stored > total)
            throw damaged();
        return memoFile.mid(start + (graphic ? 8 : 0), size);
    }
    throw damaged();
}
