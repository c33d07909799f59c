#include "Executor.h"

#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"

#include <QSqlQuery>

namespace {

// Where the separators of a line are, seen from outside quoted literals and "--" comments.
struct TLineScan
{
    qsizetype semicolon = -1; // first statement end
    qsizetype commentOpen = -1; // first "/*"
    QChar quote; // the literal still open at the end of the line, if any
};

TLineScan ScanLine(const QString &line, QChar quote)
{
    TLineScan scan;
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line[i];
        if (!quote.isNull()) {
            if (c == quote) {
                if (i + 1 < n && line[i + 1] == quote)
                    ++i; // a doubled quote stands for itself
                else
                    quote = QChar();
            }
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'-' && i + 1 < n && line[i + 1] == u'-') {
            break;
        } else if (c == u'/' && i + 1 < n && line[i + 1] == u'*') {
            scan.commentOpen = i;
            break; // the rest of the line belongs to the comment
        } else if (c == u';' && scan.semicolon < 0) {
            scan.semicolon = i;
        }
    }
    scan.quote = quote;
    return scan;
}

bool Answers(TDatabase &db)
{
    QSqlQuery probe(db.Connection().Db());
    return probe.exec(QStringLiteral("SELECT 1"));
}

struct TBusyGuard
{
    const std::function<void(bool)> &busy;
    explicit TBusyGuard(const std::function<void(bool)> &b)
        : busy(b)
    {
        if (busy)
            busy(true);
    }
    ~TBusyGuard()
    {
        if (busy)
            busy(false);
    }
};

} // namespace

TExecutor::TExecutor(TDatabase &db, TQuery &query, TExecutorHost host)
    : m_db(db)
    , m_query(query)
    , m_host(std::move(host))
{}

QString TExecutor::ExecutingText(const QString &line, int lineIndex)
{
    return QStringLiteral("Executing ") + line.left(20) + QStringLiteral("... (line ")
        + QString::number(lineIndex + 1) + u')';
}

QString TExecutor::ErrorStatusText(const QString &errorText)
{
    const qsizetype dot = errorText.indexOf(u'.');
    return dot < 0 ? errorText : errorText.left(dot + 1);
}

QString TExecutor::HeaderAlias(const QString &selectedAliasNode, const QString &dbAlias)
{
    return selectedAliasNode.isEmpty() ? dbAlias : selectedAliasNode;
}

void TExecutor::Status(const QString &text, bool force)
{
    if (m_host.SetStatus)
        m_host.SetStatus(text);
    if (!m_host.RepaintStatus)
        return;
    // Painting the status bar per statement would cost more than the statements.
    if (force || !m_repaintClock.isValid() || m_repaintClock.elapsed() >= 250) {
        m_host.RepaintStatus();
        m_repaintClock.start();
    }
}

bool TExecutor::Execute()
{
    TBusyGuard busy(m_host.Busy);
    const bool ok = RunScript(m_host.Lines ? m_host.Lines() : QStringList());
    if (ok && m_host.NodePath)
        Status(m_host.NodePath(), true);
    return ok;
}

void TExecutor::WriteHeader(const QStringList &lines)
{
    QStringList header {QStringLiteral("/*")};
    header << lines;
    if (m_host.LiveAnswerOption && m_host.LiveAnswerOption())
        header << QStringLiteral("LiveAnswer:True");
    if (m_host.AliasOption && m_host.AliasOption())
        header << QStringLiteral("Alias:")
                + HeaderAlias(m_host.SelectedAliasNode ? m_host.SelectedAliasNode() : QString(),
                              m_db.AliasName());
    header << QStringLiteral("*/") << QString();
    if (m_host.AppendLines)
        m_host.AppendLines(header);
}

