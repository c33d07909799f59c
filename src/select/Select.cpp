#include "Select.h"
#include "DataSet.h"
#include "SelectText.h"
#include "SqlText.h"

#include <algorithm>

namespace {

// Field definitions of the query's result. An open query answers from its open result and
// is not disturbed; a closed one is only prepared, which runs and fetches nothing. It is
// never opened to learn its fields: the text may be an UPDATE or DELETE, and reading a
// statement must not change a row. A text that preparing finds no fields for has none.
QList<TFieldDef> ReadFieldDefs(TQuery &query)
{
    if (!query.Active())
        query.Prepare();
    QList<TFieldDef> defs;
    for (const TField &f : query.Fields())
        defs.append({f.FieldName, f.DataType, f.Size, f.Required});
    return defs;
}

// A name written in double quotes as the name itself; other text unchanged.
QString UnquotedName(const QString &text)
{
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        return text.mid(1, text.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
    return text;
}

// True for one identifier in double quotes, as the name helpers write a name that is not
// plain ("Order ID", "a""b").
bool IsQuotedName(const QString &text)
{
    if (text.size() < 2 || !text.startsWith(u'"') || !text.endsWith(u'"'))
        return false;
    for (qsizetype i = 1; i < text.size() - 1; ++i)
        if (text[i] == u'"' && (i + 1 >= text.size() - 1 || text[++i] != u'"'))
            return false;
    return true;
}

TQuery *RequireQuery(TQuery *query)
{
    if (!query)
        throw ESelectError(QStringLiteral("The select has no query."));
    return query;
}

TQuery *RequireText(TQuery *query)
{
    const QString text = RequireQuery(query)->SQL.join(u'\n');
    if (TrimText(text).isEmpty())
        throw ESelectError(QStringLiteral("Cannot read empty query."));
    RequireNoNul(text);
    return query;
}

} // namespace

QString TSQLField::GetLine(const QString &prefix) const
{
    QString line = Text + Separator;
    if (const qsizetype at = PrefixAt(); !prefix.isEmpty() && at >= 0)
        line.insert(at, prefix);
    return u'\t' + line;
}

qsizetype TSQLField::PrefixAt() const
{
    return Text.contains(u'*') ? -1 : BareNameAt(Text, Text.indexOf(u'(') + 1);
}

QString TSQLField::PrefixedName() const
{
    const qsizetype at = PrefixAt();
    return at < 0 ? QString() : Text.mid(at, NamePathEnd(Text, at) - at);
}

TSQLField *TCustomSQLFields::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw ESelectError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_items[size_t(index)].get();
}

void TCustomSQLFields::Exchange(int index1, int index2)
{
    Items(index1); // throws for an index outside the list
    Items(index2);
    std::swap(m_items[size_t(index1)], m_items[size_t(index2)]);
}

void TSQLFields::Add(const QString &text)
{
    QString s = TrimText(text);
    if (IsQuotedName(s)) {
        if (Owner()->FieldType(s) == ftUnknown)
            throw ESelectError(QStringLiteral("Field ") + UnquotedName(s)
                               + QStringLiteral(" not found."));
        if (!IsEmpty())
            Last()->Separator = QStringLiteral(",");
        Append(std::make_unique<TSQLField>(text));
        return;
    }
    if (const qsizetype dot = s.indexOf(u'.'); dot >= 0) {
        s = s.mid(dot + 1);
    } else if (const qsizetype paren = s.indexOf(u'('); paren >= 0) {
        s = s.mid(paren + 1);
    } else {
        const QString first = NextToken(s);
        if (first.compare(QLatin1String("DISTINCT"), Qt::CaseInsensitive) != 0)
            s = first;
    }
    // Only a lone name is checked: what is left after it means a call or an expression.
    if (!s.startsWith(u'*')) {
        const QString name = NextToken(s);
        // A number is a literal, not a name: only a result column could be named so.
        const bool literal = !name.isEmpty() && name.front().isDigit();
        if (s.isEmpty() && !literal && Owner()->FieldType(name) == ftUnknown)
            throw ESelectError(QStringLiteral("Field ") + name + QStringLiteral(" not found."));
    }
    if (!IsEmpty())
        Last()->Separator = QStringLiteral(",");
    Append(std::make_unique<TSQLField>(text));
}

TCustomSelect::TCustomSelect(TQuery *query)
    : TableName(FirstTableName(*RequireQuery(query)))
    , Fields(this)
    , Where(this)
    , m_query(query)
    , m_dialect(DialectOfDatabase(*query->Session(), query->DatabaseName))
    , m_fieldDefs(ReadFieldDefs(*query))
{}

QString TCustomSelect::Prefix() const
{
    const QString table = TrimText(TableName);
    return IsNamePath(table) ? table + u'.' : QString();
}

