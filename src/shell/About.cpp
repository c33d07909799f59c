#include "About.h"

#include "MessageDlg.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

TBall::TBall(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Ball"));
    // Clicks go through to the picture below, so a ball never hides the place that makes balls.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(m_state.Width, m_state.Height);
}

void TBall::SetLeftStep(int step)
{
    m_state.LeftStep = ClampBallStep(step);
}

void TBall::SetTopStep(int step)
{
    m_state.TopStep = ClampBallStep(step);
}

void TBall::SetColor(const QColor &color)
{
    m_color = color;
    update();
}

void TBall::Step()
{
    const QWidget *area = parentWidget();
    if (!area)
        return;
    m_state.Left = x();
    m_state.Top = y();
    m_state.Width = width();
    m_state.Height = height();
    const TBallBounce bounce = BallStep(m_state, area->width(), area->height());
    move(m_state.Left, m_state.Top);
    if (bounce.Any() && OnShock)
        OnShock(this);
}

void TBall::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(m_color);
    p.drawEllipse(rect());
}

// The picture: a stack of three database disks under a light, drawn rather than shipped.
static QPixmap AboutPicture()
{
    QPixmap pix(103, 134);
    pix.fill(Qt::black);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(14, 20, 75, 100);
    const qreal cap = 18;
    for (int i = 2; i >= 0; --i) {
        const qreal top = body.top() + i * (body.height() - cap) / 3;
        const qreal h = (body.height() - cap) / 3;
        QLinearGradient shade(body.left(), 0, body.right(), 0);
        shade.setColorAt(0, QColor(20, 60, 120));
        shade.setColorAt(0.45, QColor(90, 160, 230));
        shade.setColorAt(1, QColor(15, 40, 90));
        QPainterPath side;
        side.moveTo(body.left(), top + cap / 2);
        side.lineTo(body.left(), top + h + cap / 2);
        side.arcTo(QRectF(body.left(), top + h, body.width(), cap), 180, 180);
        side.lineTo(body.right(), top + cap / 2);
        side.closeSubpath();
        p.setPen(QPen(QColor(10, 25, 60), 1));
        p.setBrush(shade);
        p.drawPath(side);
        p.setBrush(QColor(150, 200, 250));
        p.drawEllipse(QRectF(body.left(), top, body.width(), cap));
    }
    p.setPen(QColor(240, 200, 60));
    p.setBrush(QColor(240, 200, 60, 160));
    p.drawEllipse(QRectF(44, 4, 14, 10));
    return pix;
}

TfrmAbout::TfrmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About..."));
    setFixedSize(180, 173);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    imgAbout = new QLabel(this);
    imgAbout->setObjectName(QStringLiteral("imgAbout"));
    imgAbout->setGeometry(77, 4, 103, 134);
    imgAbout->setScaledContents(true);
    imgAbout->installEventFilter(this);

    lblAbout = new QLabel(this);
    lblAbout->setObjectName(QStringLiteral("lblAbout"));
    lblAbout->setGeometry(4, 4, 70, 130);
    lblAbout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblAbout->setWordWrap(true);

    lblEmail = new QLabel(this);
    lblEmail->setObjectName(QStringLiteral("lblEmail"));
    lblEmail->setGeometry(4, 152, 172, 17);
    lblEmail->setAlignment(Qt::AlignCenter);
    lblEmail->setCursor(Qt::PointingHandCursor);
    lblEmail->installEventFilter(this);

    OpenUrl = [](const QUrl &url) {
        return QDesktopServices::openUrl(url);
    };
    FormCreate();
}

void TfrmAbout::FormCreate()
{
    imgAbout->setPixmap(AboutPicture());
    lblAbout->setText(QStringLiteral("Orvane\n\nSQL scripts for relational databases"));
    lblEmail->setText(QStringLiteral("orvane@example.org"));
}

void TfrmAbout::lblEmailClick()
{
    // The address goes into a URL, never onto a command line.
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(lblEmail->text());
    if (!OpenUrl(url))
        MessageDlg(QStringLiteral("No mail program could open \"%1\".").arg(url.toString()),
                   TMsgDlgType::Error, QMessageBox::Ok);
}

void TfrmAbout::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return;
    case Qt::Key_Escape:
        reject();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool TfrmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        if (watched == imgAbout)
            imgAboutMouseDown(at);
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lblEmail) {
        lblEmailClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

TfrmAboutEE::TfrmAboutEE(QWidget *parent)
    : TfrmAbout(parent)
    , m_random(QRandomGenerator::global()->generate())
{
    setObjectName(QStringLiteral("frmAboutEE"));
    setWindowTitle(QStringLiteral("About!"));
    lblAbout->setGeometry(4, 4, 143, 130);
    lblAbout->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblAbout->setText(QStringLiteral("Orvane\n\nClick the picture!"));
    lblAbout->setAttribute(Qt::WA_TransparentForMouseEvents);
    imgAbout->raise();
    lblAbout->raise();

    tmrBalls = new QTimer(this);
    tmrBalls->setObjectName(QStringLiteral("tmrBalls"));
    tmrBalls->setInterval(50);
    connect(tmrBalls, &QTimer::timeout, this, &TfrmAboutEE::tmrBallsTimer);
    tmrBalls->start();
}

void TfrmAboutEE::imgAboutMouseDown(const QPoint &at)
{
    if (m_balls.size() >= MaxBalls)
        return;
    const TBallStart start = RandomBallStart(m_random);
    auto *ball = new TBall(this);
    ball->setGeometry(imgAbout->x() + at.x(), imgAbout->y() + at.y(), 10, 10);
    ball->SetColor(QColor::fromRgb(start.Rgb));
    ball->SetLeftStep(start.LeftStep);
    ball->SetTopStep(start.TopStep);
    ball->show();
    ball->raise();
    m_balls.append(ball);
}

void TfrmAboutEE::tmrBallsTimer()
{
    for (TBall *ball : std::as_const(m_balls))
        ball->Step();
}

void mnuHelpAboutClick(QWidget *owner, const QString &editorSelection)
{
    if (IsEasterEggSelection(editorSelection)) {
        TfrmAboutEE box(owner);
        box.exec();
    } else {
        TfrmAbout box(owner);
        box.exec();
    }
}
