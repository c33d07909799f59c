#include "SelectText.h"
#include "Select.h"
#include "SqlText.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

bool IsAsciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9');
}

// Every character beyond ASCII belongs to names, as the engines read them: dropping one
// would turn a field such as "Größe", or a correlation name, into a different name.
bool IsBeyondAscii(QChar c)
{
    return c.unicode() > 127;
}

// Every character but the engines' blanks belongs to a word: dropped, "a || b", "x::int"
// or "A & B" would read as other names, and a control character that is no blank is part
// of a token for SQLite (":v(a\x1cb)"), or no token at all. Only the statement end and the
// braces the reading marks joins with are left out (ending the word).
bool IsWordChar(QChar c)
{
    return !IsEngineBlank(c) && c != u';' && c != u'{' && c != u'}';
}

bool SameWord(QStringView a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// The words the scanner gives a meaning of their own.
bool IsKeyword(const QString &word)
{
    for (const char *k : {"SELECT", "FROM", "WHERE", "GROUP", "ORDER", "BY", "LEFT", "INNER",
                          "RIGHT", "AND", "OR", "JOIN", "ON"})
        if (SameWord(word, k))
            return true;
    return false;
}

enum Clause { NoClause = -1, SelectClause, FromClause, WhereClause, GroupClause, OrderClause };

Clause ClauseOf(const QString &word)
{
    static const char *const names[] = {"select", "from", "where", "group", "order"};
    for (int i = 0; i < 5; ++i)
        if (SameWord(word, names[i]))
            return Clause(i);
    return NoClause;
}

class Scanner
{
public:
    void Line(const QString &line)
    {
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line.at(i);
            const QChar next = i + 1 < line.size() ? line.at(i + 1) : QChar();
            const int depth = m_depth;
            // Comments are skipped as the engines skip them, outside quoted text only: read
            // as words, they would put text the engine never ran into the statement.
            if (m_inComment) {
                if (c == u'*' && next == u'/') {
                    m_inComment = false;
                    ++i;
                }
                continue;
            }
            if (m_quote.isNull()) {
                if (c == u'-' && next == u'-')
                    break;
                if (c == u'/' && next == u'*') {
                    EndWord();
                    m_inComment = true;
                    ++i;
                    continue;
                }
                // Texts and quoted names: SQLite also reads `name` and [name].
                if (c == u'\'' || c == u'"' || c == u'`')
                    m_quote = c;
                else if (c == u'[')
                    m_quote = u']';
                else if (c == u';') {
                    EndWord();
                    m_ended = m_words;
                } else if (c == u'(')
                    ++m_depth;
                else if (c == u')')
                    m_depth = std::max(0, m_depth - 1);
            } else if (c == m_quote && next == c) {
                m_word += c; // a quote doubled inside quoted text
                m_word += next;
                ++i;
                continue;
            } else if (c == m_quote) {
                // The quoted text ends here, and so does the word: "'x'ORDER" is the text
                // and the keyword for the engine.
                m_quote = QChar();
                m_word += c;
                m_quoted = true;
                EndWord();
                // What follows at once stays joined to it: "t".A is one name.
                m_adjoin = true;
                continue;
            }
            // Form feeds and the like part words for the engines as blanks do; quoted text
            // is kept as it stands, blanks, braces and ";" too.
            if (m_quote.isNull() && !IsWordChar(c)) {
                EndWord();
                m_adjoin = false;
            } else {
                if (m_word.isEmpty())
                    m_wordDepth = depth;
                m_word += c;
                m_quoted = m_quoted || !m_quote.isNull();
            }
        }
        // A line break parts words as for the engines: a keyword alone on its line opens
        // its clause whatever the next line starts with.
        if (m_quote.isNull()) {
            EndWord();
            m_adjoin = false;
        } else {
            m_word += u'\n';
        }
    }

    void End() { EndWord(); } // of a text whose quote is left open

    TClauses Result() const
    {
        return {m_values[SelectClause],
                m_values[FromClause],
                m_values[WhereClause],
                m_values[GroupClause],
                m_values[OrderClause],
                m_outerJoin,
                m_subquery,
                m_statements,
                m_parameterSuffix};
    }

private:
    void EndWord()
    {
        const QString word = std::exchange(m_word, QString());
        const bool quoted = std::exchange(m_quoted, false) || !m_quote.isNull();
        if (!word.isEmpty())
            Take(word, quoted);
    }

    // One word, quoted when it holds quoted text.
    void Take(const QString &word, bool quoted)
    {
        // A keyword the engine reads apart from the signs around it ("BY(", "WHERE(",
        // ")ORDER", "(SELECT", WHERE"x") is taken apart too, or it would be kept in an item
        // and its clause, or the subquery it opens, never seen.
        if (const auto [at, end] = KeywordInWord(word); end > at) {
            const int depth = m_wordDepth;
            if (at > 0)
                Take(word.left(at), false);
            m_wordDepth = DepthAfter(word.left(at), depth);
            Take(word.mid(at, end - at), false);
            if (end < word.size())
                Take(word.mid(end), quoted);
            return;
        }
        const bool adjoin = std::exchange(m_adjoin, false);
        m_statements = m_statements || m_ended;
        m_words = true;
        m_parameterSuffix = m_parameterSuffix || HasParameterSuffix(word);
        // Quoted text holds no keywords: "WHERE" in a LIKE pattern opens no clause.
        if (quoted) {
            m_afterGroupOrOrder = false;
            if (m_clause != NoClause)
                Append(word, adjoin);
            return;
        }
        // The model holds a join as a FROM list and conditions, that is as an inner join:
        // an outer or natural join read so would be written back as another statement.
        if (m_clause == FromClause
            && (SameWord(word, "LEFT") || SameWord(word, "RIGHT") || SameWord(word, "FULL")
                || SameWord(word, "OUTER") || SameWord(word, "NATURAL") || SameWord(word, "USING")))
            m_outerJoin = true;
        // "BY" after GROUP and ORDER and the words before JOIN only shape the statement;
        // elsewhere they are names and functions ("WHERE By = 1", "LEFT(B, 2)"), dropped
        // they would leave a condition without its field or a call without its function.
        const bool afterGroupOrOrder = m_afterGroupOrOrder;
        m_afterGroupOrOrder = false;
        if ((afterGroupOrOrder && SameWord(word, "BY"))
            || (m_clause == FromClause
                && (SameWord(word, "LEFT") || SameWord(word, "INNER") || SameWord(word, "RIGHT"))))
            return;
        QString stored = word;
        if (m_clause == WhereClause && (SameWord(word, "AND") || SameWord(word, "OR")))
            stored = u'{' + word + u'}';
        else if (m_clause == FromClause && SameWord(word, "JOIN"))
            stored = QStringLiteral(",");
        else if (m_clause == FromClause && SameWord(word, "ON"))
            stored = QStringLiteral("{");
        if (const Clause c = ClauseOf(word); c != NoClause) {
            // A clause inside parentheses is a subquery's ("IN (SELECT", "EXTRACT(YEAR
            // FROM"), which the model cannot hold: taken as the statement's own, it would
            // move the words after it into another clause.
            m_subquery = m_subquery || m_wordDepth > 0;
            m_clause = c;
            m_afterGroupOrOrder = c == GroupClause || c == OrderClause;
            return;
        }
        if (m_clause != NoClause)
            Append(stored, adjoin);
    }

    // Where a keyword stands in a word that is more than the keyword: a run of name
    // characters at its start or after a sign that parts tokens, before any quoted text.
    // Not after ".", nor a parameter's ":@#?" ("T1.LEFT" and "@FROM" are names).
    static std::pair<qsizetype, qsizetype> KeywordInWord(const QString &word)
    {
        const qsizetype unquoted = UnquotedLength(word);
        for (qsizetype at = 0; at < unquoted;) {
            qsizetype end = at;
            while (end < unquoted && IsNameChar(word.at(end)))
                ++end;
            const bool parted = at == 0 || !QStringView(u".:@#?").contains(word.at(at - 1));
            if (end > at && parted && (at > 0 || end < word.size())
                && IsKeyword(word.mid(at, end - at)))
                return {at, end};
            at = end > at ? end : at + 1;
        }
        return {0, 0};
    }

    // How much of a word comes before its first quoted text.
    static qsizetype UnquotedLength(const QString &word)
    {
        qsizetype at = 0;
        while (at < word.size() && QuotedTextEnd(word, at) < 0)
            ++at;
        return at;
    }

    static int DepthAfter(const QString &text, int depth)
    {
        for (const QChar c : text)
            depth = c == u'(' ? depth + 1 : c == u')' ? std::max(0, depth - 1) : depth;
        return depth;
    }

    // A parameter with a suffix in parentheses (":v(a,b)", "1+@v(x)", "?(1)"): SQLite takes
    // everything up to a blank or ")" into it, signs and all, where the model would part
    // items and conditions. Its name may hold "::" (":a::b(x)"); a cast
    // ("x::numeric(10,2)") is none, nor is text in quotes.
    static bool HasParameterSuffix(const QString &text)
    {
        // As SQLite gets it from Qt: "$a:?b(" is "$a::0b(", one parameter.
        QString word = text.left(UnquotedLength(text));
        word.replace(u'?', QLatin1String(":0"));
        const qsizetype end = word.size();
        for (qsizetype start = 0; start + 1 < end; ++start) {
            const QChar c = word.at(start);
            const QChar before = start > 0 ? word.at(start - 1) : QChar();
            // "$" goes on with a name ("a$b").
            if (!QStringView(u":@#$").contains(c) || before == u':'
                || (c == u'$' && !before.isNull() && IsNameChar(before)))
                continue;
            qsizetype at = start + 1;
            bool named = false;
            for (; at < end; ++at) {
                if (IsNameChar(word.at(at)))
                    named = true;
                else if (word.at(at) == u':' && at + 1 < end && word.at(at + 1) == u':')
                    ++at;
                else
                    break;
            }
            if (named && at < end && word.at(at) == u'(')
                return true;
        }
        return false;
    }

    void Append(const QString &word, bool adjoin)
    {
        QString &value = m_values[m_clause];
        if (!value.isEmpty() && !adjoin)
            value += u' ';
        value += word;
    }

    Clause m_clause = NoClause;
    QString m_word;
    QString m_values[5];
    bool m_inComment = false;
    bool m_outerJoin = false;
    QChar m_quote; // the quote that closes the text being read, null outside
    bool m_quoted = false; // the current word holds quoted text
    int m_depth = 0; // of parentheses outside quotes and comments
    int m_wordDepth = 0; // before the current word's first character
    bool m_subquery = false;
    bool m_words = false; // any word yet
    bool m_ended = false; // a ";" after a word
    bool m_statements = false;
    bool m_parameterSuffix = false;
    bool m_adjoin = false; // the next word follows quoted text without a blank
    bool m_afterGroupOrOrder = false; // the last word opened GROUP or ORDER
};

} // namespace

