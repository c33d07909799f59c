#include "AboutBall.h"

#include <algorithm>

int ClampBallStep(int step)
{
    return std::clamp(step, -MaxBallStep, MaxBallStep);
}

// Bounds one coordinate; returns whether it hit a bound while moving towards it.
static bool BoundAxis(int &pos, int &step, int low, int high)
{
    if (pos > high) {
        pos = high;
        step = -step;
        return true;
    }
    if (pos < low) {
        pos = low;
        step = -step;
        return true;
    }
    return false;
}

TBallBounce BallStep(TBallState &ball, int areaWidth, int areaHeight)
{
    constexpr int margin = 1;
    const int maxLeft = std::max(margin, areaWidth - ball.Width - margin);
    const int maxTop = std::max(margin, areaHeight - ball.Height - margin);
    ball.Left += ball.LeftStep;
    ball.Top += ball.TopStep;
    TBallBounce bounce;
    bounce.Horizontal = BoundAxis(ball.Left, ball.LeftStep, margin, maxLeft);
    bounce.Vertical = BoundAxis(ball.Top, ball.TopStep, margin, maxTop);
    return bounce;
}

TBallStart RandomBallStart(QRandomGenerator &random)
{
    TBallStart start;
    start.Rgb = random.bounded(0x1000000u);
    do {
        start.LeftStep = random.bounded(-MaxBallStep, MaxBallStep);
        start.TopStep = random.bounded(-MaxBallStep, MaxBallStep);
    } while (start.LeftStep == 0 && start.TopStep == 0);
    return start;
}

bool IsEasterEggSelection(const QString &selection)
{
    return selection.trimmed().toUpper() == QStringLiteral("EASTEREGG");
}
