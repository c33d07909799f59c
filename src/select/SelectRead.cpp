// WHERE conditions and reading a statement back into the model.

#include "DataSet.h"
#include "Select.h"
#include "SelectText.h"

#include <QDateTime>
#include <QSet>

namespace {

// A value for a field of that type as a literal of the engine. Dates are read in the
// user's notation too, and one that does not parse is an error rather than a text that
// silently compares with nothing.
QString ValueLiteral(const QString &value, TFieldType type, TSqlDialect dialect)
{
    if (type != ftDate && type != ftDateTime)
        return SqlLiteralOfText(value, type, dialect);
    const QString text = value.trimmed();
    const qsizetype blank = type == ftDateTime ? text.indexOf(u' ') : -1;
    const QDate date = DateOfUserText(blank < 0 ? text : text.left(blank));
    if (type == ftDate)
        return SqlLiteral(date, dialect);
    QTime time(0, 0);
    if (blank >= 0) {
        time = QTime::fromString(text.mid(blank + 1).trimmed(), Qt::ISODateWithMs);
        if (!time.isValid())
            throw ESelectError(QStringLiteral("'%1' is not a valid date").arg(value));
    }
    return SqlLiteral(QDateTime(date, time), dialect);
}

QString TrimRight(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() <= ' ')
        --end;
    return text.left(end);
}

// The field a condition tests, taken from the front of text. A condition that begins with
// a sign ("'x' = B", "$a", ":p") has its first word as its field: cut after the sign, the
// writer's blank would change what the engine reads.
QString ConditionField(QString &text)
{
    // A name with quoted parts (T1."Order ID", as the writer puts a prefix before "B") is
    // one field: cut at its quote, the rest would be the operator.
    qsizetype at = 0;
    while (at < text.size() && text.at(at).unicode() <= ' ')
        ++at;
    if (const qsizetype end = NamePathEnd(text, at);
        QStringView(text).sliced(at, end - at).contains(u'"')) {
        const QString field = text.mid(at, end - at);
        text.remove(0, end);
        return field;
    }
    QString rest = text;
    const QString token = NextToken(rest);
    // One character is a sign unless NextToken would keep it with what follows: a
    // character beyond ASCII that is no letter starts a name, after a table's name too.
    // "$" starts a parameter, whose name goes on over "::" ("$a::b" for SQLite).
    if (!token.startsWith(u'$') && (token.size() != 1 || IsIdentifierChar(token.front()))) {
        // A name qualified across blanks ("S  . T") is one field: a prefix before its
        // first part would make it another.
        QString field = token;
        const auto blanksFrom = [&rest](qsizetype at) {
            while (at < rest.size() && rest.at(at).unicode() <= ' ')
                ++at;
            return at;
        };
        for (qsizetype dot = blanksFrom(0); dot < rest.size() && rest.at(dot) == u'.';
             dot = blanksFrom(0)) {
            const qsizetype part = blanksFrom(dot + 1);
            QString after = rest.mid(part);
            const QString name = part < rest.size() && IsIdentifierChar(rest.at(part))
                ? NextToken(after)
                : QString();
            field += rest.left(part) + name;
            rest = name.isEmpty() ? rest.mid(part) : after;
        }
        text = rest;
        return field;
    }
    text = TrimText(text);
    // Quoted text in it ('a  b' = B, ~"x y") is passed over whole, blanks and all.
    qsizetype end = 0;
    while (end < text.size() && text.at(end).unicode() > ' ' && text.at(end) != u'{') {
        const qsizetype quoted = QuotedTextEnd(text, end);
        end = quoted > end ? quoted : end + 1;
    }
    const QString word = text.left(end);
    text.remove(0, end);
    return word;
}

// The SELECT list a "*" stands for: every field by name, unless two fields share a name
// (a self-join, or tables with a column of the same name). The names would then be
// ambiguous to the engine, or be the engine's own renamings ("A:1" in SQLite) that no
// statement can use, and the written statement would no longer run. So with a name that
// is no plain identifier: written bare it is cut ("Order ID"), and quoted it may name
// nothing, as the engine names a view's expression after its text as typed ("(1  )").
QString StarItems(const TCustomSelect &select)
{
    QSet<QString> seen;
    for (const TFieldDef &def : select.FieldDefs()) {
        if (!IsPlainIdentifier(def.Name, select.Dialect()))
            return QStringLiteral("*");
        const QString name = def.Name.toUpper();
        const qsizetype colon = name.lastIndexOf(u':');
        bool renamed = colon > 0 && colon + 1 < name.size();
        for (qsizetype i = colon + 1; renamed && i < name.size(); ++i)
            renamed = name.at(i).isDigit();
        if (seen.contains(name) || (renamed && seen.contains(name.left(colon))))
            return QStringLiteral("*");
        seen.insert(name);
    }
    return AllFieldNames(select);
}

} // namespace

