#pragma once

// Text routines of the SELECT model: a word scanner for simple SELECT statements, not an
// SQL parser. Generated statements put every item on its own tab-indented line.

#include <QDate>
#include <QString>
#include <QStringList>

// Clears list, then adds the parts of text between separators (empty parts included);
// a non-empty remainder after the last separator is added too. Parts keep their blanks.
// A separator in quotes ('a,b', "x,y", `n`, [n]) parts nothing.
void SplitText(QStringList &list, const QString &text, QChar separator);
// Where the quoted text ('...', "...", `...`, [...]) that opens at `at` ends: after its
// closing quote, or the text's end when none closes it; -1 when no quote opens there.
qsizetype QuotedTextEnd(const QString &text, qsizetype at);
// The first c from `from` on that is not in quotes, or -1.
qsizetype IndexOutsideQuotes(const QString &text, QChar c, qsizetype from);

// text without the blanks and control characters at either end.
QString TrimText(const QString &text);

// Removes and returns the first token of text (blanks and control characters around it are
// trimmed first): a run of identifier characters, or else the single character there.
// The rest stays in text untrimmed.
QString NextToken(QString &text);
// The token at or after at, as NextToken cuts it, with at moved past it; empty at the end.
// Reading a line by places copies nothing: cutting tokens off its front copies its rest.
QStringView TokenAt(QStringView text, qsizetype &at);
// The characters of a name: letters, digits, "_" and "$".
bool IsNameChar(QChar c);
// The characters NextToken keeps together: those of names, "." and "(".
bool IsIdentifierChar(QChar c);

// The part of text before its first "{", leaving the part after it in text; without a
// "{" the whole text is returned and text is left empty.
QString CutAtBrace(QString &text);

// Where a bare field name starts in text from position from on, after blanks: a name that
// begins with a letter or "_", holds no "." (it is qualified already), is no call (no "("
// after it) and is not one of the words that stand for values or open an expression (NULL,
// TRUE, FALSE, CASE, NOT, ALL). A leading DISTINCT is passed over. -1 when there is none.
// A name in double quotes ("Order ID", "a""b") counts as a bare name too.
qsizetype BareNameAt(const QString &text, qsizetype from);

// The position just after the double-quoted name that starts at at ("" inside it stands for a
// quote); -1 when none starts there or it is not closed.
qsizetype QuotedNameEnd(const QString &text, qsizetype at);

// True for names joined by ".", each plain (not starting with a digit) or in double quotes:
// a table name that can prefix a field ("T", "sales.\"Order Lines\"").
bool IsNamePath(const QString &text);
// Where the name path that starts at from ends; from when none starts there.
qsizetype NamePathEnd(const QString &text, qsizetype from);

// The first token after the word FROM in the statement's lines; empty when there is none.
QString FirstTableName(const QStringList &sqlLines);

// A statement's lines with embedded line breaks split into lines of their own, up to a
// NUL character, where the statement ends.
QStringList SplitSqlLines(const QStringList &sqlLines);

// The words of each clause, joined by single blanks. Join structure is marked with braces:
// in FROM, JOIN becomes "," and ON becomes "{"; in WHERE, AND/OR become "{AND}"/"{OR}"
// (the word as written). BY after GROUP and ORDER, and LEFT, RIGHT and INNER in FROM, are
// dropped. "--" and "/* */" comments outside quoted text are skipped.
struct TClauses
{
    QString Select;
    QString From;
    QString Where;
    QString Group;
    QString Order;
    bool OuterJoin = false; // FROM joins with LEFT, RIGHT, FULL, OUTER, NATURAL or USING
    bool Subquery = false; // a clause keyword inside parentheses
    bool Statements = false; // words after a ";" that ends words before it
    bool ParameterSuffix = false; // a parameter with a suffix in parentheses (":v(x)")
};
TClauses ReadClauses(const QStringList &sqlLines);

// value as a date: in ISO form (yyyy-mm-dd) or in the user's short date notation.
// Throws ESelectError "'value' is not a valid date" when it does not parse.
QDate DateOfUserText(const QString &value);
