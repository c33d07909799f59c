#include "FieldText.h"

#include <QDateTime>

bool IsIntegerField(TFieldType type)
{
    return type == ftSmallint || type == ftInteger || type == ftWord || type == ftAutoInc
        || type == ftLargeint;
}

bool IsFloatField(TFieldType type)
{
    return type == ftFloat || type == ftCurrency || type == ftBCD;
}

bool IsMemoField(TFieldType type)
{
    return type == ftMemo || type == ftFmtMemo;
}

bool IsBinaryField(TFieldType type)
{
    switch (type) {
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftCursor:
        return true;
    default:
        return false;
    }
}

static QDateTime ReadDateTime(const QString &text)
{
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(QString(text).replace(u' ', u'T'), Qt::ISODateWithMs);
    if (!dt.isValid())
        if (const QDate d = QDate::fromString(text, Qt::ISODate); d.isValid())
            dt = d.startOfDay();
    return dt;
}

QVariant TypedFieldValue(const QVariant &stored, TFieldType type)
{
    if (stored.isNull())
        return {};
    bool ok = true;
    QVariant typed;
    if (IsIntegerField(type)) {
        typed = stored.toLongLong(&ok);
    } else if (IsFloatField(type)) {
        typed = stored.toDouble(&ok);
    } else if (type == ftBoolean) {
        if (stored.typeId() == QMetaType::QString) {
            const QString s = stored.toString().trimmed().toLower();
            ok = s == QLatin1String("true") || s == QLatin1String("false")
                || s == QLatin1String("1") || s == QLatin1String("0");
            typed = s == QLatin1String("true") || s == QLatin1String("1");
        } else {
            typed = stored.toBool();
        }
    } else if (type == ftDate) {
        QDate d = stored.typeId() == QMetaType::QDateTime ? stored.toDateTime().date()
                                                          : stored.toDate();
        if (!d.isValid())
            d = ReadDateTime(stored.toString()).date();
        ok = d.isValid();
        typed = d;
    } else if (type == ftTime) {
        QTime t = stored.toTime();
        if (!t.isValid())
            t = QTime::fromString(stored.toString(), Qt::ISODateWithMs);
        ok = t.isValid();
        typed = t;
    } else if (type == ftDateTime) {
        QDateTime dt = stored.toDateTime();
        if (!dt.isValid())
            dt = ReadDateTime(stored.toString());
        ok = dt.isValid();
        typed = dt;
    } else if (IsBinaryField(type)) {
        typed = stored.toByteArray();
    } else {
        typed = stored.toString();
    }
    return ok ? typed : stored;
}

QString WithoutDigitGrouping(const QString &text, const QLocale &locale)
{
    QString s = text.trimmed();
    const QString group = locale.groupSeparator();
    if (!group.isEmpty() && group != locale.decimalPoint())
        s.remove(group);
    return s;
}

static QDate ReadDate(const QString &text, const TTextFormat &f)
{
    QDate d = QDate::fromString(text, f.DateFormat);
    if (!d.isValid())
        d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid())
        d = f.Locale.toDate(text, QLocale::ShortFormat);
    return d;
}

// Digits alone, with an optional sign, are the same number in every locale; reading them
// directly spares the system locale's lookups, which cost more than a keyed query.
static bool ReadPlainInteger(const QString &t, qlonglong *value)
{
    qsizetype i = t.startsWith(u'-') || t.startsWith(u'+') ? 1 : 0;
    if (i == t.size())
        return false;
    for (; i < t.size(); ++i)
        if (t[i] < u'0' || t[i] > u'9')
            return false;
    bool ok = false;
    *value = t.toLongLong(&ok, 10);
    return ok;
}

QVariant FieldValueFromText(const QString &text, TFieldType type, const TTextFormat &format,
                            bool *ok)
{
    bool good = true;
    QVariant value;
    const QString t = text.trimmed();
    if (type == ftString || type == ftFixedChar || type == ftWideString || IsMemoField(type)
        || type == ftUnknown) {
        if (!text.isEmpty())
            value = text;
    } else if (IsBinaryField(type)) {
        good = text.isEmpty();
    } else if (t.isEmpty()) {
        // null
    } else if (qlonglong plain; IsIntegerField(type) && ReadPlainInteger(t, &plain)) {
        value = plain;
    } else if (IsIntegerField(type)) {
        value = format.Locale.toLongLong(WithoutDigitGrouping(t, format.Locale), &good);
    } else if (IsFloatField(type)) {
        value = format.Locale.toDouble(WithoutDigitGrouping(t, format.Locale), &good);
    } else if (type == ftBoolean) {
        const QString s = t.toLower();
        good = s == QLatin1String("true") || s == QLatin1String("false") || s == QLatin1String("1")
            || s == QLatin1String("0");
        value = s == QLatin1String("true") || s == QLatin1String("1");
    } else if (type == ftDate) {
        const QDate d = ReadDate(t, format);
        good = d.isValid();
        value = d;
    } else if (type == ftTime) {
        QTime tm = QTime::fromString(t, format.TimeFormat);
        if (!tm.isValid())
            tm = format.Locale.toTime(t, QLocale::ShortFormat);
        if (!tm.isValid())
            tm = QTime::fromString(t, Qt::ISODateWithMs);
        good = tm.isValid();
        value = tm;
    } else if (type == ftDateTime) {
        QDateTime dt = QDateTime::fromString(t, format.DateTimeFormat);
        if (!dt.isValid())
            dt = format.Locale.toDateTime(t, QLocale::ShortFormat);
        if (!dt.isValid())
            dt = ReadDateTime(t);
        if (!dt.isValid())
            if (const QDate d = ReadDate(t, format); d.isValid())
                dt = d.startOfDay();
        good = dt.isValid();
        value = dt;
    } else {
        value = text;
    }
    if (ok)
        *ok = good;
    return good ? value : QVariant();
}

QString FieldValueToText(const QVariant &stored, TFieldType type, const TTextFormat &format)
{
    const QVariant v = TypedFieldValue(stored, type);
    if (v.isNull())
        return {};
    QLocale locale = format.Locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return locale.toString(v.toLongLong());
    case QMetaType::Double:
        return locale.toString(v.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QDate:
        return v.toDate().toString(format.DateFormat);
    case QMetaType::QTime:
        return v.toTime().toString(format.TimeFormat);
    case QMetaType::QDateTime:
        return v.toDateTime().toString(format.DateTimeFormat);
    default:
        return v.toString();
    }
}

bool SameFieldValue(const QVariant &a, const QVariant &b, TFieldType type)
{
    const QVariant x = TypedFieldValue(a, type);
    const QVariant y = TypedFieldValue(b, type);
    if (x.isNull() || y.isNull())
        return x.isNull() == y.isNull();
    return x == y;
}
