// The memo's keyboard, mouse, input method, context menu and drag and drop.
#include "ColMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <iterator>

namespace {

using Op = QTextCursor::MoveOperation;

// Keys that move the caret along a line or the text; Select keeps the anchor.
struct TMove
{
    QKeySequence::StandardKey Key;
    Op Operation;
    bool Select;
};
const TMove Moves[] = {
    {QKeySequence::MoveToNextChar, QTextCursor::Right, false},
    {QKeySequence::MoveToPreviousChar, QTextCursor::Left, false},
    {QKeySequence::SelectNextChar, QTextCursor::Right, true},
    {QKeySequence::SelectPreviousChar, QTextCursor::Left, true},
    {QKeySequence::MoveToNextWord, QTextCursor::WordRight, false},
    {QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, false},
    {QKeySequence::SelectNextWord, QTextCursor::WordRight, true},
    {QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, true},
    {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfBlock, false},
    {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfBlock, false},
    {QKeySequence::SelectStartOfLine, QTextCursor::StartOfBlock, true},
    {QKeySequence::SelectEndOfLine, QTextCursor::EndOfBlock, true},
    {QKeySequence::MoveToStartOfBlock, QTextCursor::StartOfBlock, false},
    {QKeySequence::MoveToEndOfBlock, QTextCursor::EndOfBlock, false},
    {QKeySequence::SelectStartOfBlock, QTextCursor::StartOfBlock, true},
    {QKeySequence::SelectEndOfBlock, QTextCursor::EndOfBlock, true},
    {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, false},
    {QKeySequence::MoveToEndOfDocument, QTextCursor::End, false},
    {QKeySequence::SelectStartOfDocument, QTextCursor::Start, true},
    {QKeySequence::SelectEndOfDocument, QTextCursor::End, true},
};

// Keys that move the caret up or down by lines or pages, keeping its cell.
struct TVertical
{
    QKeySequence::StandardKey Key;
    int Pages; // lines when 0
    int Sign;
    bool Select;
};
const TVertical Verticals[] = {
    {QKeySequence::MoveToNextLine, 0, 1, false}, {QKeySequence::MoveToPreviousLine, 0, -1, false},
    {QKeySequence::SelectNextLine, 0, 1, true},  {QKeySequence::SelectPreviousLine, 0, -1, true},
    {QKeySequence::MoveToNextPage, 1, 1, false}, {QKeySequence::MoveToPreviousPage, 1, -1, false},
    {QKeySequence::SelectNextPage, 1, 1, true},  {QKeySequence::SelectPreviousPage, 1, -1, true},
};

// The edit commands of the keyboard; Writes marks those a read-only editor refuses.
struct TCommand
{
    QKeySequence::StandardKey Key;
    void (TColorMemo::*Slot)();
    bool Writes;
};
const TCommand Commands[] = {
    {QKeySequence::Copy, &TColorMemo::copy, false},
    {QKeySequence::SelectAll, &TColorMemo::selectAll, false},
    {QKeySequence::Cut, &TColorMemo::cut, true},
    {QKeySequence::Paste, &TColorMemo::paste, true},
    {QKeySequence::Undo, &TColorMemo::undo, true},
    {QKeySequence::Redo, &TColorMemo::redo, true},
};

const QKeySequence::StandardKey Deletions[]
    = {QKeySequence::Delete, QKeySequence::Backspace, QKeySequence::DeleteEndOfWord,
       QKeySequence::DeleteStartOfWord};

QTextCursor::MoveMode ModeOf(bool Select)
{
    return Select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
}

// Text the key types: Ctrl, Meta and Alt with a letter are commands, a menu's or a button's.
bool Typed(const QKeyEvent *e)
{
    const QString text = e->text();
    return !text.isEmpty() && (text[0].isPrint() || text[0] == u'\t')
        && !(e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier));
}

} // namespace

