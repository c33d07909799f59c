#include "VerifyLogic.h"

#include <algorithm>
#include <cmath>

static bool IsDateType(TFieldType t)
{
    return t == ftDate || t == ftTime || t == ftDateTime;
}

TTextFormat VerifyTextFormat(TFieldType type, const QString &picture, const QLocale &locale)
{
    TTextFormat f;
    f.Locale = locale;
    if (!picture.isEmpty() && IsDateType(type)) {
        const QString qt = QtDateFormat(picture);
        if (type == ftDate)
            f.DateFormat = qt;
        else if (type == ftTime)
            f.TimeFormat = qt;
        else
            f.DateTimeFormat = qt;
    }
    return f;
}

bool TVerifyValue::Load(const QString &text, TFieldType type, const TTextFormat &format)
{
    CheckedText = text;
    if (!(IsIntegerField(type) || IsFloatField(type) || IsDateType(type)))
        return true;
    bool ok = false;
    const QVariant v = FieldValueFromText(text, type, format, &ok);
    if (!ok || v.isNull())
        return false;
    if (IsIntegerField(type)) {
        IntValue = v.toLongLong();
        FloatValue = double(IntValue);
        DateValue = QDateTime();
    } else if (IsFloatField(type)) {
        FloatValue = v.toDouble();
        IntValue = qRound64(FloatValue);
    } else {
        DateValue = type == ftTime ? QDateTime(QDate(1899, 12, 30), v.toTime())
                                   : (type == ftDate ? v.toDate().startOfDay() : v.toDateTime());
        FloatValue = double(QDate(1899, 12, 30).daysTo(DateValue.date()))
            + DateValue.time().msecsSinceStartOfDay() / 86400000.0;
        IntValue = qRound64(FloatValue);
    }
    return true;
}

template<typename T>
static int Order(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int TVerifyValue::Compare(const QString &bound, TFieldType type, const TTextFormat &format) const
{
    if (type == ftString)
        return Order(CheckedText, bound);
    TVerifyValue other;
    if (!(IsIntegerField(type) || IsFloatField(type) || IsDateType(type))
        || !other.Load(bound, type, format))
        return -1;
    if (IsIntegerField(type))
        return Order(IntValue, other.IntValue);
    if (IsFloatField(type))
        return Order(FloatValue, other.FloatValue);
    return Order(DateValue, other.DateValue);
}

QString DefaultPicture(TFieldType type)
{
    switch (type) {
    case ftFloat:
    case ftCurrency:
        return QStringLiteral("#,##0.00");
    case ftDate:
        return QStringLiteral("dd/mm/yyyy");
    case ftDateTime:
        // The time is part of the value: a picture without it would cut it when saved.
        return QStringLiteral("dd/mm/yyyy hh:nn:ss");
    default:
        return {};
    }
}

int WidthForType(TFieldType type, int size, int fontSize, int currentWidth)
{
    switch (type) {
    case ftString:
        return (fontSize - 1) * (size + 1) + 3;
    case ftInteger:
        return 48;
    case ftFloat:
    case ftCurrency:
    case ftDate:
        return 72;
    case ftDateTime:
        return 120;
    default:
        return currentWidth;
    }
}

int MaxLengthForType(TFieldType type, int size)
{
    switch (type) {
    case ftString:
        return size;
    case ftDate:
        return 10;
    case ftDateTime:
        return 19;
    default:
        return 0;
    }
}

QString FormatFloatPicture(double value, const QString &picture, const QLocale &locale)
{
    if (picture.isEmpty()) {
        QLocale l = locale;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(value, 'g', 15);
    }
    const QString section = picture.section(u';', 0, 0);
    // Plain scans: a form formats every numeric field through here when it opens.
    const auto isDigitMark = [](QChar c) {
        return c == u'0' || c == u'#';
    };
    const auto isNonZero = [](QChar c) {
        return c >= u'1' && c <= u'9';
    };
    const auto firstMark = std::find_if(section.cbegin(), section.cend(), isDigitMark);
    const qsizetype first = firstMark == section.cend() ? -1 : firstMark - section.cbegin();
    const qsizetype last
        = section.crend() - 1 - std::find_if(section.crbegin(), section.crend(), isDigitMark);
    if (first < 0)
        return section;
    const QString prefix = section.left(first);
    const QString suffix = section.mid(last + 1);
    const QString body = section.mid(first, last - first + 1);
    const qsizetype dot = body.indexOf(u'.');
    const QString intPart = dot < 0 ? body : body.left(dot);
    const QString fracPart = dot < 0 ? QString() : body.mid(dot + 1);
    const int minInt = int(intPart.count(u'0'));
    const bool grouping = intPart.contains(u',');
    const int minFrac = int(fracPart.count(u'0'));
    const int maxFrac = minFrac + int(fracPart.count(u'#'));

    QString digits = QString::number(std::fabs(value), 'f', maxFrac);
    QString intDigits = digits.section(u'.', 0, 0);
    QString frac = digits.section(u'.', 1, 1);
    while (frac.size() > minFrac && frac.endsWith(u'0'))
        frac.chop(1);
    if (intDigits == QLatin1String("0") && minInt == 0)
        intDigits.clear();
    while (intDigits.size() < minInt)
        intDigits.prepend(u'0');
    if (grouping)
        for (qsizetype i = intDigits.size() - 3; i > 0; i -= 3)
            intDigits.insert(i, locale.groupSeparator());
    const bool negative = value < 0
        && (std::any_of(intDigits.cbegin(), intDigits.cend(), isNonZero)
            || std::any_of(frac.cbegin(), frac.cend(), isNonZero));
    QString out = intDigits;
    if (!frac.isEmpty())
        out += locale.decimalPoint() + frac;
    return (negative ? QStringLiteral("-") : QString()) + prefix + out + suffix;
}

QString QtDateFormat(const QString &picture)
{
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < picture.size();) {
        const QChar c = picture[i];
        if (c == u'\'' || c == u'"') { // quoted text stays as it is
            const qsizetype end = picture.indexOf(c, i + 1);
            const QString literal = picture.mid(i + 1, end < 0 ? -1 : end - i - 1);
            out += u'\'' + literal + u'\'';
            i = end < 0 ? picture.size() : end + 1;
            continue;
        }
        qsizetype n = 1;
        while (i + n < picture.size() && picture[i + n].toLower() == c.toLower())
            ++n;
        switch (c.toLower().unicode()) {
        case 'd':
            out += QString(n, u'd');
            break;
        case 'y':
            out += n <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
            break;
        case 'm':
            out += afterHour ? QString(qMin<qsizetype>(n, 2), u'm')
                             : QString(qMin<qsizetype>(n, 4), u'M');
            break;
        case 'n':
            out += QString(qMin<qsizetype>(n, 2), u'm');
            break;
        case 'h':
            out += QString(qMin<qsizetype>(n, 2), u'H');
            break;
        case 's':
            out += QString(qMin<qsizetype>(n, 2), u's');
            break;
        case 'z':
            out += QString(n, u'z');
            break;
        default:
            out += QString(n, c);
        }
        if (c.isLetter())
            afterHour = c.toLower() == u'h';
        i += n;
    }
    return out;
}

