#include "ColMemo.h"

#include "MemoLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace {

// How far beyond the visible columns of a wide line spans are looked for.
constexpr int WideLineReach = 10000;

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
    : QPlainTextEdit(AOwner)
{
    auto *doc = new QTextDocument(this);
    m_docLayout = new TMemoLayout(doc);
    doc->setDocumentLayout(m_docLayout);
    setDocument(doc);
    // The native caret would be painted over by the colour layer, so the memo hides it and
    // draws its own caret after the layer.
    setCursorWidth(0);
    m_caretTimer.setInterval(std::max(QApplication::cursorFlashTime() / 2, 1));
    connect(&m_caretTimer, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        viewport()->update(m_caretArea);
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &TColorMemo::CaretMoved);
    connect(this, &QPlainTextEdit::textChanged, this, &TColorMemo::Change);
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

int TColorMemo::CaretLine()
{
    m_caretLine = document()->findBlock(textCursor().selectionStart()).blockNumber();
    return m_caretLine;
}

void TColorMemo::SetCaretLine(int Value)
{
    m_caretLine = std::clamp(Value, 0, document()->blockCount() - 1);
    setTextCursor(QTextCursor(document()->findBlockByNumber(m_caretLine)));
}

int TColorMemo::CaretCol()
{
    const int start = textCursor().selectionStart();
    m_caretCol = start - document()->findBlock(start).position();
    return m_caretCol;
}

void TColorMemo::SetCaretCol(int Value)
{
    const QTextBlock block
        = document()->findBlockByNumber(std::clamp(m_caretLine, 0, document()->blockCount() - 1));
    m_caretCol = std::clamp(Value, 0, block.length() - 1);
    QTextCursor c(document());
    c.setPosition(block.position() + m_caretCol);
    setTextCursor(c);
}

int TColorMemo::TopLine()
{
    m_topLine = firstVisibleBlock().blockNumber();
    return m_topLine;
}

int TColorMemo::CharIndex(int Position) const
{
    return Position + document()->findBlock(Position).blockNumber();
}

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
    if (m_redrawAlways) {
        PaintKeys(this, false);
        return;
    }
    const QTextBlock last = document()->lastBlock();
    const int lineCount = document()->blockCount();
    const int textEnd = BlockIndex(last) + last.length() - 1;
    const bool onlyCaretLine = lineCount == m_lastLineCount && textEnd == m_lastTextEnd + 1;
    PaintKeys(this, onlyCaretLine);
    m_lastLineCount = lineCount;
    m_lastTextEnd = textEnd;
}

void TColorMemo::paintEvent(QPaintEvent *e)
{
    QPlainTextEdit::paintEvent(e);
    QPainter p(viewport());
    const bool onlyCaretLine = m_pendingOnlyCaretLine && CaretLineRect().contains(e->rect());
    m_pendingOnlyCaretLine = false;
    PaintLayer(p, onlyCaretLine, e->rect());
    m_caretArea = CaretRect().toAlignedRect().adjusted(-1, 0, 1, 0);
    if (hasFocus() && m_caretOn && !isReadOnly() && m_caretArea.isValid())
        p.fillRect(CaretRect(), palette().color(QPalette::Text));
}

bool TColorMemo::VisibleOrigin(const QTextBlock &Block, QPointF &Origin) const
{
    // Walks the visible blocks the way the native paint lays them out; a block outside the
    // view is reported as such without walking the rest of the document.
    const int height = viewport()->height();
    QPointF offset = contentOffset();
    for (QTextBlock b = firstVisibleBlock(); b.isValid() && offset.y() <= height; b = b.next()) {
        if (b.blockNumber() > Block.blockNumber())
            break;
        if (b == Block) {
            Origin = offset + b.layout()->position();
            return true;
        }
        offset.ry() += blockBoundingRect(b).height();
    }
    return false;
}

