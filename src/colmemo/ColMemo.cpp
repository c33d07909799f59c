#include "ColMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

// How far beyond the visible columns of a wide line spans are looked for.
constexpr int WideLineReach = 10000;

bool OneCellAscii(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() < 0x7F;
}

} // namespace

QColor TColorToQColor(TColor Color, const QPalette &Palette)
{
    if (Color & clSystemColor) {
        switch (Color) {
        case clWindow:
            return Palette.color(QPalette::Base);
        case clBtnFace:
            return Palette.color(QPalette::Button);
        default:
            return Palette.color(QPalette::Text);
        }
    }
    return QColor(int(Color & 0xFF), int((Color >> 8) & 0xFF), int((Color >> 16) & 0xFF));
}

TColor QColorToTColor(const QColor &Color)
{
    return TColor(Color.red()) | (TColor(Color.green()) << 8) | (TColor(Color.blue()) << 16);
}

TColorMemo::TColorMemo(QWidget *AOwner)
    : QAbstractScrollArea(AOwner)
    , m_doc(new TMemoDocument(this))
    , m_cursor(m_doc)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAcceptDrops(true);
    setAcceptDrops(true);
    m_caretTimer.setInterval(std::max(QApplication::cursorFlashTime() / 2, 1));
    connect(&m_caretTimer, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        viewport()->update(m_caretArea);
    });
    connect(m_doc, &TMemoDocument::contentsChange, this, &TColorMemo::ContentsChange);
    connect(m_doc, &TMemoDocument::contentsChanged, this, &TColorMemo::Change);
    connect(m_doc, &TMemoDocument::undoAvailable, this, &TColorMemo::undoAvailable);
    connect(m_doc, &TMemoDocument::redoAvailable, this, &TColorMemo::redoAvailable);
    connect(m_doc, &TMemoDocument::modificationChanged, this, &TColorMemo::modificationChanged);
    UpdateMetrics();
}

void TColorMemo::SetColorRules(const TDrawRules &Rules)
{
    m_layer.SetColorRules(Rules);
    PaintKeys(this, false);
}

void TColorMemo::SetHotSpot(const THotSpot &Value)
{
    m_layer.HotSpot.Assign(Value);
    if (Value.Active)
        viewport()->setMouseTracking(true);
    PaintKeys(this, false);
}

// ---- text and caret

TMemoCursor TColorMemo::textCursor() const
{
    return m_cursor;
}

void TColorMemo::setTextCursor(const TMemoCursor &Cursor)
{
    TMemoCursor c(m_doc);
    c.setPosition(Cursor.anchor());
    c.setPosition(Cursor.position(), QTextCursor::KeepAnchor);
    SetCursor(c);
    ensureCursorVisible();
}

void TColorMemo::SetCursor(const TMemoCursor &Cursor, bool KeepCell)
{
    const TMemoCursor old = m_cursor;
    m_cursor = Cursor;
    if (!KeepCell)
        m_keptCell = -1;
    if (old.position() != m_cursor.position() || old.anchor() != m_cursor.anchor())
        m_doc->BreakUndoMerge();
    const bool newSelection = old.selectionStart() != m_cursor.selectionStart()
        || old.selectionEnd() != m_cursor.selectionEnd();
    if (newSelection) {
        // The selection's colours are painted with the text.
        viewport()->update();
        if (old.hasSelection() != m_cursor.hasSelection())
            emit copyAvailable(m_cursor.hasSelection());
        emit selectionChanged();
    }
    if (old.position() != m_cursor.position()) {
        CaretMoved();
        emit cursorPositionChanged();
    }
}

