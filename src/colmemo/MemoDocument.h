#pragma once

// The SQL editor's text, kept as lines. A text handed in whole (a script opened, a dump of
// many megabytes) is not copied: its lines are ranges of that one string until they are
// edited, so holding a script costs little more than the string itself, and opening it costs
// one pass over its line breaks. An edited line keeps a gap at its last edit, so that typing
// into a line of many megabytes moves no more than the characters typed. Positions count a line
// break as one character; lines are called blocks and the calls are named as those of QTextDocument
// and QTextCursor, whose behaviour they follow, so that code written against the one reads the same
// against the other.

#include <QObject>
#include <QString>
#include <QTextCursor>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class TMemoDocument;

// One line of a document; invalid past either end. A block does not follow edits: it stands
// for the line of its number in the document as it is when asked.
class TMemoBlock
{
public:
    TMemoBlock() = default;
    TMemoBlock(const TMemoDocument *Document, int Number);

    bool isValid() const;
    int blockNumber() const { return m_number; }
    // The line without its line break.
    QString text() const;
    // Position of the line's first character.
    int position() const;
    // Characters with the line break, as QTextBlock counts them: text().size() + 1.
    int length() const;
    TMemoBlock next() const;
    TMemoBlock previous() const;
    const TMemoDocument *document() const { return m_doc; }

    bool operator==(const TMemoBlock &o) const
    {
        return m_doc == o.m_doc && m_number == o.m_number;
    }
    bool operator!=(const TMemoBlock &o) const { return !(*this == o); }

private:
    const TMemoDocument *m_doc = nullptr;
    int m_number = -1;
};

// A caret with an anchor, as QTextCursor: the text between them is the selection, and edits
// through the cursor are undone as one step inside beginEditBlock / endEditBlock. Unlike
// QTextCursor a cursor held aside does not follow edits made elsewhere; it is kept inside the
// text when next used.
class TMemoCursor
{
public:
    TMemoCursor() = default;
    explicit TMemoCursor(TMemoDocument *Document);
    explicit TMemoCursor(const TMemoBlock &Block); // at the block's start

    bool isNull() const { return m_doc == nullptr; }
    TMemoDocument *document() const { return m_doc; }

    int position() const;
    int anchor() const;
    void setPosition(int Pos, QTextCursor::MoveMode Mode = QTextCursor::MoveAnchor);
    // Start, End, StartOfBlock, EndOfBlock, StartOfLine, EndOfLine, Left, Right,
    // PreviousCharacter, NextCharacter, Up, Down, PreviousBlock, NextBlock, StartOfWord,
    // EndOfWord, PreviousWord, NextWord, WordLeft, WordRight; Up and Down keep the column
    // (NoMove and others are refused). False when the cursor could not move the whole way.
    bool movePosition(QTextCursor::MoveOperation Op,
                      QTextCursor::MoveMode Mode = QTextCursor::MoveAnchor, int N = 1);

    bool hasSelection() const { return position() != anchor(); }
    int selectionStart() const;
    int selectionEnd() const;
    // The selection with U+2029 between its lines, as QTextCursor gives it.
    QString selectedText() const;
    void clearSelection();
    // WordUnderCursor, LineUnderCursor, BlockUnderCursor, Document.
    void select(QTextCursor::SelectionType Selection);

    // Replaces the selection; line breaks in Text ("\n", "\r\n", "\r", U+2029, U+2028) start
    // new lines.
    void insertText(const QString &Text);
    void insertBlock() { insertText(QStringLiteral("\n")); }
    void removeSelectedText();
    void deleteChar(); // the selection, else the character after the cursor
    void deletePreviousChar(); // the selection, else the character before it

    void beginEditBlock();
    void endEditBlock();

    TMemoBlock block() const;
    int blockNumber() const;
    int positionInBlock() const;
    int columnNumber() const { return positionInBlock(); }
    bool atStart() const { return position() == 0; }
    bool atEnd() const;
    bool atBlockStart() const { return positionInBlock() == 0; }
    bool atBlockEnd() const;

