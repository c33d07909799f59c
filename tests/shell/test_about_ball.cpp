// The bouncing balls without widgets: bounds and the start of a new ball (the right edge and
// the step limits are driven through the ball itself in test_about).
#include "AboutBall.h"

#include <QTest>

class TestAboutBall : public QObject
{
    Q_OBJECT
private slots:
    void cornerBouncesBothAxesInOneStep()
    {
        TBallState b {3, 2, 10, 10, -5, -9};
        const TBallBounce hit = BallStep(b, 100, 80);
        QVERIFY(hit.Horizontal && hit.Vertical);
        QCOMPARE(b.Left, 1);
        QCOMPARE(b.Top, 1);
        QCOMPARE(b.LeftStep, 5);
        QCOMPARE(b.TopStep, 9);

        TBallState low {50, 65, 10, 10, 0, 8};
        QVERIFY(BallStep(low, 100, 80).Vertical);
        QCOMPARE(low.Top, 69);
        QCOMPARE(low.TopStep, -8);
        QCOMPARE(low.Left, 50);
    }

    void areaSmallerThanTheBallKeepsItInside()
    {
        TBallState b {1, 1, 30, 30, 6, 6};
        BallStep(b, 20, 20);
        QCOMPARE(b.Left, 1);
        QCOMPARE(b.Top, 1);
        BallStep(b, 20, 20);
        QCOMPARE(b.Left, 1);
        QCOMPARE(b.Top, 1);
    }

    void newBallsMoveWithStepsInRange()
    {
        QRandomGenerator random(17);
        bool sawLow = false, sawHigh = false, sawZero = false;
        for (int i = 0; i < 2000; ++i) {
            const TBallStart s = RandomBallStart(random);
            QVERIFY(s.LeftStep != 0 || s.TopStep != 0);
            for (int step : {s.LeftStep, s.TopStep}) {
                QVERIFY2(step >= -10 && step <= 9, qPrintable(QString::number(step)));
                sawLow |= step == -10;
                sawHigh |= step == 9;
                sawZero |= step == 0;
            }
            QVERIFY(s.Rgb <= 0xFFFFFFu);
        }
        QVERIFY(sawLow && sawHigh && sawZero);
    }

    void easterEggSelection()
    {
        QVERIFY(IsEasterEggSelection(QStringLiteral("  easteregg \t")));
        QVERIFY(IsEasterEggSelection(QStringLiteral("EasterEgg") + QChar(0x2029)));
        QVERIFY(!IsEasterEggSelection(QStringLiteral("easter egg")));
        QVERIFY(!IsEasterEggSelection(QStringLiteral("eastereggs")));
        QVERIFY(!IsEasterEggSelection(QString()));
    }
};

QTEST_APPLESS_MAIN(TestAboutBall)
#include "test_about_ball.moc"