bool TColorMemo::CollectLines(int &ScanEnd)
{
    m_lines.clear();
    QTextDocument *doc = document();
    const QTextBlock first = firstVisibleBlock();
    if (!first.isValid())
        return false;
    const int firstLine = first.blockNumber();
    const int count = doc->blockCount() - firstLine;
    const int scanStartLine = firstLine == 0 ? 0 : std::max(firstLine - m_layer.LinesAbove(), 0);

    QPointF origin;
    if (!VisibleOrigin(first, origin))
        return false;
    // The lines above the first one are scanned for spans opened there, placed upwards.
    std::vector<ScanLine> above;
    QPointF up = origin;
    for (QTextBlock b = first.previous(); b.isValid() && b.blockNumber() >= scanStartLine;
         b = b.previous()) {
        up.ry() -= blockBoundingRect(b).height();
        above.push_back({b, BlockIndex(b), up});
    }
    m_lines.assign(above.rbegin(), above.rend());

    const int height = viewport()->height();
    QTextBlock b = first;
    ScanEnd = -1;
    for (int i = 0; i < count && b.isValid(); ++i, b = b.next()) {
        const QTextLine line = b.layout()->lineCount() > 0 ? b.layout()->lineAt(0) : QTextLine();
        const qreal top = origin.y() + (line.isValid() ? line.y() : 0);
        const qreal lineHeight = line.isValid() ? line.height() : fontMetrics().height();
        // Only wholly visible lines are coloured; the scan ends where the first other one begins.
        if (top + lineHeight <= 0 || top + lineHeight > height) {
            ScanEnd = BlockIndex(b);
            break;
        }
        m_lines.push_back({b, BlockIndex(b), origin});
        origin.ry() += blockBoundingRect(b).height();
    }
    if (m_lines.empty())
        return false;
    if (ScanEnd < 0) {
        const ScanLine &last = m_lines.back();
        ScanEnd = last.Index + last.Block.length() - 1;
    }
    return true;
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
    // indexes count it.
    int scanFrom = m_lines.front().Index;
    m_textBuf.resize(0);
    for (const ScanLine &line : m_lines) {
        const QString text = line.Block.text();
        // Of a wide line only a stretch around the visible columns is scanned, blanked
        // elsewhere so that the character indexes stay; a span opened further left than
        // that stretch reaches is not seen, as one opened above the scanned lines is not.
        const qsizetype from = std::max(0, line.VisibleFrom - WideLineReach);
        const qsizetype to = line.VisibleTo == INT_MAX
            ? text.size()
            : std::min<qsizetype>(text.size(), qsizetype(line.VisibleTo) + WideLineReach);
        m_textBuf += QString(from, QChar(' '));
        m_textBuf += QStringView(text).mid(from, std::max<qsizetype>(to - from, 0));
        m_textBuf += QString(std::max<qsizetype>(text.size() - std::max(to, from), 0), QChar(' '));
        if (line.Block.next().isValid())
            m_textBuf += QLatin1String("\r\n");
    }
    m_textBuf.truncate(std::max(scanEnd - scanFrom, 0));
    // Blanks that stand for the hidden ends of a wide first or last line need no scan.
    const ScanLine &lastLine = m_lines.back();
    if (lastLine.VisibleTo != INT_MAX)
        m_textBuf.truncate(std::min<qsizetype>(m_textBuf.size(),
                                               qsizetype(lastLine.Index - scanFrom)
                                                   + lastLine.VisibleTo + WideLineReach));
    const int lead = std::max(m_lines.front().VisibleFrom - WideLineReach, 0);
    if (lead > 0)
        m_textBuf.remove(0, std::min<qsizetype>(lead, m_textBuf.size()));
    scanFrom += lead;
    m_lastScanFrom = scanFrom;
    m_lastScanEnd = scanFrom + int(m_textBuf.size());

    const QTextCursor cursor = textCursor();
    TPaintState state;
    state.SelStart = CharIndex(cursor.selectionStart());
    state.SelLength = CharIndex(cursor.selectionEnd()) - state.SelStart;
    state.WantTabs = !tabChangesFocus();
    state.RedrawAlways = m_redrawAlways;
    state.CaretLineStart = BlockIndex(document()->findBlock(cursor.selectionStart()));
    state.FontColor = QColorToTColor(palette().color(QPalette::Text));
    m_runCount = m_layer.BuildRuns({m_textBuf, scanFrom}, state);

    p.setFont(font());
    p.setBackground(palette().color(QPalette::Base));
    int drawFrom = scanFrom;
    int drawTo = m_lastScanEnd;
    if (OnlyCaretLine) {
        const QTextBlock caretLine = document()->findBlock(cursor.selectionStart());
        drawFrom = BlockIndex(caretLine);
        drawTo = drawFrom + caretLine.length() - 1;
    }
    const TKeyDescrList &runs = m_layer.Descriptors();
    for (int i = 0; i < m_runCount; ++i) {
        if (runs[i].EndPos >= drawFrom && runs[i].BegPos <= drawTo)
            DrawRun(p, runs[i], Area);
    }
}

