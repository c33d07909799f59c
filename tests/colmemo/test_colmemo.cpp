#include "ColMemo.h"
#include "SqlRules.h"

#include <QAction>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

QString Lines(int count, const QString &line)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << line.arg(i);
    return lines.join('\n');
}

// The text of every run of the last paint, in the memo's character indexes.
QStringList RunTexts(TColorMemo *memo)
{
    const QString text = memo->toPlainText().replace('\n', QLatin1String("\r\n"));
    QStringList out;
    for (int i = 0; i < memo->RunCount(); ++i) {
        const TKeyDescr &r = memo->Runs()[i];
        out << text.mid(r.BegPos, r.EndPos - r.BegPos + 1);
    }
    return out;
}

} // namespace

class TestColMemo : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_form;
    TColorMemo *m_memo = nullptr;

    void Paint() { m_memo->viewport()->repaint(); }

private slots:
    void init()
    {
        m_form = std::make_unique<QWidget>();
        m_form->resize(400, 300);
        m_memo = new TColorMemo(m_form.get());
        m_memo->setGeometry(0, 0, 400, 300);
        // The editor's font is of fixed pitch, as the SQL editor's is.
        QFont font(QStringLiteral("Courier New"));
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        font.setPixelSize(13);
        m_memo->setFont(font);
        AddSqlColorRules(m_memo->ColorRules());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void cleanup() { m_form.reset(); }

    void caretLineAndColumnAreClampedAndCountLineBreaksAsTwo()
    {
        m_memo->setPlainText("ab\ncde\nf");
        m_memo->SetCaretLine(1);
        QCOMPARE(m_memo->CaretLine(), 1);
        QCOMPARE(m_memo->CaretCol(), 0);
        m_memo->SetCaretCol(10);
        QCOMPARE(m_memo->CaretCol(), 3);
        QCOMPARE(m_memo->textCursor().position(), 6);
        m_memo->SetCaretLine(99);
        QCOMPARE(m_memo->CaretLine(), 2);
        m_memo->SetCaretCol(-3);
        QCOMPARE(m_memo->CaretCol(), 0);
        QCOMPARE(m_memo->CharIndex(7), 9);
        TMemoCursor c = m_memo->textCursor();
        c.setPosition(4);
        c.setPosition(1, QTextCursor::KeepAnchor);
        m_memo->setTextCursor(c);
        QCOMPARE(m_memo->CaretLine(), 0);
        QCOMPARE(m_memo->CaretCol(), 1);
    }

    void scrollingReportsAndRescansOnlyTheView()
    {
        m_memo->setPlainText(Lines(200, "SELECT %1 FROM t"));
        QSignalSpy vscroll(m_memo, &TColorMemo::OnVScroll);
        m_memo->verticalScrollBar()->setValue(50);
        QCOMPARE(vscroll.count(), 1);
        QCOMPARE(m_memo->TopLine(), 50);
        Paint();
        const auto lineIndex = [this](int line) {
            return m_memo->CharIndex(m_memo->document()->findBlockByNumber(line).position());
        };
        QCOMPARE(m_memo->LastScanFrom(), lineIndex(50));
        // The scan ends where the first line not wholly visible begins.
        int firstHidden = 50;
        for (TMemoBlock b = m_memo->document()->findBlockByNumber(50); b.isValid(); b = b.next()) {
            const QRect r = m_memo->cursorRect(TMemoCursor(b));
            if (r.top() + r.height() > m_memo->viewport()->height())
                break;
            ++firstHidden;
        }
        QVERIFY(firstHidden > 55 && firstHidden < 100);
        QCOMPARE(m_memo->LastScanEnd(), lineIndex(firstHidden));
        QCOMPARE(m_memo->RunCount(), (firstHidden - 50) * 2);

        QSignalSpy hscroll(m_memo, &TColorMemo::OnHScroll);
        m_memo->setPlainText(QString(300, 'x'));
        m_memo->horizontalScrollBar()->setValue(40);
        QCOMPARE(hscroll.count(), 1);
    }

    void firstRuleHeightWidensTheScanUpwards()
    {
        m_memo->setPlainText(Lines(20, "x%1") + "\n/* a\nb SELECT\n*/\n" + Lines(40, "y%1"));
        m_memo->ColorRules()[0].KeyMaxHeight = 3;
        m_memo->verticalScrollBar()->setValue(21);
        Paint();
        QCOMPARE(m_memo->LastScanFrom(),
                 m_memo->CharIndex(m_memo->document()->findBlockByNumber(19).position()));
        QCOMPARE(RunTexts(m_memo).first(), QString("/* a\r\nb SELECT\r\n*/"));
    }

    void leftWithoutShiftCollapsesTheSelectionToItsEnd()
    {
        m_memo->setPlainText("SELECT a FROM b");
        m_memo->setFocus();
        TMemoCursor c = m_memo->textCursor();
        c.setPosition(6);
        c.setPosition(0, QTextCursor::KeepAnchor);
        m_memo->setTextCursor(c);
        QTest::keyClick(m_memo, Qt::Key_Left);
        QVERIFY(!m_memo->textCursor().hasSelection());
        QCOMPARE(m_memo->textCursor().position(), 5);
        Paint();
        QCOMPARE(RunTexts(m_memo), QStringList({"SELECT", "FROM"}));
        // With Shift the native selection goes on.
        QTest::keyClick(m_memo, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(m_memo->textCursor().selectedText(), QString("C"));
    }

    void selectionAndKeyDrawingShareAKeyword()
    {
        QStringList drawn;
        m_memo->OnDrawKey = [&](QPainter &, const QString &key, const QRectF &, const QColor &) {
            drawn << key;
        };
        m_memo->setPlainText("SELECT x\tFROM");
        TMemoCursor c = m_memo->textCursor();
        c.setPosition(3);
        c.setPosition(7, QTextCursor::KeepAnchor);
        m_memo->setTextCursor(c);
        Paint();
        QCOMPARE(drawn, QStringList({"SEL", "FROM"}));
        QCOMPARE(RunTexts(m_memo), QStringList({"SEL", "ECT ", "\t", "FROM"}));
    }

    void typingWithinALineRepaintsTheCaretLineInItsColours()
    {
        m_memo->setPlainText(Lines(5, "SELECT %1") + "\n/* open\ninside\nclosed */\n"
                             + Lines(5, "FROM %1"));
        m_memo->setFocus();
        m_memo->SetCaretLine(6);
        m_memo->SetCaretCol(3);
        QCoreApplication::processEvents();
        Paint();
        QVERIFY(!m_memo->LastPaintOnlyCaretLine());
        QTest::keyClick(m_memo, 'x');
        QCoreApplication::processEvents();
        QVERIFY(m_memo->LastPaintOnlyCaretLine());
        QVERIFY(RunTexts(m_memo).contains("/* open\r\ninsxide\r\nclosed */"));
        // What is on screen after that partial paint: the comment stays grey on the caret line.
        const QImage shot = m_form->screen()->grabWindow(m_form->winId()).toImage();
        QVERIFY(!shot.isNull());
        const int caret = m_memo->textCursor().position();
        TMemoCursor a(m_memo->document());
        a.setPosition(caret + 1);
        TMemoCursor b(m_memo->document());
        b.setPosition(caret + 3);
        const QRect ra = m_memo->cursorRect(a);
        const QRect word(m_memo->viewport()->mapTo(m_form.get(), ra.topLeft()),
                         QSize(m_memo->cursorRect(b).left() - ra.left(), ra.height()));
        int ink = 0;
        int darkest = 255;
        for (int y = word.top(); y <= word.bottom(); ++y) {
            for (int x = word.left(); x <= word.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.red() + c.green() + c.blue() > 3 * 200)
                    continue;
                ++ink;
                darkest = std::min(darkest, c.red());
            }
        }
        QVERIFY(ink > 0);
        QVERIFY2(darkest >= 100, qPrintable(QString::number(darkest)));

        // A new line changes the line count: everything visible is painted again.
        QTest::keyClick(m_memo, Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(!m_memo->LastPaintOnlyCaretLine());
    }

    void hotSpotShowsTheHandAndReportsItsText()
    {
        THotSpot hot;
        hot.Active = true;
        m_memo->SetHotSpot(hot);
        m_memo->setPlainText(QStringLiteral("see \x1Ereport\x1F now\nopen \x1E"
                                            "dangling"));
        Paint();
        QCOMPARE(RunTexts(m_memo), QStringList({"\x1E", "report", "\x1F"}));
        QSignalSpy clicks(m_memo, &TColorMemo::OnHotSpotClick);
        TMemoCursor at(m_memo->document());
        at.setPosition(7);
        const QPoint over = m_memo->cursorRect(at).center() + QPoint(2, 0);
        QTest::mouseMove(m_memo->viewport(), over);
        QCOMPARE(m_memo->viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(m_memo->viewport(), Qt::LeftButton, {}, over);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().toString(), QString("report"));

        at.setPosition(m_memo->toPlainText().indexOf("dangling") + 2);
        const QPoint dangling = m_memo->cursorRect(at).center();
        QTest::mouseMove(m_memo->viewport(), dangling);
        QCOMPARE(m_memo->viewport()->cursor().shape(), Qt::IBeamCursor);
        QTest::mouseClick(m_memo->viewport(), Qt::LeftButton, {}, dangling);
        QCOMPARE(clicks.count(), 1);
    }

    void redrawAlwaysRepaintsTheCaretLineStart()
    {
        m_memo->SetRedrawAlways(true);
        m_memo->setPlainText("ab cd 'e'\nxy");
        m_memo->SetCaretLine(0);
        m_memo->SetCaretCol(4);
        Paint();
        QCOMPARE(RunTexts(m_memo), QStringList({"ab cd", "'e'"}));
    }

    void eventRuleAndDisabledMemo()
    {
        TColorRule &rule = m_memo->ColorRules().Add();
        rule.KeyDrawingType = dtEventDraw;
        m_memo->SetColorLimMax(4);
        m_memo->SetOnDraw([](TColorRule *, QStringView from, std::span<TKeyDescr> a, int &n) {
            const int at = int(from.indexOf(u"zz"));
            a[0] = {at, at + 1, clGreen, 0, false};
            n = at < 0 ? 0 : 1;
        });
        m_memo->setPlainText("a zz b");
        Paint();
        QCOMPARE(RunTexts(m_memo), QStringList({"zz"}));
        m_memo->setEnabled(false);
        Paint();
        QCOMPARE(m_memo->RunCount(), 0);
    }

    void wideLineIsScannedAroundTheVisibleColumns()
    {
        const QString line = QString("SELECT x FROM t; ").repeated(8000);
        m_memo->setPlainText("SELECT 1\n" + line + "\n'a' FROM u");
        Paint();
        const auto inView = [this](const TKeyDescr &r) {
            TMemoCursor c(m_memo->document());
            c.setPosition(r.BegPos - m_memo->document()->findBlock(r.BegPos).blockNumber());
            const QRect rect = m_memo->cursorRect(c);
            return m_memo->viewport()->rect().contains(rect.topLeft());
        };
        const auto check = [&](int scroll) {
            m_memo->horizontalScrollBar()->setValue(scroll);
            Paint();
            // Keywords are looked for only near the view however wide the line (it holds 16000),
            // and still found in view, on the wide line as on its neighbours.
            QVERIFY2(m_memo->RunCount() < 4000, qPrintable(QString::number(m_memo->RunCount())));
            int shown = 0;
            for (const QString &text : RunTexts(m_memo))
                QVERIFY2(QStringList({"SELECT", "FROM", "'a'"}).contains(text), qPrintable(text));
            for (int i = 0; i < m_memo->RunCount(); ++i)
                shown += inView(m_memo->Runs()[i]);
            QVERIFY2(shown >= 4, qPrintable(QString::number(shown)));
        };
        check(0);
        QCOMPARE(RunTexts(m_memo).first(), QString("SELECT"));
        check(m_memo->horizontalScrollBar()->maximum() / 2);
        check(m_memo->horizontalScrollBar()->maximum());
    }

    void loadTextReplacesTheTextOrKeepsItWhenStopped()
    {
        m_memo->setPlainText("previous");
        const QString text = Lines(300000, "SELECT %1 FROM t;");
        std::vector<qsizetype> done;
        qsizetype total = 0;
        QVERIFY(m_memo->LoadText(text, [&](qsizetype Done, qsizetype Total) {
            total = Total;
            done.push_back(Done);
            return true;
        }));
        QCOMPARE(total, text.size());
        QVERIFY(done.size() > 2);
        QVERIFY(std::is_sorted(done.begin(), done.end()));
        QCOMPARE(done.back(), text.size());
        QCOMPARE(m_memo->toPlainText(), text);
        QVERIFY(!m_memo->document()->isModified());
        QVERIFY(!m_memo->document()->isUndoAvailable());
        Paint();
        QCOMPARE(RunTexts(m_memo).mid(0, 2), QStringList({"SELECT", "FROM"}));
        // The loaded text edits and keeps its widths like any other.
        m_memo->SetCaretLine(0);
        QTest::keyClick(m_memo, Qt::Key_X);
        QVERIFY(m_memo->document()->isModified());
        QCOMPARE(m_memo->document()->firstBlock().text(), QString("xSELECT 0 FROM t;"));

        // Stopped by its caller, or by Escape with keys typed meanwhile: the text stays.
        const QString before = m_memo->toPlainText();
        QVERIFY(!m_memo->LoadText(text, [](qsizetype, qsizetype) { return false; }));
        QCOMPARE(m_memo->toPlainText(), before);
        int calls = 0;
        QVERIFY(!m_memo->LoadText(text, [&](qsizetype, qsizetype) {
            if (++calls == 1) {
                QCoreApplication::postEvent(
                    m_memo, new QKeyEvent(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, "y"));
                QCoreApplication::postEvent(
                    m_memo, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            }
            return true;
        }));
        QCOMPARE(calls, 1);
        QCOMPARE(m_memo->toPlainText(), before);
        QCOMPARE(m_memo->textCursor().position(), 1);
        QVERIFY(!m_memo->Loading());
        QTest::keyClick(m_memo, Qt::Key_Z);
        QVERIFY(m_memo->toPlainText().startsWith("xzSELECT"));
    }

    void scrollRangeFollowsTheWidestLineThroughEdits()
    {
        const qreal margin = TColorMemo::TextMargin;
        const QFontMetricsF fm(m_memo->font());
        // The width the text needs against the width the scroll range offers, within rounding.
        const auto check = [&](int line) {
            const QString text = m_memo->document()->findBlockByNumber(line).text();
            const qreal needed = fm.horizontalAdvance(text) + 2 * margin;
            const int offered
                = m_memo->horizontalScrollBar()->maximum() + m_memo->viewport()->width();
            return std::abs(offered - needed) <= 1.5;
        };
        const auto typeAt = [&](int line, int col, Qt::Key key, int times) {
            m_memo->SetCaretLine(line);
            m_memo->SetCaretCol(col);
            for (int i = 0; i < times; ++i)
                QTest::keyClick(m_memo, key);
        };
        m_memo->setPlainText(QString(120, 'w') + '\n' + QString(100, 'm') + '\n'
                             + QString(60, 'w'));
        QVERIFY(check(0));
        // Shrinking the widest line hands the width to the next widest.
        typeAt(0, 120, Qt::Key_Backspace, 40);
        QCOMPARE(m_memo->document()->findBlockByNumber(0).length(), 81);
        QVERIFY(check(1));
        typeAt(2, 0, Qt::Key_W, 90);
        QVERIFY(check(2));
        typeAt(2, 0, Qt::Key_Delete, 60);
        QVERIFY(check(1));
        // Lines merged by a Backspace at a line start, and parted again by Enter.
        typeAt(1, 0, Qt::Key_Backspace, 1);
        QCOMPARE(m_memo->document()->blockCount(), 2);
        QVERIFY(check(0));
        typeAt(0, 80, Qt::Key_Return, 1);
        QVERIFY(check(1));
        // A removed line takes its width with it.
        TMemoCursor c(m_memo->document()->findBlockByNumber(0));
        c.movePosition(QTextCursor::EndOfBlock);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        QCOMPARE(m_memo->document()->blockCount(), 1);
        QVERIFY(check(0));
        m_memo->undo();
        QVERIFY(check(1));
        m_memo->setPlainText("short");
        QCOMPARE(m_memo->horizontalScrollBar()->maximum(), 0);
        // A long text is laid out as it is shown; its widest line widens the range once seen.
        m_memo->setPlainText(Lines(2000, "x%1") + '\n' + QString(150, 'm'));
        m_memo->moveCursor(QTextCursor::End);
        m_memo->ensureCursorVisible();
        Paint();
        QVERIFY(check(2000));
    }

    void keysAndClicksEditAsInANativeEditor()
    {
        // The same keys and clicks given to the memo and to Qt's own plain-text editor leave
        // the same text, caret and selection.
        QPlainTextEdit plain(m_form.get());
        plain.setGeometry(m_memo->geometry());
        plain.setFont(m_memo->font());
        plain.setTabStopDistance(m_memo->tabStopDistance());
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        plain.show();
        const QString start = "SELECT a,\tb_2 FROM t\n\n  WHERE x = 'y z'\n\tAND w\u00e9 <> 3;";
        struct Key
        {
            int Code;
            Qt::KeyboardModifiers Mods;
        };
        const Key keys[] = {{Qt::Key_Right, {}},
                            {Qt::Key_Left, {}},
                            {Qt::Key_Up, {}},
                            {Qt::Key_Down, {}},
                            {Qt::Key_Home, {}},
                            {Qt::Key_End, {}},
                            {Qt::Key_Right, Qt::ControlModifier},
                            {Qt::Key_Left, Qt::ControlModifier},
                            {Qt::Key_Home, Qt::ControlModifier},
                            {Qt::Key_End, Qt::ControlModifier},
                            {Qt::Key_Right, Qt::ShiftModifier},
                            {Qt::Key_Left, Qt::ShiftModifier},
                            {Qt::Key_Down, Qt::ShiftModifier},
                            {Qt::Key_End, Qt::ShiftModifier},
                            {Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier},
                            {Qt::Key_Backspace, {}},
                            {Qt::Key_Delete, {}},
                            {Qt::Key_Return, {}},
                            {Qt::Key_Tab, {}},
                            {Qt::Key_Backspace, Qt::ControlModifier},
                            {Qt::Key_Delete, Qt::ControlModifier},
                            {Qt::Key_A, {}},
                            {Qt::Key_Space, {}},
                            {Qt::Key_A, Qt::ControlModifier}};
        const auto state = [](const QString &text, int pos, int anchor) {
            return QStringLiteral("%1|%2|%3").arg(text).arg(pos).arg(anchor);
        };
        for (quint32 seed = 1; seed <= 6; ++seed) {
            QRandomGenerator random(seed);
            m_memo->setPlainText(start);
            plain.setPlainText(start);
            QStringList done;
            bool selecting = false;
            for (int step = 0; step < 150; ++step) {
                const Key &k = keys[random.bounded(int(std::size(keys)))];
                // A plain arrow collapses a selection to its end here, unlike Qt's editor.
                const bool arrow = k.Code != Qt::Key_Backspace && k.Code != Qt::Key_Delete
                    && k.Code != Qt::Key_Return && k.Code != Qt::Key_Tab && k.Code != Qt::Key_A
                    && k.Code != Qt::Key_Space;
                if (selecting && arrow && !(k.Mods & Qt::ShiftModifier))
                    continue;
                done << QStringLiteral("%1/%2").arg(k.Code, 0, 16).arg(int(k.Mods), 0, 16);
                QTest::keyClick(m_memo, Qt::Key(k.Code), k.Mods);
                QTest::keyClick(&plain, Qt::Key(k.Code), k.Mods);
                const TMemoCursor mc = m_memo->textCursor();
                const QTextCursor pc = plain.textCursor();
                selecting = pc.hasSelection();
                QVERIFY2(state(m_memo->toPlainText(), mc.position(), mc.anchor())
                             == state(plain.toPlainText(), pc.position(), pc.anchor()),
                         qPrintable(done.join(' ') + "\n" + m_memo->toPlainText() + "\n"
                                    + state({}, mc.position(), mc.anchor()) + " vs "
                                    + state({}, pc.position(), pc.anchor())));
            }
            // Undo goes all the way back to the start and redo all the way forward again
            // (the two editors cut their steps in different places).
            const QString end = plain.toPlainText();
            for (int i = 0; i < 200 && m_memo->document()->isUndoAvailable(); ++i)
                QTest::keyClick(m_memo, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(m_memo->toPlainText(), start);
            for (int i = 0; i < 200 && m_memo->document()->isRedoAvailable(); ++i)
                QTest::keyClick(m_memo, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(m_memo->toPlainText(), end);
        }

        // Alt with a letter reaches the window's shortcuts (menus, buttons) and types nothing;
        // the window's other shortcuts give way to the keys the editor acts on.
        int mnemonic = 0, deleteShortcut = 0;
        auto *menu = new QAction(m_form.get());
        menu->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F));
        QObject::connect(menu, &QAction::triggered, [&] { ++mnemonic; });
        auto *remove = new QAction(m_form.get());
        remove->setShortcut(QKeySequence(Qt::Key_Delete));
        QObject::connect(remove, &QAction::triggered, [&] { ++deleteShortcut; });
        m_form->addActions({menu, remove});
        m_memo->setPlainText("ab");
        m_memo->setFocus();
        QTest::keyClick(m_memo, Qt::Key_F, Qt::AltModifier);
        QTest::keyClick(m_memo, Qt::Key_Delete);
        QCOMPARE(mnemonic, 1);
        QCOMPARE(deleteShortcut, 0);
        QCOMPARE(m_memo->toPlainText(), QString("b"));

        // Clicks land on the character nearest the pointer, after a tab and a wide character
        // too, and a drag selects.
        const QString text = "ab\tc\u4e2d\u00e9xyz\n\tq";
        m_memo->setPlainText(text);
        plain.setPlainText(text);
        for (int x = 2; x < 200; x += 3) {
            for (int y : {5, 20}) {
                QTest::mouseClick(m_memo->viewport(), Qt::LeftButton, {}, QPoint(x, y));
                QTest::mouseClick(plain.viewport(), Qt::LeftButton, {}, QPoint(x, y));
                QVERIFY2(m_memo->textCursor().position() == plain.textCursor().position(),
                         qPrintable(QStringLiteral("at %1,%2: %3 vs %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(m_memo->textCursor().position())
                                        .arg(plain.textCursor().position())));
            }
        }
        QTest::mousePress(m_memo->viewport(), Qt::LeftButton, {}, QPoint(3, 5));
        QTest::mouseMove(m_memo->viewport(), QPoint(60, 20));
        QTest::mouseRelease(m_memo->viewport(), Qt::LeftButton, {}, QPoint(60, 20));
        QCOMPARE(m_memo->textCursor().anchor(), 0);
        QCOMPARE(m_memo->textCursor().position(),
                 m_memo->cursorForPosition(QPoint(60, 20)).position());
        QVERIFY(m_memo->textCursor().position() > text.indexOf('\n'));
    }

    void largeTextsStayColoured()
    {
        m_memo->setPlainText(Lines(200000, "SELECT a%1 FROM t WHERE b = 'c' /* d */"));
        m_memo->moveCursor(QTextCursor::End);
        m_memo->ensureCursorVisible();
        Paint();
        QVERIFY(m_memo->TopLine() > 199000);
        QVERIFY(m_memo->RunCount() > 20);
        QCOMPARE(RunTexts(m_memo).mid(0, 5),
                 QStringList({"SELECT", "FROM", "WHERE", "'c'", "/* d */"}));
        QVERIFY(m_memo->LastScanEnd() - m_memo->LastScanFrom() < 5000);
    }
};

QTEST_MAIN(TestColMemo)
#include "test_colmemo.moc"