bool TColorMemo::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        // Keys the editor acts on are its own, even where a window shortcut uses them too.
        auto *k = static_cast<QKeyEvent *>(e);
        const auto matches = [k](const auto &Table) {
            return std::any_of(std::begin(Table), std::end(Table),
                               [k](const auto &Entry) { return k->matches(Entry.Key); });
        };
        const bool mine = Typed(k) || k->key() == Qt::Key_Backspace || k->key() == Qt::Key_Delete
            || k->key() == Qt::Key_Home || k->key() == Qt::Key_End || matches(Moves)
            || matches(Verticals) || matches(Commands)
            || std::any_of(std::begin(Deletions), std::end(Deletions),
                           [k](QKeySequence::StandardKey Key) { return k->matches(Key); });
        if (mine) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::KeyPress && !m_tabChangesFocus) {
        auto *k = static_cast<QKeyEvent *>(e);
        // Tab is typed; Ctrl+Tab still moves the focus on.
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab)
            && !(k->modifiers() & Qt::ControlModifier)) {
            keyPressEvent(k);
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void TColorMemo::MoveVertically(int Lines, QTextCursor::MoveMode Mode)
{
    const int line = m_cursor.blockNumber();
    if (m_keptCell < 0)
        m_keptCell = m_doc->CellOf(line, m_cursor.positionInBlock());
    const int target = std::clamp(line + Lines, 0, m_doc->blockCount() - 1);
    TMemoCursor c = m_cursor;
    if (target == line) {
        // With nowhere to go a selection still reaches the first or last line's end.
        if (Mode == QTextCursor::KeepAnchor) {
            c.setPosition(Lines < 0 ? 0 : m_doc->Length(), Mode);
            SetCursor(c);
        }
        return;
    }
    c.setPosition(m_doc->LineStart(target) + m_doc->ColumnAtCell(target, m_keptCell), Mode);
    SetCursor(c, true);
}

bool TColorMemo::Navigate(QKeyEvent *e)
{
    for (const TMove &m : Moves) {
        if (e->matches(m.Key)) {
            TMemoCursor c = m_cursor;
            c.movePosition(m.Operation, ModeOf(m.Select));
            SetCursor(c);
            ensureCursorVisible();
            return true;
        }
    }
    for (const TVertical &v : Verticals) {
        if (e->matches(v.Key)) {
            const int lines = v.Pages ? VisibleLines() : 1;
            if (v.Pages)
                verticalScrollBar()->setValue(verticalScrollBar()->value() + v.Sign * lines);
            MoveVertically(v.Sign * lines, ModeOf(v.Select));
            ensureCursorVisible();
            return true;
        }
    }
    return false;
}

bool TColorMemo::EditKey(QKeyEvent *e)
{
    for (const TCommand &c : Commands) {
        if (e->matches(c.Key) && !(c.Writes && m_readOnly)) {
            (this->*c.Slot)();
            return true;
        }
    }
    if (m_readOnly)
        return false;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->key() == Qt::Key_Backspace && !(mods & ~Qt::ShiftModifier)) {
        Edit([](TMemoCursor &c) { c.deletePreviousChar(); });
        return true;
    }
    if (e->matches(QKeySequence::Delete)) {
        Edit([](TMemoCursor &c) { c.deleteChar(); });
        return true;
    }
    if (e->matches(QKeySequence::DeleteEndOfWord) || e->matches(QKeySequence::DeleteStartOfWord)) {
        const bool forward = e->matches(QKeySequence::DeleteEndOfWord);
        Edit([forward](TMemoCursor &c) {
            if (!c.hasSelection())
                c.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord,
                               QTextCursor::KeepAnchor);
            c.removeSelectedText();
        });
        return true;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        // Shift+Enter breaks the line as Enter does: there are no soft breaks.
        Edit([](TMemoCursor &c) { c.insertBlock(); });
        return true;
    }
    if (Typed(e)) {
        const QString text = e->text();
        if (text[0] == u'\t' && m_tabChangesFocus)
            return false;
        Edit([&](TMemoCursor &c) { c.insertText(text); });
        return true;
    }
    return false;
}

void TColorMemo::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool navigation = key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_End
        || key == Qt::Key_Home || key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right
        || key == Qt::Key_Down;
    if (navigation && !shift && m_cursor.hasSelection()) {
        TMemoCursor c = m_cursor;
        c.setPosition(c.selectionEnd());
        SetCursor(c);
        PaintKeys(this, false);
    }
    if (Navigate(e) || EditKey(e)) {
        e->accept();
        return;
    }
    e->ignore();
}

void TColorMemo::keyReleaseEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Shift)
        PaintKeys(this, false);
    QAbstractScrollArea::keyReleaseEvent(e);
}

void TColorMemo::inputMethodEvent(QInputMethodEvent *e)
{
    if (!m_readOnly && !e->commitString().isEmpty()) {
        const QString text = e->commitString();
        Edit([&](TMemoCursor &c) { c.insertText(text); });
    }
    e->accept();
}

int TColorMemo::ImTextFrom() const
{
    // An input method is shown the caret's surroundings, not the whole of a long line.
    return std::max(0, m_cursor.positionInBlock() - ImReach);
}

