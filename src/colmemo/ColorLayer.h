#pragma once

// What the colour memo paints over the native text, worked out without widgets: the rules,
// hot spots, tab cuts and the selection write descriptors into one pool, which is merged
// character by character (higher ZOrder wins, later wins on equal ZOrder) and written back
// as runs of equal colour, ready to draw.

#include "ColorRules.h"

#include <functional>
#include <span>
#include <vector>

// Reserved ZOrder values: hot-spot text, hot-spot markers, the selection, tab characters.
constexpr std::uint8_t ZHotSpotText = 252;
constexpr std::uint8_t ZHotSpotMarker = 253;
constexpr std::uint8_t ZSelection = 254;
constexpr std::uint8_t ZTab = 255;

struct TKeyCell
{
    TColor Color = 0;
    std::uint8_t ZOrder = 0;
    bool IsKey = false;
    bool Used = false;
};

// Spans for rules of the event kind: FromPos is the scanned stretch; the handler fills A
// (offsets from the stretch's start) and sets ItemsCount.
using TDrawEvent = std::function<void(TColorRule *Sender, QStringView FromPos,
                                      std::span<TKeyDescr> A, int &ItemsCount)>;

// What the editor knows when it paints, in character indexes (line breaks count two).
struct TPaintState
{
    int SelStart = 0;
    int SelLength = 0;
    bool WantTabs = true;
    bool RedrawAlways = false;
    int CaretLineStart = 0; // first character of the line holding SelStart
    TColor FontColor = clWindowText;
};

class TColorLayer
{
public:
    TColorLayer();
    TColorLayer(const TColorLayer &) = delete;
    TColorLayer &operator=(const TColorLayer &) = delete;

    TDrawRules &ColorRules() { return m_rules; }
    const TDrawRules &ColorRules() const { return m_rules; }
    void SetColorRules(const TDrawRules &Rules) { m_rules.Assign(Rules); }

    THotSpot HotSpot;
    TDrawEvent OnDraw;

    int ColorLimMax() const { return int(m_eventBuf.size()); }
    void SetColorLimMax(int Value);
    std::span<TKeyDescr> EventBuf() { return m_eventBuf; }

    // Lines above the first painted line that the scan must include to find spans opened
    // there: KeyMaxHeight - 1 of the first rule.
    int LinesAbove() const;

    // Fills the pool with the runs to draw for the stretch and returns their count; the
    // runs are Descriptors()[0 .. count - 1].
    int BuildRuns(const TScanText &Text, const TPaintState &State);

    TKeyDescrList &Descriptors() { return m_pool; }
    const TKeyDescrList &Descriptors() const { return m_pool; }

private:
    int ScanHotSpots(int Index, const TScanText &Text);
    int ScanTabs(int Index, const TScanText &Text);
    int WriteClipped(int Index, const TScanText &Text, int Beg, int End, TColor Color,
                     std::uint8_t ZOrder);
    int MergeIntoRuns();

    TDrawRules m_rules;
    TKeyDescrList m_pool {100};
    std::vector<TKeyCell> m_cells;
    std::vector<TKeyDescr> m_eventBuf;
};

// Whether column Col of Line lies inside a hot spot: an end marker follows on the line and
// no begin marker comes before it.
bool IsOverHotSpot(QStringView Line, int Col, QChar BeginChar, QChar EndChar);
// The text of the hot spot around column Col (the caller has checked IsOverHotSpot).
QString HotSpotText(QStringView Line, int Col, QChar BeginChar, QChar EndChar);
