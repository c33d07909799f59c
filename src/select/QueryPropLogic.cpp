#include "QueryPropLogic.h"
#include "DataSet.h"
#include "Select.h"
#include "SelectText.h"

namespace {

bool BeginsWith(const QString &text, const QString &start)
{
    return text.startsWith(start, Qt::CaseInsensitive);
}

// The names a FROM item is known by in qualified items: the table, and its correlation
// name when it has one ("ORDERS o", "ORDERS AS o").
QStringList QualifierNames(const QString &fromItem)
{
    const QStringList words = TrimText(fromItem).split(u' ', Qt::SkipEmptyParts);
    QStringList names {TrimText(fromItem)};
    if (words.size() > 1) {
        names = QStringList {words.first()};
        if (words.size() == 2
            || (words.size() == 3 && words.at(1).compare(u"AS", Qt::CaseInsensitive) == 0))
            names << words.last();
    }
    return names;
}

// True when text qualifies a name with qualifier anywhere ("T.x", "MAX(T.x)", "a.k = T.k"),
// not where the qualifier is only the end of a longer name ("Tab.x", "xT.y").
bool UsesQualifier(const QString &text, const QString &qualifier)
{
    const QString prefix = qualifier + u'.';
    for (qsizetype at = text.indexOf(prefix, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(prefix, at + 1, Qt::CaseInsensitive)) {
        const QChar before = at > 0 ? text.at(at - 1) : QChar(u' ');
        if (!before.isLetterOrNumber() && before != u'_' && before != u'.' && before != u'"')
            return true;
    }
    return false;
}

QString WhereItemText(const TWhereItem &item)
{
    QStringList parts;
    for (const QString &part : {item.FieldName, item.Condition, item.Connector})
        if (const QString p = TrimText(part); !p.isEmpty())
            parts << p;
    return parts.join(u' ');
}

} // namespace

QString ClauseCaption(int image)
{
    static const char *const captions[] = {"Select", "From", "Where", "Group By", "Order By"};
    return image >= piSelect && image <= piOrderBy ? QString::fromLatin1(captions[image])
                                                   : QString();
}

namespace {

// Where a WHERE item's trailing AND or OR begins (its blank); the text's size when it has
// none. The connector is looked for among the text's last four characters.
qsizetype ConnectorAt(const QString &text)
{
    const qsizetype blank = text.lastIndexOf(u' ');
    if (blank >= 0 && blank >= text.size() - 4) {
        const QString word = text.mid(blank + 1);
        if (word.compare(u"AND", Qt::CaseInsensitive) == 0
            || word.compare(u"OR", Qt::CaseInsensitive) == 0)
            return blank;
    }
    return text.size();
}

} // namespace

QString SettleConnector(const QString &item, bool lastOfClause)
{
    const qsizetype at = ConnectorAt(item);
    QString connector = item.mid(at + 1).toUpper();
    if (lastOfClause)
        connector.clear();
    else if (connector.isEmpty())
        connector = QStringLiteral("AND");
    return item.left(at) + u' ' + connector;
}

bool TQueryPropTree::IsItem(int index) const
{
    return index >= 0 && index < Count() && m_nodes[index].Image == piItem;
}

int TQueryPropTree::ParentOf(int index) const
{
    if (!IsItem(index))
        return -1;
    while (index >= 0 && m_nodes[index].Image == piItem)
        --index;
    return index;
}

int TQueryPropTree::LastChildOf(int clause) const
{
    int last = clause;
    while (IsItem(last + 1))
        ++last;
    return last;
}

void TQueryPropTree::Select(int index)
{
    m_selected = index >= 0 && index < Count() ? index : -1;
    if (!m_updating && IsItem(m_selected))
        m_lastPos = {m_nodes[ParentOf(m_selected)].Image, m_nodes[m_selected].Text};
}

void TQueryPropTree::Clear()
{
    m_nodes.clear();
    m_selected = -1;
}

bool TQueryPropTree::Load(TQuery &query, QString &error)
{
    m_updating = true;
    Clear();
    error.clear();
    try {
        TSelect select(&query, TSelect::AllClauses);
        const auto addAll = [this](const TCustomSQLFields &items, int image) {
            if (items.IsEmpty())
                return;
            const int clause = AddClause(ClauseCaption(image), image);
            for (int i = 0; i < items.Count(); ++i)
                AddItem(clause,
                        image == piWhere ? WhereItemText(*static_cast<TWhereItem *>(items.Items(i)))
                                         : items.Items(i)->Text);
        };
        addAll(select.Fields, piSelect);
        QStringList tables;
        SplitText(tables, select.TableName, u',');
        tables.removeIf([](const QString &t) { return TrimText(t).isEmpty(); });
        if (!tables.isEmpty()) {
            const int clause = AddClause(ClauseCaption(piFrom), piFrom);
            for (const QString &table : tables)
                AddItem(clause, table);
        }
        addAll(select.Where, piWhere);
        addAll(select.GroupBy, piGroupBy);
        addAll(select.OrderBy, piOrderBy);
    } catch (const EDatabaseError &e) {
        Clear();
        error = QStringLiteral("ERROR:") + e.Message();
        return false; // still updating: the failed load keeps the last position
    }
    m_selected = -1;
    int at = FindClause(m_lastPos.ClauseIndex);
    if (!m_lastPos.ItemText.isEmpty())
        at = FindNodeText(m_lastPos.ItemText, at);
    m_selected = at;
    m_updating = false;
    return true;
}

int TQueryPropTree::FindClause(int image)
{
    if (m_selected >= 0 && m_nodes[m_selected].Image == image)
        return m_selected;
    for (int i = 0; i < Count(); ++i)
        if (m_nodes[i].Image == image) {
            Select(i);
            return i;
        }
    return -1;
}

int TQueryPropTree::FindNodeText(const QString &text, int start) const
{
    if (start < 0) {
        for (int i = 0; i < Count(); ++i)
            if (BeginsWith(m_nodes[i].Text, text))
                return i;
        return -1;
    }
    if (start >= Count())
        return -1;
    // Only the items of the clause: a clause caption is no item ("F" would find "From").
    const int clause = IsItem(start) ? ParentOf(start) : start;
    for (int i = IsItem(start) ? start : start + 1; IsItem(i) && ParentOf(i) == clause; ++i)
        if (BeginsWith(m_nodes[i].Text, text))
            return i;
    return -1;
}

int TQueryPropTree::AddClause(const QString &caption, int image)
{
    int before = -1;
    for (int next = image + 1; next <= piOrderBy && before < 0; ++next)
        before = FindClause(next);
    const TPropNode node {image, TrimText(caption)};
    if (before < 0) {
        m_nodes.append(node);
        return Count() - 1;
    }
    m_nodes.insert(before, node);
    if (m_selected >= before)
        ++m_selected;
    return before;
}

int TQueryPropTree::AddItem(int clause, const QString &text)
{
    const int at = LastChildOf(clause) + 1;
    m_nodes.insert(at, {piItem, TrimText(text)});
    if (m_selected >= at)
        ++m_selected;
    return at;
}

bool TQueryPropTree::Add(const QString &text)
{
    if (TrimText(text).isEmpty() || m_selected < 0)
        return false;
    const bool item = IsItem(m_selected);
    const int kind = item ? m_nodes[ParentOf(m_selected)].Image : m_nodes[m_selected].Image;
    const int clause = item ? ParentOf(m_selected) : m_selected;
    if (FindNodeText(text, clause) >= 0)
        return false;
    const qsizetype dot = text.indexOf(u'.');
    if ((kind == piSelect || kind == piGroupBy || kind == piOrderBy) && dot >= 0) {
        const QString table = TrimText(text.left(dot));
        int from = -1;
        for (int i = 0; i < Count() && from < 0; ++i)
            if (m_nodes[i].Image == piFrom)
                from = i;
        if (from >= 0 && !table.isEmpty() && FindNodeText(table, from) < 0)
            AddItem(from, table);
    }
    // The clause may have moved down when FROM grew above it.
    const int owner = IsItem(m_selected) ? ParentOf(m_selected) : m_selected;
    const int added = AddItem(owner, text);
    if (!item)
        Select(added);
    return true;
}

bool TQueryPropTree::Drop()
{
    if (!IsItem(m_selected))
        return false;
    const int clause = ParentOf(m_selected);
    const bool fromItem = m_nodes[clause].Image == piFrom;
    const QStringList names = QualifierNames(m_nodes[m_selected].Text);
    m_nodes.removeAt(m_selected);
    m_selected = clause;
    if (fromItem) {
        for (int i = 0; i < Count();) {
            // A condition that joins the table goes with it too, wherever it names it.
            bool qualified = false;
            for (const QString &name : names)
                qualified = qualified || UsesQualifier(m_nodes[i].Text, name);
            if (!qualified || !IsItem(i)) {
                ++i;
                continue;
            }
            m_nodes.removeAt(i);
            if (m_selected > i)
                --m_selected;
        }
    }
    return true;
}

bool TQueryPropTree::Edit(const QString &text)
{
    if (!IsItem(m_selected) || TrimText(text).isEmpty())
        return false;
    m_nodes[m_selected].Text = text;
    m_lastPos.ItemText = text;
    return true;
}

void TQueryPropTree::Exchange(int index1, int index2)
{
    QString &a = m_nodes[index1].Text;
    QString &b = m_nodes[index2].Text;
    if (m_nodes[ParentOf(index1)].Image != piWhere) {
        std::swap(a, b);
        return;
    }
    // The conditions change places, the connectors between them stay: moving "x OR" above
    // "y" gives "y OR" and "x", not a statement that asks for both.
    const qsizetype atA = ConnectorAt(a), atB = ConnectorAt(b);
    const QString bodyA = a.left(atA), connectorA = a.mid(atA);
    a = b.left(atB) + connectorA;
    b = bodyA + b.mid(atB);
}

bool TQueryPropTree::Up()
{
    if (!IsItem(m_selected) || !IsItem(m_selected - 1))
        return false;
    Exchange(m_selected, m_selected - 1);
    Select(m_selected - 1);
    return true;
}

bool TQueryPropTree::Down()
{
    if (!IsItem(m_selected) || !IsItem(m_selected + 1))
        return false;
    Exchange(m_selected, m_selected + 1);
    Select(m_selected + 1);
    return true;
}

void TQueryPropTree::ClauseCommand(const QString &caption, int image)
{
    int node = FindClause(image);
    if (node < 0)
        node = AddClause(caption, image);
    Select(node);
}

QStringList TQueryPropTree::Write() const
{
    QStringList lines;
    for (int i = 0; i < Count(); ++i) {
        if (!IsItem(i))
            continue;
        const int clause = ParentOf(i);
        if (clause == i - 1)
            lines << m_nodes[clause].Text.toUpper();
        const bool last = !IsItem(i + 1);
        const QString &text = m_nodes[i].Text;
        if (m_nodes[clause].Image == piWhere)
            lines << u'\t' + SettleConnector(text, last);
        else
            lines << u'\t' + text + (last ? QString() : QStringLiteral(","));
    }
    return lines;
}

QString ComparisonForm(const QString &text)
{
    QString form;
    form.reserve(text.size());
    for (const QChar c : text)
        if (c != u'\t' && c != u'\n' && c != u'\r' && c != u' ')
            form += c.toUpper();
    return form;
}

namespace {

// The text after "KEY:" up to the end of the comment text; empty when the key is missing.
bool DirectiveValue(const QString &comment, const QString &key, QString &value)
{
    const qsizetype at = comment.indexOf(key + u':', 0, Qt::CaseInsensitive);
    if (at < 0)
        return false;
    value = TrimText(comment.mid(at + key.size() + 1));
    return true;
}

} // namespace

TStatementSpot LocateStatement(const QStringList &lines, int caretLine)
{
    TStatementSpot spot;
    caretLine = std::min(caretLine, int(lines.size()) - 1);
    int selectLine = -1;
    bool inComment = false;
    bool aliasSeen = false;
    for (int l = caretLine; l >= 0; --l) {
        const QString &line = lines[l];
        QString code = line;
        if (const qsizetype close = line.lastIndexOf(QLatin1String("*/")); close >= 0) {
            inComment = true;
            code = line.mid(close + 2);
        } else if (inComment) {
            code.clear();
        }
        if (inComment) {
            const qsizetype close = line.indexOf(QLatin1String("*/"));
            const qsizetype open = line.lastIndexOf(QLatin1String("/*"), close < 0 ? -1 : close);
            const qsizetype from = open < 0 ? 0 : open + 2;
            const QString comment = line.mid(from, (close < 0 ? line.size() : close) - from);
            QString value;
            if (spot.QueryName.isEmpty()
                && DirectiveValue(comment, QStringLiteral("QUERYNAME"), value))
                spot.QueryName = value;
            else if (!aliasSeen && DirectiveValue(comment, QStringLiteral("ALIAS"), value)) {
                spot.Alias = value;
                aliasSeen = true;
            }
            if (open >= 0) {
                inComment = false;
                code = line.left(open) + u' ' + code;
            }
        }
        // What follows a ";" on the line belongs to another statement.
        const qsizetype semi = code.indexOf(u';');
        if (selectLine < 0
            && code.left(semi).contains(QLatin1String("SELECT"), Qt::CaseInsensitive))
            selectLine = l;
        if (l < caretLine && semi >= 0)
            break;
    }
    if (selectLine < 0)
        return spot;
    int offset = 0;
    for (int l = 0; l < selectLine; ++l)
        offset += int(lines[l].size()) + 1;
    spot.Start = offset;
    for (int l = selectLine; l < lines.size(); ++l) {
        if (const qsizetype semi = lines[l].indexOf(u';'); semi >= 0) {
            spot.Length = offset + int(semi) - spot.Start;
            return spot;
        }
        offset += int(lines[l].size()) + 1;
    }
    spot.Length = offset - 1 - spot.Start;
    return spot;
}
