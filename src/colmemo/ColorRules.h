#pragma once

// Colour rules of the SQL editor: what to colour (keyword lists, begin/end marker pairs,
// line-comment markers, spans supplied by an event), the text syntax of those lists, and
// how one rule turns a stretch of text into coloured-span descriptors. No widgets here.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

// 0x00BBGGRR, red in the low byte. Values with the top bit set name a colour of the
// widget's palette (window background, window text...) rather than a fixed one.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;

// Reads the colour part of a list line: one of the 16 colour names, or a hexadecimal
// RRGGBB with an optional "#" or "$"; white when it cannot be read.
TColor StrToKeyColor(const QString &Text);

enum TKeyDrawingType : std::uint8_t {
    dtKeyShow = 0,
    dtEventDraw = 1,
    dtBeginEnd = 2,
    dtBeginLineEnd = 3
};

constexpr int MaxInt = INT_MAX;

// One coloured span. Indexes count every line break as two characters (CR LF).
struct TKeyDescr
{
    int BegPos = MaxInt; // MaxInt: unused or discarded
    int EndPos = 0; // inclusive
    TColor Color = 0;
    std::uint8_t ZOrder = 0; // higher wins; 252..255 belong to the memo
    bool IsKey = false;
};

// The descriptor pool. Records are reused from paint to paint; writing also widens the
// covered range MinPos..MaxPos, which the merge into runs needs.
class TKeyDescrList
{
public:
    explicit TKeyDescrList(int Capacity = 100) { m_items.reserve(Capacity); }

    int Count() const { return int(m_items.size()); }
    TKeyDescr &operator[](int k) { return m_items[k]; }
    const TKeyDescr &operator[](int k) const { return m_items[k]; }

    // Puts D at position k, appending when k is not below Count, and widens MinPos..MaxPos.
    void Write(int k, const TKeyDescr &D);
    // Puts D at position k without touching the covered range.
    void Put(int k, const TKeyDescr &D);
    // Marks every record unused and forgets the covered range.
    void MarkUnused();

    int MinPos = -1;
    int MaxPos = -1;

private:
    std::vector<TKeyDescr> m_items;
};

struct TKeyBegEnd
{
    QString BegStr; // at most 6 characters; empty ends the usable table
    QString EndStr; // at most 6 characters; empty for line-end markers
    TColor Color = 0;
    int FoundAt = -1; // scratch: index of this marker's last search hit
};

constexpr int KeyBegEndCount = 40;
constexpr int KeyPaletteMax = 41;
constexpr int KeyMarkerMax = 6;

// A stretch of the editor's text: Text[0] is the character at index From; the stretch
// ends where Text ends (the scan end).
struct TScanText
{
    QStringView Text;
    int From = 0;
    int End() const { return From + int(Text.size()); }
};

class TColorLayer;

class TColorRule
{
public:
    explicit TColorRule(TColorLayer *Memo = nullptr);

    std::uint8_t ZOrder = 0;
    QString IntChar; // kept with the rule, not used for recognition
    int KeyMaxHeight = 1;
    TKeyDrawingType KeyDrawingType = dtBeginEnd;
    bool KeyCase = false; // takes effect when the keyword index is next rebuilt
    bool Enabled = true;
    bool PartWord = false;
    TColor DefKeyColor = clRed;
    TColor KeySelColor = clYellow; // kept, not used
    TColor KeyBrushColor = clWindow; // kept and copied, not used

    TColorLayer *Memo = nullptr;

    // The lists as stored. Editing them directly (as loading does) takes effect at the next
    // PrepareKeys; the setters parse at once.
    QStringList &Keywords() { return m_keywords; }
    QStringList &KeyBegEndLst() { return m_begEndLst; }
    QStringList &KeyLineEndLst() { return m_lineEndLst; }
    const QStringList &Keywords() const { return m_keywords; }
    const QStringList &KeyBegEndLst() const { return m_begEndLst; }
    const QStringList &KeyLineEndLst() const { return m_lineEndLst; }
    void SetKeywords(const QStringList &Lines);
    void SetKeyBegEndLst(const QStringList &Lines);
    void SetKeyLineEndLst(const QStringList &Lines);

    void Assign(const TColorRule &Source);

    // Rebuilds the lookup tables from the rule's own lists; true when a list the drawing
    // type uses has a line.
    bool PrepareKeys();

    // Writes this rule's descriptors for the stretch into Descriptors from position Index
    // on; returns the position after the last one written.
    int ScanKeys(int Index, const TScanText &Text, TKeyDescrList &Descriptors);

    // The lookup tables, as built from the lists.
    const QString &KeyIndex() const { return m_keyIndex; }
    const std::vector<TColor> &KeyColors() const { return m_keyColors; }
    const TKeyBegEnd *Marker(int i) const;

private:
    struct Keyword
    {
        QString Text;
        TColor Color;
    };

    void BuildKeyIndex(const QStringList &Lines);
    void ParseBegEnd(const QStringList &Lines);
    void ParseLineEnd(const QStringList &Lines);
    void ClearMarkers();
    int ScanKeywords(int Index, const TScanText &Text, TKeyDescrList &Descriptors);
    int ScanMarkers(int Index, const TScanText &Text, TKeyDescrList &Descriptors, bool ToLineEnd);
    int ScanEvent(int Index, const TScanText &Text, TKeyDescrList &Descriptors);
    TKeyDescr Descr(int Beg, int End, TColor Color, bool IsKey) const;

    QStringList m_keywords;
    QStringList m_begEndLst;
    QStringList m_lineEndLst;
    QString m_keyIndex;
    std::vector<TColor> m_keyColors;
    std::vector<Keyword> m_keys; // the index split up once, so scanning need not re-parse it
    std::unique_ptr<std::array<TKeyBegEnd, KeyBegEndCount>> m_markers;
    QString m_upper; // upper-case copy of the scanned stretch, reused between paints
};

class TDrawRules
{
public:
    explicit TDrawRules(TColorLayer *Memo = nullptr)
        : Memo(Memo)
    {}
    TDrawRules(const TDrawRules &) = delete;
    TDrawRules &operator=(const TDrawRules &) = delete;

    TColorRule &Add();
    int Count() const { return int(m_items.size()); }
    TColorRule &operator[](int i) { return *m_items[i]; }
    const TColorRule &operator[](int i) const { return *m_items[i]; }
    void Clear();
    // Replaces the items by copies of Source's.
    void Assign(const TDrawRules &Source);

    // Prepares every rule until one with a non-empty list has been prepared.
    void PrepareRules();

    TColorLayer *Memo = nullptr;
    bool NeedPrepare = true;

private:
    std::vector<std::unique_ptr<TColorRule>> m_items;
};

struct THotSpot
{
    QChar BeginChar = QChar(30); // QChar(0) switches hot spots off
    QChar EndChar = QChar(31);
    TColor Color = clBlue;
    TColor MarkerColor = clWindow;
    bool Active = false;
    bool Underlined = true;

    void Assign(const THotSpot &Source) { *this = Source; }
};
