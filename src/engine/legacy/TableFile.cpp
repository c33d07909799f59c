#include "TableFile.h"
#include "EngineError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>

QString TTableFile::Stamp() const
{
    QString stamp;
    // Every write renames a new file into place, so the inode tells it even when size
    // and time happen to stay the same.
    for (const QString &f : Files()) {
        struct stat st
        {
        };
        if (::stat(QFile::encodeName(f).constData(), &st) == 0)
            stamp += QStringLiteral("%1:%2:%3:%4.%5;")
                         .arg(f)
                         .arg(qulonglong(st.st_ino))
                         .arg(qlonglong(st.st_size))
                         .arg(qlonglong(st.st_mtim.tv_sec))
                         .arg(qlonglong(st.st_mtim.tv_nsec));
    }
    return stamp;
}

QStringList SiblingFiles(const QString &path, bool (*keep)(const QString &extension))
{
    const QFileInfo info(path);
    QStringList files;
    const QFileInfoList entries = info.dir().entryInfoList(QDir::Files);
    for (const QFileInfo &e : entries)
        if (e.completeBaseName().compare(info.completeBaseName(), Qt::CaseInsensitive) == 0
            && e.absoluteFilePath() != info.absoluteFilePath() && keep(e.suffix().toLower()))
            files << e.absoluteFilePath();
    return files;
}

QString SiblingTempPath(const QString &path)
{
    static int counter = 0;
    const QFileInfo info(path);
    return info.absolutePath()
        + QStringLiteral("/.%1.%2-%3.tmp")
              .arg(info.fileName())
              .arg(QCoreApplication::applicationPid())
              .arg(++counter);
}

TFileMoves
WriteBeside(const QString &path, const QString &tempSuffix, const QString &sideTarget,
            const std::function<void(const QString &temp, const QString &sideTemp)> &write)
{
    const QString temp = SiblingTempPath(path) + tempSuffix;
    const QString sideTemp = sideTarget.isEmpty() ? QString() : SiblingTempPath(path);
    try {
        write(temp, sideTemp);
    } catch (...) {
        QFile::remove(temp);
        if (!sideTemp.isEmpty())
            QFile::remove(sideTemp);
        throw;
    }
    TFileMoves moves;
    if (!sideTemp.isEmpty())
        moves << qMakePair(sideTemp, sideTarget);
    moves << qMakePair(temp, path);
    return moves;
}

void ReplaceFiles(const TFileMoves &tempAndTarget)
{
    for (const auto &[temp, target] : tempAndTarget) {
        if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData())
            != 0) {
            for (const auto &pair : tempAndTarget)
                QFile::remove(pair.first);
            throw EDatabaseError(QStringLiteral("Cannot write %1.").arg(target));
        }
    }
}

namespace {

[[noreturn]] void Invalid(const TFileColumn &column, const QVariant &value)
{
    throw EDatabaseError(QStringLiteral("Value '%1' is not valid for field %2.")
                             .arg(value.toString().left(40), column.Name));
}

qlonglong WholeNumber(const TFileColumn &column, const QVariant &value, qlonglong low,
                      qlonglong high)
{
    bool ok = false;
    qlonglong n = 0;
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        ok = std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.2e18;
        n = ok ? qlonglong(d) : 0;
    } else {
        n = value.toString().trimmed().toLongLong(&ok);
    }
    if (!ok)
        Invalid(column, value);
    if (n < low || n > high)
        throw EDatabaseError(
            QStringLiteral("Value %1 is out of range for field %2.").arg(n).arg(column.Name));
    return n;
}

// dBASE keeps numbers as text of the field's width (type code 'N').
void CheckWidth(const TFileColumn &column, const QString &text)
{
    if (column.Native == 'N' && text.size() > column.Width)
        throw EDatabaseError(
            QStringLiteral("Value %1 does not fit field %2.").arg(text, column.Name));
}

} // namespace

QString FixedDecimals(const QString &number, int decimals)
{
    QString text = number.trimmed();
    if (text.startsWith(u'+'))
        text.remove(0, 1);
    const qsizetype dot = text.indexOf(u'.');
    const qsizetype have = dot < 0 ? 0 : text.size() - dot - 1;
    if (have > decimals) // more decimals than the field keeps: rounded
        return QString::number(text.toDouble(), 'f', decimals);
    if (decimals == 0)
        return dot < 0 ? text : text.left(dot);
    if (dot < 0)
        text += u'.';
    return text + QString(decimals - have, u'0');
}

