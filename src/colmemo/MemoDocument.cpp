#include "MemoDocument.h"

#include <algorithm>

namespace {

// Lines per chunk: a loaded text fills chunks to Target; an edit splits a chunk past Most and
// merges one below Least into its neighbour, so that finding a line walks few chunks and an
// edit moves few lines.
constexpr int Target = 512;
constexpr int Most = 1024;
constexpr int Least = 128;

// Widths below this are counted in a flat table while a text loads; a map lookup per line
// would cost more than finding the line.
constexpr int FlatWidths = 4096;

bool IsBreak(QChar C)
{
    return C == u'\n' || C == u'\r' || C == QChar::ParagraphSeparator || C == QChar::LineSeparator;
}

// Every line break as "\n"; Text itself when it has no other kind.
QString Normalized(const QString &Text)
{
    const auto other = [](QChar C) {
        return IsBreak(C) && C != u'\n';
    };
    if (std::none_of(Text.begin(), Text.end(), other))
        return Text;
    QString out;
    out.reserve(Text.size());
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const QChar c = Text[i];
        if (c == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n')
            ++i;
        out += IsBreak(c) ? QChar(u'\n') : c;
    }
    return out;
}

int NextTab(int Cells, int Tab)
{
    return (Cells / Tab + 1) * Tab;
}

} // namespace

TMemoDocument::TMemoDocument(QObject *Parent)
    : QObject(Parent)
{
    std::fill(std::begin(m_ascii), std::end(m_ascii), 1);
    m_chunks.resize(1);
    m_chunks[0].Lines.resize(1);
    m_chunks[0].Chars = 1;
    m_widths[0] = 1;
}

TMemoDocument::~TMemoDocument() = default;

void TMemoDocument::CacheAt(int ChunkIndex, int ChunkLine, qsizetype ChunkPos) const
{
    m_cacheChunk = ChunkIndex;
    m_cacheLine = ChunkLine;
    m_cachePos = ChunkPos;
    m_cacheIndex = -1;
}

TMemoDocument::Located TMemoDocument::Locate(int Number) const
{
    int c = m_cacheChunk, l = m_cacheLine;
    qsizetype p = m_cachePos;
    while (Number < l && c > 0) {
        --c;
        l -= int(m_chunks[c].Lines.size());
        p -= m_chunks[c].Chars;
    }
    while (c + 1 < int(m_chunks.size()) && Number >= l + int(m_chunks[c].Lines.size())) {
        l += int(m_chunks[c].Lines.size());
        p += m_chunks[c].Chars;
        ++c;
    }
    const auto &lines = m_chunks[c].Lines;
    const int index = std::clamp(Number - l, 0, int(lines.size()) - 1);
    const bool near = c == m_cacheChunk && m_cacheIndex >= 0 && m_cacheIndex <= index;
    const int fromIndex = near ? m_cacheIndex : 0;
    const qsizetype fromStart = near ? m_cacheStart : p;
    CacheAt(c, l, p);
    Located at {c, fromIndex, l, fromStart, l, p};
    for (; at.Index < index; ++at.Index)
        at.Start += lines[at.Index].Length + 1;
    at.Number = l + index;
    m_cacheIndex = at.Index;
    m_cacheStart = at.Start;
    return at;
}

TMemoDocument::Located TMemoDocument::LocateChar(int Pos) const
{
    const qsizetype pos = std::clamp<qsizetype>(Pos, 0, m_chars);
    int c = m_cacheChunk, l = m_cacheLine;
    qsizetype p = m_cachePos;
    while (pos < p && c > 0) {
        --c;
        l -= int(m_chunks[c].Lines.size());
        p -= m_chunks[c].Chars;
    }
    while (c + 1 < int(m_chunks.size()) && pos >= p + m_chunks[c].Chars) {
        l += int(m_chunks[c].Lines.size());
        p += m_chunks[c].Chars;
        ++c;
    }
    const bool near = c == m_cacheChunk && m_cacheIndex >= 0 && m_cacheStart <= pos;
    const int fromIndex = near ? m_cacheIndex : 0;
    const qsizetype fromStart = near ? m_cacheStart : p;
    CacheAt(c, l, p);
    Located at {c, fromIndex, l, fromStart, l, p};
    const auto &lines = m_chunks[c].Lines;
    while (at.Index + 1 < int(lines.size()) && pos > at.Start + lines[at.Index].Length) {
        at.Start += lines[at.Index].Length + 1;
        ++at.Index;
    }
    at.Number = l + at.Index;
    m_cacheIndex = at.Index;
    m_cacheStart = at.Start;
    return at;
}