void TCustomSelect::WriteItems(TCustomSQLFields &items, int &remaining, QStringList &lines,
                               const QString &separator)
{
    // More items of this clause follow from joined selects: the last one here needs its
    // separator (an OR already there stays).
    if (!items.IsEmpty() && items.Count() < remaining && items.Last()->Separator.isEmpty())
        items.Last()->Separator = separator;
    const QString prefix = Prefix();
    // Without a prefix there is no name to keep it off.
    const QStringList itemNames = prefix.isEmpty() ? QStringList() : ItemNames();
    for (int i = 0; i < items.Count(); ++i) {
        const TSQLField *item = items.Items(i);
        bool bare = prefix.isEmpty();
        if (!bare) {
            // SQLite reads a double-quoted word that names no field as a string, and a name
            // the SELECT list gives an item as that item: a prefix would make either a field
            // that does not exist.
            const QString name = item->PrefixedName();
            bare = (name.startsWith(u'"') && FieldType(name) == ftUnknown)
                || itemNames.contains(UnquotedName(name), Qt::CaseInsensitive);
        }
        lines << item->GetLine(bare ? QString() : prefix);
    }
    remaining -= items.Count();
}

QStringList TCustomSelect::ItemNames() const
{
    QStringList names;
    for (int i = 0; i < Fields.Count(); ++i) {
        // The last name of the item, when an expression stands before it: "A AS x", "A x",
        // "COUNT(*) n", A"x"; not "T1.x", "max", "A+x", "DISTINCT x" or a name alone.
        const QString item = TrimText(Fields.Items(i)->Text);
        qsizetype at = item.size() - 1;
        const bool quoted = item.endsWith(u'"');
        if (quoted) {
            // Back to the quote that opens the name, over the quotes doubled inside it.
            --at;
            while (at >= 0 && (item.at(at) != u'"' || (at > 0 && item.at(at - 1) == u'"')))
                at -= item.at(at) == u'"' ? 2 : 1;
        } else {
            while (at >= 0 && IsNameChar(item.at(at)))
                --at;
            ++at;
        }
        // Nothing before it, or quotes that open no name (A """, typed as an item).
        if (at <= 0 || at >= item.size())
            continue;
        const QString head = TrimText(item.left(at));
        if (head.isEmpty() || head.compare(QLatin1String("DISTINCT"), Qt::CaseInsensitive) == 0
            || head.compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0)
            continue;
        const QChar before = item.at(at - 1);
        if (quoted ? before != u'.'
                   : before.unicode() <= ' ' || before == u')' || before == u'\'' || before == u'"')
            names << UnquotedName(item.mid(at)); // "x" and x are the same name
    }
    return names;
}

void TCustomSelect::WriteSelect(int &remaining, QStringList &lines)
{
    WriteItems(Fields, remaining, lines, QStringLiteral(","));
}

void TCustomSelect::WriteFrom(int &remaining, QStringList &lines)
{
    lines << u'\t' + TableName + (remaining > 1 ? QStringLiteral(",") : QString());
    --remaining;
}

void TCustomSelect::WriteWhere(int &remaining, QStringList &lines)
{
    WriteItems(Where, remaining, lines, QStringLiteral("AND"));
}

TFieldType TCustomSelect::FieldType(const QString &name) const
{
    // Qt gives the result's columns without their double quotes: a column of "" (a string
    // to SQLite, or a name of quotes alone) comes as an empty name, which names nothing.
    const QString trimmed = UnquotedName(TrimText(name));
    if (trimmed.isEmpty())
        return ftUnknown;
    for (const TFieldDef &def : m_fieldDefs)
        if (def.Name.compare(trimmed, Qt::CaseInsensitive) == 0)
            return def.DataType;
    return ftUnknown;
}

TSelect::TSelect(TQuery *query)
    : TCustomSelect(query)
    , OrderBy(this)
    , GroupBy(this)
{}

TSelect::TSelect(TQuery *query, int clauses)
    : TSelect(RequireText(query))
{
    Read(clauses);
}

TSelect::~TSelect()
{
    if (m_parent)
        m_parent->Detach(this);
    for (const std::unique_ptr<TSelect> &child : m_owned)
        child->m_parent = nullptr;
    m_owned.clear();
}

void TSelect::Detach(TSelect *child)
{
    auto joinsEnd = std::remove(m_joins.begin(), m_joins.begin() + m_joinCount, child);
    std::fill(joinsEnd, m_joins.end(), nullptr);
    m_joinCount = int(joinsEnd - m_joins.begin());
    for (auto it = m_owned.begin(); it != m_owned.end(); ++it) {
        if (it->get() == child) {
            (void)it->release(); // the child is being destroyed by whoever deletes it
            m_owned.erase(it);
            break;
        }
    }
    child->m_parent = nullptr;
}

void TSelect::FreeTree()
{
    delete this;
}

int TSelect::SelectCount() const
{
    int n = TCustomSelect::SelectCount();
    for (int i = 0; i < m_joinCount; ++i)
        n += m_joins[i]->SelectCount();
    return n;
}

int TSelect::TableCount() const
{
    int n = TCustomSelect::TableCount();
    for (int i = 0; i < m_joinCount; ++i)
        n += m_joins[i]->TableCount();
    return n;
}

int TSelect::WhereCount() const
{
    int n = TCustomSelect::WhereCount();
    for (int i = 0; i < m_joinCount; ++i)
        n += m_joins[i]->WhereCount();
    return n;
}

