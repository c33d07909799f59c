#include "Base.h"
#include "SqlRules.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>

namespace {

class TestForm : public TfrmBase
{
public:
    QString readTable;
    QStringList keys;
    void ReadStructure(const QString &TableName) override { readTable = TableName; }
    void memSQLKeyPress(QObject *Sender, QChar &Key) override
    {
        keys << QString(Key);
        TfrmBase::memSQLKeyPress(Sender, Key);
    }
};

struct Ink
{
    int pixels = 0; // pixels clearly off the background
    int darkest = 255; // lowest channel maximum among them
    int neutral = 0; // ink pixels with all channels within 24 of each other
    int reddish = 0; // ink pixels whose red exceeds green and blue by 60
    int left = INT_MAX;
    int right = -1;
};

Ink InkIn(const QImage &img, const QRect &rect, const QColor &background)
{
    Ink ink;
    const QRect r = rect.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            const int distance = std::abs(c.red() - background.red())
                + std::abs(c.green() - background.green()) + std::abs(c.blue() - background.blue());
            if (distance < 120)
                continue;
            ++ink.pixels;
            ink.darkest = std::min(ink.darkest, std::max({c.red(), c.green(), c.blue()}));
            if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()})
                < 24)
                ++ink.neutral;
            if (c.red() - std::max(c.green(), c.blue()) > 60)
                ++ink.reddish;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
        }
    }
    return ink;
}

// Where the characters From..To (document positions on one line) lie in the viewport, in the
// memo or in a native editor.
template<class Cursor, class Edit>
QRect TextRectIn(Edit *edit, int from, int to)
{
    Cursor a(edit->document());
    a.setPosition(from);
    Cursor b(edit->document());
    b.setPosition(to);
    const QRect ra = edit->cursorRect(a);
    const QRect rb = edit->cursorRect(b);
    return QRect(QPoint(ra.left(), ra.top()), QPoint(rb.left() - 1, ra.bottom()));
}

QRect TextRect(TColorMemo *edit, int from, int to)
{
    return TextRectIn<TMemoCursor>(edit, from, to);
}

QRect TextRect(QPlainTextEdit *edit, int from, int to)
{
    return TextRectIn<QTextCursor>(edit, from, to);
}

int PositionOf(TColorMemo *edit, const QString &text, int from = 0)
{
    return int(edit->toPlainText().indexOf(text, from));
}

} // namespace

class TestFrmBase : public QObject
{
    Q_OBJECT

    TestForm *NewForm()
    {
        auto *form = new TestForm;
        form->show();
        if (!QTest::qWaitForWindowExposed(form))
            qWarning("form not exposed");
        return form;
    }

    void TypeEnter(TestForm *form)
    {
        form->memSQL->setFocus();
        QTest::keyClick(form->memSQL, Qt::Key_Return);
    }

private slots:
    void editorIsTheCentralColourMemo()
    {
        std::unique_ptr<TestForm> form(NewForm());
        TColorMemo *memo = form->findChild<TColorMemo *>("memSQL");
        QVERIFY(memo);
        QCOMPARE(memo, form->memSQL);
        QCOMPARE(form->centralWidget(), memo);
        QCOMPARE(form->windowTitle(), QString("frmBase"));
        QCOMPARE(memo->toPlainText(), QString("memSQL"));
        QCOMPARE(memo->ColorRules().Count(), 2);
        QCOMPARE(memo->ColorRules()[0].Keywords(), SqlKeywordLines());
        QCOMPARE(memo->ColorRules()[1].KeyBegEndLst(), SqlMarkerLines());
        QVERIFY(!memo->tabChangesFocus());
        QVERIFY(!memo->HotSpot().Active);
        QCOMPARE(form->Commas("ID;NAME"), QString("ID,NAME"));
        QCOMPARE(form->TypeName(ftString, 21, true), QString("VARCHAR(21)"));
    }

    void derivedFormMayMoveTheEditorIntoASplitter()
    {
        std::unique_ptr<TestForm> form(NewForm());
        QPointer<TColorMemo> memo = form->memSQL;
        auto *splitter = new QSplitter;
        splitter->addWidget(new QWidget);
        splitter->addWidget(memo);
        form->setCentralWidget(splitter);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(memo);
        QCOMPARE(memo->parentWidget(), splitter);
        memo->setPlainText("SELECT a");
        memo->viewport()->repaint();
        QCOMPARE(memo->RunCount(), 1);
    }

