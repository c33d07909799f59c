#include "SqlText.h"
#include "EngineError.h"

#include <QStringList>

namespace {

bool IsWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

QString WithoutEngineBlanksAround(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsEngineBlank(text[begin]))
        ++begin;
    while (end > begin && IsEngineBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Where the comment that starts at `at` ends, or `at` when none starts there. A "/*" that
// is never closed runs to the end of the text and sets open.
qsizetype AfterComment(const QString &text, qsizetype at, bool &open)
{
    // Asked at every character of a statement: the two characters are looked at directly.
    if (at + 1 >= text.size())
        return at;
    const char16_t c = text[at].unicode();
    const char16_t next = text[at + 1].unicode();
    if (c == u'-' && next == u'-') {
        const qsizetype eol = text.indexOf(u'\n', at);
        return eol < 0 ? text.size() : eol + 1;
    }
    if (c == u'/' && next == u'*') {
        const qsizetype end = text.indexOf(QLatin1String("*/"), at + 2);
        open = end < 0;
        return end < 0 ? text.size() : end + 2;
    }
    return at;
}

// Walks the text a token at a time, passing over blanks, comments, literals and quoted
// names, which can hide any word.
class TWordScan
{
public:
    explicit TWordScan(const QString &text)
        : m_text(text)
    {}

    // The next word in upper case, with the parenthesis depth it stands at; false at the end.
    bool NextWord(QString &word, int &depth)
    {
        const qsizetype from = NextWordStart();
        if (from < 0)
            return false;
        word = m_text.mid(from, m_at - from).toUpper();
        depth = m_depth;
        return true;
    }

    // Passes over the rest of the text, for what the scan tells at its end: no word is
    // made, the text may be a script of megabytes.
    void ToEnd()
    {
        while (NextWordStart() >= 0) {}
    }

    // Whether anything but blanks, comments and "(" came before the last word.
    bool SawOther() const { return m_other; }
    // Whether the text ends inside a comment it opened, which SQLite closes there.
    bool EndsInComment() const { return m_openComment; }
    // Whether a ")" closed no "(" of the text, and the depth so far.
    bool ClosedOutside() const { return m_closedOutside; }
    int Depth() const { return m_depth; }

private:
    // Where the next word starts, with m_at after it; -1 at the end.
    qsizetype NextWordStart()
    {
        const qsizetype n = m_text.size();
        while (m_at < n) {
            const QChar c = m_text[m_at];
            if (const qsizetype after
                = c == u'-' || c == u'/' ? AfterComment(m_text, m_at, m_openComment) : m_at;
                after != m_at) {
                m_at = after;
            } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
                const QChar close = c == u'[' ? QChar(u']') : c;
                const qsizetype end = m_text.indexOf(close, m_at + 1);
                m_at = end < 0 ? n : end + 1; // a doubled quote is two literals in a row
            } else if (c == u'(') {
                ++m_depth;
                ++m_at;
            } else if (c == u')') {
                m_closedOutside = m_closedOutside || m_depth == 0;
                m_depth = qMax(0, m_depth - 1);
                ++m_at;
            } else if (IsWordStart(c)) {
                const qsizetype from = m_at;
                while (m_at < n && IsWordChar(m_text[m_at]))
                    ++m_at;
                return from;
            } else if (c.isSpace()) {
                ++m_at;
            } else {
                m_other = true;
                ++m_at;
            }
        }
        return -1;
    }

    const QString &m_text;
    qsizetype m_at = 0;
    int m_depth = 0;
    bool m_other = false;
    bool m_openComment = false;
    bool m_closedOutside = false;
};

// The text after the empty statements it starts with (";" among blanks and comments):
// nothing to an engine that runs the text alone, but a syntax error inside parentheses.
QString WithoutLeadingEmptyStatements(const QString &text)
{
    qsizetype at = 0, from = 0;
    bool open = false;
    while (at < text.size()) {
        if (IsEngineBlank(text[at]))
            ++at;
        else if (text[at] == u';')
            from = ++at;
        else if (const qsizetype after = AfterComment(text, at, open); after != at)
            at = after;
        else
            break;
    }
    return text.mid(from);
}

} // namespace

bool IsEngineBlank(QChar c)
{
    return c == u' ' || (c.unicode() >= 9 && c.unicode() <= 13);
}

QString StatementKeyword(const QString &sql)
{
    TWordScan scan(sql);
    QString word;
    int depth = 0;
    if (!scan.NextWord(word, depth) || scan.SawOther())
        return {};
    if (word != QLatin1String("WITH"))
        return word;
    // The common table expressions' bodies stand in parentheses: the first statement
    // word outside them is the main statement's.
    static const QStringList mains {"SELECT", "INSERT", "UPDATE", "DELETE",
                                    "MERGE",  "VALUES", "TABLE",  "REPLACE"};
    const int base = depth;
    while (scan.NextWord(word, depth))
        if (depth == base && mains.contains(word))
            return word;
    return QStringLiteral("WITH");
}

bool IsQueryKeyword(const QString &keyword)
{
    return keyword == QLatin1String("SELECT") || keyword == QLatin1String("VALUES")
        || keyword == QLatin1String("EXPLAIN");
}

void RequireNoNul(const QString &sql)
{
    if (sql.contains(QChar(0)))
        throw EDatabaseError(QStringLiteral(
            "The statement holds a NUL character; the engine would read only the text before it."));
}

QString NoRowsForm(const QString &sql, const QString &alias)
{
    QString text = WithoutEngineBlanksAround(WithoutLeadingEmptyStatements(sql));
    TWordScan scan(text);
    // Only a "/*" opens a comment that can be left open; most statements hold none.
    if (text.contains(QLatin1String("/*")))
        scan.ToEnd();
    if (scan.EndsInComment())
        text += QStringLiteral("*/");
    else
        while (text.endsWith(u';'))
            text = WithoutEngineBlanksAround(text.chopped(1));
    return QStringLiteral("SELECT * FROM (\n%1\n) %2 WHERE 1 = 0").arg(text, alias);
}

bool NoRowsFormHoldsWhole(const QString &sql)
{
    const QString text = WithoutLeadingEmptyStatements(sql);
    TWordScan scan(text);
    QString word;
    int depth = 0;
    if (!scan.NextWord(word, depth) || scan.SawOther() || depth != 0 || word != u"SELECT")
        return false;
    scan.ToEnd();
    return !scan.ClosedOutside() && scan.Depth() == 0 && !scan.EndsInComment();
}
