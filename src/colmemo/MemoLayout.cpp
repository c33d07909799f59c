#include "MemoLayout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <climits>
#include <cmath>

namespace {

// A block's kept width; it leaves the count with its block, also when the block is merged
// into its neighbour or the document is cleared.
class TBlockWidth : public QTextBlockUserData
{
public:
    TBlockWidth(std::shared_ptr<TLineWidths> Widths, int Width)
        : m_widths(std::move(Widths))
        , m_width(Width)
    {
        m_widths->Add(m_width);
    }
    ~TBlockWidth() override { m_widths->Remove(m_width); }
    void Set(int Width)
    {
        m_widths->Remove(m_width);
        m_width = Width;
        m_widths->Add(m_width);
    }

private:
    std::shared_ptr<TLineWidths> m_widths;
    int m_width;
};

// More blocks than this in one change are laid out when they are first shown.
constexpr int EagerBlocks = 256;

const QRectF Everything(0., -1e9, 1e9, 2e9);

} // namespace

void TLineWidths::Remove(int Width)
{
    auto it = Count.find(Width);
    if (it != Count.end() && --it->second == 0)
        Count.erase(it);
}

TMemoLayout::TMemoLayout(QTextDocument *Document)
    : QPlainTextDocumentLayout(Document)
    , m_widths(std::make_shared<TLineWidths>())
{
    m_blockCount = Document->blockCount();
}

bool TMemoLayout::KeepsWidths() const
{
    const QTextOption option = document()->defaultTextOption();
    return option.wrapMode() == QTextOption::NoWrap
        && !(option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators);
}

QSizeF TMemoLayout::documentSize() const
{
    if (!KeepsWidths())
        return QPlainTextDocumentLayout::documentSize();
    return QSizeF(m_widths->Widest(), document()->lineCount());
}

QRectF TMemoLayout::blockBoundingRect(const QTextBlock &Block) const
{
    if (!KeepsWidths())
        return QPlainTextDocumentLayout::blockBoundingRect(Block);
    if (!Block.isValid())
        return {};
    auto *self = const_cast<TMemoLayout *>(this);
    QTextLayout *tl = Block.layout();
    if (tl->lineCount() == 0)
        self->LayoutBlock(Block);
    else if (!Block.userData() && self->Record(Block))
        emit self->documentSizeChanged(documentSize()); // laid out by the base class
    QRectF br;
    if (Block.isVisible()) {
        br = QRectF(QPointF(0, 0), tl->boundingRect().bottomRight());
        if (tl->lineCount() == 1)
            br.setWidth(std::max(br.width(), tl->lineAt(0).naturalTextWidth()));
        const qreal margin = document()->documentMargin();
        br.adjust(0, 0, margin, 0);
        if (!Block.next().isValid())
            br.adjust(0, 0, 0, margin);
    }
    return br;
}

bool TMemoLayout::Record(const QTextBlock &Block)
{
    QTextLayout *tl = Block.layout();
    qreal widest = 0;
    for (int i = 0; i < tl->lineCount(); ++i)
        widest = std::max(widest, tl->lineAt(i).naturalTextWidth());
    const int width = int(std::ceil(widest + 2 * document()->documentMargin()));
    const int before = m_widths->Widest();
    if (auto *kept = static_cast<TBlockWidth *>(Block.userData()))
        kept->Set(width);
    else
        const_cast<QTextBlock &>(Block).setUserData(new TBlockWidth(m_widths, width));
    return m_widths->Widest() != before;
}

void TMemoLayout::Forget(const QTextBlock &Block)
{
    if (Block.userData())
        const_cast<QTextBlock &>(Block).setUserData(nullptr);
}

void TMemoLayout::LayoutBlock(const QTextBlock &Block)
{
    QTextDocument *doc = document();
    const qreal margin = doc->documentMargin();
    QTextLayout *tl = Block.layout();
    tl->setTextOption(doc->defaultTextOption());
    const qreal available = (m_viewWidth > 0 ? m_viewWidth : qreal(INT_MAX)) - 2 * margin;
    qreal height = 0;
    tl->beginLayout();
    for (;;) {
        QTextLine line = tl->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(available);
        line.setPosition(QPointF(margin, height));
        height += line.height();
        if (line.leading() < 0)
            height += std::ceil(line.leading());
    }
    tl->endLayout();
    const int linesBefore = doc->lineCount();
    const_cast<QTextBlock &>(Block).setLineCount(Block.isVisible() ? tl->lineCount() : 0);
    if (Record(Block) || doc->lineCount() != linesBefore)
        emit documentSizeChanged(documentSize());
}

void TMemoLayout::documentChanged(int From, int CharsRemoved, int CharsAdded)
{
    if (!KeepsWidths()) {
        QPlainTextDocumentLayout::documentChanged(From, CharsRemoved, CharsAdded);
        m_blockCount = document()->blockCount();
        return;
    }
    QTextDocument *doc = document();
    const int blockCount = doc->blockCount();
    const QTextBlock first = doc->findBlock(From);
    const QTextBlock last = doc->findBlock(std::max(0, From + CharsRemoved + CharsAdded - 1));
    if (first == last && blockCount == m_blockCount && first.isValid() && first.length() > 0) {
        const qreal before = blockBoundingRect(first).height();
        LayoutBlock(first);
        if (blockBoundingRect(first).height() == before) {
            emit updateBlock(first);
            return;
        }
        emit update(Everything);
        return;
    }
    // Few blocks are laid out at once, so that nothing lays them out behind the kept widths;
    // a large insertion is laid out as it comes into view.
    const bool eager = last.blockNumber() - first.blockNumber() < EagerBlocks;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        if (eager) {
            LayoutBlock(b);
        } else {
            b.clearLayout();
            b.setLineCount(b.isVisible() ? 1 : 0);
            Forget(b);
        }
        if (b == last)
            break;
    }
    const int added = blockCount - m_blockCount;
    m_blockCount = blockCount;
    emit documentSizeChanged(documentSize());
    if (added == 1 && last.blockNumber() == blockCount - 1) {
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            emit updateBlock(b);
            if (b == last)
                break;
        }
        return;
    }
    emit update(Everything);
}
