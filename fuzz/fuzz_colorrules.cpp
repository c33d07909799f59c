// The colour layer over any text, with the editor's SQL rules or with rule lists taken from
// the input: the runs it yields lie inside the painted stretch, in order, without overlap.

#include "ColorLayer.h"
#include "FuzzSupport.h"
#include "SqlRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const uint8_t mode = data[0];
    const int from = data[1] * 3;
    TPaintState state;
    state.SelStart = from + data[2] % 64;
    state.SelLength = data[3] % 32;
    state.RedrawAlways = mode & 2;
    state.WantTabs = mode & 4;
    const auto [rules, text] = SplitInput(data + 4, size - 4, QByteArray("\n====\n", 6));
    const QString body = QString::fromUtf8(text.isEmpty() ? rules : text);

    // The editor's own rules are prepared once, as the editor keeps one layer for all
    // its painting; rule lists from the input get a layer of their own.
    static TColorLayer *sqlLayer = [] {
        auto *l = new TColorLayer;
        TDrawRules sql;
        AddSqlColorRules(sql);
        l->SetColorRules(sql);
        l->ColorRules().PrepareRules();
        return l;
    }();
    TColorLayer ownLayer;
    const bool own = mode & 1 && !text.isEmpty();
    TColorLayer &layer = own ? ownLayer : *sqlLayer;
    if (own) {
        // Rule lists as a user may write them: keyword lines, begin/end and line-end markers.
        const QStringList lines = QString::fromUtf8(rules).split(u'\n');
        TColorRule &rule = layer.ColorRules().Add();
        rule.KeyDrawingType = TKeyDrawingType((mode >> 3) % 4);
        rule.PartWord = mode & 0x40;
        rule.KeyCase = mode & 0x80;
        rule.KeyMaxHeight = 1 + data[2] % 4;
        rule.SetKeywords(lines.mid(0, lines.size() / 3));
        rule.SetKeyBegEndLst(lines.mid(lines.size() / 3, lines.size() / 3));
        rule.SetKeyLineEndLst(lines.mid(2 * (lines.size() / 3)));
    }
    layer.HotSpot.Active = mode & 0x20;
    layer.ColorRules().PrepareRules();

    const TScanText stretch {body, from};
    const int count = layer.BuildRuns(stretch, state);
    const TKeyDescrList &runs = layer.Descriptors();
    FUZZ_CHECK(count >= 0 && count <= runs.Count());
    int last = from - 1;
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(runs[i].BegPos > last);
        FUZZ_CHECK(runs[i].EndPos >= runs[i].BegPos);
        FUZZ_CHECK(runs[i].EndPos < stretch.End());
        last = runs[i].EndPos;
    }
    return 0;
}
