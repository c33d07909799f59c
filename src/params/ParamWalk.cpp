#include "ParamWalk.h"

#include "IniFile.h"
#include "Settings.h"

TParamKind ParamKindOf(const QString &name)
{
    const QString upper = name.toUpper();
    if (upper == u"TABLENAME")
        return TParamKind::Table;
    if (upper == u"FIELDNAME")
        return TParamKind::Field;
    if (upper == u"FIELDTYPE")
        return TParamKind::Type;
    if (upper == u"WHERE")
        return TParamKind::Where;
    return TParamKind::Free;
}

QStringList TypeParamItems()
{
    return {
        QStringLiteral("AUTO INC"), QStringLiteral("BIT"),      QStringLiteral("CHAR(<Size>)"),
        QStringLiteral("DATE"),     QStringLiteral("FLOAT"),    QStringLiteral("INTEGER"),
        QStringLiteral("MEMO"),     QStringLiteral("SMALLINT"), QStringLiteral("VARCHAR(<Size>)")};
}

bool NextPlaceholder(const QString &line, int from, int &open, int &close)
{
    open = -1;
    close = -1;
    for (int j = from; j < line.size(); ++j) {
        if (line[j] == u'<')
            open = j;
        else if (line[j] == u'>')
            close = j;
        // An empty name ("<>") keeps its "<" open for a later ">".
        if (open >= 0 && close >= 0 && open < close && close - open > 1)
            return true;
    }
    open = -1;
    close = -1;
    return false;
}

bool ParamWalk(QStringList &lines, int startLine, QStringList &remembered, const TAskParam &ask,
               const TLineWritten &written, const TParamText &text)
{
    bool newStatement = true;
    QString caption;
    for (int i = std::max(startLine, 0); i < lines.size(); ++i) {
        // Replaced in place: a copy would be made again for each placeholder of the line.
        QString &line = lines[i];
        int from = 0;
        int open = -1;
        int close = -1;
        while (NextPlaceholder(line, from, open, close)) {
            const QString name = line.mid(open + 1, close - open - 1);
            const bool secret = IsSecretParam(name);
            // The login's remembered password sits in the same list: never proposed.
            QString value = secret ? QString() : RememberedValue(remembered, name);
            if (newStatement) {
                caption = line.left(open).trimmed();
                newStatement = false;
            }
            if (!ask(caption, name, value))
                return false;
            const QString put = text ? text(name, value) : value;
            line.replace(open, close - open + 1, put);
            if (written)
                written(i, line);
            if (!secret)
                SetRememberedValue(remembered, name, value);
            // What was written is scanned too, but from just after its start: a value that
            // begins with "<" ("<=", "<>") must not open a placeholder with a later ">". An
            // empty text leaves the text after the placeholder there, to be scanned whole.
            from = put.isEmpty() ? open : open + 1;
        }
        if (!newStatement && line.contains(u';'))
            newStatement = true;
    }
    return true;
}

bool IsSecretParam(const QString &name)
{
    return name.startsWith(QStringLiteral("Password_"), Qt::CaseInsensitive);
}

QString NewParamName(int counter)
{
    return QStringLiteral("Param") + QString::number(counter);
}

QString ParamHistorySection(const QString &name)
{
    return Ini::ValuesOfParamPrefix + name.toUpper();
}

QStringList ParamHistory(const TIniFile &ini, const QString &name)
{
    if (IsSecretParam(name))
        return {};
    return ini.ReadSection(ParamHistorySection(name));
}

bool AddParamHistory(TIniFile &ini, const QString &name, const QString &value)
{
    const QString key = value.trimmed();
    if (IsSecretParam(name) || key.isEmpty() || key != value || key.contains(u'=')
        || key.contains(u'\n') || key.contains(u'\r') || key.startsWith(u';')
        || key.startsWith(u'#'))
        return false;
    ini.WriteString(ParamHistorySection(name), key, QString());
    return true;
}