void TColorMemo::ContentsChange(int Pos, int Removed, int Added)
{
    // The caret follows edits made elsewhere as a QTextCursor would: the text replaced is
    // taken away, which moves a caret inside it to its start, and the new text pushes a caret
    // at that place on.
    auto follow = [&](int p) {
        if (p < Pos)
            return p;
        if (p <= Pos + Removed)
            return Pos + Added;
        return p - Removed + Added;
    };
    const int pos = follow(m_cursor.position());
    const int anchor = follow(m_cursor.anchor());
    m_cursor.setPosition(anchor);
    m_cursor.setPosition(pos, QTextCursor::KeepAnchor);
    UpdateScrollBars();
    m_caretArea = CaretRect().toAlignedRect().adjusted(-1, 0, 1, 0);
}

void TColorMemo::Edit(const std::function<void(TMemoCursor &)> &Action)
{
    TMemoCursor c = m_cursor;
    Action(c);
    SetCursor(c);
    ensureCursorVisible();
}

bool TColorMemo::moveCursor(QTextCursor::MoveOperation Op, QTextCursor::MoveMode Mode)
{
    TMemoCursor c = m_cursor;
    const bool moved = c.movePosition(Op, Mode);
    setTextCursor(c);
    return moved;
}

void TColorMemo::setReadOnly(bool ReadOnly)
{
    m_readOnly = ReadOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !ReadOnly);
    viewport()->update();
}

qreal TColorMemo::tabStopDistance() const
{
    return m_doc->TabCells() * m_cellWidth;
}

void TColorMemo::setTabStopDistance(qreal Distance)
{
    m_doc->SetTabCells(std::max(1, int(std::lround(Distance / m_cellWidth))));
    UpdateScrollBars();
    viewport()->update();
}

void TColorMemo::setPlainText(const QString &Text)
{
    m_doc->setPlainText(Text);
    SetCursor(TMemoCursor(m_doc));
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
}

void TColorMemo::appendPlainText(const QString &Text)
{
    const bool atBottom = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    const bool empty = m_doc->isEmpty() && m_doc->blockCount() == 1;
    m_doc->Insert(m_doc->Length(), empty ? Text : u'\n' + Text);
    if (atBottom)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TColorMemo::insertPlainText(const QString &Text)
{
    Edit([&](TMemoCursor &c) { c.insertText(Text); });
}

void TColorMemo::clear()
{
    setPlainText(QString());
}

void TColorMemo::undo()
{
    UndoStep(&TMemoDocument::undo);
}

void TColorMemo::redo()
{
    UndoStep(&TMemoDocument::redo);
}

void TColorMemo::UndoStep(bool (TMemoDocument::*Step)(int *))
{
    int caret = 0;
    if (!(m_doc->*Step)(&caret))
        return;
    TMemoCursor c(m_doc);
    c.setPosition(caret);
    SetCursor(c);
    ensureCursorVisible();
}

void TColorMemo::copy()
{
    if (m_cursor.hasSelection())
        QApplication::clipboard()->setText(m_cursor.selectedText().replace(QChar(0x2029), u'\n'));
}

void TColorMemo::cut()
{
    if (m_readOnly || !m_cursor.hasSelection())
        return;
    copy();
    Edit([](TMemoCursor &c) { c.removeSelectedText(); });
}

bool TColorMemo::canPaste() const
{
    return !m_readOnly && !QApplication::clipboard()->text().isEmpty();
}

void TColorMemo::paste()
{
    if (m_readOnly)
        return;
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty())
        insertPlainText(text);
}

void TColorMemo::selectAll()
{
    TMemoCursor c(m_doc);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    SetCursor(c);
}

int TColorMemo::CaretLine()
{
    m_caretLine = m_doc->findBlock(m_cursor.selectionStart()).blockNumber();
    return m_caretLine;
}

void TColorMemo::SetCaretLine(int Value)
{
    m_caretLine = std::clamp(Value, 0, m_doc->blockCount() - 1);
    setTextCursor(TMemoCursor(m_doc->findBlockByNumber(m_caretLine)));
}

int TColorMemo::CaretCol()
{
    const int start = m_cursor.selectionStart();
    m_caretCol = start - m_doc->findBlock(start).position();
    return m_caretCol;
}

