#pragma once

#include "DataSet.h"
#include "FieldText.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// The value logic of the verify controls, without widgets: reading, comparing and
// formatting values by type, partial dates, captions and hot keys, the error messages and
// the area layouts.

enum TLabelAlignment { laLeft, laTop };
enum TNextPos { npLeft, npRight, npBottom, npTop, npNone };
enum TLayOut { loAuto, loPortrait, loLandScape, loManual, loCustom, loResize };
enum TLookupAlignment { lkRight, lkBottom };

// The text formats of a control: its locale and, for dates, its picture.
TTextFormat VerifyTextFormat(TFieldType type, const QString &picture, const QLocale &locale);

// The value cache of a control, loaded from a text by the control's type.
struct TVerifyValue
{
    QString CheckedText;
    qlonglong IntValue = 0;
    double FloatValue = 0;
    QDateTime DateValue;

    bool Load(const QString &text, TFieldType type, const TTextFormat &format);
    // -1, 0 or 1 against the bound given as text; -1 for types without an order.
    int Compare(const QString &bound, TFieldType type, const TTextFormat &format) const;
};

QString DefaultPicture(TFieldType type);
// The width a control of the type takes (keeping currentWidth for other types) and its
// maximum length (0: unchanged).
int WidthForType(TFieldType type, int size, int fontSize, int currentWidth);
int MaxLengthForType(TFieldType type, int size);

// A picture of the number format kind ("#,##0.00") applied to a number, in the locale.
QString FormatFloatPicture(double value, const QString &picture, const QLocale &locale);
// A picture of the date kind ("dd/mm/yyyy hh:nn") as a Qt date-time format.
QString QtDateFormat(const QString &picture);

// A partial date ("1503", "1/2/99", "7") completed from today; nothing when impossible.
// Two-digit years go to the century that puts them nearest today.
std::optional<QDate> ExpandDate(const QString &text, const QDate &today);

// The text reformatted when the user leaves the control; unchanged when it cannot be read.
QString FormatVerifyText(const QString &text, TFieldType type, const QString &picture, int size,
                         bool required, const QLocale &locale, const QDate &today);

// The message key of the first failing check ("MsgRequired", "MsgType", "MsgMax",
// "MsgMin"), or empty. *text loses the locale's digit grouping for numeric types.
QString ValidateText(QString *text, TFieldType type, bool required, const QString &min,
                     const QString &max, const TTextFormat &format);

// Captions and hot keys. A caption's first "&" marks its hot key.
struct TCaption
{
    QString Text; // without that "&"
    int HotKeyPos = 0; // where the hot key character is in Text
};
TCaption ParseCaption(const QString &caption);
// The label text with one "&" before the first occurrence of key (none when key is null).
QString LabelWithHotKey(const QString &labelText, QChar key);
QString WithColon(const QString &text);
QString WithoutFirstAmpersand(const QString &text);

// The message table of an error object: "key=text" lines in their order.
QStringList DefaultErrorMessages();
QString ErrorMessageText(const QStringList &messages, const QString &key);

// Layout of an area: each control's place from its predecessor's NextPos.
struct TLayoutItem
{
    int Top = 0;
    int TotalHeight = 0;
    int TotalWidth = 0;
    TNextPos NextPos = npNone;
};
void ComputeNextPos(TLayOut layout, std::vector<TLayoutItem> &items, int areaWidth, int areaHeight);
std::vector<std::pair<int, int>> ArrangePositions(const std::vector<TLayoutItem> &items);

// Whether a control's text is to be written into its field, and the value to write:
// only a text the user changed whose value differs from the stored one. An empty text
// of a nullable field is NULL.
struct TFieldWrite
{
    bool Write = false;
    QVariant Value;
    bool Ok = true; // false: the text is no value of the field's type
};
TFieldWrite FieldWriteFor(const TField &field, const QString &loadedText, const QString &text,
                          const QVariant &stored, const TTextFormat &format);