    void enterAtLineEndRepeatsTheIndentation()
    {
        std::unique_ptr<TestForm> form(NewForm());
        TColorMemo *memo = form->memSQL;
        memo->setPlainText("\t  SELECT a\nFROM b");
        memo->SetCaretLine(0);
        memo->SetCaretCol(100);
        TypeEnter(form.get());
        QCOMPARE(memo->toPlainText(), QString("\t  SELECT a\n\t  \nFROM b"));
        QCOMPARE(memo->CaretLine(), 1);
        QCOMPARE(memo->CaretCol(), 3);
        QCOMPARE(form->keys, QStringList({"\r"}));
        // On the last line the new line is appended the same way.
        memo->SetCaretLine(2);
        memo->SetCaretCol(6);
        QTest::keyClicks(memo, "\t");
        TypeEnter(form.get());
        QCOMPARE(memo->toPlainText(), QString("\t  SELECT a\n\t  \nFROM b\t\n"));
        QCOMPARE(memo->CaretLine(), 3);
        // One undo takes the whole indented line back.
        memo->undo();
        QCOMPARE(memo->toPlainText(), QString("\t  SELECT a\n\t  \nFROM b\t"));
    }

    void enterElsewhereBreaksPlainly()
    {
        std::unique_ptr<TestForm> form(NewForm());
        TColorMemo *memo = form->memSQL;
        memo->setPlainText("\t  SELECT a\n\nx");
        memo->SetCaretLine(0);
        memo->SetCaretCol(5);
        TypeEnter(form.get());
        QCOMPARE(memo->toPlainText(), QString("\t  SE\nLECT a\n\nx"));
        QCOMPARE(memo->CaretLine(), 1);
        QCOMPARE(memo->CaretCol(), 0);
        memo->SetCaretLine(2);
        TypeEnter(form.get());
        QCOMPARE(memo->toPlainText(), QString("\t  SE\nLECT a\n\n\nx"));
        QCOMPARE(memo->CaretLine(), 3);
    }