    bool operator==(const TMemoCursor &o) const
    {
        return m_doc == o.m_doc && position() == o.position() && anchor() == o.anchor();
    }
    bool operator!=(const TMemoCursor &o) const { return !(*this == o); }

private:
    friend class TMemoDocument;
    TMemoDocument *m_doc = nullptr;
    int m_pos = 0;
    int m_anchor = 0;
    // The column Up and Down keep, in characters; -1 until the first vertical move.
    int m_keptColumn = -1;
};

class TMemoDocument : public QObject
{
    Q_OBJECT

public:
    explicit TMemoDocument(QObject *Parent = nullptr);
    ~TMemoDocument() override;

    // The whole text, lines joined by "\n".
    QString toPlainText() const;
    // Replaces the text, shares Text's characters, empties the undo stack, unmodified.
    void setPlainText(const QString &Text);
    // The same in slices of about SliceChars characters, so that a long text can show its
    // progress: after each slice Progress learns how far the line breaks have been found and
    // may answer false to stop. A stopped load leaves the document as it was; true when the
    // text is in.
    using TProgress = std::function<bool(qsizetype Done, qsizetype Total)>;
    bool LoadText(const QString &Text, const TProgress &Progress, qsizetype SliceChars);

    bool isEmpty() const { return m_chars == 0; }
    // Characters, each line break counting one: the largest position.
    int Length() const { return int(m_chars); }
    // Length() + 1, as QTextDocument counts its final paragraph separator.
    int characterCount() const { return Length() + 1; }
    QChar characterAt(int Pos) const; // U+2029 for a line break, QChar() past the end
    QString Text(int From, int Count) const; // lines joined by "\n"

    int blockCount() const { return m_lineCount; }
    int lineCount() const { return m_lineCount; }
    TMemoBlock findBlock(int Pos) const; // the last block for Pos at or past the end
    TMemoBlock findBlockByNumber(int Number) const { return TMemoBlock(this, Number); }
    TMemoBlock findBlockByLineNumber(int Number) const { return TMemoBlock(this, Number); }
    TMemoBlock firstBlock() const { return TMemoBlock(this, 0); }
    TMemoBlock begin() const { return firstBlock(); }
    TMemoBlock lastBlock() const { return TMemoBlock(this, m_lineCount - 1); }

    // Line access by number, 0-based; Number must be valid. LineText copies Count characters
    // (all to the end for -1) from column From: a stretch of a long line costs that stretch.
    QString LineText(int Number, int From = 0, int Count = -1) const;
    int LineStart(int Number) const;
    int LineLength(int Number) const;

    // The edits every cursor and the editor make. Pos and Count are clamped to the text.
    void Insert(int Pos, const QString &Text);
    void Remove(int Pos, int Count);

    // Edits between the outermost begin and end are one undo step and one contentsChanged.
    void beginEditBlock();
    void endEditBlock();
    // Typing of single characters next to each other is undone in one step until this is
    // called (the caret moved, a command ran).
    void BreakUndoMerge() { m_mergeOpen = false; }

    bool isUndoRedoEnabled() const { return m_undoEnabled; }
    void setUndoRedoEnabled(bool Enable);
    bool isUndoAvailable() const { return m_undoAt > 0; }
    bool isRedoAvailable() const { return m_undoAt < int(m_steps.size()); }
    void clearUndoRedoStacks();
    // Undoes or redoes one step; Caret (when given) gets where the step's caret belongs: after
    // the text an undo puts back or a redo inserts, at the place of text taken away.
    bool undo(int *Caret = nullptr);
    bool redo(int *Caret = nullptr);

    bool isModified() const;
    void setModified(bool Modified = true);

    // Width in cells of each character that is not one cell wide (a tab reaches the next
    // stop); the editor sets it from its font. Default: every character one cell.
    using TCharCells = std::function<int(char32_t Ch)>;
    void SetCharCells(TCharCells Cells);
    int TabCells() const { return m_tabCells; }
    void SetTabCells(int Cells);
    // Cells of line Number up to its column Col (characters), and the column at the cell
    // Cell (the character whose cells hold it, or the line's end beyond it).
    int CellOf(int Number, int Col) const;
    int ColumnAtCell(int Number, int Cell) const;
    int LineCells(int Number) const;
    // The widest line, in cells; follows each edit at the cost of that edit.
    int WidestCells() const;

signals:
    void contentsChange(int Pos, int Removed, int Added);
    void contentsChanged();
    void modificationChanged(bool Changed);
    void undoAvailable(bool Available);
    void redoAvailable(bool Available);
    void blockCountChanged(int Count);

private:
    friend class TMemoCursor;