QVariant TColorMemo::inputMethodQuery(Qt::InputMethodQuery Query) const
{
    switch (Query) {
    case Qt::ImEnabled:
        return !m_readOnly;
    case Qt::ImCursorRectangle:
        return cursorRect();
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return m_cursor.positionInBlock() - ImTextFrom();
    case Qt::ImAnchorPosition:
        return std::clamp(m_cursor.anchor() - m_cursor.block().position(), 0,
                          m_cursor.block().length() - 1)
            - ImTextFrom();
    case Qt::ImSurroundingText:
        return m_doc->LineText(m_cursor.blockNumber(), ImTextFrom(), 2 * ImReach);
    case Qt::ImCurrentSelection:
        return m_cursor.hasSelection()
                && m_cursor.selectionEnd() - m_cursor.selectionStart() < ImReach
            ? m_cursor.selectedText()
            : QString();
    default:
        return QAbstractScrollArea::inputMethodQuery(Query);
    }
}

void TColorMemo::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && e->buttons() == Qt::LeftButton
        && e->modifiers() == Qt::NoModifier)
        PaintKeys(this, false);
    const QPoint at = e->position().toPoint();
    m_lastMouse = at;
    if (e->button() == Qt::MiddleButton && !m_readOnly
        && QApplication::clipboard()->supportsSelection()) {
        const QString text = QApplication::clipboard()->text(QClipboard::Selection);
        TMemoCursor c = cursorForPosition(at);
        SetCursor(c);
        if (!text.isEmpty())
            insertPlainText(text);
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    const int pos = TextPosAt(at);
    m_byWords = false;
    m_mayDrag = false;
    if (!(e->modifiers() & Qt::ShiftModifier) && m_cursor.hasSelection()
        && pos >= m_cursor.selectionStart() && pos < m_cursor.selectionEnd()) {
        m_mayDrag = true;
        m_pressAt = at;
        return;
    }
    TMemoCursor c = m_cursor;
    c.setPosition(pos,
                  (e->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor
                                                       : QTextCursor::MoveAnchor);
    SetCursor(c);
    m_selecting = true;
}

void TColorMemo::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    TMemoCursor c = cursorForPosition(e->position().toPoint());
    c.select(QTextCursor::WordUnderCursor);
    SetCursor(c);
    m_wordAnchor = c;
    m_byWords = true;
    m_selecting = true;
    m_mayDrag = false;
}

void TColorMemo::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint at = e->position().toPoint();
    m_lastMouse = at;
    if (m_layer.HotSpot.Active) {
        const bool over = HotSpotAt(at, nullptr);
        if (over != m_hotCursor) {
            m_hotCursor = over;
            viewport()->setCursor(over ? Qt::PointingHandCursor : Qt::IBeamCursor);
        }
    }
    if (!(e->buttons() & Qt::LeftButton))
        return;
    if (m_mayDrag) {
        if ((at - m_pressAt).manhattanLength() < QApplication::startDragDistance())
            return;
        m_mayDrag = false;
        auto *drag = new QDrag(this);
        auto *mime = new QMimeData;
        mime->setText(m_cursor.selectedText().replace(QChar(0x2029), u'\n'));
        drag->setMimeData(mime);
        const int from = m_cursor.selectionStart();
        const int to = m_cursor.selectionEnd();
        const Qt::DropAction done
            = drag->exec(m_readOnly ? Qt::CopyAction : Qt::MoveAction | Qt::CopyAction);
        if (done == Qt::MoveAction && drag->target() != viewport() && drag->target() != this
            && !m_readOnly)
            m_doc->Remove(from, to - from);
        return;
    }
    if (!m_selecting)
        return;
    const QRect view = viewport()->rect();
    if (!view.contains(at)) {
        if (!m_autoScroll.isActive())
            m_autoScroll.start(50, this);
    } else {
        m_autoScroll.stop();
    }
    const int pos = TextPosAt(at);
    TMemoCursor c = m_cursor;
    if (m_byWords) {
        TMemoCursor word(m_doc);
        word.setPosition(pos);
        word.select(QTextCursor::WordUnderCursor);
        if (pos < m_wordAnchor.selectionStart()) {
            c.setPosition(m_wordAnchor.selectionEnd());
            c.setPosition(word.selectionStart(), QTextCursor::KeepAnchor);
        } else {
            c.setPosition(m_wordAnchor.selectionStart());
            c.setPosition(std::max(word.selectionEnd(), m_wordAnchor.selectionEnd()),
                          QTextCursor::KeepAnchor);
        }
    } else {
        c.setPosition(pos, QTextCursor::KeepAnchor);
    }
    SetCursor(c);
    ensureCursorVisible();
}