void TColorMemo::SetCaretCol(int Value)
{
    const int line = std::clamp(m_caretLine, 0, m_doc->blockCount() - 1);
    m_caretCol = std::clamp(Value, 0, m_doc->LineLength(line));
    TMemoCursor c(m_doc);
    c.setPosition(m_doc->LineStart(line) + m_caretCol);
    setTextCursor(c);
}

int TColorMemo::TopLine()
{
    m_topLine = verticalScrollBar()->value();
    return m_topLine;
}

TMemoBlock TColorMemo::firstVisibleBlock() const
{
    return m_doc->findBlockByNumber(verticalScrollBar()->value());
}

int TColorMemo::CharIndex(int Position) const
{
    return Position + m_doc->findBlock(Position).blockNumber();
}

// ---- geometry

void TColorMemo::UpdateMetrics()
{
    const QFontMetricsF fm(font());
    m_cellWidth = std::max<qreal>(fm.horizontalAdvance(QChar(' ')), 1);
    // Printable ASCII drawn in runs needs every one of its characters one cell wide; a font
    // that is not of fixed pitch gets its characters drawn one by one, each in its cell.
    m_monoAscii = true;
    for (char16_t c = 0x21; c < 0x7F; ++c) {
        const qreal w = fm.horizontalAdvance(QChar(c));
        if (std::abs(w - m_cellWidth) > 0.01) {
            m_monoAscii = false;
            m_cellWidth = std::max(m_cellWidth, w);
        }
    }
    m_lineHeight = std::max(1, int(std::ceil(fm.height())));
    m_ascent = int(std::ceil(fm.ascent()));
    m_wideCells.clear();
    const int tabCells = m_doc->TabCells();
    m_doc->SetCharCells([this](char32_t ch) { return CharCells(ch); });
    m_doc->SetTabCells(tabCells);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(std::max(1, int(m_cellWidth) * 2));
    UpdateScrollBars();
}

int TColorMemo::CharCells(char32_t Ch) const
{
    if (Ch < 0x7F && Ch >= 0x20 && m_monoAscii)
        return 1;
    auto it = m_wideCells.find(Ch);
    if (it != m_wideCells.end())
        return it->second;
    const QString s = QString::fromUcs4(&Ch, 1);
    const qreal w = QFontMetricsF(font()).horizontalAdvance(s);
    const QChar::Category cat = QChar::category(Ch);
    int cells = int(std::lround(w / m_cellWidth));
    if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_Enclosing)
        cells = 0;
    else
        cells = std::max(cells, 1);
    m_wideCells.emplace(Ch, cells);
    return cells;
}

int TColorMemo::VisibleLines() const
{
    return std::max(1, (viewport()->height() - TextMargin) / m_lineHeight);
}

qreal TColorMemo::LineTop(int Line) const
{
    return TextMargin + qreal(Line - verticalScrollBar()->value()) * m_lineHeight;
}

qreal TColorMemo::ColumnX(int Line, int Col) const
{
    return TextMargin - horizontalScrollBar()->value() + m_doc->CellOf(Line, Col) * m_cellWidth;
}

int TColorMemo::HitLine(qreal Y) const
{
    const int line
        = verticalScrollBar()->value() + int(std::floor((Y - TextMargin) / m_lineHeight));
    return std::clamp(line, 0, m_doc->blockCount() - 1);
}

int TColorMemo::HitColumn(int Line, qreal X) const
{
    const qreal cellF = (X - TextMargin + horizontalScrollBar()->value()) / m_cellWidth;
    if (cellF <= 0)
        return 0;
    const int col = m_doc->ColumnAtCell(Line, int(std::floor(cellF)));
    if (col >= m_doc->LineLength(Line))
        return m_doc->LineLength(Line);
    // Past the middle of a character the caret goes after it.
    const qreal left = m_doc->CellOf(Line, col);
    const qreal right = m_doc->CellOf(Line, col + 1);
    int hit = cellF - left > (right - left) / 2 ? col + 1 : col;
    // Never between the halves of a surrogate pair.
    const QString two = m_doc->LineText(Line, std::max(hit - 1, 0), 2);
    if (hit > 0 && !two.isEmpty() && two[0].isHighSurrogate())
        ++hit;
    return std::min(hit, m_doc->LineLength(Line));
}

