#pragma once

// Keeps the program alive while the engine works on a statement of a script or on the rows
// of a result window: the windows paint and the busy state turns, Stop (the tool button
// and the SQL menu item during a script, Escape at any time) interrupts the statement, and
// no other input reaches the program until it ends: no other command may start on the
// connection the statement holds. Closing a window stops the statement first and closes
// the window then.
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
};
