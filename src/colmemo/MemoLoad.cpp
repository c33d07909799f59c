#include "ColMemo.h"

#include "MemoLayout.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

bool TColorMemo::LoadText(const QString &Text, const TLoadProgress &Progress)
{
    if (m_loading)
        return false;
    // The text goes into a document of its own, so that a stopped load can put the previous
    // text back as it stood. The new one is shown while still empty: showing a document lays
    // out a line of every block it holds, which costs more memory than the text itself.
    QTextDocument *old = document();
    TMemoLayout *oldLayout = m_docLayout;
    const QTextCursor oldCursor = textCursor();
    const QPoint oldScroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    auto *doc = new QTextDocument(this);
    auto *layout = new TMemoLayout(doc);
    doc->setDocumentLayout(layout);
    doc->setDefaultFont(old->defaultFont());
    doc->setDefaultTextOption(old->defaultTextOption());
    doc->setDocumentMargin(old->documentMargin());
    doc->setUndoRedoEnabled(false);
    layout->SetViewWidth(viewport()->width());

    setDocument(doc);
    m_docLayout = layout;
    m_loading = true;
    m_loadStopped = false;
    qApp->installEventFilter(this);
    constexpr qsizetype Slice = qsizetype(1) << 20;
    QTextCursor cursor(doc);
    for (qsizetype from = 0; from < Text.size() && !m_loadStopped;) {
        // Slices end at a line break: a line laid out again with each slice that lengthens
        // it would cost the square of its length.
        qsizetype to = std::min(Text.size(), from + Slice);
        if (to < Text.size()) {
            const qsizetype back = Text.lastIndexOf(u'\n', to - 1);
            const qsizetype ahead = back < from ? Text.indexOf(u'\n', to) : back;
            to = ahead < 0 ? Text.size() : ahead + 1;
        }
        // One change per slice: the layout then leaves the slice's lines to be laid out when
        // shown, instead of laying out each line as it comes.
        cursor.beginEditBlock();
        cursor.insertText(Text.mid(from, to - from));
        cursor.endEditBlock();
        from = to;
        if (Progress && !Progress(from, Text.size()))
            m_loadStopped = true;
        QCoreApplication::processEvents();
    }
    qApp->removeEventFilter(this);
    m_loading = false;
    if (m_loadStopped) {
        setDocument(old);
        m_docLayout = oldLayout;
        setTextCursor(oldCursor);
        horizontalScrollBar()->setValue(oldScroll.x());
        verticalScrollBar()->setValue(oldScroll.y());
        delete doc;
        return false;
    }
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    if (old->parent() == this)
        delete old;
    Change();
    return true;
}

bool TColorMemo::eventFilter(QObject *Watched, QEvent *Event)
{
    // While a load runs, Escape stops it, and the text on screen, about to be replaced, takes
    // no input.
    if (m_loading
        && (Event->type() == QEvent::KeyPress || Event->type() == QEvent::ShortcutOverride)) {
        if (static_cast<QKeyEvent *>(Event)->key() == Qt::Key_Escape) {
            m_loadStopped = true;
            return true;
        }
        if (Watched == this || Watched == viewport())
            return true;
    }
    return QPlainTextEdit::eventFilter(Watched, Event);
}