int TColorMemo::TextPosAt(const QPoint &Pos) const
{
    const int line = HitLine(Pos.y());
    return m_doc->LineStart(line) + HitColumn(line, Pos.x());
}

TMemoCursor TColorMemo::cursorForPosition(const QPoint &Pos) const
{
    TMemoCursor c(m_doc);
    c.setPosition(TextPosAt(Pos));
    return c;
}

QRect TColorMemo::cursorRect(const TMemoCursor &Cursor) const
{
    const TMemoBlock block = m_doc->findBlock(Cursor.position());
    const int line = block.blockNumber();
    const qreal x = ColumnX(line, Cursor.position() - block.position());
    return QRect(int(std::floor(x)), int(LineTop(line)), 1, m_lineHeight);
}

void TColorMemo::UpdateScrollBars()
{
    QScrollBar *v = verticalScrollBar();
    const int visible = VisibleLines();
    v->setPageStep(visible);
    v->setRange(0, std::max(0, m_doc->blockCount() - visible));
    QScrollBar *h = horizontalScrollBar();
    const int width = int(std::ceil(m_doc->WidestCells() * m_cellWidth)) + 2 * TextMargin;
    h->setPageStep(viewport()->width());
    h->setRange(0, std::max(0, width - viewport()->width()));
}

void TColorMemo::ensureCursorVisible()
{
    const int line = m_cursor.blockNumber();
    QScrollBar *v = verticalScrollBar();
    if (line < v->value())
        v->setValue(line);
    else if (line >= v->value() + VisibleLines())
        v->setValue(line - VisibleLines() + 1);
    QScrollBar *h = horizontalScrollBar();
    const qreal x = ColumnX(line, m_cursor.positionInBlock()) + h->value();
    const int width = viewport()->width();
    if (x - TextMargin < h->value())
        h->setValue(int(std::floor(x - TextMargin - width / 4.)));
    else if (x + TextMargin + 1 > h->value() + width)
        h->setValue(int(std::ceil(x + TextMargin + 1 - width + width / 4.)));
}

void TColorMemo::centerCursor()
{
    verticalScrollBar()->setValue(m_cursor.blockNumber() - VisibleLines() / 2);
    ensureCursorVisible();
}

// ---- painting

void TColorMemo::PaintKeys(QObject *, bool OnlyCaretLine)
{
    // Painting happens in the paint event; a caret-line request stays one only if nothing
    // else asks for a larger area before the paint comes.
    const QRect caretLine = OnlyCaretLine ? CaretLineRect() : QRect();
    if (!caretLine.isEmpty()) {
        m_pendingOnlyCaretLine = true;
        viewport()->update(caretLine);
    } else {
        m_pendingOnlyCaretLine = false;
        viewport()->update();
    }
}

void TColorMemo::Change()
{
    emit textChanged();
    if (m_redrawAlways) {
        PaintKeys(this, false);
        return;
    }
    const int lineCount = m_doc->blockCount();
    const int textEnd = m_doc->Length() + lineCount - 1;
    const bool onlyCaretLine = lineCount == m_lastLineCount && textEnd == m_lastTextEnd + 1;
    PaintKeys(this, onlyCaretLine);
    m_lastLineCount = lineCount;
    m_lastTextEnd = textEnd;
}