TMemoDocument::View TMemoDocument::ViewOf(const Line &L) const
{
    if (L.Start >= 0)
        return {QStringView(m_base).mid(L.Start, L.Length), {}};
    const Own &o = m_own[-1 - L.Start];
    const QStringView buf(o.Buf);
    return {buf.first(o.Gap), buf.sliced(o.Gap + o.GapLen)};
}

void TMemoDocument::AppendLine(QString &Out, const Line &L, int From, int Count) const
{
    const View v = ViewOf(L);
    From = std::clamp(From, 0, v.size());
    const int end = Count < 0 ? v.size() : From + std::clamp(Count, 0, v.size() - From);
    const int a = int(v.A.size());
    if (From < a)
        Out += v.A.sliced(From, std::min(end, a) - From);
    if (end > a)
        Out += v.B.sliced(std::max(From, a) - a, end - std::max(From, a));
}

void TMemoDocument::Scan(Line &L) const
{
    const View v = ViewOf(L);
    const int n = v.size();
    int cells = 0;
    bool plain = true;
    for (int i = 0; i < n; ++i) {
        const QChar c = v.at(i);
        if (c == u'\t') {
            cells = NextTab(cells, m_tabCells);
            plain = false;
        } else if (c.isHighSurrogate() && i + 1 < n && v.at(i + 1).isLowSurrogate()) {
            cells += CharCells(QChar::surrogateToUcs4(c, v.at(i + 1)));
            plain = false;
            ++i;
        } else {
            const int w = CharCells(c.unicode());
            cells += w;
            plain = plain && w == 1;
        }
    }
    L.Cells = unsigned(cells);
    L.Plain = plain;
}

bool TMemoDocument::IsPlain(QStringView Text) const
{
    for (const QChar c : Text) {
        if (c == u'\t' || c.isSurrogate() || CharCells(c.unicode()) != 1)
            return false;
    }
    return true;
}

void TMemoDocument::CountWidth(const Line &L, int Delta)
{
    const auto it = m_widths.try_emplace(int(L.Cells), 0).first;
    it->second += Delta;
    if (it->second == 0)
        m_widths.erase(it);
}

int TMemoDocument::NewOwn(QStringView A, QStringView B, QStringView C)
{
    int index;
    if (m_freeOwn.empty()) {
        index = int(m_own.size());
        m_own.emplace_back();
    } else {
        index = m_freeOwn.back();
        m_freeOwn.pop_back();
    }
    Own &o = m_own[index];
    o.Buf.reserve(A.size() + B.size() + C.size());
    o.Buf.append(A).append(B).append(C);
    o.Gap = int(o.Buf.size());
    o.GapLen = 0;
    return index;
}

void TMemoDocument::FreeLine(const Line &L)
{
    CountWidth(L, -1);
    if (L.Start < 0) {
        const int index = int(-1 - L.Start);
        m_own[index] = Own();
        m_freeOwn.push_back(index);
    }
}

