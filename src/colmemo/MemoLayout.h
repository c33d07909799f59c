#pragma once

// The memo's plain-text layout. Qt's own layout looks for the new widest line through the
// whole document each time the widest one gets narrower, which makes a keystroke on that line
// cost as much as the document is long. This one keeps, for every laid-out line, its width in
// a count per width, so the document's width follows each edit at the cost of that edit.
// Wrapped text (the width then depends on the view) is left to Qt's layout.

#include <QPlainTextDocumentLayout>

#include <map>
#include <memory>

// How many laid-out lines have each width (in whole pixels, margins included).
struct TLineWidths
{
    std::map<int, int> Count;
    void Add(int Width) { ++Count[Width]; }
    void Remove(int Width);
    int Widest() const { return Count.empty() ? 0 : Count.rbegin()->first; }
};

class TMemoLayout : public QPlainTextDocumentLayout
{
    Q_OBJECT

public:
    explicit TMemoLayout(QTextDocument *Document);

    QSizeF documentSize() const override;
    QRectF blockBoundingRect(const QTextBlock &Block) const override;

    // The width lines may take before they would wrap: the view's width.
    void SetViewWidth(qreal Width) { m_viewWidth = Width; }
    // The widest laid-out line, margins included.
    int WidestLine() const { return m_widths->Widest(); }

protected:
    void documentChanged(int From, int CharsRemoved, int CharsAdded) override;

private:
    bool KeepsWidths() const;
    void LayoutBlock(const QTextBlock &Block);
    // Keeps the width of a laid-out block; false when the widest line stayed as it was.
    bool Record(const QTextBlock &Block);
    void Forget(const QTextBlock &Block);

    std::shared_ptr<TLineWidths> m_widths;
    qreal m_viewWidth = 0;
    int m_blockCount = 1;
};
