#pragma once

// The about box, its easter-egg variant with bouncing balls, and the ball itself.

#include "AboutBall.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>

class QLabel;

// A coloured ball drawn as an ellipse filling its bounds, moved one step per timer tick.
class TBall : public QWidget
{
    Q_OBJECT
public:
    explicit TBall(QWidget *parent = nullptr);

    int LeftStep() const { return m_state.LeftStep; }
    int TopStep() const { return m_state.TopStep; }
    void SetLeftStep(int step);
    void SetTopStep(int step);
    QColor Color() const { return m_color; }
    void SetColor(const QColor &color);

    // Called with the ball whenever it bounces.
    std::function<void(TBall *ball)> OnShock;

    // Moves one step inside the parent, bouncing off its edges.
    virtual void Step();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TBallState m_state;
    QColor m_color {255, 0, 0};
};

class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    QLabel *imgAbout = nullptr;
    QLabel *lblAbout = nullptr;
    QLabel *lblEmail = nullptr;

    // Opens the mail link; tests replace it.
    std::function<bool(const QUrl &url)> OpenUrl;

    void lblEmailClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // A mouse button pressed on the picture at a point relative to it.
    virtual void imgAboutMouseDown(const QPoint &) {}

private:
    void FormCreate();
};

class TfrmAboutEE : public TfrmAbout
{
    Q_OBJECT
public:
    explicit TfrmAboutEE(QWidget *parent = nullptr);

    QTimer *tmrBalls = nullptr;
    const QList<TBall *> &Balls() const { return m_balls; }
    void tmrBallsTimer();

protected:
    void imgAboutMouseDown(const QPoint &at) override;

private:
    QRandomGenerator m_random;
    QList<TBall *> m_balls; // owned by the window as its children
};

// Help > About: the easter-egg box when the editor's selection asks for it, else the about box.
void mnuHelpAboutClick(QWidget *owner, const QString &editorSelection);
