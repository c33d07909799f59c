#include "EditorLogic.h"

#include "TreeLogic.h"

#include <QDir>

QString CaretStatusText(int caretLine, int caretCol, int lineLength)
{
    return QStringLiteral("Line:%1, Char:%2/%3").arg(caretLine + 1).arg(caretCol).arg(lineLength);
}

std::optional<int> GotoLineTarget(const QString &text, int caretLine)
{
    QString t = text.trimmed();
    int sign = 0;
    if (t.startsWith(u'+') || t.startsWith(u'-')) {
        sign = t.startsWith(u'+') ? 1 : -1;
        t.remove(0, 1);
    }
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const qlonglong target = sign ? caretLine + sign * n : n - 1;
    return int(std::clamp<qlonglong>(target, INT_MIN, INT_MAX));
}

int ClampLine(int line, int lineCount)
{
    return std::clamp(line, 0, std::max(lineCount - 1, 0));
}

QString FindCmdProposal(bool editorActive, int nodeKind, const QString &nodeText,
                        const QString &lastFind)
{
    if (editorActive)
        return lastFind;
    switch (nodeKind) {
    case nkTable:
        return QStringLiteral("CREATE TABLE ") + nodeText;
    case nkField: {
        // "NAME: TYPE" becomes "NAME TYPE", as the column stands in a CREATE TABLE.
        QString text = nodeText;
        const qsizetype colon = text.indexOf(u':');
        if (colon >= 0)
            text.remove(colon, 1);
        return text;
    }
    case nkIndex:
        return QStringLiteral("CREATE INDEX ") + nodeText;
    case nkPrimaryField:
        return QStringLiteral("PRIMARY KEY ") + nodeText.section(u':', 0, 0).trimmed();
    default:
        return lastFind;
    }
}

bool FindCmdMatches(const QString &line, const QString &text, const TFindCmdOptions &options)
{
    const Qt::CaseSensitivity cs = options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QStringList words = text.split(u' ');
    qsizetype from = 0;
    for (const QString &word : words) {
        if (word.isEmpty())
            return false;
        const qsizetype at = line.indexOf(word, from, cs);
        if (at < 0)
            return false;
        from = at + word.size();
    }
    return !options.wholeWords || line.contains(words.first() + u' ', cs);
}

int FindCmdLine(const QStringList &lines, const QString &text, int startLine,
                const TFindCmdOptions &options)
{
    if (lines.isEmpty())
        return -1;
    int i = startLine >= 0 && startLine < lines.size() ? startLine : 0;
    const int step = options.backward ? -1 : 1;
    for (; i >= 0 && i < lines.size(); i += step)
        if (FindCmdMatches(lines[i], text, options))
            return i;
    return -1;
}

QStringList QuickTourCandidates(const QString &dataFolder, const QString &executableFolder)
{
    const QDir exe(executableFolder);
    return {QDir(dataFolder).filePath(QStringLiteral("Help/index.htm")),
            QDir::cleanPath(exe.filePath(QStringLiteral("../share/orvane/Help/index.htm"))),
            exe.filePath(QStringLiteral("Help/index.htm"))};
}

QString QuickTourMissingText(const QString &path)
{
    return QStringLiteral("File \"") + path + QStringLiteral("\" not found.");
}