qsizetype TWhereItem::PrefixAt() const
{
    // What follows the field counts too: "UPPER (B) = 'x'" calls a function UPPER.
    const qsizetype at = BareNameAt(FieldName + u' ' + Condition, 0);
    return at < FieldName.size() ? at : -1;
}

QString TWhereItem::GetLine(const QString &prefix) const
{
    const bool bare = !prefix.isEmpty() && PrefixAt() >= 0;
    QString line = u'\t' + (bare ? prefix : QString()) + FieldName + u' ' + Condition;
    if (!Connector.isEmpty())
        line += u' ' + Connector;
    return line;
}

void TWhere::Add(const QString &fieldName, const QString &op, const QString &value,
                 const QString &connector)
{
    QString written;
    if (!value.isEmpty()) {
        const TFieldType type = Owner()->FieldType(fieldName);
        if (type == ftUnknown)
            throw ESelectError(QStringLiteral("Field ") + fieldName
                               + QStringLiteral(" not found."));
        written = ValueLiteral(value, type, Owner()->Dialect());
    }
    if (!IsEmpty() && Last()->Connector.isEmpty())
        Last()->Connector = QStringLiteral("AND");
    Append(std::make_unique<TWhereItem>(fieldName, op + u' ' + written, connector));
}

void TSelect::Read(int clauses)
{
    const TClauses text = ReadClauses(Query()->SQL);
    QStringList entries;
    // Join conditions from FROM ... ON, each closed by "}", read ahead of the WHERE text.
    QString joins;

    // Without a table the model would write "FROM" over nothing, and without a SELECT list
    // it would write "*" in place of what the statement asks for: statements it cannot hold.
    if ((clauses & scFrom) && TrimText(text.From).isEmpty())
        throw ESelectError(QStringLiteral("Cannot read query without FROM."));
    if ((clauses & scSelect) && TrimText(text.Select).isEmpty())
        throw ESelectError(QStringLiteral("Cannot read query without SELECT list."));
    if ((clauses & scFrom) && text.OuterJoin)
        throw ESelectError(QStringLiteral("Cannot read outer join."));
    if (text.Subquery)
        throw ESelectError(QStringLiteral("Cannot read subquery."));
    // The model holds one statement: the words of the next would join this one's clauses.
    if (text.Statements)
        throw ESelectError(QStringLiteral("Cannot read more than one statement."));
    if (text.ParameterSuffix)
        throw ESelectError(QStringLiteral("Cannot read parameter with parentheses."));
    if (clauses & scFrom) {
        TableName.clear();
        SplitText(entries, text.From, u',');
        for (QString entry : entries) {
            // The blank before an ON would come back as the end of the FROM list once the
            // join is written as a condition: it goes, so a statement read twice reads alike.
            const bool on = IndexOutsideQuotes(entry, u'{', 0) >= 0;
            const QString table = CutAtBrace(entry);
            if (!TableName.isEmpty())
                TableName += u',';
            TableName += on ? TrimRight(table) : table;
            if (!entry.isEmpty())
                joins += entry + u'}';
        }
    }
    if (clauses & scWhere) {
        SplitText(entries, joins + text.Where, u'}');
        for (QString entry : entries) {
            const QString field = ConditionField(entry);
            // The blanks around the operator text are the writer's, added again when it
            // writes; kept, they would grow with every reading of what was written.
            const QString op = TrimText(CutAtBrace(entry));
            Where.Add(field, op, QString(), entry);
        }
    }
    // Items are kept without the blank the scanner leaves after each ",": "A,B" and the
    // "A, B" it is read as once written item by item are then the same items.
    if (clauses & scSelect) {
        SplitText(entries, text.Select == u"*" ? StarItems(*this) : text.Select, u',');
        for (const QString &entry : entries)
            Fields.Add(TrimText(entry));
    }
    if (clauses & scGroupBy) {
        SplitText(entries, text.Group, u',');
        for (const QString &entry : entries)
            GroupBy.Add(TrimText(entry));
    }
    if (clauses & scOrderBy) {
        SplitText(entries, text.Order, u',');
        for (const QString &entry : entries)
            OrderBy.Add(TrimText(entry));
    }
}