void TColorMemo::DrawText(QPainter &p, int Line, int From, int To, qreal Top) const
{
    if (To <= From)
        return;
    const QString text = m_doc->LineText(Line, From, To - From);
    const qreal baseline = Top + m_ascent;
    const qreal x0 = TextMargin - horizontalScrollBar()->value();
    int cell = m_doc->CellOf(Line, From);
    const int tab = m_doc->TabCells();
    qsizetype run = -1;
    int runCell = 0;
    auto flush = [&](qsizetype end) {
        if (run >= 0)
            p.drawText(QPointF(x0 + runCell * m_cellWidth, baseline),
                       QStringView(text).mid(run, end - run).toString());
        run = -1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (m_monoAscii && OneCellAscii(c)) {
            if (run < 0) {
                run = i;
                runCell = cell;
            }
            ++cell;
            continue;
        }
        flush(i);
        if (c == u'\t') {
            cell += tab - cell % tab;
            continue;
        }
        char32_t ch = c.unicode();
        qsizetype n = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ch = QChar::surrogateToUcs4(c, text[i + 1]);
            n = 2;
        }
        const int cells = CharCells(ch);
        if (c.unicode() >= 0x20 && !c.isLowSurrogate())
            p.drawText(QPointF(x0 + cell * m_cellWidth, baseline), text.mid(i, n));
        cell += cells;
        i += n - 1;
    }
    flush(text.size());
}

void TColorMemo::DrawLine(QPainter &p, int Line, const QRect &Area)
{
    const qreal top = LineTop(Line);
    const int length = m_doc->LineLength(Line);
    const qreal x0 = TextMargin - horizontalScrollBar()->value();
    const int firstCell = std::max(0, int(std::floor((Area.left() - x0) / m_cellWidth)) - 1);
    const int lastCell = int(std::ceil((Area.right() + 1 - x0) / m_cellWidth)) + 1;
    const int from = m_doc->ColumnAtCell(Line, firstCell);
    const int to = std::min(length, m_doc->ColumnAtCell(Line, lastCell) + 1);

    const QPalette &pal = palette();
    const int start = m_doc->LineStart(Line);
    const int selFrom = std::clamp(m_cursor.selectionStart() - start, 0, length + 1);
    const int selTo = std::clamp(m_cursor.selectionEnd() - start, 0, length + 1);
    if (selTo > selFrom) {
        // A selection that goes on past the line's end covers its line break as a cell.
        const qreal left = ColumnX(Line, selFrom);
        const qreal right
            = selTo > length ? ColumnX(Line, length) + m_cellWidth : ColumnX(Line, selTo);
        p.fillRect(QRectF(left, top, right - left, m_lineHeight), pal.brush(QPalette::Highlight));
    }
    p.setPen(pal.color(QPalette::Text));
    const int a = std::clamp(selFrom, from, to);
    const int b = std::clamp(selTo, from, to);
    DrawText(p, Line, from, a, top);
    DrawText(p, Line, b, to, top);
    if (b > a) {
        p.setPen(pal.color(QPalette::HighlightedText));
        DrawText(p, Line, a, b, top);
    }
}

void TColorMemo::paintEvent(QPaintEvent *e)
{
    QPainter p(viewport());
    const QRect area = e->rect();
    p.fillRect(area, palette().brush(isEnabled() ? QPalette::Base : QPalette::Window));
    p.setFont(font());
    const int top = verticalScrollBar()->value();
    const int first = std::max(top, HitLine(area.top()));
    const int last = std::min(m_doc->blockCount() - 1, HitLine(area.bottom()) + 1);
    for (int line = first; line <= last; ++line)
        DrawLine(p, line, area);

    const bool onlyCaretLine = m_pendingOnlyCaretLine && CaretLineRect().contains(area);
    m_pendingOnlyCaretLine = false;
    PaintLayer(p, onlyCaretLine, area);
    m_caretArea = CaretRect().toAlignedRect().adjusted(-1, 0, 1, 0);
    if (hasFocus() && m_caretOn && !m_readOnly && m_caretArea.isValid())
        p.fillRect(CaretRect(), palette().color(QPalette::Text));
    if (m_dropPos >= 0) {
        TMemoCursor drop(m_doc);
        drop.setPosition(m_dropPos);
        p.fillRect(cursorRect(drop), palette().color(QPalette::Text));
    }
}

