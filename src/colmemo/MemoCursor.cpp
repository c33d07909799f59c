// Blocks and cursors: the QTextBlock and QTextCursor of a TMemoDocument.
#include "MemoDocument.h"

#include <algorithm>

TMemoBlock::TMemoBlock(const TMemoDocument *Document, int Number)
    : m_doc(Document)
    , m_number(Document && Number >= 0 && Number < Document->blockCount() ? Number : -1)
{}

bool TMemoBlock::isValid() const
{
    return m_doc && m_number >= 0 && m_number < m_doc->blockCount();
}

QString TMemoBlock::text() const
{
    return isValid() ? m_doc->LineText(m_number) : QString();
}

int TMemoBlock::position() const
{
    return isValid() ? m_doc->LineStart(m_number) : 0;
}

int TMemoBlock::length() const
{
    return isValid() ? m_doc->LineLength(m_number) + 1 : 0;
}

TMemoBlock TMemoBlock::next() const
{
    return isValid() ? TMemoBlock(m_doc, m_number + 1) : TMemoBlock();
}

TMemoBlock TMemoBlock::previous() const
{
    return isValid() ? TMemoBlock(m_doc, m_number - 1) : TMemoBlock();
}

namespace {

enum class TKind { Space, Word, Separator };

TKind KindOf(char32_t C)
{
    if (QChar::isSpace(C))
        return TKind::Space;
    // Half of a broken pair clings to the word it is in, as QTextCursor has it.
    if (QChar::isSurrogate(C))
        return TKind::Word;
    if (C == U'_' || QChar::isLetterOrNumber(C))
        return TKind::Word;
    return TKind::Separator;
}

} // namespace

TMemoCursor::TMemoCursor(TMemoDocument *Document)
    : m_doc(Document)
{}

TMemoCursor::TMemoCursor(const TMemoBlock &Block)
    : m_doc(const_cast<TMemoDocument *>(Block.document()))
    , m_pos(Block.position())
    , m_anchor(m_pos)
{}

int TMemoCursor::position() const
{
    return m_doc ? std::clamp(m_pos, 0, m_doc->Length()) : 0;
}

int TMemoCursor::anchor() const
{
    return m_doc ? std::clamp(m_anchor, 0, m_doc->Length()) : 0;
}

void TMemoCursor::setPosition(int Pos, QTextCursor::MoveMode Mode)
{
    if (!m_doc)
        return;
    m_anchor = anchor();
    m_pos = std::clamp(Pos, 0, m_doc->Length());
    if (Mode == QTextCursor::MoveAnchor)
        m_anchor = m_pos;
    m_keptColumn = -1;
}