// Letters, digits, "_" and "$" make names for both engines ("a$b", "FROM$T1" is one name).
bool IsNameChar(QChar c)
{
    return IsAsciiAlnum(c) || IsBeyondAscii(c) || c == u'_' || c == u'$';
}

bool IsIdentifierChar(QChar c)
{
    return IsNameChar(c) || c == u'.' || c == u'(';
}

qsizetype QuotedNameEnd(const QString &text, qsizetype at)
{
    if (at >= text.size() || text.at(at) != u'"')
        return -1;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text.at(i) != u'"')
            continue;
        if (i + 1 < text.size() && text.at(i + 1) == u'"')
            ++i;
        else
            return i + 1;
    }
    return -1;
}

qsizetype NamePathEnd(const QString &text, qsizetype from)
{
    for (qsizetype at = from;;) {
        qsizetype end = QuotedNameEnd(text, at);
        if (end < 0)
            for (end = at; end < text.size() && IsNameChar(text.at(end));)
                ++end;
        if (end == at || (text.at(at) != u'"' && text.at(at).isDigit()))
            return at == from ? from : at - 1; // a "." ending the path is not part of it
        if (end == text.size() || text.at(end) != u'.')
            return end;
        at = end + 1;
    }
}

bool IsNamePath(const QString &text)
{
    return !text.isEmpty() && NamePathEnd(text, 0) == text.size();
}