// One directive per line; ALIAS wins over LIVEANSWER, which wins over QUERYNAME.
void TExecutor::ApplyDirective(const QString &text)
{
    static const QString keys[]
        = {QStringLiteral("ALIAS:"), QStringLiteral("LIVEANSWER:"), QStringLiteral("QUERYNAME:")};
    for (int k = 0; k < 3; ++k) {
        const qsizetype at = text.indexOf(keys[k], 0, Qt::CaseInsensitive);
        if (at < 0)
            continue;
        const qsizetype from = at + keys[k].size();
        const qsizetype end = text.indexOf(QLatin1String("*/"), from);
        const QString value = text.mid(from, end < 0 ? -1 : end - from);
        if (k == 0) {
            m_db.Close();
            m_db.SetAliasName(value.trimmed());
        } else if (k == 1) {
            m_liveAnswer = value.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
        } else {
            m_queryName = value;
        }
        return;
    }
}

bool TExecutor::RunScript(const QStringList &lines)
{
    m_query.Close();
    m_query.SQL.clear();
    m_state = TState::Start;
    m_startLine = 0;
    m_selectCount = 0;
    m_changed = m_liveAnswer = m_isSelect = false;
    m_queryName.clear();
    m_errorText.clear();
    m_repaintClock.invalidate();

    QChar quote; // a literal left open by the previous line of the statement
    const int last = int(lines.size()) - 1;
    for (int i = 0; i <= last; ++i) {
        QString line = lines[i];
        if (line.trimmed().isEmpty())
            continue;
        const TLineScan scan = ScanLine(line, m_state == TState::Inside ? quote : QChar());
        qsizetype commentFrom = 0;
        if (m_state != TState::Comment && scan.commentOpen >= 0) {
            m_state = TState::Comment;
            commentFrom = scan.commentOpen + 2;
        }
        if (m_state == TState::Comment) {
            const QString comment = line.mid(commentFrom);
            if (comment.contains(QLatin1String("*/")))
                m_state = TState::Start;
            ApplyDirective(comment);
            continue;
        }
        if (m_state == TState::Start) {
            Status(ExecutingText(line, i), false);
            m_startLine = i;
            m_isSelect = line.toUpper().contains(QLatin1String("SELECT"));
            if (m_isSelect)
                ++m_selectCount;
            else
                m_changed = true;
            m_state = TState::Inside;
        }
        quote = scan.quote;
        if (scan.semicolon >= 0) {
            line.remove(scan.semicolon, 1);
            m_state = TState::Complete;
        } else if (i == last) {
            m_state = TState::Complete;
        }
        m_query.SQL << line;
        m_errorText.clear();
        if (m_state == TState::Complete) {
            if (!ExecuteStatement())
                return Fail();
            m_query.Close();
            m_query.SQL.clear();
            m_state = TState::Start;
        }
    }
    if (!m_query.SQL.isEmpty()) {
        if (!ExecuteStatement())
            return Fail();
        m_query.Close();
        m_query.SQL.clear();
    }
    Status(QStringLiteral("SQL executed."), true);
    if (m_changed && m_host.Refresh)
        m_host.Refresh();
    return true;
}

bool TExecutor::ExecuteStatement()
{
    try {
        if (m_isSelect) {
            m_query.Prepare();
            if (m_host.OpenResultWindow)
                m_host.OpenResultWindow(m_query.SQL, m_queryName, m_selectCount, m_liveAnswer);
            m_queryName.clear();
        } else {
            m_query.ExecSQL();
        }
        return true;
    } catch (const EDatabaseError &e) {
        m_errorText = QStringLiteral("ERROR:") + e.Message();
    } catch (const std::exception &e) {
        m_errorText = QStringLiteral("ERROR:") + QString::fromUtf8(e.what());
    }
    return false;
}

bool TExecutor::Fail()
{
    m_query.Close();
    Status(ErrorStatusText(m_errorText), true);
    if (m_host.SelectLine)
        m_host.SelectLine(m_startLine);
    if (m_host.FocusEditor)
        m_host.FocusEditor();
    // A connection the server dropped would fail every later run; a fresh one is made on
    // the next statement instead.
    if (m_db.Connected() && !Answers(m_db))
        m_db.Close();
    return false;
}