QVariant CoerceValue(const TFileColumn &column, const QVariant &value)
{
    if (value.isNull())
        return {};
    // The files have no empty value for numbers, dates or flags: empty text means none.
    const bool text = column.Type == ftString || column.Type == ftFixedChar || column.Type == ftMemo
        || column.Type == ftFmtMemo;
    if (!text && value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
        return {};
    switch (column.Type) {
    case ftString:
    case ftFixedChar:
    case ftMemo:
    case ftFmtMemo: {
        const QString text = value.typeId() == QMetaType::QByteArray
            ? QString::fromUtf8(value.toByteArray())
            : value.toString();
        if (column.Type != ftMemo && column.Type != ftFmtMemo && column.Size > 0
            && text.size() > column.Size)
            throw EDatabaseError(QStringLiteral("Value is too long for field %1 (%2 characters "
                                                "at most).")
                                     .arg(column.Name)
                                     .arg(column.Size));
        return text;
    }
    case ftSmallint:
        return WholeNumber(column, value, -32767, 32767);
    case ftInteger:
    case ftAutoInc: {
        // A dBASE number is bounded by its width alone, also where files hold more than
        // 32 bits in a narrow field.
        const bool text = column.Native == 'N';
        const qlonglong n = WholeNumber(column, value, text ? LLONG_MIN + 1 : -2147483647,
                                        text ? LLONG_MAX : 2147483647);
        CheckWidth(column, QString::number(n));
        return n;
    }
    case ftLargeint: {
        const qlonglong n = WholeNumber(column, value, LLONG_MIN + 1, LLONG_MAX);
        CheckWidth(column, QString::number(n));
        return n;
    }
    case ftWord:
        return WholeNumber(column, value, 0, 65535);
    case ftFloat:
    case ftCurrency: {
        bool ok = false;
        const double d = value.typeId() == QMetaType::Double
            ? value.toDouble()
            : value.toString().trimmed().toDouble(&ok);
        if (value.typeId() == QMetaType::Double)
            ok = std::isfinite(d);
        if (!ok)
            Invalid(column, value);
        return d;
    }
    case ftBCD: {
        static const QRegularExpression number(QStringLiteral(R"(^[-+]?(\d+\.?\d*|\.\d+)$)"));
        const QString text = value.typeId() == QMetaType::Double
            ? QString::number(value.toDouble(), 'f', column.Size)
            : value.toString().trimmed();
        if (!number.match(text).hasMatch())
            Invalid(column, value);
        CheckWidth(column, FixedDecimals(text, column.Size));
        return text;
    }
    case ftBoolean: {
        const QString text = value.toString().trimmed().toUpper();
        if (text == QLatin1String("1") || text == QLatin1String("T")
            || text == QLatin1String("TRUE") || text == QLatin1String("Y"))
            return qlonglong(1);
        if (text == QLatin1String("0") || text == QLatin1String("F")
            || text == QLatin1String("FALSE") || text == QLatin1String("N"))
            return qlonglong(0);
        Invalid(column, value);
    }
    case ftDate: {
        const QDate d = QDate::fromString(value.toString().trimmed(), Qt::ISODate);
        if (!d.isValid() || d.year() < 1)
            Invalid(column, value);
        return d.toString(Qt::ISODate);
    }
    case ftTime: {
        const QTime t = QTime::fromString(value.toString().trimmed(), Qt::ISODate);
        if (!t.isValid())
            Invalid(column, value);
        return t.toString(QStringLiteral("HH:mm:ss"));
    }
    case ftDateTime: {
        QString text = value.toString().trimmed();
        if (text.size() == 10)
            text += QStringLiteral("T00:00:00");
        const QDateTime dt = QDateTime::fromString(text.replace(u' ', u'T'), Qt::ISODate);
        if (!dt.isValid() || dt.date().year() < 1)
            Invalid(column, value);
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary: {
        const QByteArray bytes = value.typeId() == QMetaType::QByteArray
            ? value.toByteArray()
            : value.toString().toUtf8();
        if (column.Type == ftBytes && bytes.size() > column.Size)
            throw EDatabaseError(
                QStringLiteral("Value is too long for field %1 (%2 bytes at most).")
                    .arg(column.Name)
                    .arg(column.Size));
        return bytes;
    }
    default:
        throw EDatabaseError(QStringLiteral("Field %1 cannot be written.").arg(column.Name));
    }
}