qsizetype BareNameAt(const QString &text, qsizetype from)
{
    qsizetype at = from;
    while (at < text.size() && text.at(at).unicode() <= ' ')
        ++at;
    // A quoted name, as the name helpers write one that is not plain.
    if (const qsizetype quoted = QuotedNameEnd(text, at); quoted >= 0) {
        qsizetype next = quoted;
        while (next < text.size() && text.at(next).unicode() <= ' ')
            ++next;
        const bool follows = next < text.size() && (text.at(next) == u'(' || text.at(next) == u'.');
        return follows ? -1 : at;
    }
    qsizetype end = at;
    while (end < text.size() && (IsNameChar(text.at(end)) || text.at(end) == u'.'))
        ++end;
    if (end == at || text.at(at).isDigit() || text.at(at) == u'$')
        return -1;
    const QString name = text.mid(at, end - at);
    if (name.contains(u'.'))
        return -1;
    qsizetype next = end;
    while (next < text.size() && text.at(next).unicode() <= ' ')
        ++next;
    if (next < text.size() && (text.at(next) == u'(' || text.at(next) == u'.'))
        return -1;
    if (SameWord(name, "DISTINCT"))
        return next > end ? BareNameAt(text, end) : -1;
    for (const char *word : {"NULL", "TRUE", "FALSE", "CASE", "NOT", "ALL"})
        if (SameWord(name, word))
            return -1;
    return at;
}