void TMemoDocument::EditInLine(const Located &At, int Col, int Count, QStringView Text)
{
    Chunk &chunk = m_chunks[At.Chunk];
    Line &l = chunk.Lines[At.Index];
    CountWidth(l, -1);
    const int n = int(Text.size());
    const bool keepsPlain = l.Plain && IsPlain(Text);
    if (l.Start >= 0 && n == 0 && (Col == 0 || Col + Count == l.Length)) {
        // Cutting a base line at either end keeps it a range of the base.
        if (Col == 0)
            l.Start += Count;
    } else {
        if (l.Start >= 0) {
            const QStringView base = QStringView(m_base).mid(l.Start, l.Length);
            l.Start = -1 - NewOwn(base, {}, {});
        }
        Own &o = m_own[-1 - l.Start];
        QChar *d = o.Buf.data();
        // Move the gap to Col: only the characters between the old gap and Col move.
        if (Col < o.Gap)
            std::copy_backward(d + Col, d + o.Gap, d + o.Gap + o.GapLen);
        else if (Col > o.Gap)
            std::copy(d + o.Gap + o.GapLen, d + Col + o.GapLen, d + o.Gap);
        o.Gap = Col;
        o.GapLen += Count;
        if (o.GapLen < n) {
            // A gap grown by a share of the line keeps typing into a long line amortised.
            const int after = int(o.Buf.size()) - o.Gap - o.GapLen;
            const int gap = n + std::max(64, (o.Gap + after) / 8);
            QString buf(o.Gap + gap + after, Qt::Uninitialized);
            std::copy(d, d + o.Gap, buf.data());
            std::copy(d + o.Gap + o.GapLen, d + o.Buf.size(), buf.data() + o.Gap + gap);
            o.Buf = std::move(buf);
            o.GapLen = gap;
            d = o.Buf.data();
        }
        std::copy(Text.begin(), Text.end(), d + o.Gap);
        o.Gap += n;
        o.GapLen -= n;
    }
    l.Length += n - Count;
    if (keepsPlain)
        l.Cells = unsigned(l.Cells + n - Count);
    else
        Scan(l);
    CountWidth(l, 1);
    chunk.Chars += n - Count;
    CacheAt(At.Chunk, At.ChunkLine, At.ChunkPos);
}

void TMemoDocument::Rebalance(int ChunkIndex)
{
    auto sum = [](const Chunk &C) {
        qsizetype chars = 0;
        for (const Line &l : C.Lines)
            chars += l.Length + 1;
        return chars;
    };
    int c = ChunkIndex;
    if (int(m_chunks[c].Lines.size()) < Least && m_chunks.size() > 1) {
        const int into = c + 1 < int(m_chunks.size()) ? c : c - 1;
        auto &dst = m_chunks[into].Lines;
        const auto &src = m_chunks[into + 1].Lines;
        dst.insert(dst.end(), src.begin(), src.end());
        m_chunks.erase(m_chunks.begin() + into + 1);
        c = into;
    }
    const int size = int(m_chunks[c].Lines.size());
    if (size > Most) {
        const int parts = (size + Target - 1) / Target;
        std::vector<Chunk> split(parts);
        auto &lines = m_chunks[c].Lines;
        for (int i = 0; i < parts; ++i) {
            const int from = int(qint64(size) * i / parts),
                      to = int(qint64(size) * (i + 1) / parts);
            split[i].Lines.assign(lines.begin() + from, lines.begin() + to);
            split[i].Chars = sum(split[i]);
        }
        m_chunks.erase(m_chunks.begin() + c);
        m_chunks.insert(m_chunks.begin() + c, std::make_move_iterator(split.begin()),
                        std::make_move_iterator(split.end()));
    } else {
        m_chunks[c].Chars = sum(m_chunks[c]);
    }
}

