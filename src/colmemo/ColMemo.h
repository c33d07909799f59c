#pragma once

// The SQL editor's text control: a plain text edit that keeps text, caret, selection and
// scrolling, with a colour layer painted over its native drawing after every paint. Only
// the visible lines (and the few above them that the first rule asks for) are scanned, so
// the cost of a repaint does not depend on the length of the text.

#include "ColorLayer.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <climits>
#include <functional>
#include <vector>

class QPainter;
class TMemoLayout;

// Draws a keyword run instead of the memo. Canvas carries the memo's font, the run's colour
// as pen and the memo's background as background brush; Rect is where PKey lies natively.
using TKeyDrawEvent = std::function<void(QPainter &Canvas, const QString &PKey, const QRectF &Rect,
                                         const QColor &KColor)>;

QColor TColorToQColor(TColor Color, const QPalette &Palette);
TColor QColorToTColor(const QColor &Color);

class TColorMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TColorMemo(QWidget *AOwner = nullptr);

    TDrawRules &ColorRules() { return m_layer.ColorRules(); }
    void SetColorRules(const TDrawRules &Rules);
    const THotSpot &HotSpot() const { return m_layer.HotSpot; }
    void SetHotSpot(const THotSpot &Value);
    int ColorLimMax() const { return m_layer.ColorLimMax(); }
    void SetColorLimMax(int Value) { m_layer.SetColorLimMax(Value); }
    bool RedrawAlways() const { return m_redrawAlways; }
    void SetRedrawAlways(bool Value) { m_redrawAlways = Value; }
    // Supplies spans for rules of the event kind; at most ColorLimMax of them.
    void SetOnDraw(TDrawEvent Handler) { m_layer.OnDraw = std::move(Handler); }
    TKeyDrawEvent OnDrawKey;

    // Replaces the text by Text a slice at a time, so that the window stays live: after each
    // slice Progress (when given) learns how much is in, and events are processed. Escape
    // pressed meanwhile, or Progress answering false, stops the load and keeps the text as it
    // was. True when the whole text is in; the editor is then unmodified, with no undo.
    using TLoadProgress = std::function<bool(qsizetype Done, qsizetype Total)>;
    bool LoadText(const QString &Text, const TLoadProgress &Progress = {});
    bool Loading() const { return m_loading; }

    // 0-based; setting CaretCol works on the line last read or set through CaretLine.
    int CaretLine();
    void SetCaretLine(int Value);
    int CaretCol();
    void SetCaretCol(int Value);
    int TopLine();

    // Asks for the colour layer to be painted again: the whole view, or only the caret's
    // line after a character typed within it.
    virtual void PaintKeys(QObject *Sender, bool OnlyCaretLine);

    // Character index of a document position, each line break counting two characters.
    int CharIndex(int Position) const;

    // What the last colour-layer paint found: its runs, the stretch it scanned and whether
    // it was limited to the caret's line.
    const TKeyDescrList &Runs() const { return m_layer.Descriptors(); }
    int RunCount() const { return m_runCount; }
    int LastScanFrom() const { return m_lastScanFrom; }
    int LastScanEnd() const { return m_lastScanEnd; }
    bool LastPaintOnlyCaretLine() const { return m_lastOnlyCaretLine; }

signals:
    void OnVScroll();
    void OnHScroll();
    void OnHotSpotClick(const QString &SRC);

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    struct ScanLine
    {
        QTextBlock Block;
        int Index; // character index of the line's first character
        QPointF Origin; // where the line's layout is drawn in the viewport
        int VisibleFrom = 0; // the columns of the line inside the painted area, roughly
        int VisibleTo = INT_MAX;
    };

    void Change();
    void PaintLayer(QPainter &p, bool OnlyCaretLine, const QRect &Area);
    bool CollectLines(int &ScanEnd);
    void ClipLines(const QRect &Area);
    bool VisibleOrigin(const QTextBlock &Block, QPointF &Origin) const;
    int LineOf(int Index) const;
    void DrawRun(QPainter &p, const TKeyDescr &Run, const QRect &Area);
    QRectF PieceRect(const ScanLine &Line, int From, int To, qreal *Baseline = nullptr) const;
    void DrawPiece(QPainter &p, const ScanLine &Line, int From, int To, const QRect &Area);
    QRect CaretLineRect() const;
    QRectF CaretRect() const;
    void CaretMoved();
    bool HotSpotAt(const QPoint &Pos, QString *Text) const;
    int BlockIndex(const QTextBlock &Block) const { return Block.position() + Block.blockNumber(); }

    TMemoLayout *m_docLayout = nullptr; // owned by the document
    TColorLayer m_layer;
    bool m_redrawAlways = false;
    int m_caretLine = 0;
    int m_caretCol = 0;
    int m_topLine = 0;
    int m_lastLineCount = 0;
    int m_lastTextEnd = 0;
    bool m_pendingOnlyCaretLine = false;
    std::vector<ScanLine> m_lines;
    QString m_textBuf;
    int m_runCount = 0;
    int m_lastScanFrom = -1;
    int m_lastScanEnd = -1;
    bool m_lastOnlyCaretLine = false;
    QTimer m_caretTimer;
    bool m_caretOn = true;
    QRect m_caretArea;
    bool m_hotCursor = false;
    bool m_loading = false;
    bool m_loadStopped = false;
};
