#include "Executor.h"

#include "DataSet.h"
#include "Database.h"
#include "EngineError.h"
#include "ScriptSplitter.h"
#include "SqlText.h"
#include "StatementWait.h"

namespace {

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
    // The first sentence: a "." that ends a word, not one inside an address or a name.
    for (qsizetype dot = errorText.indexOf(u'.'); dot >= 0; dot = errorText.indexOf(u'.', dot + 1))
        if (dot + 1 == errorText.size() || errorText[dot + 1].isSpace())
            return errorText.left(dot + 1);
    return errorText;
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
    const StatementWait::TRun stoppable;
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

void TExecutor::ApplyDirective(TDirectiveKey key, const QString &value)
{
    switch (key) {
    case TDirectiveKey::Alias:
        m_db.Close();
        m_db.SetAliasName(value.trimmed());
        break;
    case TDirectiveKey::LiveAnswer:
        m_liveAnswer = value.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
        break;
    case TDirectiveKey::QueryName:
        m_queryName = value;
        break;
    }
}

bool TExecutor::RunScript(const QStringList &lines)
{
    m_query.Close();
    m_query.SQL.clear();
    m_startLine = 0;
    m_selectCount = 0;
    m_changed = m_liveAnswer = false;
    m_queryName.clear();
    m_errorText.clear();
    m_repaintClock.invalidate();

    for (const TScriptStep &step : SplitScript(lines)) {
        switch (step.Kind) {
        case TScriptStep::TKind::Directive:
            ApplyDirective(step.Key, step.Value);
            break;
        case TScriptStep::TKind::UnclosedComment:
            m_startLine = step.Line;
            m_errorText = QStringLiteral("ERROR:The comment opened on line %1 is not closed.")
                              .arg(step.Line + 1);
            return Fail();
        case TScriptStep::TKind::Statement:
            m_startLine = step.Line;
            // Stopped as the last statement ended: the next one does not start.
            if (StatementWait::StopRequested()) {
                m_errorText = StatementWait::CanceledText();
                return Fail();
            }
            Status(ExecutingText(lines[step.Line], step.Line), false);
            m_query.SQL = step.Sql;
            m_errorText.clear();
            if (!ExecuteStatement())
                return Fail();
            m_query.Close();
            m_query.SQL.clear();
            break;
        }
    }
    Status(QStringLiteral("SQL executed."), true);
    if (m_changed && m_host.Refresh)
        m_host.Refresh();
    return true;
}

bool TExecutor::ExecuteStatement()
{
    try {
        // Only a statement that returns rows may go to a result window: anything else would
        // be carried out there and then reported as a failure.
        const QString text = m_query.SQL.join(u'\n');
        const QString keyword = StatementKeyword(text);
        const bool query = IsQueryKeyword(keyword)
            || (!keyword.isEmpty() && m_db.Connection().ReturnsRows(keyword, text));
        if (query) {
            ++m_selectCount;
            m_query.Prepare();
            if (m_host.OpenResultWindow)
                m_host.OpenResultWindow(m_query.SQL, m_queryName, m_selectCount, m_liveAnswer);
            m_queryName.clear();
        } else {
            m_changed = true;
            m_query.ExecSQL();
        }
        return true;
    } catch (const EDatabaseError &e) {
        m_errorText = e.Message();
    } catch (const std::exception &e) {
        m_errorText = QString::fromUtf8(e.what());
    }
    // A stopped statement is the user's doing: the engine's words for it ("interrupted")
    // give way to the program's, unless the driver already said more (an aborted
    // transaction).
    if (!StatementWait::StopRequested())
        m_errorText.prepend(QStringLiteral("ERROR:"));
    else if (!m_errorText.startsWith(StatementWait::CanceledText()))
        m_errorText = StatementWait::CanceledText();
    return false;
}

bool TExecutor::Fail()
{
    m_query.Close();
    Status(m_errorText == StatementWait::CanceledText() ? m_errorText
                                                        : ErrorStatusText(m_errorText),
           true);
    if (m_host.SelectLine)
        m_host.SelectLine(m_startLine);
    if (m_host.FocusEditor)
        m_host.FocusEditor();
    // A connection the server dropped would fail every later run; a fresh one is made on
    // the next statement instead.
    if (m_db.Connected() && !m_db.Connection().Answers())
        m_db.Close();
    return false;
}
