#pragma once

// Keeps the program answering while an engine works on a statement of a run, and lets the
// user stop it. The drivers call Waiting() from their engine's own progress hooks (SQLite's
// progress handler, the PostgreSQL driver's wait for the server's answer); while a run is
// on, Waiting() lets the program's events through a few dozen times a second, on the thread
// that made the connection, and says when the statement is to give up.

#include <QString>
#include <functional>

namespace StatementWait {

// What lets the events through (the main window's filtered event loop pass).
void SetPump(std::function<void()> pump);

// A run that may be stopped: statements started while one is alive are watched.
class TRun
{
public:
    TRun();
    ~TRun();
    TRun(const TRun &) = delete;
    TRun &operator=(const TRun &) = delete;
};

bool Running();
// True while the events of a run are let through: nothing may then read from or write to
// a connection, which is busy with the statement (a result window paints what it holds).
bool Pumping();
// Asks the running statement to give up; the run's TRun clears the request at its end.
void RequestStop();
bool StopRequested();

// Called by the drivers while a statement works: true when it is to give up. Costs a test
// of a flag when no run is on, and a clock reading between the passes of the pump.
bool Waiting();

// The message of a statement the user stopped.
inline QString CanceledText()
{
    return QStringLiteral("Canceled by user");
}

} // namespace StatementWait