bool TColorMemo::CollectLines(int &ScanEnd)
{
    m_lines.clear();
    const int firstLine = verticalScrollBar()->value();
    const int count = m_doc->blockCount();
    if (firstLine >= count)
        return false;
    const int scanStartLine = firstLine == 0 ? 0 : std::max(firstLine - m_layer.LinesAbove(), 0);
    // The lines above the first one are scanned for spans opened there.
    for (int n = scanStartLine; n < firstLine; ++n)
        m_lines.push_back({n, BlockIndex(n), LineTop(n)});
    const int height = viewport()->height();
    ScanEnd = -1;
    for (int n = firstLine; n < count; ++n) {
        const qreal top = LineTop(n);
        // Only wholly visible lines are coloured; the scan ends where the first other one begins.
        if (top + m_lineHeight > height) {
            ScanEnd = BlockIndex(n);
            break;
        }
        m_lines.push_back({n, BlockIndex(n), top});
    }
    if (m_lines.empty() || m_lines.back().Number < firstLine)
        return false;
    if (ScanEnd < 0) {
        const ScanLine &last = m_lines.back();
        ScanEnd = last.Index + m_doc->LineLength(last.Number);
    }
    return true;
}

void TColorMemo::ClipLines(const QRect &Area)
{
    // A line far wider than the view holds runs by the hundred thousand: only the columns in
    // the painted area are placed and drawn.
    constexpr int WideLine = 1000;
    const qreal x0 = TextMargin - horizontalScrollBar()->value();
    for (ScanLine &l : m_lines) {
        const int length = m_doc->LineLength(l.Number);
        if (length < WideLine)
            continue;
        const int firstCell = std::max(0, int(std::floor((Area.left() - x0) / m_cellWidth)) - 1);
        const int lastCell = int(std::ceil((Area.right() + 1 - x0) / m_cellWidth)) + 1;
        l.VisibleFrom = std::min(m_doc->ColumnAtCell(l.Number, firstCell), length);
        l.VisibleTo
            = std::clamp(m_doc->ColumnAtCell(l.Number, lastCell) + 1, l.VisibleFrom, length);
    }
}

