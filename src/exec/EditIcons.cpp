#include "EditIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor Ink(0x34, 0x49, 0x5e);
const QColor Paper(0xfd, 0xfd, 0xfb);
const QColor Header(0x3d, 0x7f, 0xd0);

// Each image is a small grid (a result's rows) with a sign over its lower right corner,
// drawn on a 16-unit square scaled to the size asked for.
class TEditIconEngine : public QIconEngine
{
public:
    explicit TEditIconEngine(int kind)
        : m_kind(kind)
    {}

    void paint(QPainter *p, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->translate(rect.topLeft());
        p->scale(rect.width() / 16.0, rect.height() / 16.0);
        if (mode == QIcon::Disabled)
            p->setOpacity(0.4);
        QPen pen(Ink, 1);
        p->setPen(pen);
        p->setBrush(Paper);
        p->drawRect(QRectF(1.5, 1.5, 10, 9));
        p->fillRect(QRectF(2, 2, 9, 2.5), Header);
        pen.setWidthF(0.6);
        p->setPen(pen);
        for (double y : {6.5, 8.5})
            p->drawLine(QPointF(1.5, y), QPointF(11.5, y));
        p->drawLine(QPointF(6.5, 4.5), QPointF(6.5, 10.5));
        pen.setWidthF(1);
        p->setPen(pen);
        switch (m_kind) {
        case 0: // Insert: a green plus
        case 1: // Delete: a red minus
            p->setBrush(m_kind == 0 ? QColor(0x2f, 0x9e, 0x44) : QColor(0xd6, 0x45, 0x34));
            p->drawEllipse(QPointF(11.5, 11.5), 3.8, 3.8);
            p->setPen(QPen(Paper, 1.6));
            p->drawLine(QPointF(9.4, 11.5), QPointF(13.6, 11.5));
            if (m_kind == 0)
                p->drawLine(QPointF(11.5, 9.4), QPointF(11.5, 13.6));
            break;
        case 2: { // Edit: a pencil
            QPainterPath pencil;
            pencil.moveTo(7.5, 15);
            pencil.lineTo(8.2, 12);
            pencil.lineTo(13.5, 6.7);
            pencil.lineTo(15.8, 9);
            pencil.lineTo(10.5, 14.3);
            pencil.closeSubpath();
            p->setBrush(QColor(0xe3, 0xa2, 0x1a));
            p->drawPath(pencil);
            break;
        }
        default: // Locate: a magnifier
            p->setBrush(QColor(0xdb, 0xe7, 0xf5));
            p->setPen(QPen(Ink, 1.2));
            p->drawEllipse(QPointF(10.5, 10.5), 2.8, 2.8);
            p->setPen(QPen(Ink, 2, Qt::SolidLine, Qt::RoundCap));
            p->drawLine(QPointF(12.6, 12.6), QPointF(15, 15));
        }
        p->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QIconEngine *clone() const override { return new TEditIconEngine(m_kind); }

private:
    int m_kind;
};

} // namespace

QList<QIcon> EditImages()
{
    QList<QIcon> images;
    for (int kind = 0; kind < 4; ++kind)
        images << QIcon(new TEditIconEngine(kind));
    return images;
}
