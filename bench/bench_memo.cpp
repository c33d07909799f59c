// Typing into the SQL editor must cost the same in a huge script as in a small one, and the
// colours must stay on however long the script is.
#include "Base.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class BenchForm : public TfrmBase
{
public:
    void ReadStructure(const QString &) override {}
};

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

QString Script(int lines)
{
    static const char *const kinds[] = {
        "SELECT a, b, c FROM table_%1 WHERE id = %1 AND name LIKE 'x%';",
        "/* comment number %1 */",
        "\tINSERT INTO t VALUES (%1, \"str\", 'two words');",
        "UPDATE t SET a = <Value> WHERE b IS NOT NULL AND c = %1;",
    };
    QString text;
    text.reserve(qsizetype(lines) * 52);
    for (int i = 0; i < lines; ++i) {
        text += QString::fromLatin1(kinds[i % 4]).arg(i);
        text += QChar('\n');
    }
    return text;
}

struct Editor
{
    BenchForm form;
    PaintCounter counter;
    double openMs = 0;

    explicit Editor(int lines)
    {
        form.resize(800, 600);
        form.show();
        QCoreApplication::processEvents();
        form.memSQL->viewport()->installEventFilter(&counter);
        const QString text = Script(lines);
        QElapsedTimer t;
        t.start();
        form.memSQL->LoadText(text);
        form.memSQL->viewport()->repaint();
        openMs = t.nsecsElapsed() / 1e6;
        form.memSQL->setFocus();
        form.memSQL->SetCaretLine(lines / 2);
        form.memSQL->SetCaretCol(6);
        form.memSQL->centerCursor();
        QCoreApplication::processEvents();
    }

    // One key typed, until the editor has painted it.
    double KeystrokeMs(int key, const QString &text)
    {
        const int before = counter.paints;
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(form.memSQL, &press);
        QApplication::sendEvent(form.memSQL, &release);
        QCoreApplication::processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        if (counter.paints == before)
            std::fprintf(stderr, "warning: a keystroke was not painted\n");
        return ms;
    }

    double FullRepaintMs()
    {
        QElapsedTimer t;
        t.start();
        form.memSQL->viewport()->repaint();
        return t.nsecsElapsed() / 1e6;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The native editor with nothing painted over it, as the reference for opening.
    double plainOpenMs = 0;
    double plainRepaintMs = 0;
    {
        QMainWindow reference;
        auto *plain = new QPlainTextEdit;
        plain->setFont(BenchForm().memSQL->font());
        plain->setLineWrapMode(QPlainTextEdit::NoWrap);
        reference.setCentralWidget(plain);
        reference.resize(800, 600);
        reference.show();
        QCoreApplication::processEvents();
        const QString text = Script(1000000);
        QElapsedTimer t;
        t.start();
        plain->setPlainText(text);
        plain->viewport()->repaint();
        plainOpenMs = t.nsecsElapsed() / 1e6;
        plain->moveCursor(QTextCursor::End);
        plain->centerCursor();
        std::vector<double> repaints;
        for (int i = 0; i < 30; ++i) {
            t.restart();
            plain->viewport()->repaint();
            repaints.push_back(t.nsecsElapsed() / 1e6);
        }
        plainRepaintMs = Median(repaints);
    }

    Editor small(100);
    Editor large(1000000);

    // Typed characters and their deletion alternate, in both editors in turn, so that drift
    // of the machine hits both alike.
    std::vector<double> typedSmall, typedLarge, deletedSmall, deletedLarge, fullSmall, fullLarge;
    for (int i = 0; i < 300; ++i) {
        const bool type = i % 2 == 0;
        const int key = type ? Qt::Key_X : Qt::Key_Backspace;
        const QString text = type ? QStringLiteral("x") : QStringLiteral("\b");
        (type ? typedSmall : deletedSmall).push_back(small.KeystrokeMs(key, text));
        (type ? typedLarge : deletedLarge).push_back(large.KeystrokeMs(key, text));
        if (i % 10 == 0) {
            fullSmall.push_back(small.FullRepaintMs());
            fullLarge.push_back(large.FullRepaintMs());
        }
    }

    // Deleting from the widest line makes the native plain-text layout look for the new
    // widest line through the whole document; on a shorter line nothing of that happens.
    std::vector<double> shortSmall, shortLarge;
    for (Editor *e : {&small, &large}) {
        e->form.memSQL->SetCaretLine(e->form.memSQL->CaretLine() + 1);
        e->form.memSQL->SetCaretCol(3);
    }
    for (int i = 0; i < 200; ++i) {
        const bool type = i % 2 == 0;
        const int key = type ? Qt::Key_X : Qt::Key_Backspace;
        const QString text = type ? QStringLiteral("x") : QStringLiteral("\b");
        const double s = small.KeystrokeMs(key, text);
        const double l = large.KeystrokeMs(key, text);
        if (!type) {
            shortSmall.push_back(s);
            shortLarge.push_back(l);
        }
    }

    TColorMemo *memo = large.form.memSQL;
    memo->viewport()->repaint();
    int keywords = 0;
    for (int i = 0; i < memo->RunCount(); ++i)
        keywords += memo->Runs()[i].IsKey;

    std::printf("memo_open_1m_lines_ms: %.1f\n", large.openMs);
    std::printf("memo_open_1m_vs_plain_edit_ratio: %.2f\n", large.openMs / plainOpenMs);
    std::printf("memo_open_100_lines_ms: %.2f\n", small.openMs);
    std::printf("memo_keystroke_100_ms: %.3f\n", Median(typedSmall));
    std::printf("memo_keystroke_1m_ms: %.3f\n", Median(typedLarge));
    std::printf("memo_keystroke_1m_vs_100_ratio: %.2f\n", Median(typedLarge) / Median(typedSmall));
    // Deleting from the widest line: the native layout's rescan, not the colour layer.
    std::printf("memo_backspace_1m_vs_100_ratio: %.2f\n",
                Median(deletedLarge) / Median(deletedSmall));
    std::printf("memo_backspace_short_line_1m_vs_100_ratio: %.2f\n",
                Median(shortLarge) / Median(shortSmall));
    std::printf("memo_full_repaint_1m_vs_100_ratio: %.2f\n", Median(fullLarge) / Median(fullSmall));
    std::printf("memo_full_repaint_vs_plain_edit_ratio: %.2f\n",
                Median(fullLarge) / plainRepaintMs);
    std::printf("memo_1m_keyword_runs_in_view: %d\n", keywords);
    std::printf("memo_1m_scanned_chars: %d\n", memo->LastScanEnd() - memo->LastScanFrom());
    return keywords > 0 ? 0 : 1;
}