void TMemoDocument::Replace(int Pos, int Count, const QString &Text)
{
    const Located a = LocateChar(Pos);
    const int colA = int(Pos - a.Start);
    const Line lineA = LineAt(a);
    const bool oneLine = !Text.contains(u'\n');
    if (oneLine && colA + Count <= lineA.Length) {
        EditInLine(a, colA, Count, Text);
        m_chars += Text.size() - Count;
        return;
    }
    const Located b = Count == 0 ? a : LocateChar(Pos + Count);
    const int colB = int(Pos + Count - b.Start);
    const Line lineB = LineAt(b);

    QList<QStringView> pieces = QStringView(Text).split(u'\n');
    std::vector<Line> made;
    made.reserve(pieces.size());
    // Keeps what the edit leaves of a base line a range of the base, where it can.
    auto make = [&](const Line &From, int Beg, int End, QStringView Head, QStringView Tail) {
        Line l;
        if (From.Start >= 0 && Head.isEmpty() && Tail.isEmpty()) {
            l.Start = From.Start + Beg;
        } else {
            QString text;
            AppendLine(text, From, Beg, End - Beg);
            l.Start = -1 - NewOwn(Head, text, Tail);
        }
        l.Length = int(Head.size() + Tail.size()) + End - Beg;
        Scan(l);
        return l;
    };
    const QStringView first = pieces.front(), last = pieces.back();
    if (pieces.size() == 1) {
        if (colB == lineB.Length) {
            made.push_back(make(lineA, 0, colA, {}, first));
        } else if (colA == 0) {
            made.push_back(make(lineB, colB, lineB.Length, first, {}));
        } else {
            QString head;
            AppendLine(head, lineA, 0, colA);
            head += first;
            made.push_back(make(lineB, colB, lineB.Length, head, {}));
        }
    } else {
        made.push_back(make(lineA, 0, colA, {}, first));
        for (qsizetype i = 1; i + 1 < pieces.size(); ++i) {
            Line l;
            l.Start = -1 - NewOwn(pieces[i], {}, {});
            l.Length = int(pieces[i].size());
            Scan(l);
            made.push_back(l);
        }
        made.push_back(make(lineB, colB, lineB.Length, last, {}));
    }

    // Free the replaced lines, then swap them for the made ones in a's chunk.
    {
        Located at = a;
        for (int n = a.Number; n <= b.Number; ++n) {
            if (at.Index == int(m_chunks[at.Chunk].Lines.size())) {
                ++at.Chunk;
                at.Index = 0;
            }
            FreeLine(m_chunks[at.Chunk].Lines[at.Index++]);
        }
    }
    auto &linesA = m_chunks[a.Chunk].Lines;
    if (a.Chunk == b.Chunk) {
        linesA.erase(linesA.begin() + a.Index, linesA.begin() + b.Index + 1);
    } else {
        const auto &linesB = m_chunks[b.Chunk].Lines;
        linesA.erase(linesA.begin() + a.Index, linesA.end());
        linesA.insert(linesA.end(), linesB.begin() + b.Index + 1, linesB.end());
        m_chunks.erase(m_chunks.begin() + a.Chunk + 1, m_chunks.begin() + b.Chunk + 1);
    }
    for (const Line &l : made)
        CountWidth(l, 1);
    linesA.insert(linesA.begin() + a.Index, made.begin(), made.end());
    m_lineCount += int(made.size()) - (b.Number - a.Number + 1);
    m_chars += Text.size() - Count;
    // The chunks before a's neighbour keep their places; a merge may reach back into it.
    if (a.Chunk > 0)
        CacheAt(a.Chunk - 1, a.ChunkLine - int(m_chunks[a.Chunk - 1].Lines.size()),
                a.ChunkPos - m_chunks[a.Chunk - 1].Chars);
    else
        CacheAt(0, 0, 0);
    Rebalance(a.Chunk);
}

QString TMemoDocument::toPlainText() const
{
    return Text(0, Length());
}

void TMemoDocument::setPlainText(const QString &Text)
{
    LoadText(Text, {}, 0);
}

