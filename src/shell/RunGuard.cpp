#include "RunGuard.h"

#include "BusyIndicator.h"
#include "StatementWait.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <QWindow>

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
    // Also while a result window reads rows, which is no run of the executor.
    qApp->installEventFilter(this);
}

TRunGuard::~TRunGuard()
{
    StatementWait::SetPump({});
}

void TRunGuard::Begin()
{
    if (m_on)
        return;
    m_on = true;
    for (QAction *a : m_stop)
        a->setEnabled(true);
}

void TRunGuard::End()
{
    if (!m_on)
        return;
    m_on = false;
    for (QAction *a : m_stop)
        a->setEnabled(false);
    // Result windows showed only the rows they held while the statement ran.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->update();
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
    // The Stop button takes its clicks; input anywhere else could start a command. A click
    // reaches the window first, which hands it on to the widget under the pointer.
    QWidget *widget = OwnerWidget(receiver);
    if (!widget && qobject_cast<QWindow *>(receiver) && event->isPointerEvent())
        widget
            = QApplication::widgetAt(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
    if (auto *button = qobject_cast<QToolButton *>(widget))
        return m_stop.contains(button->defaultAction());
    return false;
}

bool TRunGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Events reach the program during a run only while the engine works on a statement.
    if (!StatementWait::Pumping())
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        Stop();
        return true;
    }
    if (event->type() == QEvent::Close && watched->isWidgetType()) {
        // The statement is stopped first; the window then closes as it would have, once
        // nothing reads through it any more.
        Stop();
        event->ignore();
        QTimer::singleShot(50, static_cast<QWidget *>(watched), &QWidget::close);
        return true;
    }
    return !Passes(watched, event);
}
