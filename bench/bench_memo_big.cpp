// Scripts as dump tools write them: one INSERT line of many megabytes, a million lines, fifty
// megabytes of INSERTs. The editor must open them, paint them and take keystrokes in them.
#include "Base.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class BenchForm : public TfrmBase
{
public:
    void ReadStructure(const QString &) override {}
};

QString InsertLine(qsizetype size)
{
    QString line = QStringLiteral("INSERT INTO t VALUES ");
    line.reserve(size + 64);
    for (int i = 0; line.size() < size; ++i)
        line += QStringLiteral("(%1,'name %1',NULL,3.5),").arg(i);
    line.chop(1);
    return line + u';';
}

QString Inserts(qsizetype size)
{
    QString text;
    text.reserve(size + 128);
    for (int i = 0; text.size() < size; ++i)
        text += QStringLiteral("INSERT INTO t VALUES (%1,'name %1',NULL);\n").arg(i);
    return text;
}

// Opens Text in a fresh editor and paints it; the editor then takes keystrokes.
struct Editor
{
    BenchForm form;
    double openMs = 0;

    explicit Editor(const QString &Text)
    {
        form.resize(800, 600);
        form.show();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        form.memSQL->LoadText(Text);
        form.memSQL->viewport()->repaint();
        QCoreApplication::processEvents();
        openMs = t.nsecsElapsed() / 1e6;
        form.memSQL->setFocus();
        form.memSQL->SetCaretLine(form.memSQL->document()->blockCount() / 2);
        form.memSQL->SetCaretCol(30);
        QCoreApplication::processEvents();
    }

    double KeystrokeMs(bool Type)
    {
        const int key = Type ? Qt::Key_X : Qt::Key_Backspace;
        const QString text = Type ? QStringLiteral("x") : QStringLiteral("\b");
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(form.memSQL, &press);
        QApplication::sendEvent(form.memSQL, &release);
        QCoreApplication::processEvents();
        return t.nsecsElapsed() / 1e6;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Memory is measured each in a process of its own, so that neither reuses what the other
    // freed.
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    if (mode == QLatin1String("--rss-50mb")) {
        // The editor keeps the string it is given, as it keeps the text of a script it
        // opens: the string counts as its memory.
        const double before = ResidentMb();
        const QString script = Inserts(50 * 1000 * 1000);
        Editor big(script);
        std::printf("memo_50mb_script_rss_vs_file_ratio: %.2f\n",
                    (ResidentMb() - before) / (script.size() / 1e6));
        return 0;
    }
    if (mode == QLatin1String("--rss-1m")) {
        const double before = ResidentMb();
        QString script;
        for (int i = 0; i < 1000000; ++i)
            script += QStringLiteral("SELECT a, b FROM table_%1 WHERE id = %1;\n").arg(i);
        script.squeeze();
        Editor million(script);
        std::printf("memo_open_1m_rss_mb: %.1f\n", ResidentMb() - before);
        return 0;
    }
    for (const char *m : {"--rss-1m", "--rss-50mb"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(m)});
        child.waitForFinished(-1);
        std::fputs(child.readAllStandardOutput().constData(), stdout);
    }

    const QString line = InsertLine(10 * 1000 * 1000);
    double plainMs = 0;
    {
        QPlainTextEdit plain;
        plain.setFont(BenchForm().memSQL->font());
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        plain.resize(800, 600);
        plain.show();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        plain.setPlainText(line);
        plain.viewport()->repaint();
        QCoreApplication::processEvents();
        plainMs = t.nsecsElapsed() / 1e6;
    }
    Editor longLine(line);
    QString hundred;
    for (int i = 0; i < 100; ++i)
        hundred += InsertLine(100) + u'\n';
    Editor small(hundred);
    std::vector<double> typedLong, typedSmall;
    for (int i = 0; i < 6; ++i) {
        typedLong.push_back(longLine.KeystrokeMs(i % 2 == 0));
        typedSmall.push_back(small.KeystrokeMs(i % 2 == 0));
    }
    TColorMemo *memo = longLine.form.memSQL;
    memo->viewport()->repaint();
    int keywords = 0;
    for (int i = 0; i < memo->RunCount(); ++i)
        keywords += memo->Runs()[i].IsKey;

    std::printf("memo_long_line_10mb_paint_ms: %.1f\n", longLine.openMs);
    std::printf("memo_long_line_10mb_vs_plain_edit_ratio: %.2f\n", longLine.openMs / plainMs);
    std::printf("memo_keystroke_10mb_line_ms: %.1f\n", Median(typedLong));
    std::printf("memo_keystroke_10mb_line_vs_100_ratio: %.2f\n",
                Median(typedLong) / Median(typedSmall));
    std::printf("memo_long_line_keyword_runs_in_view: %d\n", keywords);
    return keywords > 0 ? 0 : 1;
}