    void coloursAreDrawnOverTheNativeText()
    {
        std::unique_ptr<TestForm> form(NewForm());
        TColorMemo *memo = form->memSQL;
        memo->setPlainText("SELECT a\n/* note */\n'text'\nb FROM c\n\t'tab'");
        QPlainTextEdit plain;
        plain.setFont(memo->font());
        plain.setTabStopDistance(memo->tabStopDistance());
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        plain.setPlainText(memo->toPlainText());
        plain.resize(memo->size());
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));

        const int from = PositionOf(memo, "FROM");
        TMemoCursor sel(memo->document());
        sel.setPosition(from);
        sel.setPosition(from + 4, QTextCursor::KeepAnchor);
        memo->setTextCursor(sel);

        const QImage img = memo->viewport()->grab().toImage();
        const QImage native = plain.viewport()->grab().toImage();
        const QColor bg = memo->palette().color(QPalette::Base);

        const QRect keyword = TextRect(memo, 0, 6);
        const Ink bold = InkIn(img, keyword, bg);
        const Ink regular = InkIn(native, TextRect(&plain, 0, 6), bg);
        QVERIFY(bold.pixels > 0);
        QCOMPARE(bold.neutral, bold.pixels);
        QVERIFY2(bold.darkest < 60, qPrintable(QString::number(bold.darkest)));
        QVERIFY2(bold.pixels * 10 > regular.pixels * 12,
                 qPrintable(QStringLiteral("%1 vs %2").arg(bold.pixels).arg(regular.pixels)));

        const int comment = PositionOf(memo, "/*");
        const Ink grey = InkIn(img, TextRect(memo, comment, comment + 10), bg);
        QVERIFY(grey.pixels > 0);
        QCOMPARE(grey.neutral, grey.pixels);
        QVERIFY2(grey.darkest >= 100, qPrintable(QString::number(grey.darkest)));

        const int text = PositionOf(memo, "'text'");
        const Ink red = InkIn(img, TextRect(memo, text, text + 6), bg);
        QVERIFY(red.pixels > 0);
        QCOMPARE(red.reddish, red.pixels);

        // The selected keyword keeps the native highlight.
        const QRect selected = TextRect(memo, from, from + 4);
        const QColor highlight = memo->palette().color(QPalette::Highlight);
        int highlighted = 0;
        for (int y = selected.top(); y <= selected.bottom(); ++y)
            for (int x = selected.left(); x <= selected.right(); ++x)
                highlighted += img.pixelColor(x, y) == highlight;
        QVERIFY2(highlighted * 2 > selected.width() * selected.height(),
                 qPrintable(QString::number(highlighted)));

        // Text after a tab lies exactly where the native drawing puts it.
        const int tabbed = PositionOf(memo, "'tab'");
        const QRect tabLine = TextRect(memo, tabbed - 1, tabbed + 5).adjusted(-2, 0, 10, 0);
        const Ink after = InkIn(img, tabLine, bg);
        const Ink expected = InkIn(native, tabLine, bg);
        QCOMPARE(after.reddish, after.pixels);
        QVERIFY(expected.pixels > 0);
        QVERIFY(std::abs(after.left - expected.left) <= 1);
        QVERIFY(std::abs(after.right - expected.right) <= 1);
    }

    void darkThemeKeywordsAndLineCommentsShowWhatRuns()
    {
        std::unique_ptr<TestForm> form(NewForm());
        TColorMemo *memo = form->memSQL;
        QPalette dark = memo->palette();
        dark.setColor(QPalette::Base, Qt::black);
        dark.setColor(QPalette::Text, Qt::white);
        memo->setPalette(dark);
        memo->setPlainText("SELECT a -- it's FROM x\nFROM ZZ_NO_SUCH_TABLE '--'\nx -- last");
        memo->viewport()->repaint();
        const QString text = memo->toPlainText().replace('\n', QLatin1String("\r\n"));
        QStringList runs;
        for (int i = 0; i < memo->RunCount(); ++i) {
            const TKeyDescr &r = memo->Runs()[i];
            runs << QStringLiteral("%1%2:%3")
                        .arg(r.IsKey ? "key " : "")
                        .arg(text.mid(r.BegPos, r.EndPos - r.BegPos + 1).trimmed())
                        .arg(r.Color, 6, 16, QChar('0'));
        }
        QCOMPARE(runs,
                 QStringList({"key SELECT:80000008", "-- it's FROM x:808080", "key FROM:80000008",
                              "'--':0000ff", "-- last:808080"}));

        QPlainTextEdit plain;
        plain.setPalette(dark);
        plain.setFont(memo->font());
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        plain.setPlainText(memo->toPlainText());
        plain.resize(memo->size());
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        const Ink key = InkIn(memo->viewport()->grab().toImage(), TextRect(memo, 0, 6), Qt::black);
        const Ink native
            = InkIn(plain.viewport()->grab().toImage(), TextRect(&plain, 0, 6), Qt::black);
        QVERIFY2(native.pixels > 0 && key.pixels * 10 > native.pixels * 12,
                 qPrintable(QStringLiteral("%1 vs %2").arg(key.pixels).arg(native.pixels)));
    }

    void commentOpenedAboveTheViewIsNotGrey()
    {
        std::unique_ptr<TestForm> form(NewForm());
        TColorMemo *memo = form->memSQL;
        QStringList lines;
        for (int i = 0; i < 30; ++i)
            lines << "x";
        lines << "/* opened here"
              << "still inside SELECT y"
              << "*/ FROM z";
        for (int i = 0; i < 60; ++i)
            lines << "x";
        memo->setPlainText(lines.join('\n'));
        memo->verticalScrollBar()->setValue(31);
        memo->viewport()->repaint();
        QCOMPARE(memo->TopLine(), 31);
        bool grey = false;
        QStringList keys;
        for (int i = 0; i < memo->RunCount(); ++i) {
            const TKeyDescr &run = memo->Runs()[i];
            grey = grey || run.Color == clGray;
            if (run.IsKey)
                keys << QString::number(run.EndPos - run.BegPos + 1);
        }
        QVERIFY(!grey);
        QCOMPARE(keys, QStringList({"6", "4"}));
    }
};

QTEST_MAIN(TestFrmBase)
#include "test_frmbase.moc"