void TColorMemo::ClipLines(const QRect &Area)
{
    // A line far wider than the view holds runs by the hundred thousand, and placing each one
    // costs a walk along the line: only the columns in the painted area are placed and drawn.
    // Finding a column from a position walks the line too, so the visible columns are taken
    // from the line's mean step, exact in the editor's fixed-pitch font, with three widths of
    // the area to spare on either side for lines whose characters differ in width.
    constexpr int WideLine = 1000;
    for (ScanLine &l : m_lines) {
        const QTextLayout *layout = l.Block.layout();
        const int length = l.Block.length() - 1;
        if (length < WideLine || layout->lineCount() != 1)
            continue;
        const QTextLine line = layout->lineAt(0);
        const qreal meanStep = std::max(line.naturalTextWidth() / length, 0.5);
        const qreal left = (Area.left() - l.Origin.x() - line.x()) / meanStep;
        const qreal span = 3 * (Area.width() / meanStep) + 2;
        l.VisibleFrom = int(std::clamp<qreal>(std::floor(left - span), 0, length));
        l.VisibleTo = int(std::clamp<qreal>(std::ceil(left + span + Area.width() / meanStep),
                                            l.VisibleFrom, length));
    }
}

int TColorMemo::LineOf(int Index) const
{
    auto it = std::upper_bound(m_lines.begin(), m_lines.end(), Index,
                               [](int i, const ScanLine &l) { return i < l.Index; });
    return it == m_lines.begin() ? 0 : int(it - m_lines.begin()) - 1;
}

QRectF TColorMemo::PieceRect(const ScanLine &Line, int From, int To, qreal *Baseline) const
{
    QTextLayout *layout = Line.Block.layout();
    const QTextLine line = layout->lineForTextPosition(From);
    if (!line.isValid())
        return {};
    const qreal x0 = line.cursorToX(From);
    const qreal x1 = line.cursorToX(To + 1);
    if (Baseline)
        *Baseline = Line.Origin.y() + line.y() + line.ascent();
    return QRectF(Line.Origin.x() + x0, Line.Origin.y() + line.y(), x1 - x0, line.height());
}

