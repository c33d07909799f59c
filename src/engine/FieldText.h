#pragma once

#include "FieldTypes.h"

#include <QLocale>
#include <QString>
#include <QVariant>

// Converting between the text a user edits for a field and the value the field stores.
// Drivers hand values over in their own shapes (SQLite gives dates as text), so stored
// values are first brought to their type's own representation before they are compared
// or shown.

// How texts are read and written: the locale's separators and the Qt date and time
// formats to try first (the locale's short formats and ISO are accepted as well).
struct TTextFormat
{
    QLocale Locale;
    QString DateFormat = QStringLiteral("dd/MM/yyyy");
    QString TimeFormat = QStringLiteral("HH:mm:ss");
    QString DateTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");
};

bool IsIntegerField(TFieldType type);
bool IsFloatField(TFieldType type); // float, currency and BCD
bool IsMemoField(TFieldType type);
bool IsBinaryField(TFieldType type);

// A number as typed, without the locale's digit grouping. Only the group separator goes, so
// where "." is the decimal separator it is never taken for grouping.
QString WithoutDigitGrouping(const QString &text, const QLocale &locale);

// The type's representation of a stored value: qlonglong for integer types, double for
// float types, bool, QDate, QTime, QDateTime, QByteArray for binary, QString otherwise. A null
// stays null; a value that does not convert is returned as it came.
QVariant TypedFieldValue(const QVariant &stored, TFieldType type);

// A text as a value of the type. An empty or blank text is null (for strings and memos
// only the empty text). *ok is false when the text is no value of the type; binary
// fields are never given from text.
QVariant FieldValueFromText(const QString &text, TFieldType type, const TTextFormat &format,
                            bool *ok = nullptr);

// A stored value as text in the given format; a null is the empty text.
QString FieldValueToText(const QVariant &stored, TFieldType type, const TTextFormat &format);

// Whether two values (stored or typed) are the same value of the type.
bool SameFieldValue(const QVariant &a, const QVariant &b, TFieldType type);
