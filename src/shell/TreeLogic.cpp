#include "TreeLogic.h"
#include "SharedRoutines.h"
#include <QHash>
#include <algorithm>

QString StripType(const QString &text)
{
    const qsizetype colon = text.indexOf(u':');
    return colon < 0 ? QString() : text.left(colon);
}

QString FieldNodeText(const TFieldDef &field, bool varcharOption)
{
    return field.Name + QStringLiteral(": ") + TypeName(field.DataType, field.Size, varcharOption);
}

QString NodeName(int kind, const QString &text)
{
    switch (kind) {
    case nkField:
    case nkPrimaryField:
    case nkIndexField:
        return StripType(text);
    case nkLink:
        return QStringLiteral("->") + text;
    default:
        return text;
    }
}

QString NodePath(const QList<TNodeStep> &rootFirst)
{
    QStringList names;
    for (const TNodeStep &step : rootFirst)
        names << NodeName(step.kind, step.text);
    return names.join(u'.');
}

TPathMatch MatchPathPieces(const QList<TNodeStep> &level, const QStringList &pieces)
{
    QStringList names, texts;
    for (const TNodeStep &node : level) {
        names << NodeName(node.kind, node.text).toUpper();
        texts << node.text.toUpper();
    }
    for (qsizetype k = pieces.size(); k >= 1; --k) {
        const QString wanted = pieces.mid(0, k).join(u'.');
        for (qsizetype i = 0; i < level.size(); ++i)
            if (names[i] == wanted)
                return {int(i), int(k)};
        for (qsizetype i = 0; i < level.size(); ++i)
            if (texts[i].startsWith(wanted))
                return {int(i), int(k)};
    }
    return {};
}

QList<TNodeSpec> FieldLevel(const QList<TFieldDef> &fields,
                            const QList<QPair<QString, QString>> &lookups, bool varcharOption)
{
    // The project file gives the lookups in the fields' order, so they are taken in step;
    // only lookups out of that order are found by name, the first given for a name winning.
    QHash<QString, QString> byName;
    bool indexed = false;
    qsizetype next = 0;
    QList<TNodeSpec> nodes;
    nodes.reserve(fields.size());
    for (const TFieldDef &f : fields) {
        TNodeSpec node {nkField, FieldNodeText(f, varcharOption), {}};
        QString target;
        if (next < lookups.size()
            && lookups[next].first.compare(f.Name, Qt::CaseInsensitive) == 0) {
            target = lookups[next++].second;
        } else if (!lookups.isEmpty()) {
            if (!indexed) {
                for (const auto &[field, lookup] : lookups)
                    if (!lookup.isEmpty() && !byName.contains(field.toUpper()))
                        byName.insert(field.toUpper(), lookup);
                indexed = true;
            }
            target = byName.value(f.Name.toUpper());
        }
        if (!target.isEmpty())
            node.children.append({nkLink, target, {}});
        nodes.append(std::move(node));
    }
    return nodes;
}

QList<TNodeSpec> IndexLevel(const QList<TFieldDef> &fields, const QList<TIndexDef> &indexes,
                            bool varcharOption)
{
    QList<TNodeSpec> nodes;
    for (const TIndexDef &ix : indexes) {
        const bool primary = ix.IsPrimary();
        TNodeSpec node {primary ? nkPrimaryKey : nkIndex, primary ? PrimaryKeyText : ix.Name, {}};
        const int childKind = primary ? nkPrimaryField : nkIndexField;
        for (const QString &name : Split(ix.Fields, u';')) {
            auto field = std::find_if(fields.begin(), fields.end(), [&](const TFieldDef &f) {
                return f.Name.compare(name, Qt::CaseInsensitive) == 0;
            });
            node.children.append(
                {childKind,
                 field != fields.end() ? FieldNodeText(*field, varcharOption) : name,
                 {}});
        }
        nodes.append(std::move(node));
    }
    return nodes;
}

TCommandStates CommandStates(int kind)
{
    TCommandStates s;
    s.templateCaption
        = kind == nkTable ? QStringLiteral("Template from Table") : QStringLiteral("Template");
    switch (kind) {
    case nkAlias:
        s.addCaption = QStringLiteral("Add");
        s.dropCaption = QStringLiteral("Delete Alias");
        break;
    case nkTable:
        s.addCaption = QStringLiteral("Add Table");
        s.dropCaption = QStringLiteral("Drop Table");
        break;
    case nkField:
        s.addCaption = QStringLiteral("Add Field");
        s.dropCaption = QStringLiteral("Drop Field");
        break;
    case nkIndex:
        s.addCaption = QStringLiteral("Add Index");
        s.dropCaption = QStringLiteral("Drop Index");
        break;
    default:
        s.addCaption = QStringLiteral("Add");
        s.dropCaption = QStringLiteral("Drop");
    }
    s.fieldItemsVisible = kind == nkField;
    s.propsVisible = kind == nkField;
    s.tableOnly = kind == nkTable;
    s.linkVisible = kind == nkField || kind == nkLink;
    s.htmlVisible = kind == nkTable;
    s.addEnabled = kind != nkAlias;
    s.scriptEnabled = kind == nkAlias || kind == nkTable;
    return s;
}

QStringList AddBookmark(QStringList items, const QString &path)
{
    if (!items.contains(path)) {
        items.prepend(path);
        while (items.size() > MaxBookmarks)
            items.removeLast();
    }
    return items;
}