bool TMemoCursor::movePosition(QTextCursor::MoveOperation Op, QTextCursor::MoveMode Mode, int N)
{
    using C = QTextCursor;
    if (!m_doc)
        return false;
    if (Op == C::Start || Op == C::End || Op == C::StartOfLine || Op == C::EndOfLine)
        N = 1;
    m_pos = position();
    m_anchor = anchor();
    const TMemoDocument &doc = *m_doc;

    for (; N > 0; --N) {
        const TMemoDocument::Located at = doc.LocateChar(m_pos);
        const TMemoDocument::View v = doc.ViewOf(doc.LineAt(at));
        const int start = int(at.Start), len = v.size(), rel = m_pos - start;
        // The kind of the character at I, a surrogate pair's halves both that of the pair.
        const auto kind = [&](int I) {
            const QChar c = v.at(I);
            if (c.isHighSurrogate() && I + 1 < len && v.at(I + 1).isLowSurrogate())
                return KindOf(QChar::surrogateToUcs4(c, v.at(I + 1)));
            if (c.isLowSurrogate() && I > 0 && v.at(I - 1).isHighSurrogate())
                return KindOf(QChar::surrogateToUcs4(v.at(I - 1), c));
            return KindOf(c.unicode());
        };
        const auto space = [&](int I) {
            return kind(I) == TKind::Space;
        };
        const auto sep = [&](int I) {
            return kind(I) == TKind::Separator;
        };
        const auto wordLeft = [&](int Rel) {
            if (Rel == 0)
                return std::max(0, start - 1);
            while (Rel > 0 && space(Rel - 1))
                --Rel;
            if (Rel > 0 && sep(Rel - 1)) {
                while (Rel > 0 && sep(Rel - 1))
                    --Rel;
            } else {
                while (Rel > 0 && !space(Rel - 1) && !sep(Rel - 1))
                    --Rel;
            }
            return start + Rel;
        };
        const auto wordEnd = [&](int Rel) {
            if (sep(Rel)) {
                while (Rel < len && sep(Rel))
                    ++Rel;
            } else {
                while (Rel < len && !space(Rel) && !sep(Rel))
                    ++Rel;
            }
            return Rel;
        };
        const auto vertical = [&](int Number) {
            if (m_keptColumn < 0)
                m_keptColumn = rel;
            const TMemoDocument::Located to = doc.Locate(Number);
            const TMemoDocument::View w = doc.ViewOf(doc.LineAt(to));
            int col = std::min(m_keptColumn, w.size());
            if (col > 0 && col < w.size() && w.at(col).isLowSurrogate()
                && w.at(col - 1).isHighSurrogate())
                --col;
            return int(to.Start) + col;
        };

        int to = m_pos, from = m_pos;
        const bool selection = Mode == C::MoveAnchor && m_pos != m_anchor;
        switch (Op) {
        case C::Start:
            to = 0;
            break;
        case C::End:
            to = doc.Length();
            break;
        case C::StartOfLine:
        case C::StartOfBlock:
            to = start;
            break;
        case C::EndOfLine:
        case C::EndOfBlock:
            to = start + len;
            break;
        case C::PreviousBlock:
            if (at.Number == 0)
                return false;
            to = doc.LineStart(at.Number - 1);
            break;
        case C::NextBlock:
            if (at.Number + 1 >= doc.blockCount())
                return false;
            to = start + len + 1;
            break;
        case C::PreviousCharacter:
        case C::Left:
            if (selection)
                to = std::min(m_pos, m_anchor);
            else if (rel == 0)
                to = std::max(0, m_pos - 1);
            else
                to = m_pos
                    - (rel > 1 && v.at(rel - 1).isLowSurrogate() && v.at(rel - 2).isHighSurrogate()
                           ? 2
                           : 1);
            break;
        case C::NextCharacter:
        case C::Right:
            if (selection)
                to = std::max(m_pos, m_anchor);
            else if (rel == len)
                to = std::min(doc.Length(), m_pos + 1);
            else
                to = m_pos
                    + (rel + 1 < len && v.at(rel).isHighSurrogate()
                               && v.at(rel + 1).isLowSurrogate()
                           ? 2
                           : 1);
            break;
        case C::StartOfWord:
            if (rel == 0)
                break;
            if (rel == len && (space(rel - 1) || sep(rel - 1)))
                return false;
            // QTextCursor looks back from after the character, and counts a stay inside
            // the word's start as a move.
            if (rel < len)
                from = m_pos + 1;
            to = wordLeft(from - start);
            break;
        case C::PreviousWord:
        case C::WordLeft:
            to = wordLeft(rel);
            break;
        case C::EndOfWord:
            if (rel >= len)
                return false;
            to = start + wordEnd(rel);
            break;
        case C::NextWord:
        case C::WordRight:
            if (rel == len) {
                to = std::min(doc.Length(), m_pos + 1);
            } else {
                int r = wordEnd(rel);
                while (r < len && space(r))
                    ++r;
                to = start + r;
            }
            break;
        case C::Up:
            if (at.Number == 0)
                return false;
            to = vertical(at.Number - 1);
            break;
        case C::Down:
            if (at.Number + 1 >= doc.blockCount())
                return false;
            to = vertical(at.Number + 1);
            break;
        default:
            return false;
        }
        m_pos = to;
        if (Mode == C::MoveAnchor)
            m_anchor = to;
        if (Op != C::Up && Op != C::Down)
            m_keptColumn = -1;
        // As QTextCursor: a step that leaves the position stops the moves, as a failure.
        if (to == from)
            return false;
    }
    return true;
}