QString TrimText(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= ' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= ' ')
        --end;
    return text.mid(begin, end - begin);
}

qsizetype QuotedTextEnd(const QString &text, qsizetype at)
{
    const QChar open = at < text.size() ? text.at(at) : QChar();
    const QChar close = open == u'[' ? u']' : open;
    if (close != u'\'' && close != u'"' && close != u'`' && close != u']')
        return -1;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text.at(i) != close)
            continue;
        if (close != u']' && i + 1 < text.size() && text.at(i + 1) == close) {
            ++i; // a quote doubled inside stands for itself
            continue;
        }
        return i + 1;
    }
    return text.size();
}

qsizetype IndexOutsideQuotes(const QString &text, QChar c, qsizetype from)
{
    for (qsizetype at = from; at < text.size();) {
        if (text.at(at) == c)
            return at;
        const qsizetype quoted = QuotedTextEnd(text, at);
        at = quoted > at ? quoted : at + 1;
    }
    return -1;
}

void SplitText(QStringList &list, const QString &text, QChar separator)
{
    list.clear();
    qsizetype start = 0;
    for (qsizetype at = IndexOutsideQuotes(text, separator, 0); at >= 0;
         at = IndexOutsideQuotes(text, separator, start)) {
        list << text.mid(start, at - start);
        start = at + 1;
    }
    if (start < text.size())
        list << text.mid(start);
}

QStringView TokenAt(QStringView text, qsizetype &at)
{
    while (at < text.size() && text[at].unicode() <= ' ')
        ++at;
    qsizetype end = at;
    while (end < text.size() && IsIdentifierChar(text[end]))
        ++end;
    if (end == at && at < text.size())
        end = at + 1;
    const QStringView token = text.sliced(at, end - at);
    at = end;
    return token;
}

