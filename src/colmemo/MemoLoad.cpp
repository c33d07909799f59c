#include "ColMemo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

bool TColorMemo::LoadText(const QString &Text, const TLoadProgress &Progress)
{
    if (m_loading)
        return false;
    m_loading = true;
    m_loadStopped = false;
    qApp->installEventFilter(this);
    // Finding the lines of a slice takes a few milliseconds; between slices the window
    // paints, and Escape or the progress may stop the load.
    constexpr qsizetype Slice = qsizetype(1) << 20;
    const bool loaded = m_doc->LoadText(
        Text,
        [&](qsizetype Done, qsizetype Total) {
            if (Progress && !Progress(Done, Total))
                m_loadStopped = true;
            QCoreApplication::processEvents();
            return !m_loadStopped;
        },
        Slice);
    qApp->removeEventFilter(this);
    m_loading = false;
    if (!loaded)
        return false;
    SetCursor(TMemoCursor(m_doc));
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
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
    return QAbstractScrollArea::eventFilter(Watched, Event);
}
