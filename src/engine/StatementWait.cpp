#include "StatementWait.h"

#include <QElapsedTimer>

namespace StatementWait {
namespace {

std::function<void()> g_pump;
int g_runs = 0;
bool g_stop = false;
bool g_pumping = false;
QElapsedTimer g_sincePump;

} // namespace

void SetPump(std::function<void()> pump)
{
    g_pump = std::move(pump);
}

TRun::TRun()
{
    if (g_runs++ == 0) {
        g_stop = false;
        g_sincePump.start();
    }
}

TRun::~TRun()
{
    if (--g_runs == 0)
        g_stop = false;
}

bool Running()
{
    return g_runs > 0;
}

bool Pumping()
{
    return g_pumping;
}

void RequestStop()
{
    if (g_runs > 0)
        g_stop = true;
}

bool StopRequested()
{
    return g_stop;
}

bool Waiting()
{
    if (g_runs == 0)
        return false;
    // Painting needs no more than this; a pass costs what the events in it cost.
    if (!g_pumping && g_pump && g_sincePump.elapsed() >= 40) {
        g_pumping = true;
        g_pump();
        g_pumping = false;
        g_sincePump.start();
    }
    return g_stop;
}

} // namespace StatementWait