QString NextToken(QString &text)
{
    qsizetype at = 0;
    const QString token = TokenAt(text, at).toString();
    qsizetype end = text.size();
    while (end > at && text.at(end - 1).unicode() <= ' ')
        --end;
    text = text.sliced(at, end - at);
    return token;
}

QString CutAtBrace(QString &text)
{
    const qsizetype at = IndexOutsideQuotes(text, u'{', 0);
    if (at < 0) {
        QString whole;
        whole.swap(text);
        return whole;
    }
    const QString before = text.left(at);
    text.remove(0, at + 1);
    return before;
}

QStringList SplitSqlLines(const QStringList &sqlLines)
{
    QStringList lines;
    for (const QString &entry : sqlLines) {
        // SQLite reads a statement up to a NUL character: so does the model, or it would
        // read words the engine never saw.
        const qsizetype nul = entry.indexOf(QChar(u'\0'));
        const QString text = nul < 0 ? entry : entry.left(nul);
        // A CR before a break stays: a blank to the engines, and part of quoted text.
        if (!text.contains(u'\n'))
            lines << text;
        else
            lines << text.split(u'\n');
        if (nul >= 0)
            break;
    }
    return lines;
}

QString FirstTableName(const QStringList &sqlLines)
{
    bool afterFrom = false;
    for (const QString &line : SplitSqlLines(sqlLines))
        for (qsizetype at = 0;;) {
            const QStringView token = TokenAt(line, at);
            if (token.isEmpty())
                break;
            if (afterFrom)
                return token.toString();
            afterFrom = SameWord(token, "FROM");
        }
    return {};
}

TClauses ReadClauses(const QStringList &sqlLines)
{
    Scanner scanner;
    for (const QString &line : SplitSqlLines(sqlLines))
        scanner.Line(line);
    scanner.End();
    return scanner.Result();
}

QDate DateOfUserText(const QString &value)
{
    // The form engines show and the WHERE builder proposes reads the same in every notation.
    if (const QDate iso = QDate::fromString(value.trimmed(), Qt::ISODate); iso.isValid())
        return iso;
    const QLocale locale;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    // The order of day, month and year in the user's notation decides which number is which.
    struct Part
    {
        char kind;
        qsizetype at;
    };
    Part parts[3]
        = {{'d', format.indexOf(u'd')}, {'M', format.indexOf(u'M')}, {'y', format.indexOf(u'y')}};
    std::sort(std::begin(parts), std::end(parts),
              [](const Part &a, const Part &b) { return a.at < b.at; });

    QDate date;
    const QString trimmed = value.trimmed();
    static const QRegularExpression numeric(QStringLiteral("^\\d+(\\D+\\d+){1,2}$"));
    if (numeric.match(trimmed).hasMatch()) {
        static const QRegularExpression nonDigits(QStringLiteral("\\D+"));
        const QStringList numbers = trimmed.split(nonDigits);
        int day = 0, month = 0, year = QDate::currentDate().year();
        bool shortYear = false;
        // Without a year the numbers are day and month in the notation's order.
        int n = 0;
        for (const Part &p : parts) {
            if (p.kind == 'y' && numbers.size() == 2)
                continue;
            const QString &number = numbers.at(n++);
            if (p.kind == 'd')
                day = number.toInt();
            else if (p.kind == 'M')
                month = number.toInt();
            else {
                year = number.toInt();
                shortYear = number.size() <= 2;
            }
        }
        if (shortYear) {
            // Two-digit years fall within fifty years before now and the years after.
            const int base = QDate::currentDate().year() - 50;
            year += base / 100 * 100;
            if (year < base)
                year += 100;
        }
        date = QDate(year, month, day);
    } else {
        date = locale.toDate(trimmed, QLocale::ShortFormat);
    }
    if (!date.isValid())
        throw ESelectError(QStringLiteral("'%1' is not a valid date").arg(value));
    return date;
}
