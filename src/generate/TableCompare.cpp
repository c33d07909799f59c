#include "TableCompare.h"

#include <QHash>
#include <QSet>

namespace {

// Field names as the comparison matches them.
QString Key(const QString &name)
{
    return name.toCaseFolded();
}

QHash<QString, qsizetype> IndexByName(const QList<TFieldDef> &fields)
{
    QHash<QString, qsizetype> index;
    index.reserve(fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        index.insert(Key(fields[i].Name), i); // a second field of the same name is not looked up
    return index;
}

} // namespace

bool FieldDiffers(const TFieldDef &source, const TFieldDef &target)
{
    return source.DataType != target.DataType || source.Size != target.Size;
}

QList<TFieldChange> CompareFields(const QList<TFieldDef> &source, const QList<TFieldDef> &target)
{
    const QHash<QString, qsizetype> inSource = IndexByName(source);
    QList<TFieldChange> changes;
    QSet<QString> inTarget;
    inTarget.reserve(target.size());
    for (const TFieldDef &t : target) {
        const QString key = Key(t.Name);
        inTarget.insert(key);
        const auto found = inSource.constFind(key);
        if (found == inSource.cend()) {
            changes.append({TFieldChange::TKind::Drop, t.Name, {}, false});
            continue;
        }
        const TFieldDef &s = source[*found];
        if (FieldDiffers(s, t)) {
            changes.append({TFieldChange::TKind::Drop, t.Name, {}, true});
            changes.append({TFieldChange::TKind::Add, s.Name, s, false});
        }
    }
    for (const TFieldDef &s : source)
        if (!inTarget.contains(Key(s.Name)))
            changes.append({TFieldChange::TKind::Add, s.Name, s, false});
    return changes;
}

QString ChangeText(const TFieldChange &change, const TTableScriptOptions &options)
{
    const QString name = QuoteIdentifier(change.Name, options.dialect);
    if (change.Kind == TFieldChange::TKind::Drop)
        return QStringLiteral("DROP ") + name;
    return QStringLiteral("ADD ") + name + u' ' + ScriptTypeName(change.Source, options);
}

QStringList CompareLines(const QString &targetTable, const QList<TFieldChange> &changes,
                         const TTableScriptOptions &options)
{
    if (changes.isEmpty())
        return {};
    QStringList lines;
    lines.reserve(changes.size() * 2 + 1);
    lines.append(QStringLiteral("ALTER TABLE ") + QuoteTableName(targetTable, options.dialect));
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const TFieldChange &c = changes[i];
        if (c.Retyped) {
            // A line break in the name would end the comment and leave the rest as SQL.
            QString name = QuoteIdentifier(c.Name, options.dialect);
            name.replace(u'\r', u' ').replace(u'\n', u' ');
            lines.append(QStringLiteral("\t-- changes the type of ") + name
                         + QStringLiteral(": its data is dropped"));
        }
        lines.append(u'\t' + ChangeText(c, options) + (i + 1 < changes.size() ? u',' : u';'));
    }
    return lines;
}
