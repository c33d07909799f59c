#include "RunGuard.h"

#include "BusyIndicator.h"
#include "StatementWait.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

namespace {

// The widget an object belongs to: itself, or the nearest widget among its parents.
QWidget *OwnerWidget(QObject *object)
{
    for (; object; object = object->parent())
        if (object->isWidgetType())
            return static_cast<QWidget *>(object);
    return nullptr;
}

} // namespace

TRunGuard::TRunGuard(QWidget *window, QList<QAction *> stopActions)
    : QObject(window)
    , m_window(window)
    , m_stop(std::move(stopActions))
{
    setObjectName(QStringLiteral("RunGuard"));
    for (QAction *a : m_stop) {
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, &TRunGuard::Stop);
    }
    StatementWait::SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

TRunGuard::~TRunGuard()
{
    StatementWait::SetPump({});
    if (m_on)
        qApp->removeEventFilter(this);
}

void TRunGuard::Begin()
{
    if (m_on)
        return;
    m_on = true;
    for (QAction *a : m_stop)
        a->setEnabled(true);
    qApp->installEventFilter(this);
}

void TRunGuard::End()
{
    if (!m_on)
        return;
    m_on = false;
    qApp->removeEventFilter(this);
    for (QAction *a : m_stop)
        a->setEnabled(false);
    // Result windows showed only the rows they held while the statement ran.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->update();
    if (m_closeAfter) {
        m_closeAfter = false;
        QTimer::singleShot(0, m_window, &QWidget::close);
    }
}

void TRunGuard::Stop()
{
    StatementWait::RequestStop();
}

bool TRunGuard::Passes(QObject *receiver, QEvent *event) const
{
    // Painting, timers and the like go on: what would read rows gets none meanwhile.
    if (!IsBlockedWhileBusy(event))
        return true;
    // The Stop button takes its clicks; input anywhere else could start a command.
    if (auto *button = qobject_cast<QToolButton *>(OwnerWidget(receiver)))
        return m_stop.contains(button->defaultAction());
    return false;
}

bool TRunGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Events reach the program during a run only while the engine works on a statement.
    if (!m_on || !StatementWait::Pumping())
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        Stop();
        return true;
    }
    if (event->type() == QEvent::Close && watched == m_window) {
        // The run is stopped first; the window then closes as it would have.
        Stop();
        m_closeAfter = true;
        event->ignore();
        return true;
    }
    return !Passes(watched, event);
}