void TColorMemo::timerEvent(QTimerEvent *e)
{
    if (e->timerId() != m_autoScroll.timerId())
        return QAbstractScrollArea::timerEvent(e);
    const QRect view = viewport()->rect();
    if (!m_selecting || view.contains(m_lastMouse)) {
        m_autoScroll.stop();
        return;
    }
    if (m_lastMouse.y() < view.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_lastMouse.y() > view.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (m_lastMouse.x() < view.left())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_lastMouse.x() > view.right())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    TMemoCursor c = m_cursor;
    c.setPosition(TextPosAt(m_lastMouse), QTextCursor::KeepAnchor);
    SetCursor(c);
}

void TColorMemo::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        PaintKeys(this, false);
    m_autoScroll.stop();
    if (m_mayDrag && e->button() == Qt::LeftButton) {
        // A click inside the selection that did not drag places the caret.
        TMemoCursor c = m_cursor;
        c.setPosition(TextPosAt(e->position().toPoint()));
        SetCursor(c);
    }
    m_mayDrag = false;
    // The selection made with the mouse is offered for pasting with the middle button.
    if (m_selecting && m_cursor.hasSelection() && QApplication::clipboard()->supportsSelection())
        QApplication::clipboard()->setText(m_cursor.selectedText().replace(QChar(0x2029), u'\n'),
                                           QClipboard::Selection);
    m_selecting = false;
    QString text;
    if (m_hotCursor && HotSpotAt(e->position().toPoint(), &text))
        emit OnHotSpotClick(text);
}

QMenu *TColorMemo::createStandardContextMenu()
{
    auto *menu = new QMenu(this);
    auto add = [&](const QString &text, const QKeySequence &keys, bool enabled, auto slot) {
        QAction *a = menu->addAction(text, this, slot);
        a->setShortcut(keys);
        a->setEnabled(enabled);
    };
    const bool editable = !m_readOnly;
    const bool selected = m_cursor.hasSelection();
    add(tr("&Undo"), QKeySequence::Undo, editable && m_doc->isUndoAvailable(), &TColorMemo::undo);
    add(tr("&Redo"), QKeySequence::Redo, editable && m_doc->isRedoAvailable(), &TColorMemo::redo);
    menu->addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, editable && selected, &TColorMemo::cut);
    add(tr("&Copy"), QKeySequence::Copy, selected, &TColorMemo::copy);
    add(tr("&Paste"), QKeySequence::Paste, canPaste(), &TColorMemo::paste);
    add(tr("Delete"), QKeySequence(), editable && selected,
        [this] { Edit([](TMemoCursor &c) { c.removeSelectedText(); }); });
    menu->addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, !m_doc->isEmpty(), &TColorMemo::selectAll);
    return menu;
}

void TColorMemo::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

void TColorMemo::dragEnterEvent(QDragEnterEvent *e)
{
    if (!m_readOnly && e->mimeData()->hasText())
        e->acceptProposedAction();
    else
        e->ignore();
}

void TColorMemo::dragMoveEvent(QDragMoveEvent *e)
{
    if (m_readOnly || !e->mimeData()->hasText()) {
        e->ignore();
        return;
    }
    // Where the text would go is shown as a second caret; the selection stays, as a move
    // within the editor takes it from there.
    const int pos = TextPosAt(e->position().toPoint());
    if (pos != m_dropPos) {
        m_dropPos = pos;
        viewport()->update();
    }
    e->acceptProposedAction();
}

void TColorMemo::dragLeaveEvent(QDragLeaveEvent *e)
{
    m_dropPos = -1;
    viewport()->update();
    QAbstractScrollArea::dragLeaveEvent(e);
}

void TColorMemo::dropEvent(QDropEvent *e)
{
    if (m_readOnly || !e->mimeData()->hasText()) {
        e->ignore();
        return;
    }
    m_dropPos = -1;
    viewport()->update();
    const QString text = e->mimeData()->text();
    int pos = TextPosAt(e->position().toPoint());
    m_doc->beginEditBlock();
    const bool inside = e->source() == this || e->source() == viewport();
    if (inside && e->dropAction() == Qt::MoveAction) {
        // Text moved within the editor leaves its old place in the same undo step.
        const int from = m_cursor.selectionStart();
        const int to = m_cursor.selectionEnd();
        if (pos >= from && pos <= to) {
            m_doc->endEditBlock();
            e->ignore();
            return;
        }
        m_doc->Remove(from, to - from);
        if (pos > to)
            pos -= to - from;
    }
    m_doc->Insert(pos, text);
    m_doc->endEditBlock();
    TMemoCursor c(m_doc);
    c.setPosition(pos);
    c.setPosition(pos + int(text.size()), QTextCursor::KeepAnchor);
    SetCursor(c);
    e->setDropAction(inside ? Qt::CopyAction : e->proposedAction());
    e->accept();
    setFocus();
}