void TColorMemo::PaintLayer(QPainter &p, bool OnlyCaretLine, const QRect &Area)
{
    m_runCount = 0;
    m_lastScanFrom = m_lastScanEnd = -1;
    m_lastOnlyCaretLine = OnlyCaretLine;
    if (!isEnabled() || !isVisible() || !parentWidget())
        return;
    if (m_layer.ColorRules().Count() == 0 && !m_layer.HotSpot.Active)
        return;
    // Even when only the caret line is repainted, the scan covers the view: a comment or a
    // string that spans the caret line must keep its colour there while it is typed into.
    int scanEnd = 0;
    if (!CollectLines(scanEnd))
        return;
    ClipLines(Area);

    // The snapshot holds only the scanned lines, with CR LF between them as the character
    // indexes count it. Of a wide line only a stretch around the visible columns is scanned,
    // blanked elsewhere so that the character indexes stay; a span opened further left than
    // that stretch reaches is not seen, as one opened above the scanned lines is not.
    const ScanLine &firstLine = m_lines.front();
    const int lead = std::max(firstLine.VisibleFrom - WideLineReach, 0);
    const int scanFrom = firstLine.Index + lead;
    m_textBuf.resize(0);
    for (const ScanLine &line : m_lines) {
        const int length = m_doc->LineLength(line.Number);
        const int from = std::max(0, line.VisibleFrom - WideLineReach);
        const int to
            = line.VisibleTo == INT_MAX ? length : std::min(length, line.VisibleTo + WideLineReach);
        const bool isFirst = &line == &firstLine;
        const bool isLast = &line == &m_lines.back();
        if (!isFirst)
            m_textBuf += QString(from, QChar(' '));
        m_textBuf += m_doc->LineText(line.Number, from, std::max(to - from, 0));
        if (isLast) {
            // The hidden end of a wide last line needs no scan; the line break of a whole
            // one is scanned as it ends a span there.
            if (to == length && line.Number + 1 < m_doc->blockCount())
                m_textBuf += QLatin1String("\r\n");
            break;
        }
        m_textBuf += QString(std::max(length - std::max(to, from), 0), QChar(' '));
        m_textBuf += QLatin1String("\r\n");
    }
    m_textBuf.truncate(std::max(scanEnd - scanFrom, 0));
    m_lastScanFrom = scanFrom;
    m_lastScanEnd = scanFrom + int(m_textBuf.size());

    TPaintState state;
    state.SelStart = CharIndex(m_cursor.selectionStart());
    state.SelLength = CharIndex(m_cursor.selectionEnd()) - state.SelStart;
    state.WantTabs = !m_tabChangesFocus;
    state.RedrawAlways = m_redrawAlways;
    state.CaretLineStart = BlockIndex(m_doc->findBlock(m_cursor.selectionStart()).blockNumber());
    state.FontColor = QColorToTColor(palette().color(QPalette::Text));
    m_runCount = m_layer.BuildRuns({m_textBuf, scanFrom}, state);

    p.setFont(font());
    p.setBackground(palette().color(QPalette::Base));
    int drawFrom = scanFrom;
    int drawTo = m_lastScanEnd;
    if (OnlyCaretLine) {
        const int caretLine = m_doc->findBlock(m_cursor.selectionStart()).blockNumber();
        drawFrom = BlockIndex(caretLine);
        drawTo = drawFrom + m_doc->LineLength(caretLine);
    }
    const TKeyDescrList &runs = m_layer.Descriptors();
    for (int i = 0; i < m_runCount; ++i) {
        if (runs[i].EndPos >= drawFrom && runs[i].BegPos <= drawTo)
            DrawRun(p, runs[i], Area);
    }
}

int TColorMemo::LineOf(int Index) const
{
    auto it = std::upper_bound(m_lines.begin(), m_lines.end(), Index,
                               [](int i, const ScanLine &l) { return i < l.Index; });
    return it == m_lines.begin() ? 0 : int(it - m_lines.begin()) - 1;
}

QRectF TColorMemo::PieceRect(const ScanLine &Line, int From, int To) const
{
    const qreal x0 = ColumnX(Line.Number, From);
    const qreal x1 = ColumnX(Line.Number, To + 1);
    return QRectF(x0, Line.Top, x1 - x0, m_lineHeight);
}

void TColorMemo::DrawPiece(QPainter &p, const ScanLine &Line, int From, int To, const QRect &Area)
{
    To = std::min({To, m_doc->LineLength(Line.Number) - 1, Line.VisibleTo}); // never the break
    From = std::max(From, Line.VisibleFrom);
    if (From > To)
        return;
    const QRectF rect = PieceRect(Line, From, To);
    if (!rect.intersects(Area))
        return;
    p.fillRect(rect, p.brush().style() == Qt::NoBrush ? p.background() : p.brush());
    DrawText(p, Line.Number, From, To + 1, Line.Top);
}

