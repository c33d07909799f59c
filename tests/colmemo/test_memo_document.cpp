#include "MemoDocument.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

using C = QTextCursor;

// Wide for the last CJK plane, so that the random text has lines whose cells and columns differ.
int Cells(char32_t Ch)
{
    return Ch >= 0x20000 ? 2 : 1;
}

QString RandomText(QRandomGenerator &Rng)
{
    static const QStringList pieces = {"a",
                                       "b",
                                       "Xy",
                                       "7",
                                       "_",
                                       " ",
                                       " ",
                                       "\t",
                                       ".",
                                       "(",
                                       "\n",
                                       "\r\n",
                                       QString::fromUcs4(U"\U0001D400"),
                                       QString::fromUcs4(U"\U00020000")};
    QString s;
    for (int n = Rng.bounded(9); n > 0; --n)
        s += pieces[Rng.bounded(int(pieces.size()))];
    return s;
}

} // namespace

class TestMemoDocument : public QObject
{
    Q_OBJECT

private slots:
    void followsQTextDocument_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("lines"); // of the text loaded first, to edit across chunks
        for (quint32 seed : {1u, 2u, 3u})
            QTest::addRow("seed %u", seed) << seed << 0;
        for (quint32 seed : {4u, 5u})
            QTest::addRow("seed %u, loaded", seed) << seed << 3000;
    }

    // The same random edits and moves through both cursors leave the same text, blocks,
    // cursors, selections and undo state.
    void followsQTextDocument()
    {
        QFETCH(quint32, seed);
        QFETCH(int, lines);
        QRandomGenerator rng(seed);
        QString loaded;
        for (int i = 0; i < lines; ++i)
            loaded += RandomText(rng).remove('\n').remove('\r') + QString("\n\r\n").at(i % 2);
        TMemoDocument doc;
        doc.SetCharCells(Cells);
        doc.setPlainText(loaded);
        QTextDocument oracle;
        oracle.setPlainText(loaded);
        oracle.setModified(false); // as QPlainTextEdit::setPlainText leaves it
        TMemoCursor mc(&doc);
        C oc(&oracle);
        static const C::MoveOperation moves[]
            = {C::Left,         C::Right,        C::Start,         C::End,
               C::StartOfBlock, C::EndOfBlock,   C::NextBlock,     C::PreviousBlock,
               C::NextWord,     C::PreviousWord, C::StartOfWord,   C::EndOfWord,
               C::WordLeft,     C::WordRight,    C::NextCharacter, C::PreviousCharacter};
        static const C::SelectionType selections[]
            = {C::WordUnderCursor, C::LineUnderCursor, C::BlockUnderCursor, C::Document};
        // Both cursors do the same. A one-command block on the oracle keeps its undo steps one
        // per edit, as ours are once the typing merge is broken.
        const auto edit = [&](auto Do) {
            doc.BreakUndoMerge();
            Do(mc);
            C block(&oracle);
            block.setPosition(oc.selectionStart());
            block.beginEditBlock();
            Do(oc);
            block.endEditBlock();
        };
        for (int step = 0; step < 2500; ++step) {
            const int op = rng.bounded(100);
            const C::MoveMode mode = rng.bounded(2) ? C::KeepAnchor : C::MoveAnchor;
            QString what;
            if (op < 30) {
                const QString text = RandomText(rng);
                what = "insert " + text;
                edit([&](auto &c) { c.insertText(text); });
            } else if (op < 45) {
                const int pos = rng.bounded(doc.Length() + 1);
                what = QStringLiteral("set %1").arg(pos);
                mc.setPosition(pos, mode);
                oc.setPosition(pos, mode);
            } else if (op < 70) {
                const C::MoveOperation move = moves[rng.bounded(int(std::size(moves)))];
                const int n = 1 + rng.bounded(3);
                what = QStringLiteral("move %1 x%2 from %3").arg(move).arg(n).arg(oc.position());
                const bool moved = oc.movePosition(move, mode, n);
                QVERIFY2(mc.movePosition(move, mode, n) == moved, qPrintable(what));
            } else if (op < 80) {
                const int kind = rng.bounded(3);
                what = QStringLiteral("delete %1").arg(kind);
                edit([&](auto &c) {
                    kind == 0       ? c.deleteChar()
                        : kind == 1 ? c.deletePreviousChar()
                                    : c.removeSelectedText();
                });
            } else if (op < 92) {
                const bool back = rng.bounded(3) > 0;
                what = back ? "undo" : "redo";
                int caret = -1;
                QCOMPARE(back ? doc.undo(&caret) : doc.redo(&caret),
                         back ? oracle.isUndoAvailable() : oracle.isRedoAvailable());
                C theirs(&oracle);
                back ? oracle.undo(&theirs) : oracle.redo(&theirs);
                if (caret >= 0)
                    QCOMPARE(caret, theirs.position());
                mc.setPosition(theirs.position());
                oc = theirs;
            } else if (op < 97) {
                const C::SelectionType selection = selections[rng.bounded(4)];
                what = QStringLiteral("select %1").arg(selection);
                mc.select(selection);
                oc.select(selection);
            } else {
                what = "saved";
                doc.setModified(false);
                oracle.setModified(false);
            }
            const QByteArray where = QStringLiteral("step %1: %2").arg(step).arg(what).toUtf8();
            QVERIFY2(doc.toPlainText() == oracle.toPlainText(), where);
            QVERIFY2(doc.blockCount() == oracle.blockCount(), where);
            QVERIFY2(mc.position() == oc.position() && mc.anchor() == oc.anchor(), where);
            QVERIFY2(mc.selectedText() == oc.selectedText(), where);
            QVERIFY2(mc.blockNumber() == oc.blockNumber(), where);
            QVERIFY2(mc.positionInBlock() == oc.positionInBlock(), where);
            QVERIFY2(mc.atBlockEnd() == oc.atBlockEnd() && mc.atEnd() == oc.atEnd(), where);
            QVERIFY2(doc.isModified() == oracle.isModified(), where);
            QVERIFY2(doc.isUndoAvailable() == oracle.isUndoAvailable(), where);
            QVERIFY2(doc.isRedoAvailable() == oracle.isRedoAvailable(), where);
            const int pos = rng.bounded(doc.characterCount());
            const TMemoBlock b = doc.findBlock(pos);
            const QTextBlock ob = oracle.findBlock(pos);
            QVERIFY2(b.blockNumber() == ob.blockNumber() && b.position() == ob.position()
                         && b.length() == ob.length() && b.text() == ob.text(),
                     where);
            QVERIFY2(doc.characterAt(pos) == oracle.characterAt(pos), where);
            // The cells each edit kept up must match a fresh count of the same text: of the
            // edited line at every step, of all lines and the widest now and then.
            TMemoDocument fresh;
            fresh.SetCharCells(Cells);
            const bool all = step % 50 == 0;
            const int line = mc.blockNumber();
            fresh.setPlainText(all ? doc.toPlainText() : doc.LineText(line));
            const int at = all ? line : 0;
            const int col = rng.bounded(doc.LineLength(line) + 1);
            QVERIFY2(doc.LineCells(line) == fresh.LineCells(at), where);
            QVERIFY2(doc.CellOf(line, col) == fresh.CellOf(at, col), where);
            QVERIFY2(doc.ColumnAtCell(line, col) == fresh.ColumnAtCell(at, col), where);
            for (int i = 0; all && i < doc.blockCount(); ++i)
                QVERIFY2(doc.LineCells(i) == fresh.LineCells(i), where);
            QVERIFY2(!all || doc.WidestCells() == fresh.WidestCells(), where);
        }
    }

    void typingIsUndoneInOneStepAndModifiedFollowsTheCleanStep()
    {
        TMemoDocument doc;
        QSignalSpy changed(&doc, &TMemoDocument::contentsChanged);
        QSignalSpy modified(&doc, &TMemoDocument::modificationChanged);
        TMemoCursor c(&doc);
        for (QChar ch : QStringLiteral("abc"))
            c.insertText(ch);
        doc.BreakUndoMerge();
        c.insertText("d");
        c.setPosition(1);
        c.insertText("X"); // not next to "d": a step of its own
        QCOMPARE(doc.toPlainText(), "aXbcd");
        c.movePosition(C::End);
        c.deletePreviousChar();
        c.deletePreviousChar(); // backspaces merge
        c.setPosition(0);
        c.deleteChar();
        c.deleteChar(); // and so do deletes, apart from the backspaces
        QCOMPARE(doc.toPlainText(), "b");
        QCOMPARE(changed.count(), 9);
        int caret = -1;
        QVERIFY(doc.undo(&caret));
        QCOMPARE(doc.toPlainText(), "aXb");
        QCOMPARE(caret, 2);
        QVERIFY(doc.undo(&caret));
        QCOMPARE(doc.toPlainText(), "aXbcd");
        QCOMPARE(caret, 5);
        QVERIFY(doc.undo() && doc.undo(&caret));
        QCOMPARE(doc.toPlainText(), "abc");
        QCOMPARE(caret, 3);
        doc.setModified(false);
        QCOMPARE(modified.count(), 2);
        QVERIFY(doc.redo() && doc.isModified());
        QVERIFY(doc.undo() && !doc.isModified());
        QVERIFY(doc.undo() && doc.toPlainText().isEmpty() && doc.isModified());
        QVERIFY(!doc.undo() && doc.isRedoAvailable());
        doc.Insert(0, "z"); // drops the redo steps, the clean one among them
        QVERIFY(!doc.isRedoAvailable());
        QVERIFY(doc.undo() && doc.isModified());

        // One step and one contentsChanged for nested blocks.
        changed.clear();
        doc.beginEditBlock();
        doc.Insert(0, "one ");
        doc.beginEditBlock();
        doc.Insert(4, "two");
        doc.endEditBlock();
        QCOMPARE(changed.count(), 0);
        doc.endEditBlock();
        QCOMPARE(changed.count(), 1);
        QVERIFY(doc.undo() && doc.toPlainText().isEmpty());

        doc.setUndoRedoEnabled(false);
        QVERIFY(!doc.isUndoAvailable() && !doc.isRedoAvailable());
        doc.setModified(false);
        doc.Insert(0, "x");
        QVERIFY(doc.isModified() && !doc.isUndoAvailable() && !doc.undo());
        doc.setModified(false);
        QVERIFY(!doc.isModified());
    }

    void cursorKeepsItsColumnAndIsKeptInsideTheText()
    {
        TMemoDocument doc;
        doc.setPlainText("abcdef\nab\r\nabcdefgh\u2028x\u2029y\rz");
        QCOMPARE(doc.toPlainText(), "abcdef\nab\nabcdefgh\nx\ny\nz");
        TMemoCursor c(&doc);
        c.setPosition(5);
        QVERIFY(!c.movePosition(C::Up));
        QVERIFY(c.movePosition(C::Down));
        QCOMPARE(c.position(), 9);
        QVERIFY(c.movePosition(C::Down, C::KeepAnchor));
        QCOMPARE(c.position(), 15);
        QCOMPARE(c.selectedText(), QString("\u2029abcde"));
        QVERIFY(c.movePosition(C::Up, C::MoveAnchor, 2));
        QCOMPARE(c.position(), 5);
        QVERIFY(c.movePosition(C::Down, C::MoveAnchor, 9) == false && c.blockNumber() == 5);
        QCOMPARE(c.positionInBlock(), 1);
        c.movePosition(C::End);
        doc.Remove(0, 7);
        QCOMPARE(c.position(), doc.Length());
        QVERIFY(c.atEnd() && c.atBlockEnd());
        c.insertText("!");
        QCOMPARE(doc.LineText(doc.blockCount() - 1), "z!");
    }

    void cellsCountTabsWideCharactersAndSurrogates()
    {
        TMemoDocument doc;
        doc.SetCharCells([](char32_t Ch) { return Ch == U'W' || Ch == U'\U0001F600' ? 2 : 1; });
        doc.SetTabCells(4);
        const QString smile = QString::fromUcs4(U"\U0001F600");
        doc.setPlainText("a\tWb" + smile + "c\nplain");
        // Column -> cell: a 0, tab 1, W 4, b 6, the pair 7 (its low half 9), c 9, end 10.
        const int cells[] = {0, 1, 4, 6, 7, 9, 9, 10};
        for (int col = 0; col < 8; ++col)
            QCOMPARE(doc.CellOf(0, col), cells[col]);
        const int columns[] = {0, 1, 1, 1, 2, 2, 3, 4, 4, 6, 7, 7};
        for (int cell = 0; cell < 12; ++cell)
            QCOMPARE(doc.ColumnAtCell(0, cell), columns[cell]);
        QCOMPARE(doc.LineCells(0), 10);
        QCOMPARE(doc.WidestCells(), 10);
        QCOMPARE(doc.CellOf(1, 3), 3);
        QCOMPARE(doc.ColumnAtCell(1, 99), 5);

        doc.Insert(doc.LineStart(1) + 2, "typed into the middle");
        QCOMPARE(doc.LineCells(1), 26);
        QCOMPARE(doc.ColumnAtCell(1, 20), 20);
        QCOMPARE(doc.WidestCells(), 26);
        doc.Insert(doc.LineStart(1) + 1, "W");
        QCOMPARE(doc.CellOf(1, 3), 4);
        QCOMPARE(doc.WidestCells(), 28);
        doc.Remove(doc.LineStart(1), 20); // the widest shrinks below line 0
        QCOMPARE(doc.WidestCells(), 10);
        doc.Remove(0, 1); // "\tWb..." : the tab still reaches 4
        QCOMPARE(doc.LineCells(0), 10);
        doc.SetTabCells(8);
        QCOMPARE(doc.WidestCells(), 14);
        doc.Remove(0, doc.LineLength(0) + 1);
        QCOMPARE(doc.WidestCells(), doc.LineCells(0));
        QCOMPARE(doc.blockCount(), 1);
    }

    void loadStoppedByProgressLeavesTheOldText()
    {
        TMemoDocument doc;
        doc.setPlainText("old");
        doc.Insert(3, " text");
        QString text;
        for (int i = 0; i < 1000; ++i)
            text += QStringLiteral("line %1\r\n").arg(i);
        QList<qsizetype> seen;
        QVERIFY(!doc.LoadText(
            text,
            [&](qsizetype Done, qsizetype Total) {
                seen << Done;
                return Total == text.size() && seen.size() < 3;
            },
            1000));
        QCOMPARE(seen, QList<qsizetype>({1000, 2000, 3000}));
        QCOMPARE(doc.toPlainText(), "old text");
        QVERIFY(doc.isModified() && doc.undo() && doc.toPlainText() == "old");

        QSignalSpy count(&doc, &TMemoDocument::blockCountChanged);
        seen.clear();
        QVERIFY(doc.LoadText(
            text, [&](qsizetype Done, qsizetype) { return seen << Done, true; }, 1000));
        QCOMPARE(seen.size(), int((text.size() + 999) / 1000));
        QCOMPARE(seen.last(), text.size());
        QCOMPARE(count.count(), 1);
        QCOMPARE(doc.blockCount(), 1001); // the final "\r\n" leaves an empty line
        QCOMPARE(doc.toPlainText(), QString(text).replace("\r\n", "\n"));
        QVERIFY(!doc.isModified() && !doc.isUndoAvailable());
        QCOMPARE(doc.LineText(999, 5), "999");
        QCOMPARE(doc.LineText(998, 2, 3), "ne ");
    }

    void millionLinesTakeEditsInTheMiddleAndAtTheEnd()
    {
        QString text;
        text.reserve(14'000'000);
        for (int i = 0; i < 1'000'000; ++i)
            text += QStringLiteral("line %1\n").arg(i, 6, 10, QChar('0'));
        text.chop(1);
        TMemoDocument doc;
        doc.setPlainText(text);
        QCOMPARE(doc.blockCount(), 1'000'000);
        QCOMPARE(doc.Length(), text.size());
        QCOMPARE(doc.LineStart(500'000), 500'000 * 12);
        QCOMPARE(doc.findBlock(500'000 * 12 + 11).blockNumber(), 500'000);

        doc.Insert(doc.LineStart(500'000) + 2, "x\ny");
        QCOMPARE(doc.blockCount(), 1'000'001);
        QCOMPARE(doc.LineText(500'000), "lix");
        QCOMPARE(doc.LineText(500'001), "yne 500000");
        QCOMPARE(doc.LineStart(500'002), 500'001 * 12 + 3);
        QCOMPARE(doc.LineText(999'000), "line 998999");
        QCOMPARE(doc.findBlock(doc.LineStart(999'000)).blockNumber(), 999'000);
        doc.Insert(doc.Length(), "\nend");
        QCOMPARE(doc.lastBlock().text(), "end");
        QCOMPARE(doc.lastBlock().position(), text.size() + 4);

        // A removal across many chunks, then its undo.
        const int from = doc.LineStart(1000);
        doc.Remove(from, doc.LineStart(300'000) - from);
        QCOMPARE(doc.blockCount(), 1'000'002 - 299'000);
        QCOMPARE(doc.LineText(1000), "line 300000");
        QCOMPARE(doc.LineText(1001), "line 300001");
        QCOMPARE(doc.LineStart(1001), 1001 * 12);
        QVERIFY(doc.undo() && doc.undo() && doc.undo());
        QVERIFY(doc.toPlainText() == text);
    }
};

QTEST_MAIN(TestMemoDocument)
#include "test_memo_document.moc"