bool TMemoDocument::LoadText(const QString &Text, const TProgress &Progress, qsizetype SliceChars)
{
    const qsizetype n = Text.size();
    const QChar *d = Text.constData();
    std::vector<Chunk> chunks(1);
    chunks.back().Lines.reserve(Target);
    std::vector<int> flat(FlatWidths, 0);
    std::map<int, int> wide;
    qsizetype lineStart = 0;
    int cells = 0;
    bool plain = true;
    const auto endLine = [&](qsizetype End) {
        if (int(chunks.back().Lines.size()) == Target) {
            chunks.emplace_back();
            chunks.back().Lines.reserve(Target);
        }
        Line l;
        l.Start = lineStart;
        l.Length = int(End - lineStart);
        l.Cells = unsigned(cells);
        l.Plain = plain;
        chunks.back().Lines.push_back(l);
        chunks.back().Chars += l.Length + 1;
        if (cells < FlatWidths)
            ++flat[cells];
        else
            ++wide[cells];
        cells = 0;
        plain = true;
    };
    qsizetype i = 0;
    for (;;) {
        const qsizetype end = SliceChars > 0 ? std::min(n, i + SliceChars) : n;
        while (i < end) {
            const char16_t c = d[i].unicode();
            if (c < 128 && c != u'\n' && c != u'\r' && c != u'\t') {
                const int w = m_ascii[c];
                cells += w;
                plain = plain && w == 1;
                ++i;
            } else if (c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
                endLine(i);
                lineStart = ++i;
            } else if (c == u'\r') {
                endLine(i);
                if (i + 1 < n && d[i + 1] == u'\n')
                    ++i;
                lineStart = ++i;
            } else if (c == u'\t') {
                cells = NextTab(cells, m_tabCells);
                plain = false;
                ++i;
            } else if (QChar::isHighSurrogate(c) && i + 1 < n && d[i + 1].isLowSurrogate()) {
                cells += CharCells(QChar::surrogateToUcs4(c, d[i + 1].unicode()));
                plain = false;
                i += 2;
            } else {
                const int w = CharCells(c);
                cells += w;
                plain = plain && w == 1;
                ++i;
            }
        }
        if (Progress && !Progress(std::min(i, n), n))
            return false;
        if (i >= n)
            break;
    }
    endLine(n);

    const int oldChars = Length(), oldLines = m_lineCount;
    m_chunks = std::move(chunks);
    m_base = Text;
    m_own.clear();
    m_freeOwn.clear();
    m_chars = 0;
    m_lineCount = 0;
    for (const Chunk &c : m_chunks) {
        m_chars += c.Chars;
        m_lineCount += int(c.Lines.size());
    }
    --m_chars;
    m_widths = std::move(wide);
    for (int w = 0; w < FlatWidths; ++w) {
        if (flat[w])
            m_widths[w] = flat[w];
    }
    CacheAt(0, 0, 0);
    m_steps.clear();
    m_undoAt = 0;
    m_cleanAt = 0;
    m_mergeOpen = false;
    m_blockStepOpen = false;
    Changed(0, oldChars, Length(), oldLines);
    Notify();
    return true;
}

QChar TMemoDocument::characterAt(int Pos) const
{
    if (Pos < 0 || Pos > Length())
        return {};
    const Located at = LocateChar(Pos);
    const Line &l = LineAt(at);
    const int col = int(Pos - at.Start);
    return col == l.Length ? QChar(QChar::ParagraphSeparator) : ViewOf(l).at(col);
}

QString TMemoDocument::Text(int From, int Count) const
{
    From = std::clamp(From, 0, Length());
    Count = std::clamp(Count, 0, Length() - From);
    QString out;
    out.reserve(Count);
    Located at = LocateChar(From);
    int col = int(From - at.Start);
    while (Count > 0) {
        const Line &l = LineAt(at);
        const int take = std::min(Count, l.Length - col);
        AppendLine(out, l, col, take);
        Count -= take;
        if (Count > 0) {
            out += u'\n';
            --Count;
            col = 0;
            if (++at.Index == int(m_chunks[at.Chunk].Lines.size())) {
                ++at.Chunk;
                at.Index = 0;
            }
        }
    }
    return out;
}

TMemoBlock TMemoDocument::findBlock(int Pos) const
{
    return Pos < 0 ? TMemoBlock() : TMemoBlock(this, LocateChar(Pos).Number);
}

QString TMemoDocument::LineText(int Number, int From, int Count) const
{
    QString out;
    AppendLine(out, LineAt(Locate(Number)), From, Count);
    return out;
}

int TMemoDocument::LineStart(int Number) const
{
    return int(Locate(Number).Start);
}

int TMemoDocument::LineLength(int Number) const
{
    return LineAt(Locate(Number)).Length;
}

