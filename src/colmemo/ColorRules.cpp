#include "ColorRules.h"

#include "ColorLayer.h"

#include <algorithm>

namespace {

struct NamedColor
{
    const char *Name;
    TColor Color;
};

constexpr NamedColor namedColors[] = {
    {"BLACK", clBlack},   {"MAROON", clMaroon},   {"GREEN", clGreen}, {"OLIVE", clOlive},
    {"NAVY", clNavy},     {"PURPLE", clPurple},   {"TEAL", clTeal},   {"GRAY", clGray},
    {"SILVER", clSilver}, {"RED", clRed},         {"LIME", clLime},   {"YELLOW", clYellow},
    {"BLUE", clBlue},     {"FUCHSIA", clFuchsia}, {"AQUA", clAqua},   {"WHITE", clWhite},
};

// Only a..z are folded, in keywords and text alike, so both sides always agree.
QChar AsciiUpper(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') ? QChar(char16_t(u - 32)) : c;
}

QString AsciiUpper(const QString &s)
{
    QString r = s;
    for (QChar &c : r)
        c = AsciiUpper(c);
    return r;
}

// Digits and the underscore belong to the word as they belong to an SQL name, so that
// TABLE inside MY_TABLE or TABLE1 is not shown as a keyword the engine never sees.
bool IsWordBoundary(QChar c)
{
    const char16_t u = c.unicode();
    if (u > 127)
        return !c.isLetterOrNumber();
    return !((u >= '@' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')
             || u == '_');
}

bool IsHexText(const QString &s)
{
    if (s.isEmpty())
        return false;
    return std::all_of(s.begin(), s.end(), [](QChar c) { return isxdigit(c.toLatin1()) != 0; });
}

} // namespace

TColor StrToKeyColor(const QString &Text)
{
    QString t = Text.trimmed().toUpper().left(10);
    for (const NamedColor &n : namedColors) {
        if (t == QLatin1String(n.Name))
            return n.Color;
    }
    const int hash = t.indexOf('#');
    if (hash >= 0)
        t.remove(hash, 1);
    // A dollar sign is only accepted where it introduces the hexadecimal digits.
    QString digits;
    if (t.contains('$')) {
        if (!t.startsWith('$'))
            return clWhite;
        digits = t.mid(1);
    } else {
        digits = t;
    }
    if (!IsHexText(digits))
        return clWhite;
    bool ok = false;
    const quint32 v = digits.toUInt(&ok, 16);
    if (!ok)
        return clWhite;
    return (v & 0x00FF00) + ((v & 0x0000FF) << 16) + ((v & 0xFF0000) >> 16);
}

void TKeyDescrList::Write(int k, const TKeyDescr &D)
{
    Put(k, D);
    const int lo = std::min(D.BegPos, D.EndPos);
    const int hi = std::max(D.BegPos, D.EndPos);
    if (MinPos == -1 && MaxPos == -1) {
        MinPos = lo;
        MaxPos = hi;
    } else {
        MinPos = std::min(MinPos, lo);
        MaxPos = std::max(MaxPos, hi);
    }
}

void TKeyDescrList::Put(int k, const TKeyDescr &D)
{
    if (k >= Count())
        m_items.push_back(D);
    else
        m_items[k] = D;
}

void TKeyDescrList::MarkUnused()
{
    for (TKeyDescr &d : m_items)
        d.BegPos = MaxInt;
    MinPos = -1;
    MaxPos = -1;
}

TColorRule::TColorRule(TColorLayer *Memo)
    : Memo(Memo)
{}

void TColorRule::SetKeywords(const QStringList &Lines)
{
    BuildKeyIndex(Lines);
    if (&Lines != &m_keywords)
        m_keywords = Lines;
}

void TColorRule::SetKeyBegEndLst(const QStringList &Lines)
{
    ParseBegEnd(Lines);
    if (&Lines != &m_begEndLst)
        m_begEndLst = Lines;
}

void TColorRule::SetKeyLineEndLst(const QStringList &Lines)
{
    ParseLineEnd(Lines);
    if (&Lines != &m_lineEndLst)
        m_lineEndLst = Lines;
}

void TColorRule::Assign(const TColorRule &Source)
{
    if (&Source == this)
        return;
    KeyDrawingType = Source.KeyDrawingType;
    ZOrder = Source.ZOrder;
    KeyMaxHeight = Source.KeyMaxHeight;
    KeyCase = Source.KeyCase;
    Enabled = Source.Enabled;
    PartWord = Source.PartWord;
    DefKeyColor = Source.DefKeyColor;
    KeyBrushColor = Source.KeyBrushColor;
    SetKeywords(Source.m_keywords);
    SetKeyLineEndLst(Source.m_lineEndLst);
    SetKeyBegEndLst(Source.m_begEndLst);
    // The marker table is shared by both marker lists and the begin/end list is parsed last;
    // a line-end rule would otherwise be left with the wrong markers after a copy.
    if (KeyDrawingType == dtBeginLineEnd)
        ParseLineEnd(m_lineEndLst);
}

bool TColorRule::PrepareKeys()
{
    bool result = !m_begEndLst.isEmpty();
    ParseBegEnd(m_begEndLst);
    if (KeyDrawingType == dtKeyShow) {
        BuildKeyIndex(m_keywords);
        result = result || !m_keywords.isEmpty();
    }
    if (KeyDrawingType == dtBeginLineEnd) {
        ParseLineEnd(m_lineEndLst);
        result = result || !m_lineEndLst.isEmpty();
    }
    return result;
}

const TKeyBegEnd *TColorRule::Marker(int i) const
{
    if (!m_markers || i < 0 || i >= KeyBegEndCount)
        return nullptr;
    return &(*m_markers)[i];
}

void TColorRule::BuildKeyIndex(const QStringList &Lines)
{
    m_keyIndex = QStringLiteral("*");
    m_keyColors.clear();
    m_keys.clear();
    int previousNumber = 1;
    for (const QString &line : Lines) {
        if (line.trimmed().isEmpty())
            continue;
        const int semi = line.indexOf(';');
        QString keyword = semi < 0 ? line : line.left(semi);
        const QString colorText = semi < 0 ? QString() : line.mid(semi + 1);
        const TColor color = colorText.trimmed().isEmpty() ? DefKeyColor : StrToKeyColor(colorText);
        // "*" separates the index entries, so a keyword holding one cannot be stored.
        if (keyword.trimmed().isEmpty() || keyword.contains('*'))
            continue;
        if (!KeyCase)
            keyword = AsciiUpper(keyword);
        const int known = int(std::min<size_t>(m_keyColors.size(), KeyPaletteMax));
        int number = 0;
        for (int i = 0; i < known && number == 0; ++i) {
            if (m_keyColors[i] == color)
                number = i + 1;
        }
        if (number == 0) {
            if (m_keyColors.size() < KeyPaletteMax) {
                m_keyColors.push_back(color);
                number = int(m_keyColors.size());
            } else {
                number = previousNumber;
            }
        }
        previousNumber = number;
        m_keyIndex += keyword + QStringLiteral("*+") + QChar(char16_t(number)) + QChar('*');
        m_keys.push_back({keyword, m_keyColors[number - 1]});
    }
}

void TColorRule::ClearMarkers()
{
    if (!m_markers)
        m_markers = std::make_unique<std::array<TKeyBegEnd, KeyBegEndCount>>();
    for (TKeyBegEnd &m : *m_markers)
        m = TKeyBegEnd();
}

void TColorRule::ParseBegEnd(const QStringList &Lines)
{
    ClearMarkers();
    const int n = std::min<int>(int(Lines.size()), KeyBegEndCount);
    for (int i = 0; i < n; ++i) {
        const QString &line = Lines[i];
        const int semi = line.indexOf(';');
        if (semi < 1)
            continue;
        TKeyBegEnd &m = (*m_markers)[i];
        m.BegStr = line.left(semi).left(KeyMarkerMax);
        const QString rest = line.mid(semi + 1);
        const int semi2 = rest.indexOf(';');
        m.EndStr = (semi2 < 0 ? rest : rest.left(semi2)).left(KeyMarkerMax);
        const QString colorText = semi2 < 0 ? QString() : rest.mid(semi2 + 1);
        m.Color = colorText.trimmed().isEmpty() ? DefKeyColor : StrToKeyColor(colorText);
    }
}

void TColorRule::ParseLineEnd(const QStringList &Lines)
{
    ClearMarkers();
    const int n = std::min<int>(int(Lines.size()), KeyBegEndCount);
    for (int i = 0; i < n; ++i) {
        const QString &line = Lines[i];
        const int semi = line.indexOf(';');
        QString begin;
        QString colorText;
        if (line.startsWith(QLatin1String(";;"))) {
            begin = QStringLiteral(";");
            colorText = line.mid(2);
        } else if (semi >= 1) {
            begin = line.left(semi);
            colorText = line.mid(semi + 1);
        } else {
            begin = line;
        }
        TKeyBegEnd &m = (*m_markers)[i];
        m.BegStr = begin.left(KeyMarkerMax);
        m.Color = colorText.trimmed().isEmpty() ? DefKeyColor : StrToKeyColor(colorText);
    }
}

TKeyDescr TColorRule::Descr(int Beg, int End, TColor Color, bool IsKey) const
{
    TKeyDescr d;
    d.BegPos = Beg;
    d.EndPos = End;
    d.Color = Color;
    d.ZOrder = ZOrder;
    d.IsKey = IsKey;
    return d;
}

int TColorRule::ScanKeys(int Index, const TScanText &Text, TKeyDescrList &Descriptors)
{
    switch (KeyDrawingType) {
    case dtKeyShow:
        return ScanKeywords(Index, Text, Descriptors);
    case dtEventDraw:
        return ScanEvent(Index, Text, Descriptors);
    case dtBeginEnd:
        return ScanMarkers(Index, Text, Descriptors, false);
    case dtBeginLineEnd:
        return ScanMarkers(Index, Text, Descriptors, true);
    }
    return Index;
}

int TColorRule::ScanKeywords(int Index, const TScanText &Text, TKeyDescrList &Descriptors)
{
    if (m_keyIndex.trimmed().size() < 3)
        return Index;
    QStringView hay = Text.Text;
    if (!KeyCase) {
        m_upper.resize(hay.size());
        for (qsizetype i = 0; i < hay.size(); ++i)
            m_upper[i] = AsciiUpper(hay[i]);
        hay = m_upper;
    }
    const qsizetype size = hay.size();
    int k = Index;
    for (const Keyword &key : m_keys) {
        const qsizetype len = key.Text.size();
        qsizetype from = 0;
        qsizetype hit;
        while ((hit = hay.indexOf(key.Text, from)) >= 0) {
            from = hit + len;
            if (!PartWord) {
                const bool before = hit == 0 || IsWordBoundary(hay[hit - 1]);
                const bool after = hit + len >= size || IsWordBoundary(hay[hit + len]);
                if (!before || !after)
                    continue;
            }
            const int beg = Text.From + int(hit);
            Descriptors.Write(k++, Descr(beg, beg + int(len) - 1, key.Color, true));
        }
    }
    return k;
}

int TColorRule::ScanMarkers(int Index, const TScanText &Text, TKeyDescrList &Descriptors,
                            bool ToLineEnd)
{
    if (!m_markers)
        return Index;
    auto &markers = *m_markers;
    int usable = 0;
    while (usable < KeyBegEndCount && !markers[usable].BegStr.isEmpty())
        ++usable;
    constexpr int unknown = -2;
    for (int i = 0; i < usable; ++i)
        markers[i].FoundAt = unknown;

    const QStringView t = Text.Text;
    int k = Index;
    qsizetype pos = 0;
    while (pos < t.size()) {
        int best = -1;
        int chosen = -1;
        for (int i = 0; i < usable; ++i) {
            TKeyBegEnd &m = markers[i];
            // A remembered hit stays valid while it lies ahead; a marker not found once is
            // not found further on either.
            if (m.FoundAt == unknown || (m.FoundAt >= 0 && m.FoundAt < pos))
                m.FoundAt = int(t.indexOf(m.BegStr, pos));
            if (m.FoundAt >= 0 && (best < 0 || m.FoundAt < best)) {
                best = m.FoundAt;
                chosen = i;
            }
        }
        if (best < 0)
            break;
        const TKeyBegEnd &m = markers[chosen];
        if (ToLineEnd) {
            const qsizetype cr = t.indexOf(u"\r\n", best);
            if (cr < 0) {
                Descriptors.Write(k++, Descr(Text.From + best, Text.End() - 1, m.Color, false));
                break;
            }
            Descriptors.Write(k++,
                              Descr(Text.From + best, Text.From + int(cr) - 1, m.Color, false));
            pos = cr + 1;
        } else {
            if (m.EndStr.isEmpty())
                break;
            qsizetype end = t.indexOf(m.EndStr, best + 1);
            // A span closed by a line break also closes where the text ends without one.
            if (end < 0 && m.EndStr == u"\r\n") {
                Descriptors.Write(k++, Descr(Text.From + best, Text.End() - 1, m.Color, false));
                break;
            }
            if (end < 0)
                break;
            Descriptors.Write(k++,
                              Descr(Text.From + best, Text.From + int(end + m.EndStr.size()) - 1,
                                    m.Color, false));
            pos = end + 1;
        }
    }
    return k;
}

int TColorRule::ScanEvent(int Index, const TScanText &Text, TKeyDescrList &Descriptors)
{
    if (!Memo || Memo->ColorLimMax() == 0)
        return Index;
    std::span<TKeyDescr> buffer = Memo->EventBuf();
    std::fill(buffer.begin(), buffer.end(), TKeyDescr {0, 0, 0, 0, false});
    int count = 0;
    if (Memo->OnDraw)
        Memo->OnDraw(this, Text.Text, buffer, count);
    count = std::clamp(count, 0, int(buffer.size()));
    int k = Index;
    for (int i = 0; i < count; ++i) {
        const TKeyDescr &r = buffer[i];
        // A handler's offsets are kept inside the scanned stretch: anything outside it is
        // never drawn and would only blow up the merge.
        const qint64 beg = std::max<qint64>(qint64(r.BegPos) + Text.From, Text.From);
        const qint64 end = std::min<qint64>(qint64(r.EndPos) + Text.From, Text.End() - 1);
        if (beg > end)
            continue;
        TKeyDescr d = Descr(int(beg), int(end), r.Color, false);
        if (r.ZOrder != 0)
            d.ZOrder = r.ZOrder;
        Descriptors.Write(k++, d);
    }
    return k;
}

TColorRule &TDrawRules::Add()
{
    m_items.push_back(std::make_unique<TColorRule>(Memo));
    return *m_items.back();
}

void TDrawRules::Clear()
{
    m_items.clear();
}

void TDrawRules::Assign(const TDrawRules &Source)
{
    if (&Source == this)
        return;
    Clear();
    for (const auto &rule : Source.m_items)
        Add().Assign(*rule);
}

void TDrawRules::PrepareRules()
{
    if (!NeedPrepare)
        return;
    bool prepared = false;
    for (const auto &rule : m_items)
        prepared = rule->PrepareKeys() || prepared;
    NeedPrepare = !prepared;
}