    // A line is a range of m_base, or (Start < 0) the edited line m_own[-1 - Start].
    struct Line
    {
        qsizetype Start = 0;
        int Length = 0;
        unsigned Cells : 31 = 0;
        unsigned Plain : 1 = 1; // every character one cell: cell and column agree
    };
    // An edited line as a gap buffer: Buf holds the text with GapLen unused characters at Gap.
    struct Own
    {
        QString Buf;
        int Gap = 0;
        int GapLen = 0;
    };
    struct Chunk
    {
        std::vector<Line> Lines;
        qsizetype Chars = 0; // each line with its line break
    };
    struct Edit
    {
        int Pos = 0;
        QString Removed;
        QString Inserted;
    };
    struct Step
    {
        std::vector<Edit> Edits;
    };
    struct Located
    {
        int Chunk = 0;
        int Index = 0; // in the chunk
        int Number = 0;
        qsizetype Start = 0; // position of the line
        int ChunkLine = 0; // number of the chunk's first line
        qsizetype ChunkPos = 0; // position of the chunk's first line
    };
    // A line's characters: the stretch before the gap, then the one after it.
    struct View
    {
        QStringView A, B;
        int size() const { return int(A.size() + B.size()); }
        QChar at(int I) const { return I < A.size() ? A[I] : B[I - A.size()]; }
    };

    Located Locate(int Number) const;
    Located LocateChar(int Pos) const;
    const Line &LineAt(const Located &L) const { return m_chunks[L.Chunk].Lines[L.Index]; }
    View ViewOf(const Line &L) const;
    void AppendLine(QString &Out, const Line &L, int From, int Count) const;
    void Scan(Line &L) const;
    int CharCells(char32_t Ch) const { return Ch < 128 ? m_ascii[Ch] : m_cells ? m_cells(Ch) : 1; }
    bool IsPlain(QStringView Text) const;
    void CountWidth(const Line &L, int Delta);
    int NewOwn(QStringView A, QStringView B, QStringView C);
    void FreeLine(const Line &L);
    void EditInLine(const Located &At, int Col, int Count, QStringView Text);
    void Rebalance(int ChunkIndex);
    void CacheAt(int ChunkIndex, int ChunkLine, qsizetype ChunkPos) const;
    // Replaces Count characters at Pos by Text (lines split by "\n" only) without recording it.
    void Replace(int Pos, int Count, const QString &Text);
    void Record(int Pos, const QString &Removed, const QString &Inserted);
    void Notify();
    void Changed(int Pos, int Removed, int Added, int LinesBefore);

    std::vector<Chunk> m_chunks;
    QString m_base; // the text last handed in whole; unedited lines are ranges of it
    std::vector<Own> m_own; // edited lines, by index; freed slots listed in m_freeOwn
    std::vector<int> m_freeOwn;
    qsizetype m_chars = 0;
    int m_lineCount = 1;
    std::map<int, int> m_widths; // cells -> how many lines have that many
    TCharCells m_cells;
    int m_ascii[128]; // CharCells of the ASCII characters, asked once
    int m_tabCells = 8;
    // The chunk last found, with its first line's number and position.
    mutable int m_cacheChunk = 0;
    mutable int m_cacheLine = 0;
    mutable qsizetype m_cachePos = 0;
    // The line last found in that chunk, so that walking down the visible lines steps from
    // one to the next; -1 after an edit.
    mutable int m_cacheIndex = -1;
    mutable qsizetype m_cacheStart = 0;

    std::vector<Step> m_steps;
    int m_undoAt = 0;
    int m_cleanAt = 0; // m_undoAt when last unmodified; -1 when no step leads back there
    bool m_undoEnabled = true;
    bool m_mergeOpen = false;
    int m_editDepth = 0;
    bool m_blockStepOpen = false; // the outermost edit block has pushed its step
    bool m_editChanged = false;
    bool m_wasModified = false;
    bool m_wasUndo = false;
    bool m_wasRedo = false;
};