static QString Upper(const QString &line)
{
    return QString(line).replace(u'\t', u' ').toUpper();
}

int PhrasePosition(const QString &line, const QString &phrase)
{
    const QString text = Upper(line);
    const QStringList words = phrase.split(u' ', Qt::SkipEmptyParts);
    const qsizetype last = text.indexOf(words.last());
    if (last < 0)
        return -1;
    const QString before = text.left(last);
    for (qsizetype i = 0; i + 1 < words.size(); ++i)
        if (!before.contains(words[i]))
            return -1;
    return int(last + words.last().size());
}

QString IdentifierAfter(const QString &line, int position)
{
    qsizetype i = std::max(position, 0);
    while (i < line.size() && !line[i].isLetter())
        ++i;
    const qsizetype start = i;
    while (i < line.size() && (line[i].isLetterOrNumber() || line[i] == u'_'))
        ++i;
    return line.mid(start, i - start);
}

// The value of an ALIAS directive on this line, or a null string.
static QString AliasDirective(const QString &line)
{
    const qsizetype at = line.indexOf(QStringLiteral("ALIAS:"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    QString value = line.mid(at + 6);
    const qsizetype end = value.indexOf(QStringLiteral("*/"));
    if (end >= 0)
        value.truncate(end);
    value.remove(u' ').remove(u'\t');
    return value.toUpper();
}

QString ScriptAliasAt(const QStringList &lines, int line, const QString &aliasPart)
{
    bool commentSeen = false;
    for (int j = std::min(line, int(lines.size()) - 1); j >= 0; --j) {
        if (lines[j].contains(QStringLiteral("*/")))
            commentSeen = true;
        const QString alias = commentSeen ? AliasDirective(lines[j]) : QString();
        if (!alias.isNull())
            return alias;
    }
    return aliasPart;
}

static bool IsNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'.' || c == u'"';
}

QString NameAtCaret(const QString &line, int column)
{
    qsizetype start = std::clamp<qsizetype>(column, 0, line.size());
    qsizetype end = start;
    while (start > 0 && IsNameChar(line[start - 1]))
        --start;
    while (end < line.size() && IsNameChar(line[end]))
        ++end;
    QString name = line.mid(start, end - start).remove(u'"');
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    while (name.endsWith(u'.'))
        name.chop(1);
    return name;
}

QString TableOfName(const QString &name, const QStringList &tables)
{
    const QStringList pieces = name.split(u'.');
    for (qsizetype k = pieces.size(); k >= 1 && !name.isEmpty(); --k) {
        const QString wanted = pieces.mid(0, k).join(u'.');
        for (const QString &table : tables)
            if (table.compare(wanted, Qt::CaseInsensitive) == 0)
                return table;
    }
    return {};
}

QString GotoTreePath(const QStringList &lines, int caretLine, const QString &aliasPart)
{
    static const QString createTable = QStringLiteral("CREATE TABLE");
    static const QString createIndex = QStringLiteral("CREATE INDEX");
    static const QString primaryKey = QStringLiteral("PRIMARY KEY");
    if (lines.isEmpty())
        return aliasPart.left(11);
    caretLine = std::clamp(caretLine, 0, int(lines.size()) - 1);

    QString parts[4] = {aliasPart, {}, {}, {}};
    int start = 0;
    for (int i = caretLine; i >= 0; --i)
        if (PhrasePosition(lines[i], createTable) >= 0) {
            start = i;
            parts[0] = ScriptAliasAt(lines, i - 1, aliasPart);
            break;
        }

    enum { LookingForTable, LookingForItems, InsideIndex } state = LookingForTable;
    for (int i = start; i <= caretLine; ++i) {
        const QString &line = lines[i];
        if (line.trimmed().isEmpty())
            continue;
        if (state == LookingForTable) {
            const int at = PhrasePosition(line, createTable);
            if (at >= 0) {
                parts[1] = IdentifierAfter(line, at);
                state = LookingForItems;
            }
            continue;
        }
        const int index = PhrasePosition(line, createIndex);
        if (index >= 0) {
            parts[3].clear();
            parts[2] = IdentifierAfter(line, index);
            state = InsideIndex;
        } else if (PhrasePosition(line, primaryKey) >= 0) {
            parts[2] = PrimaryKeyText;
        } else if (i == caretLine) {
            parts[state == LookingForItems ? 2 : 3] = IdentifierAfter(line, 0);
            state = InsideIndex;
        }
    }

    QStringList path;
    for (const QString &part : parts) {
        if (part.isEmpty())
            break;
        path << part.left(11);
    }
    return path.join(u'.');
}

int NextWordStart(const QString &line, int column)
{
    qsizetype i = std::clamp<qsizetype>(column, 0, line.size());
    while (i < line.size() && line[i].isLetterOrNumber())
        ++i;
    while (i < line.size() && !line[i].isLetterOrNumber())
        ++i;
    return int(i);
}

int WordStartBefore(const QString &line, int column)
{
    qsizetype i = std::clamp<qsizetype>(column, 0, line.size());
    while (i > 0 && !line[i - 1].isLetterOrNumber())
        --i;
    while (i > 0 && line[i - 1].isLetterOrNumber())
        --i;
    return int(i);
}