void TColorMemo::DrawPiece(QPainter &p, const ScanLine &Line, int From, int To, const QRect &Area)
{
    To = std::min({To, Line.Block.length() - 2, Line.VisibleTo}); // never the line break
    From = std::max(From, Line.VisibleFrom);
    while (From <= To) {
        // With word wrap one text line may take several lines on screen.
        const QTextLine line = Line.Block.layout()->lineForTextPosition(From);
        if (!line.isValid())
            return;
        const int last = std::min(To, line.textStart() + line.textLength() - 1);
        if (last < From)
            return;
        qreal baseline = 0;
        const QRectF rect = PieceRect(Line, From, last, &baseline);
        if (rect.intersects(Area)) {
            p.fillRect(rect, p.brush().style() == Qt::NoBrush ? p.background() : p.brush());
            p.drawText(QPointF(rect.left(), baseline),
                       Line.Block.text().mid(From, last - From + 1));
        }
        From = last + 1;
    }
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
        DrawPiece(p, line, from, line.Block.length() - 2, Area);
        for (int i = first + 1; i < last; ++i)
            DrawPiece(p, m_lines[i], 0, m_lines[i].Block.length() - 2, Area);
        DrawPiece(p, m_lines[last], 0, Run.EndPos - m_lines[last].Index, Area);
    } else {
        const int to = std::min(Run.EndPos - line.Index, line.Block.length() - 2);
        if (to < from || to < line.VisibleFrom || from > line.VisibleTo)
            return;
        if (Run.IsKey && OnDrawKey) {
            const QRectF rect = PieceRect(line, from, to);
            if (rect.intersects(Area)) {
                OnDrawKey(p, line.Block.text().mid(from, to - from + 1), rect,
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
    const QTextBlock block = document()->findBlock(textCursor().selectionStart());
    QPointF origin;
    if (!VisibleOrigin(block, origin))
        return {};
    // The whole block as the native drawing updates it, a pixel more for rounding.
    const QRectF rect(0, origin.y() - block.layout()->position().y(), viewport()->width(),
                      blockBoundingRect(block).height());
    return rect.toAlignedRect().adjusted(0, -1, 0, 1);
}

QRectF TColorMemo::CaretRect() const
{
    const QTextCursor c = textCursor();
    const QTextBlock block = c.block();
    QPointF origin;
    if (!VisibleOrigin(block, origin))
        return {};
    const int col = c.positionInBlock();
    const QTextLine line = block.layout()->lineForTextPosition(col);
    if (!line.isValid())
        return {};
    return QRectF(origin.x() + line.cursorToX(col), origin.y() + line.y(), 1, line.height());
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

void TColorMemo::focusInEvent(QFocusEvent *e)
{
    QPlainTextEdit::focusInEvent(e);
    CaretMoved();
}

void TColorMemo::focusOutEvent(QFocusEvent *e)
{
    QPlainTextEdit::focusOutEvent(e);
    m_caretTimer.stop();
    viewport()->update(m_caretArea);
}

void TColorMemo::resizeEvent(QResizeEvent *e)
{
    m_docLayout->SetViewWidth(viewport()->width());
    QPlainTextEdit::resizeEvent(e);
}

void TColorMemo::scrollContentsBy(int dx, int dy)
{
    QPlainTextEdit::scrollContentsBy(dx, dy);
    if (dy != 0)
        emit OnVScroll();
    if (dx != 0)
        emit OnHScroll();
    PaintKeys(this, false);
}

void TColorMemo::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool navigation = key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_End
        || key == Qt::Key_Home || key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right
        || key == Qt::Key_Down;
    if (navigation && !shift && textCursor().hasSelection()) {
        QTextCursor c = textCursor();
        c.setPosition(c.selectionEnd());
        setTextCursor(c);
        PaintKeys(this, false);
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && shift) {
        // Shift+Enter would insert a soft break, a second visual line inside one text line,
        // which nothing else here (line numbers, the caret line, scripts) would see.
        QKeyEvent plain(e->type(), key, e->modifiers() & ~Qt::ShiftModifier, e->text(),
                        e->isAutoRepeat(), ushort(e->count()));
        QPlainTextEdit::keyPressEvent(&plain);
        e->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void TColorMemo::keyReleaseEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Shift)
        PaintKeys(this, false);
    QPlainTextEdit::keyReleaseEvent(e);
}

void TColorMemo::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && e->buttons() == Qt::LeftButton
        && e->modifiers() == Qt::NoModifier)
        PaintKeys(this, false);
    QPlainTextEdit::mousePressEvent(e);
}

void TColorMemo::mouseMoveEvent(QMouseEvent *e)
{
    if (m_layer.HotSpot.Active) {
        const bool over = HotSpotAt(e->position().toPoint(), nullptr);
        if (over != m_hotCursor) {
            m_hotCursor = over;
            viewport()->setCursor(over ? Qt::PointingHandCursor : Qt::IBeamCursor);
        }
    }
    QPlainTextEdit::mouseMoveEvent(e);
}

void TColorMemo::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        PaintKeys(this, false);
    QPlainTextEdit::mouseReleaseEvent(e);
    QString text;
    if (m_hotCursor && HotSpotAt(e->position().toPoint(), &text))
        emit OnHotSpotClick(text);
}

bool TColorMemo::HotSpotAt(const QPoint &Pos, QString *Text) const
{
    const THotSpot &hs = m_layer.HotSpot;
    if (!hs.Active || hs.BeginChar.isNull())
        return false;
    const QTextCursor c = cursorForPosition(Pos);
    const QString line = c.block().text();
    const int col = c.positionInBlock();
    if (!IsOverHotSpot(line, col, hs.BeginChar, hs.EndChar))
        return false;
    if (Text)
        *Text = HotSpotText(line, col, hs.BeginChar, hs.EndChar);
    return true;
}