void TMemoDocument::Insert(int Pos, const QString &Text)
{
    if (Text.isEmpty())
        return;
    Pos = std::clamp(Pos, 0, Length());
    const QString text = Normalized(Text);
    const int lines = m_lineCount;
    Replace(Pos, 0, text);
    Record(Pos, {}, text);
    Changed(Pos, 0, int(text.size()), lines);
    Notify();
}

void TMemoDocument::Remove(int Pos, int Count)
{
    Pos = std::clamp(Pos, 0, Length());
    Count = std::clamp(Count, 0, Length() - Pos);
    if (Count == 0)
        return;
    const QString removed = Text(Pos, Count);
    const int lines = m_lineCount;
    Replace(Pos, Count, {});
    Record(Pos, removed, {});
    Changed(Pos, Count, 0, lines);
    Notify();
}

void TMemoDocument::Record(int Pos, const QString &Removed, const QString &Inserted)
{
    if (!m_undoEnabled) {
        m_cleanAt = -1;
        return;
    }
    if (m_editDepth > 0 && m_blockStepOpen) {
        m_steps.back().Edits.push_back({Pos, Removed, Inserted});
        return;
    }
    const bool single = Removed.size() + Inserted.size() == 1;
    if (m_editDepth == 0 && single && m_mergeOpen && m_undoAt == int(m_steps.size()) && m_undoAt > 0
        && m_cleanAt != m_undoAt && m_steps.back().Edits.size() == 1) {
        Edit &e = m_steps.back().Edits.front();
        if (Removed.isEmpty() && e.Removed.isEmpty() && e.Pos + e.Inserted.size() == Pos) {
            e.Inserted += Inserted;
            return;
        }
        if (Inserted.isEmpty() && e.Inserted.isEmpty() && Pos + 1 == e.Pos) {
            e.Pos = Pos;
            e.Removed.prepend(Removed);
            return;
        }
        if (Inserted.isEmpty() && e.Inserted.isEmpty() && Pos == e.Pos) {
            e.Removed += Removed;
            return;
        }
    }
    if (m_cleanAt > m_undoAt)
        m_cleanAt = -1;
    m_steps.resize(m_undoAt);
    m_steps.push_back({{{Pos, Removed, Inserted}}});
    ++m_undoAt;
    m_blockStepOpen = m_editDepth > 0;
    m_mergeOpen = m_editDepth == 0 && single;
}

void TMemoDocument::Notify()
{
    const bool modified = isModified(), undo = isUndoAvailable(), redo = isRedoAvailable();
    if (undo != m_wasUndo)
        emit undoAvailable(m_wasUndo = undo);
    if (redo != m_wasRedo)
        emit redoAvailable(m_wasRedo = redo);
    if (modified != m_wasModified)
        emit modificationChanged(m_wasModified = modified);
}

void TMemoDocument::Changed(int Pos, int Removed, int Added, int LinesBefore)
{
    emit contentsChange(Pos, Removed, Added);
    if (m_lineCount != LinesBefore)
        emit blockCountChanged(m_lineCount);
    if (m_editDepth > 0)
        m_editChanged = true;
    else
        emit contentsChanged();
}

void TMemoDocument::beginEditBlock()
{
    if (m_editDepth++ == 0) {
        m_blockStepOpen = false;
        m_editChanged = false;
        m_mergeOpen = false;
    }
}

void TMemoDocument::endEditBlock()
{
    if (m_editDepth == 0 || --m_editDepth > 0)
        return;
    m_blockStepOpen = false;
    if (m_editChanged) {
        m_editChanged = false;
        emit contentsChanged();
    }
}

void TMemoDocument::setUndoRedoEnabled(bool Enable)
{
    if (!Enable)
        clearUndoRedoStacks();
    m_undoEnabled = Enable;
}

void TMemoDocument::clearUndoRedoStacks()
{
    m_cleanAt = isModified() ? -1 : 0;
    m_steps.clear();
    m_undoAt = 0;
    m_mergeOpen = false;
    m_blockStepOpen = false;
    Notify();
}