void TColorMemo::DrawRun(QPainter &p, const TKeyDescr &Run, const QRect &Area)
{
    if (Run.BegPos < 0 || Run.ZOrder >= ZSelection || Run.EndPos == MaxInt)
        return;
    const int first = LineOf(Run.BegPos);
    const int last = LineOf(Run.EndPos);
    const ScanLine &line = m_lines[first];
    const int from = Run.BegPos - line.Index;
    const QPalette &pal = palette();
    p.setPen(TColorToQColor(Run.Color, pal));
    p.setBrush(Qt::NoBrush);
    if (last > first) {
        // A run across lines is drawn line by line, plainly.
        DrawPiece(p, line, from, INT_MAX, Area);
        for (int i = first + 1; i < last; ++i)
            DrawPiece(p, m_lines[i], 0, INT_MAX, Area);
        DrawPiece(p, m_lines[last], 0, Run.EndPos - m_lines[last].Index, Area);
    } else {
        const int to = std::min(Run.EndPos - line.Index, m_doc->LineLength(line.Number) - 1);
        if (to < from || to < line.VisibleFrom || from > line.VisibleTo)
            return;
        if (Run.IsKey && OnDrawKey) {
            const QRectF rect = PieceRect(line, from, to);
            if (rect.intersects(Area)) {
                OnDrawKey(p, m_doc->LineText(line.Number, from, to - from + 1), rect,
                          pal.color(QPalette::Text));
                p.setFont(font());
                p.setBackground(pal.color(QPalette::Base));
                p.setBrush(Qt::NoBrush);
            }
        } else if (Run.ZOrder == ZHotSpotMarker) {
            // Text and background in one colour: the marker vanishes.
            p.setBrush(TColorToQColor(Run.Color, pal));
            DrawPiece(p, line, from, to, Area);
            p.setBrush(Qt::NoBrush);
        } else if (Run.ZOrder == ZHotSpotText && m_layer.HotSpot.Underlined) {
            QFont underlined = font();
            underlined.setUnderline(true);
            p.setFont(underlined);
            DrawPiece(p, line, from, to, Area);
            p.setFont(font());
        } else {
            DrawPiece(p, line, from, to, Area);
        }
    }
    p.setPen(pal.color(QPalette::Base));
}

QRect TColorMemo::CaretLineRect() const
{
    const int line = m_doc->findBlock(m_cursor.selectionStart()).blockNumber();
    const int top = int(LineTop(line));
    if (top + m_lineHeight <= 0 || top >= viewport()->height())
        return {};
    // The whole line, a pixel more for rounding.
    return QRect(0, top, viewport()->width(), m_lineHeight).adjusted(0, -1, 0, 1);
}

QRectF TColorMemo::CaretRect() const
{
    const QRect r = cursorRect();
    if (r.bottom() < 0 || r.top() >= viewport()->height())
        return {};
    return r;
}

void TColorMemo::CaretMoved()
{
    viewport()->update(m_caretArea);
    m_caretOn = true;
    if (hasFocus() && QApplication::cursorFlashTime() > 0)
        m_caretTimer.start();
    m_caretArea = CaretRect().toAlignedRect().adjusted(-1, 0, 1, 0);
    viewport()->update(m_caretArea);
}

// ---- events

void TColorMemo::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::FontChange)
        UpdateMetrics();
    QAbstractScrollArea::changeEvent(e);
}

void TColorMemo::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    UpdateScrollBars();
}

void TColorMemo::scrollContentsBy(int dx, int dy)
{
    viewport()->update();
    if (dy != 0)
        emit OnVScroll();
    if (dx != 0)
        emit OnHScroll();
    PaintKeys(this, false);
}

void TColorMemo::focusInEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
    CaretMoved();
}

void TColorMemo::focusOutEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusOutEvent(e);
    m_caretTimer.stop();
    viewport()->update();
}

bool TColorMemo::HotSpotAt(const QPoint &Pos, QString *Text) const
{
    const THotSpot &hs = m_layer.HotSpot;
    if (!hs.Active || hs.BeginChar.isNull())
        return false;
    const int line = HitLine(Pos.y());
    const int col = HitColumn(line, Pos.x());
    // A hot spot lies within a stretch of its line around the pointer.
    const int from = std::max(0, col - WideLineReach);
    const QString text = m_doc->LineText(line, from, 2 * WideLineReach);
    if (!IsOverHotSpot(text, col - from, hs.BeginChar, hs.EndChar))
        return false;
    if (Text)
        *Text = HotSpotText(text, col - from, hs.BeginChar, hs.EndChar);
    return true;
}
