#pragma once

// The bouncing balls of the easter-egg box, without widgets: clamping of steps, one step of
// a ball inside its parent's area, the random start of a new ball, and the selection test.

#include <QRandomGenerator>
#include <QString>
#include <cstdint>

inline constexpr int MaxBallStep = 10;
inline constexpr int MaxBalls = 15;

// A step is limited to MaxBallStep pixels either way.
int ClampBallStep(int step);

struct TBallState
{
    int Left = 0;
    int Top = 0;
    int Width = 30;
    int Height = 30;
    int LeftStep = -3;
    int TopStep = 5;
};

// Which axes bounced in one step.
struct TBallBounce
{
    bool Horizontal = false;
    bool Vertical = false;
    bool Any() const { return Horizontal || Vertical; }
};

// Moves the ball one step inside an area of areaWidth by areaHeight pixels, keeping a margin
// of one pixel on every side. A position beyond a bound is set to that bound and the step of
// that axis changes its sign; both axes are handled independently in the same step. An area
// smaller than the ball pins it at the top-left margin rather than letting it wander off.
TBallBounce BallStep(TBallState &ball, int areaWidth, int areaHeight);

struct TBallStart
{
    int LeftStep = 0;
    int TopStep = 0;
    std::uint32_t Rgb = 0; // 0xRRGGBB
};

// A new ball's colour and steps: each step from -10 to 9, drawn again until the ball moves.
TBallStart RandomBallStart(QRandomGenerator &random);

// Whether the editor's selection asks for the easter-egg box: the word EASTEREGG, blanks
// around it and letter case ignored.
bool IsEasterEggSelection(const QString &selection);