int TMemoCursor::selectionStart() const
{
    return std::min(position(), anchor());
}

int TMemoCursor::selectionEnd() const
{
    return std::max(position(), anchor());
}

QString TMemoCursor::selectedText() const
{
    if (!m_doc)
        return {};
    QString text = m_doc->Text(selectionStart(), selectionEnd() - selectionStart());
    text.replace(u'\n', QChar::ParagraphSeparator);
    return text;
}

void TMemoCursor::clearSelection()
{
    m_anchor = m_pos = position();
}

void TMemoCursor::select(QTextCursor::SelectionType Selection)
{
    using C = QTextCursor;
    if (!m_doc)
        return;
    clearSelection();
    switch (Selection) {
    case C::WordUnderCursor:
        movePosition(C::StartOfWord);
        movePosition(C::EndOfWord, C::KeepAnchor);
        break;
    case C::LineUnderCursor:
        movePosition(C::StartOfLine);
        movePosition(C::EndOfLine, C::KeepAnchor);
        break;
    case C::BlockUnderCursor:
        // With the line break before it, so that removing it removes the line.
        if (m_doc->LineLength(blockNumber()) == 0)
            break;
        movePosition(C::StartOfBlock);
        if (movePosition(C::PreviousBlock)) {
            movePosition(C::EndOfBlock);
            movePosition(C::NextBlock, C::KeepAnchor);
        }
        movePosition(C::EndOfBlock, C::KeepAnchor);
        break;
    case C::Document:
        movePosition(C::Start);
        movePosition(C::End, C::KeepAnchor);
        break;
    }
}

void TMemoCursor::insertText(const QString &Text)
{
    if (!m_doc)
        return;
    const bool replacing = hasSelection();
    const int at = selectionStart();
    if (replacing) {
        m_doc->beginEditBlock();
        m_doc->Remove(at, selectionEnd() - at);
    }
    const int before = m_doc->Length();
    m_doc->Insert(at, Text);
    if (replacing)
        m_doc->endEditBlock();
    m_pos = m_anchor = at + m_doc->Length() - before;
    m_keptColumn = -1;
}

void TMemoCursor::removeSelectedText()
{
    if (!m_doc || !hasSelection())
        return;
    const int at = selectionStart();
    m_doc->Remove(at, selectionEnd() - at);
    m_pos = m_anchor = at;
    m_keptColumn = -1;
}

// Without a selection, the character next to the cursor (a surrogate pair as one) is selected
// and taken away as a selection is.
void TMemoCursor::deleteChar()
{
    if (m_doc && !hasSelection())
        movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    removeSelectedText();
}

void TMemoCursor::deletePreviousChar()
{
    if (m_doc && !hasSelection())
        movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
    removeSelectedText();
}

void TMemoCursor::beginEditBlock()
{
    if (m_doc)
        m_doc->beginEditBlock();
}

void TMemoCursor::endEditBlock()
{
    if (m_doc)
        m_doc->endEditBlock();
}

TMemoBlock TMemoCursor::block() const
{
    return m_doc ? TMemoBlock(m_doc, blockNumber()) : TMemoBlock();
}

int TMemoCursor::blockNumber() const
{
    return m_doc ? m_doc->LocateChar(position()).Number : -1;
}

int TMemoCursor::positionInBlock() const
{
    return m_doc ? position() - int(m_doc->LocateChar(position()).Start) : 0;
}

bool TMemoCursor::atEnd() const
{
    return m_doc && position() == m_doc->Length();
}

bool TMemoCursor::atBlockEnd() const
{
    if (!m_doc)
        return false;
    const TMemoDocument::Located at = m_doc->LocateChar(position());
    return position() - at.Start == m_doc->LineAt(at).Length;
}