bool TMemoDocument::undo(int *Caret)
{
    if (!isUndoAvailable() || m_editDepth > 0)
        return false;
    const Step &step = m_steps[--m_undoAt];
    int caret = 0;
    beginEditBlock();
    for (auto e = step.Edits.rbegin(); e != step.Edits.rend(); ++e) {
        const int lines = m_lineCount;
        Replace(e->Pos, int(e->Inserted.size()), e->Removed);
        Changed(e->Pos, int(e->Inserted.size()), int(e->Removed.size()), lines);
        caret = e->Pos + int(e->Removed.size());
    }
    endEditBlock();
    if (Caret)
        *Caret = caret;
    Notify();
    return true;
}

bool TMemoDocument::redo(int *Caret)
{
    if (!isRedoAvailable() || m_editDepth > 0)
        return false;
    const Step &step = m_steps[m_undoAt++];
    int caret = 0;
    beginEditBlock();
    for (const Edit &e : step.Edits) {
        const int lines = m_lineCount;
        Replace(e.Pos, int(e.Removed.size()), e.Inserted);
        Changed(e.Pos, int(e.Removed.size()), int(e.Inserted.size()), lines);
        caret = e.Pos + int(e.Inserted.size());
    }
    endEditBlock();
    if (Caret)
        *Caret = caret;
    Notify();
    return true;
}

bool TMemoDocument::isModified() const
{
    return m_undoAt != m_cleanAt;
}

void TMemoDocument::setModified(bool Modified)
{
    m_cleanAt = Modified ? -1 : m_undoAt;
    m_mergeOpen = false;
    Notify();
}

void TMemoDocument::SetCharCells(TCharCells Cells)
{
    m_cells = std::move(Cells);
    for (char32_t c = 0; c < 128; ++c)
        m_ascii[c] = m_cells ? m_cells(c) : 1;
    SetTabCells(m_tabCells);
}

void TMemoDocument::SetTabCells(int Cells)
{
    m_tabCells = std::max(1, Cells);
    m_widths.clear();
    for (Chunk &c : m_chunks) {
        for (Line &l : c.Lines) {
            Scan(l);
            CountWidth(l, 1);
        }
    }
}

int TMemoDocument::CellOf(int Number, int Col) const
{
    const Line &l = LineAt(Locate(Number));
    Col = std::clamp(Col, 0, l.Length);
    if (l.Plain)
        return Col;
    const View v = ViewOf(l);
    int cells = 0;
    for (int i = 0; i < Col; ++i) {
        const QChar c = v.at(i);
        if (c == u'\t')
            cells = NextTab(cells, m_tabCells);
        else if (c.isHighSurrogate() && i + 1 < l.Length && v.at(i + 1).isLowSurrogate())
            cells += CharCells(QChar::surrogateToUcs4(c, v.at(++i)));
        else
            cells += CharCells(c.unicode());
    }
    return cells;
}

int TMemoDocument::ColumnAtCell(int Number, int Cell) const
{
    const Line &l = LineAt(Locate(Number));
    if (Cell <= 0)
        return 0;
    if (l.Plain)
        return std::min(Cell, l.Length);
    const View v = ViewOf(l);
    int cells = 0;
    for (int i = 0; i < l.Length; ++i) {
        const QChar c = v.at(i);
        int next, width = 1;
        if (c == u'\t') {
            next = NextTab(cells, m_tabCells);
        } else if (c.isHighSurrogate() && i + 1 < l.Length && v.at(i + 1).isLowSurrogate()) {
            next = cells + CharCells(QChar::surrogateToUcs4(c, v.at(i + 1)));
            width = 2;
        } else {
            next = cells + CharCells(c.unicode());
        }
        if (Cell < next)
            return i;
        cells = next;
        i += width - 1;
    }
    return l.Length;
}

int TMemoDocument::LineCells(int Number) const
{
    return int(LineAt(Locate(Number)).Cells);
}

int TMemoDocument::WidestCells() const
{
    return m_widths.empty() ? 0 : m_widths.rbegin()->first;
}
