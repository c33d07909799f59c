#pragma once

#include <QWidget>

// The main window's busy animation: a ring of dots that turns while work is in progress.
class TBusyIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit TBusyIndicator(QWidget *parent = nullptr);
    void Start();
    void Stop();
    bool Animating() const { return m_timer != 0; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    int m_timer = 0;
    int m_step = 0;
};

// Input that must not reach the program while a long piece of work lets events through:
// it would switch the alias under the work or start another command. Escape, painting and
// scrolling pass.
bool IsBlockedWhileBusy(QEvent *event);
