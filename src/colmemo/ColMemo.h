#pragma once

// The SQL editor's text control, drawn by itself over a TMemoDocument: lines are placed on a
// grid of character cells in its fixed-pitch font, so placing the caret, a click or a colour
// run costs the same in a line of ten characters as in one of ten million, and only the
// visible lines and columns are ever drawn or scanned. The calls follow QPlainTextEdit's.

#include "ColorLayer.h"
#include "MemoDocument.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QTimer>

#include <climits>
#include <functional>
#include <map>
#include <vector>

class QMenu;
class QPainter;

// Draws a keyword run instead of the memo. Canvas carries the memo's font, the run's colour
// as pen and the memo's background as background brush; Rect is where PKey lies natively.
using TKeyDrawEvent = std::function<void(QPainter &Canvas, const QString &PKey, const QRectF &Rect,
                                         const QColor &KColor)>;

QColor TColorToQColor(TColor Color, const QPalette &Palette);
TColor QColorToTColor(const QColor &Color);

class TColorMemo : public QAbstractScrollArea
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

    // Replaces the text by Text, finding its lines a slice at a time so that the window stays
    // live: after each slice Progress (when given) learns how much is in, and events are
    // processed. Escape pressed meanwhile, or Progress answering false, stops the load and
    // keeps the text as it was. True when the whole text is in; the editor is then
    // unmodified, with no undo.
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

    // As QPlainTextEdit.
    TMemoDocument *document() const { return m_doc; }
    TMemoCursor textCursor() const;
    void setTextCursor(const TMemoCursor &Cursor);
    bool moveCursor(QTextCursor::MoveOperation Op,
                    QTextCursor::MoveMode Mode = QTextCursor::MoveAnchor);
    QString toPlainText() const { return m_doc->toPlainText(); }
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool ReadOnly);
    bool tabChangesFocus() const { return m_tabChangesFocus; }
    void setTabChangesFocus(bool Value) { m_tabChangesFocus = Value; }
    // Rounded to whole cells of the font.
    qreal tabStopDistance() const;
    void setTabStopDistance(qreal Distance);
    QRect cursorRect() const { return cursorRect(m_cursor); }
    QRect cursorRect(const TMemoCursor &Cursor) const;
    TMemoCursor cursorForPosition(const QPoint &Pos) const;
    TMemoBlock firstVisibleBlock() const;
    void ensureCursorVisible();
    void centerCursor();
    bool canPaste() const;
    QMenu *createStandardContextMenu();
    // Blank pixels around the text.
    static constexpr int TextMargin = 4;
    // Width of a character cell and height of a line, in pixels.
    qreal CellWidth() const { return m_cellWidth; }
    int LineHeight() const { return m_lineHeight; }

public slots:
    void setPlainText(const QString &Text);
    void appendPlainText(const QString &Text);
    void insertPlainText(const QString &Text);
    void clear();
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void selectAll();

signals:
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();
    void copyAvailable(bool Yes);
    void undoAvailable(bool Available);
    void redoAvailable(bool Available);
    void modificationChanged(bool Changed);
    void OnVScroll();
    void OnHScroll();
    void OnHotSpotClick(const QString &SRC);

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dragLeaveEvent(QDragLeaveEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void timerEvent(QTimerEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery Query) const override;

private:
    struct ScanLine
    {
        int Number;
        int Index; // character index of the line's first character
        qreal Top; // where the line is drawn in the viewport
        int VisibleFrom = 0; // the columns of the line inside the painted area
        int VisibleTo = INT_MAX;
    };

    void Change();
    void ContentsChange(int Pos, int Removed, int Added);
    void SetCursor(const TMemoCursor &Cursor, bool KeepCell = false);
    void Edit(const std::function<void(TMemoCursor &)> &Action);
    void UndoStep(bool (TMemoDocument::*Step)(int *));
    static constexpr int ImReach = 1000;
    int ImTextFrom() const;
    bool Navigate(QKeyEvent *e);
    bool EditKey(QKeyEvent *e);
    void MoveVertically(int Lines, QTextCursor::MoveMode Mode);
    void UpdateMetrics();
    void UpdateScrollBars();
    int VisibleLines() const;
    qreal LineTop(int Line) const;
    qreal ColumnX(int Line, int Col) const;
    int HitLine(qreal Y) const;
    int HitColumn(int Line, qreal X) const;
    int TextPosAt(const QPoint &Pos) const;
    int CharCells(char32_t Ch) const;
    void DrawText(QPainter &p, int Line, int From, int To, qreal Top) const;
    void DrawLine(QPainter &p, int Line, const QRect &Area);

    void PaintLayer(QPainter &p, bool OnlyCaretLine, const QRect &Area);
    bool CollectLines(int &ScanEnd);
    void ClipLines(const QRect &Area);
    int LineOf(int Index) const;
    void DrawRun(QPainter &p, const TKeyDescr &Run, const QRect &Area);
    QRectF PieceRect(const ScanLine &Line, int From, int To) const;
    void DrawPiece(QPainter &p, const ScanLine &Line, int From, int To, const QRect &Area);
    QRect CaretLineRect() const;
    QRectF CaretRect() const;
    void CaretMoved();
    bool HotSpotAt(const QPoint &Pos, QString *Text) const;
    int BlockIndex(int Line) const { return m_doc->LineStart(Line) + Line; }

    TMemoDocument *m_doc;
    TMemoCursor m_cursor;
    int m_keptCell = -1; // the cell Up and Down keep
    bool m_readOnly = false;
    bool m_tabChangesFocus = false;
    qreal m_cellWidth = 8;
    int m_lineHeight = 16;
    int m_ascent = 12;
    bool m_monoAscii = true;
    mutable std::map<char32_t, int> m_wideCells;

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

    // Mouse selection: by characters or, after a double click, by words; a press inside the
    // selection may start dragging it instead.
    bool m_selecting = false;
    bool m_byWords = false;
    bool m_mayDrag = false;
    QPoint m_pressAt;
    TMemoCursor m_wordAnchor;
    QBasicTimer m_autoScroll;
    QPoint m_lastMouse;
    int m_dropPos = -1;
};
