#include "BusyIndicator.h"

#include <QKeyEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QtMath>

static constexpr int Dots = 8;

TBusyIndicator::TBusyIndicator(QWidget *parent)
    : QWidget(parent)
{}

void TBusyIndicator::Start()
{
    if (!m_timer)
        m_timer = startTimer(90);
}

void TBusyIndicator::Stop()
{
    if (m_timer)
        killTimer(m_timer);
    m_timer = 0;
    m_step = 0;
    update();
}

void TBusyIndicator::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer)
        return QWidget::timerEvent(event);
    m_step = (m_step + 1) % Dots;
    update();
}

void TBusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal radius = qMin(width(), height()) * 0.30;
    const qreal dot = radius * 0.28;
    const QPointF centre = rect().center() + QPointF(0.5, 0.5);
    QColor colour = palette().color(QPalette::Highlight);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < Dots; ++i) {
        const qreal angle = 2 * M_PI * i / Dots - M_PI / 2;
        // At rest the ring is drawn faint; running, a bright dot travels round it.
        const int age = (m_step - i + Dots) % Dots;
        colour.setAlphaF(m_timer ? 1.0 - age * 0.11 : 0.22);
        p.setBrush(colour);
        p.drawEllipse(centre + QPointF(qCos(angle), qSin(angle)) * radius, dot, dot);
    }
}

bool IsBlockedWhileBusy(QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        return static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape;
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}
