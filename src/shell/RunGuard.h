#pragma once

// Keeps the program alive while a script runs: the windows paint and the busy state turns
// while the engine works, Stop (the tool button, the SQL menu item and Escape) interrupts
// the running statement, and no other input reaches the program until the run ends: no
// other command may start on the connection the statement holds. Closing the main window
// stops the run first and closes it then.
//
// Tform_Main makes one and calls Begin and End around a run (the executor's Busy).

#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

class TRunGuard : public QObject
{
    Q_OBJECT
public:
    TRunGuard(QWidget *window, QList<QAction *> stopActions);
    ~TRunGuard() override;

    void Begin();
    void End();
    void Stop();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool Passes(QObject *receiver, QEvent *event) const;

    QWidget *m_window;
    QList<QAction *> m_stop;
    bool m_on = false;
    bool m_closeAfter = false;
};
