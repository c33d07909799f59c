#include "ColorLayer.h"

#include <algorithm>

namespace {

bool SameRun(const TKeyCell &a, const TKeyCell &b)
{
    // Covered and uncovered cells never share a run, so a span in the colour of the bare
    // cells (black, ZOrder 0, not a keyword) is not swallowed by the text around it.
    return a.Color == b.Color && a.ZOrder == b.ZOrder && a.IsKey == b.IsKey && a.Used == b.Used;
}

} // namespace

TColorLayer::TColorLayer()
    : m_rules(this)
{}

void TColorLayer::SetColorLimMax(int Value)
{
    Value = std::max(Value, 0);
    if (Value != ColorLimMax())
        m_eventBuf.assign(size_t(Value), TKeyDescr {});
}

int TColorLayer::LinesAbove() const
{
    if (m_rules.Count() == 0)
        return 0;
    return std::max(m_rules[0].KeyMaxHeight - 1, 0);
}

int TColorLayer::BuildRuns(const TScanText &Text, const TPaintState &State)
{
    m_rules.PrepareRules();
    m_pool.MarkUnused();
    int k = ScanHotSpots(0, Text);
    if (State.WantTabs)
        k = ScanTabs(k, Text);
    if (State.RedrawAlways)
        k = WriteClipped(k, Text, State.CaretLineStart, State.SelStart, State.FontColor, 0);
    for (int i = 0; i < m_rules.Count(); ++i) {
        if (m_rules[i].Enabled)
            k = m_rules[i].ScanKeys(k, Text, m_pool);
    }
    if (State.SelLength > 0)
        WriteClipped(k, Text, State.SelStart, State.SelStart + State.SelLength - 1, 0, ZSelection);
    return MergeIntoRuns();
}

int TColorLayer::ScanHotSpots(int Index, const TScanText &Text)
{
    if (!HotSpot.Active || HotSpot.BeginChar.isNull())
        return Index;
    const QStringView t = Text.Text;
    int k = Index;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype b = t.indexOf(HotSpot.BeginChar, pos);
        if (b < 0)
            break;
        const int beg = Text.From + int(b);
        m_pool.Write(k++, {beg, beg, HotSpot.MarkerColor, ZHotSpotMarker, false});
        const qsizetype e = t.indexOf(HotSpot.EndChar, b + 1);
        if (e < 0) {
            m_pool[--k].BegPos = MaxInt;
            break;
        }
        const int end = Text.From + int(e);
        m_pool.Write(k++, {beg + 1, end - 1, HotSpot.Color, ZHotSpotText, false});
        m_pool.Write(k++, {end, end, HotSpot.MarkerColor, ZHotSpotMarker, false});
        pos = e + 1;
    }
    return k;
}

int TColorLayer::ScanTabs(int Index, const TScanText &Text)
{
    int k = Index;
    const QStringView t = Text.Text;
    for (qsizetype i = t.indexOf(QChar('\t')); i >= 0; i = t.indexOf(QChar('\t'), i + 1)) {
        const int at = Text.From + int(i);
        m_pool.Write(k++, {at, at, 0, ZTab, false});
    }
    return k;
}

int TColorLayer::WriteClipped(int Index, const TScanText &Text, int Beg, int End, TColor Color,
                              std::uint8_t ZOrder)
{
    // Only the scanned stretch is ever drawn; clipping keeps a selection of the whole of a
    // large text from making every paint walk all of it.
    Beg = std::max(Beg, Text.From);
    End = std::min(End, Text.End() - 1);
    if (Beg > End)
        return Index;
    m_pool.Write(Index, {Beg, End, Color, ZOrder, false});
    return Index + 1;
}

int TColorLayer::MergeIntoRuns()
{
    const int minPos = m_pool.MinPos;
    const int maxPos = m_pool.MaxPos;
    if (minPos < 0 || maxPos < minPos) {
        if (m_pool.Count() > 0)
            m_pool[0].BegPos = MaxInt;
        return 0;
    }
    // The covered range plus one cell that stays clear, so the last run always ends.
    const size_t n = size_t(maxPos - minPos) + 2;
    if (m_cells.size() < n)
        m_cells.resize(n);
    std::fill(m_cells.begin(), m_cells.begin() + qsizetype(n), TKeyCell {});
    for (int i = 0; i < m_pool.Count(); ++i) {
        const TKeyDescr &d = m_pool[i];
        if (d.BegPos == MaxInt || d.EndPos >= MaxInt)
            continue;
        const int from = std::max(d.BegPos, minPos);
        const int to = std::min(d.EndPos, maxPos);
        for (int p = from; p <= to; ++p) {
            TKeyCell &cell = m_cells[size_t(p - minPos)];
            if (cell.ZOrder <= d.ZOrder)
                cell = {d.Color, d.ZOrder, d.IsKey, true};
        }
    }
    int k = 0;
    size_t start = 0;
    for (size_t i = 1; i < n; ++i) {
        if (SameRun(m_cells[i], m_cells[start]))
            continue;
        const TKeyCell &c = m_cells[start];
        if (c.Used)
            m_pool.Put(k++, {minPos + int(start), minPos + int(i) - 1, c.Color, c.ZOrder, c.IsKey});
        start = i;
    }
    if (k < m_pool.Count())
        m_pool[k].BegPos = MaxInt;
    return k;
}

bool IsOverHotSpot(QStringView Line, int Col, QChar BeginChar, QChar EndChar)
{
    if (Col < 0 || Col > Line.size())
        return false;
    const QStringView tail = Line.mid(Col);
    const qsizetype e = tail.indexOf(EndChar) + 1;
    const qsizetype b = tail.indexOf(BeginChar) + 1;
    return e > 0 && !(b != 0 && b <= e && BeginChar != EndChar);
}

QString HotSpotText(QStringView Line, int Col, QChar BeginChar, QChar EndChar)
{
    Col = std::clamp<int>(Col, 0, int(Line.size()));
    const QStringView head = Line.left(Col);
    const QStringView tail = Line.mid(Col);
    const qsizetype lastBegin = head.lastIndexOf(BeginChar);
    const qsizetype end = tail.indexOf(EndChar);
    return head.mid(lastBegin + 1).toString() + tail.left(end < 0 ? tail.size() : end).toString();
}
