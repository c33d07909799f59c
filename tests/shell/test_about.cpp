// The about boxes offscreen: chosen from the editor's selection through the Help menu, the
// mail link, the keys that close them, and balls made by clicking the picture.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include "About.h"
#include "MessageDlg.h"
#include "Settings.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

// Runs fn on the next modal dialog once it shows; the flag tells whether it ever did.
static void WhenModal(std::function<void(QWidget *)> fn, bool &seen, int triesLeft = 300)
{
    QTimer::singleShot(10, [fn = std::move(fn), &seen, triesLeft]() mutable {
        QWidget *w = QApplication::activeModalWidget();
        if (w && w->isVisible()) {
            seen = true;
            fn(w);
        } else if (triesLeft > 0)
            WhenModal(std::move(fn), seen, triesLeft - 1);
    });
}

// Selects the given line of the editor, without its line break.
static void SelectEditorLine(TColorMemo *editor, int line)
{
    const TMemoBlock block = editor->document()->findBlockByNumber(line);
    TMemoCursor c(block);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    editor->setTextCursor(c);
}

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(OrvaneIniFileName()); }

    // The plain box and its mail link, then the ball box for the word with blanks around it.
    void selectionChoosesTheAboutBox()
    {
        TProgram p;
        QVERIFY(p.Show());
        p->memSQL->setPlainText(QStringLiteral("SELECT *\neaster egg\n"));
        SelectEditorLine(p->memSQL, 1);
        bool seen = false;
        QString title, messages;
        QList<QUrl> opened;
        bool plainBox = false;
        int result = -1;
        const TMessageHandler previous = SetMessageDlgHandler(
            [&](const QString &text, TMsgDlgType, QMessageBox::StandardButtons) {
                messages += text;
                return QMessageBox::Ok;
            });
        WhenModal(
            [&](QWidget *w) {
                auto *box = qobject_cast<TfrmAbout *>(w);
                if (!box) {
                    if (auto *d = qobject_cast<QDialog *>(w))
                        d->reject();
                    return;
                }
                plainBox = !dynamic_cast<TfrmAboutEE *>(box) && box->size() == QSize(180, 173);
                title = box->windowTitle();
                bool answer = true;
                box->OpenUrl = [&](const QUrl &url) {
                    opened << url;
                    return answer;
                };
                QTest::mouseClick(box->lblEmail, Qt::LeftButton);
                answer = false;
                QTest::mouseClick(box->lblEmail, Qt::LeftButton);
                connect(box, &QDialog::finished, [&](int r) { result = r; });
                QTest::keyClick(box, Qt::Key_Return);
            },
            seen);
        p->mnuHelpAbout->trigger();
        SetMessageDlgHandler(previous);
        QVERIFY(seen);
        QVERIFY(plainBox);
        QCOMPARE(title, QStringLiteral("About..."));
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened.first().scheme(), QStringLiteral("mailto"));
        QVERIFY(opened.first().path().contains(QLatin1Char('@')));
        // Only the failed second open is reported.
        QVERIFY2(messages.contains(opened.first().toString()), qPrintable(messages));
        QCOMPARE(messages.count(QStringLiteral("mailto:")), 1);
        QCOMPARE(result, int(QDialog::Accepted));

        p->memSQL->setPlainText(QStringLiteral("SELECT *\n  easteregg  \nFROM t;"));
        SelectEditorLine(p->memSQL, 1);
        seen = false;
        bool ballBox = false, moved = false;
        qsizetype ballsAfter15 = -1, ballsAfter16 = -1, children = -1;
        QRect first;
        WhenModal(
            [&](QWidget *w) {
                auto *box = dynamic_cast<TfrmAboutEE *>(w);
                ballBox = box;
                if (!box) {
                    if (auto *d = qobject_cast<QDialog *>(w))
                        d->reject();
                    return;
                }
                title = box->windowTitle();
                box->tmrBalls->stop();
                for (int i = 0; i < 15; ++i)
                    QTest::mousePress(box->imgAbout, Qt::LeftButton, {}, QPoint(20 + i, 30));
                ballsAfter15 = box->Balls().size();
                QTest::mousePress(box->imgAbout, Qt::LeftButton, {}, QPoint(50, 50));
                ballsAfter16 = box->Balls().size();
                children = box->findChildren<TBall *>().size();
                first = box->Balls().value(0) ? box->Balls().first()->geometry() : QRect();
                // Every ball moves, so the timer's ticks take each away from where it began.
                QList<QPoint> start;
                for (TBall *b : box->Balls())
                    start << b->pos();
                box->tmrBalls->start();
                moved = QTest::qWaitFor(
                    [&] {
                        for (int i = 0; i < start.size(); ++i)
                            if (box->Balls()[i]->pos() == start[i])
                                return false;
                        return true;
                    },
                    3000);
                QTest::keyClick(box, Qt::Key_Escape);
            },
            seen);
        p->mnuHelpAbout->trigger();
        QVERIFY(seen);
        QVERIFY(ballBox);
        QCOMPARE(title, QStringLiteral("About!"));
        QCOMPARE(ballsAfter15, 15);
        QCOMPARE(ballsAfter16, 15);
        QCOMPARE(children, 15);
        QCOMPARE(first, QRect(77 + 20, 4 + 30, 10, 10));
        QVERIFY(moved);
    }

    void ballBouncesOffTheRightEdgeOfItsParent()
    {
        QWidget area;
        area.resize(100, 100);
        TBall ball(&area);
        QCOMPARE(ball.size(), QSize(30, 30));
        QCOMPARE(ball.LeftStep(), -3);
        QCOMPARE(ball.TopStep(), 5);
        QCOMPARE(ball.Color(), QColor(255, 0, 0));
        ball.SetTopStep(-14);
        QCOMPARE(ball.TopStep(), -10);
        ball.SetTopStep(5);
        ball.SetLeftStep(12);
        QCOMPARE(ball.LeftStep(), 10);

        QList<TBall *> shocks;
        ball.OnShock = [&](TBall *b) {
            shocks << b;
        };
        ball.move(65, 20);
        ball.Step();
        QCOMPARE(ball.pos(), QPoint(100 - 30 - 1, 25));
        QCOMPARE(ball.LeftStep(), -10);
        QCOMPARE(ball.TopStep(), 5);
        QCOMPARE(shocks, QList<TBall *> {&ball});
        ball.Step();
        QCOMPARE(ball.pos(), QPoint(59, 30));
        QCOMPARE(shocks.size(), 1);
    }
};

ORVANE_TEST_MAIN_WITH_HOME(TestAbout, QApplication)

#include "test_about.moc"
