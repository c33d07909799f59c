#include "ScriptSplitter.h"

bool ParseDirective(const QString &commentText, TDirectiveKey &key, QString &value)
{
    static const struct
    {
        QLatin1String text;
        TDirectiveKey key;
    } keys[] = {{QLatin1String("ALIAS:"), TDirectiveKey::Alias},
                {QLatin1String("LIVEANSWER:"), TDirectiveKey::LiveAnswer},
                {QLatin1String("QUERYNAME:"), TDirectiveKey::QueryName}};
    qsizetype from = 0;
    while (from < commentText.size() && (commentText[from] == u' ' || commentText[from] == u'\t'))
        ++from;
    const QStringView text = QStringView(commentText).mid(from);
    for (const auto &k : keys)
        if (text.startsWith(k.text, Qt::CaseInsensitive)) {
            key = k.key;
            value = text.mid(k.text.size()).toString();
            return true;
        }
    return false;
}

namespace {

class TSplitter
{
public:
    QList<TScriptStep> Split(const QStringList &lines)
    {
        for (int i = 0; i < lines.size(); ++i)
            Line(lines[i], i);
        if (m_inComment) {
            TScriptStep step;
            step.Kind = TScriptStep::TKind::UnclosedComment;
            step.Line = m_commentLine;
            m_steps << step; // the statement it cut off stays unsent
        } else {
            EndStatement();
        }
        return m_steps;
    }

private:
    void Line(const QString &line, int index)
    {
        // A blank line inside a literal is part of its value.
        if (QStringView(line).trimmed().isEmpty() && m_quote.isNull())
            return;
        QString code; // the line without its comment blocks and its first ";"
        code.reserve(line.size() + 1);
        QList<TScriptStep> after; // directives behind the ";", met once the statement ran
        bool ended = false;
        const qsizetype n = line.size();
        qsizetype i = 0;
        while (i < n) {
            if (m_inComment) {
                const qsizetype close = line.indexOf(QLatin1String("*/"), i);
                Comment(line.mid(i, close < 0 ? -1 : close - i), index, ended ? after : m_steps);
                if (close < 0)
                    break;
                m_inComment = false;
                code += u' '; // the words around a comment stay apart
                i = close + 2;
                continue;
            }
            const QChar c = line[i];
            const QChar next = i + 1 < n ? line[i + 1] : QChar();
            if (!m_quote.isNull()) {
                code += c;
                if (c == m_quote) {
                    if (next == m_quote) {
                        code += next; // a doubled quote stands for itself
                        ++i;
                    } else {
                        m_quote = QChar();
                    }
                }
                ++i;
            } else if (c == u'\'' || c == u'"') {
                m_quote = c;
                code += c;
                ++i;
            } else if (c == u'-' && next == u'-') {
                code += line.mid(i);
                break;
            } else if (c == u'/' && next == u'*') {
                m_inComment = true;
                m_commentLine = index;
                i += 2;
            } else if (c == u';' && !ended) {
                ended = true;
                ++i;
            } else {
                code += c;
                ++i;
            }
        }
        if (!m_started && HasCode(code)) {
            m_started = true;
            m_startLine = index;
        }
        if (m_started && (!QStringView(code).trimmed().isEmpty() || !m_quote.isNull()))
            m_sql << code;
        if (ended)
            EndStatement();
        m_steps << after;
    }

    // Whether a line's text holds more than blanks and a "--" comment.
    static bool HasCode(const QString &code)
    {
        const QStringView t = QStringView(code).trimmed();
        return !t.isEmpty() && !t.startsWith(QLatin1String("--"));
    }

    void Comment(const QString &text, int index, QList<TScriptStep> &to)
    {
        TScriptStep step;
        if (!ParseDirective(text, step.Key, step.Value))
            return;
        step.Kind = TScriptStep::TKind::Directive;
        step.Line = index;
        to << step;
    }

    void EndStatement()
    {
        if (m_started) {
            TScriptStep step;
            step.Line = m_startLine;
            step.Sql = m_sql;
            m_steps << step;
        }
        m_started = false;
        m_sql.clear();
        m_quote = QChar(); // a literal never closed ends with its statement
    }

    QList<TScriptStep> m_steps;
    QStringList m_sql;
    bool m_started = false;
    int m_startLine = 0;
    bool m_inComment = false;
    int m_commentLine = 0;
    QChar m_quote;
};

} // namespace

QList<TScriptStep> SplitScript(const QStringList &lines)
{
    return TSplitter().Split(lines);
}