int TSelect::GroupCount() const
{
    int n = GroupBy.Count();
    for (int i = 0; i < m_joinCount; ++i)
        n += m_joins[i]->GroupCount();
    return n;
}

int TSelect::OrderCount() const
{
    int n = OrderBy.Count();
    for (int i = 0; i < m_joinCount; ++i)
        n += m_joins[i]->OrderCount();
    return n;
}

void TSelect::WriteSelect(int &remaining, QStringList &lines)
{
    TCustomSelect::WriteSelect(remaining, lines);
    for (int i = 0; i < m_joinCount; ++i)
        m_joins[i]->WriteSelect(remaining, lines);
}

void TSelect::WriteFrom(int &remaining, QStringList &lines)
{
    TCustomSelect::WriteFrom(remaining, lines);
    for (int i = 0; i < m_joinCount; ++i)
        m_joins[i]->WriteFrom(remaining, lines);
}

void TSelect::WriteWhere(int &remaining, QStringList &lines)
{
    TCustomSelect::WriteWhere(remaining, lines);
    for (int i = 0; i < m_joinCount; ++i)
        m_joins[i]->WriteWhere(remaining, lines);
}

void TSelect::WriteGroupBy(int &remaining, QStringList &lines)
{
    WriteItems(GroupBy, remaining, lines, QStringLiteral(","));
    for (int i = 0; i < m_joinCount; ++i)
        m_joins[i]->WriteGroupBy(remaining, lines);
}

void TSelect::WriteOrderBy(int &remaining, QStringList &lines)
{
    WriteItems(OrderBy, remaining, lines, QStringLiteral(","));
    for (int i = 0; i < m_joinCount; ++i)
        m_joins[i]->WriteOrderBy(remaining, lines);
}

TFieldType TSelect::FieldType(const QString &name) const
{
    if (const TFieldType own = TCustomSelect::FieldType(name); own != ftUnknown)
        return own;
    for (int i = 0; i < m_joinCount; ++i)
        if (const TFieldType t = m_joins[i]->FieldType(name); t != ftUnknown)
            return t;
    return ftUnknown;
}

bool TSelect::IsInTreeAbove(const TSelect *other) const
{
    for (const TSelect *s = this; s; s = s->m_parent)
        if (s == other)
            return true;
    return false;
}

void TSelect::AddJoin(TSelect *other, const QString &leftField, const QString &rightField)
{
    // A select joined under two parents, or into its own tree, would be written without
    // end and freed twice.
    if (leftField.isEmpty() || rightField.isEmpty() || !other || IsInTreeAbove(other)
        || (other->m_parent && other->m_parent != this))
        throw ESelectError(QStringLiteral("Cannot perform join."));
    const TFieldType left = TCustomSelect::FieldType(leftField);
    if (left == ftUnknown)
        throw ESelectError(QStringLiteral("Field ") + leftField + QStringLiteral(" not found."));
    const TFieldType right = other->FieldType(rightField);
    if (right == ftUnknown)
        throw ESelectError(QStringLiteral("Field ") + rightField + QStringLiteral(" not found."));
    if (left != right)
        throw ESelectError(QStringLiteral("Incompatible field types."));
    if (m_joinCount == MaxJoins)
        throw ESelectError(QStringLiteral("Join overflow."));

    Where.Add(leftField, QStringLiteral("= ") + other->TableName + u'.' + rightField, QString(),
              QString());
    m_joins[size_t(m_joinCount++)] = other;
    if (!other->m_parent) {
        m_owned.emplace_back(other);
        other->m_parent = this;
    }
}

void TSelect::AddJoin(std::unique_ptr<TSelect> &other, const QString &leftField,
                      const QString &rightField)
{
    AddJoin(other.get(), leftField, rightField);
    (void)other.release();
}

void TSelect::Write()
{
    QStringList lines {QStringLiteral("SELECT")};
    if (int remaining = SelectCount(); remaining != 0)
        WriteSelect(remaining, lines);
    else
        // Indented like an item: a "*" right under the keyword would run into it when read.
        lines << QStringLiteral("\t*");
    lines << QStringLiteral("FROM");
    int tables = TableCount();
    WriteFrom(tables, lines);
    if (int remaining = WhereCount(); remaining > 0) {
        lines << QStringLiteral("WHERE");
        WriteWhere(remaining, lines);
    }
    if (int remaining = GroupCount(); remaining > 0) {
        lines << QStringLiteral("GROUP BY");
        WriteGroupBy(remaining, lines);
    }
    if (int remaining = OrderCount(); remaining > 0) {
        lines << QStringLiteral("ORDER BY");
        WriteOrderBy(remaining, lines);
    }
    Query()->SQL = lines;
}

QString AllFieldNames(const TCustomSelect &select)
{
    QStringList names;
    for (const TFieldDef &def : select.FieldDefs())
        names << def.Name;
    return names.join(u',');
}

QString FirstTableName(const TQuery &query)
{
    return FirstTableName(query.SQL);
}