std::optional<QDate> ExpandDate(const QString &text, const QDate &today)
{
    QString groups[3];
    const int limits[3] = {2, 2, 4};
    int g = 0;
    for (const QChar c : text) {
        if (g > 2)
            break;
        if (!c.isDigit()) {
            ++g;
            continue;
        }
        if (groups[g].size() == limits[g] && ++g > 2)
            break;
        groups[g] += c;
    }
    int day = today.day(), month = today.month(), year = today.year();
    if (!groups[0].isEmpty())
        day = groups[0].toInt();
    if (!groups[1].isEmpty())
        month = groups[1].toInt();
    if (!groups[2].isEmpty()) {
        year = groups[2].toInt();
        if (groups[2].size() <= 2) {
            // The year ending in these digits nearest today: 99 is 1999 and 05 is 2005
            // from 2026, not a century away.
            const int base = today.year() - today.year() % 100 + year;
            year = base;
            for (const int candidate : {base - 100, base + 100})
                if (std::abs(candidate - today.year()) < std::abs(year - today.year()))
                    year = candidate;
        }
    }
    const QDate d(year, month, day);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString FormatVerifyText(const QString &text, TFieldType type, const QString &picture, int size,
                         bool required, const QLocale &locale, const QDate &today)
{
    Q_UNUSED(required); // an empty date stays empty: leaving it is no date the user gave
    TTextFormat format;
    format.Locale = locale;
    if (type == ftString) {
        if (picture != QLatin1String("@0") || text.isEmpty())
            return text;
        bool ok = false;
        const qlonglong n = text.trimmed().toLongLong(&ok);
        return ok && n >= 0 ? QString::number(n).rightJustified(size, u'0') : text;
    }
    if (type == ftInteger || type == ftFloat || type == ftCurrency) {
        if (text.isEmpty())
            return text;
        bool ok = false;
        const QVariant v = FieldValueFromText(text.trimmed(), ftFloat, format, &ok);
        return ok && !v.isNull() ? FormatFloatPicture(v.toDouble(), picture, locale) : text;
    }
    if (type == ftDate || type == ftDateTime) {
        if (text.trimmed().isEmpty())
            return text;
        const QString qt = QtDateFormat(picture.isEmpty() ? DefaultPicture(type) : picture);
        // Read by the picture alone: the locale's own short format may order day and month
        // differently from what the control shows.
        const QString t = text.trimmed();
        QDateTime dt = QDateTime::fromString(t, qt);
        if (!dt.isValid() && type == ftDateTime)
            dt = QDate::fromString(t, QtDateFormat(DefaultPicture(ftDate))).startOfDay();
        if (dt.isValid())
            return dt.toString(qt);
        if (const auto d = ExpandDate(text, today))
            return d->startOfDay().toString(qt);
    }
    return text;
}

QString ValidateText(QString *text, TFieldType type, bool required, const QString &min,
                     const QString &max, const TTextFormat &format)
{
    if (type == ftInteger || type == ftFloat || type == ftCurrency)
        *text = WithoutDigitGrouping(*text, format.Locale);
    if (required && text->trimmed().isEmpty())
        return QStringLiteral("MsgRequired");
    if (text->isEmpty())
        return {};
    TVerifyValue v;
    if (!v.Load(*text, type, format))
        return QStringLiteral("MsgType");
    if (!max.isEmpty() && v.Compare(max, type, format) > 0)
        return QStringLiteral("MsgMax");
    if (!min.isEmpty() && v.Compare(min, type, format) < 0)
        return QStringLiteral("MsgMin");
    return {};
}

TCaption ParseCaption(const QString &caption)
{
    TCaption c {caption, 0};
    const qsizetype amp = caption.indexOf(u'&');
    if (amp >= 0) {
        c.Text.remove(amp, 1);
        c.HotKeyPos = int(qMin(amp, qMax<qsizetype>(0, c.Text.size() - 1)));
    }
    return c;
}

QString LabelWithHotKey(const QString &labelText, QChar key)
{
    QString text = labelText;
    text.remove(u'&');
    if (!key.isNull())
        if (const qsizetype at = text.indexOf(key); at >= 0)
            text.insert(at, u'&');
    return text;
}

QString WithColon(const QString &text)
{
    return text.endsWith(u':') ? text : text + u':';
}

QString WithoutFirstAmpersand(const QString &text)
{
    QString t = text;
    if (const qsizetype amp = t.indexOf(u'&'); amp >= 0)
        t.remove(amp, 1);
    return t;
}

QStringList DefaultErrorMessages()
{
    return {QStringLiteral("MsgRequired=Required"), QStringLiteral("MsgMax=Over Max Value"),
            QStringLiteral("MsgMin=Under Min Value"), QStringLiteral("MsgFind=not found"),
            QStringLiteral("MsgType=type mismatch")};
}

QString ErrorMessageText(const QStringList &messages, const QString &key)
{
    for (const QString &m : messages)
        if (m.section(u'=', 0, 0) == key)
            return m.section(u'=', 1);
    return key;
}

void ComputeNextPos(TLayOut layout, std::vector<TLayoutItem> &items, int areaWidth, int areaHeight)
{
    if (layout == loManual || layout == loCustom || items.size() < 2)
        return;
    const int limit = layout == loResize ? 400 : areaWidth;
    int p = layout == loLandScape ? 8 : 19;
    for (size_t i = 0; i < items.size(); ++i) {
        TLayoutItem &c = items[i];
        switch (layout) {
        case loAuto:
            c.NextPos = i == 0 || c.Top <= p ? npRight : npLeft;
            p = c.Top + c.TotalHeight;
            break;
        case loPortrait:
            p += c.TotalHeight + 6;
            if (p > areaHeight) {
                c.NextPos = npTop;
                p = 25;
            } else {
                c.NextPos = npBottom;
            }
            break;
        default: // landscape and resize
            p += c.TotalWidth + 8;
            if (p > limit) {
                c.NextPos = npLeft;
                p = 8;
            } else {
                c.NextPos = npRight;
            }
        }
    }
}

std::vector<std::pair<int, int>> ArrangePositions(const std::vector<TLayoutItem> &items)
{
    std::vector<std::pair<int, int>> places;
    int x = 8, y = 25;
    for (const TLayoutItem &c : items) {
        places.emplace_back(x, y);
        switch (c.NextPos) {
        case npLeft:
            y += c.TotalHeight + 6;
            x = 8;
            break;
        case npBottom:
            y += c.TotalHeight + 6;
            break;
        case npRight:
            x += c.TotalWidth + 8;
            break;
        case npTop:
            x += c.TotalWidth + 8;
            y = 25;
            break;
        case npNone:
            break;
        }
    }
    return places;
}

TFieldWrite FieldWriteFor(const TField &field, const QString &loadedText, const QString &text,
                          const QVariant &stored, const TTextFormat &format)
{
    TFieldWrite w;
    if (field.ReadOnly || IsBinaryField(field.DataType) || text == loadedText)
        return w;
    w.Value = FieldValueFromText(text, field.DataType, format, &w.Ok);
    if (!w.Ok)
        return w;
    // A field that takes no NULL gets the empty string a string control holds.
    if (w.Value.isNull() && field.Required && field.DataType == ftString)
        w.Value = QString(QLatin1String(""));
    w.Write = !SameFieldValue(w.Value, stored, field.DataType);
    return w;
}
