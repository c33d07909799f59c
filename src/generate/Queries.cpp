#include "Queries.h"
#include "DataSet.h"
#include "EngineError.h"
#include "Select.h"
#include "Session.h"
#include "Table.h"
#include "TreeReading.h"

#include <QSet>
#include <vector>

namespace {

bool IsSummed(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
        return true;
    default:
        return false;
    }
}

// The database name a table of an alias is read under: the main component for its own
// alias, the alias itself for any other.
QString DatabaseOf(const TQueryContext &c, const QString &alias)
{
    return alias.isEmpty() || alias.compare(c.mainAlias, Qt::CaseInsensitive) == 0 ? c.mainDatabase
                                                                                   : alias;
}

QString ChainKey(const QString &alias, const QString &table)
{
    return alias.toLower() + u'\n' + table.toLower();
}

// The queries, table objects and models of one statement, freed together at its end.
class TBuild
{
public:
    TBuild(const TQueryContext &c, TSqlDialect dialect)
        : m_c(c)
        , m_dialect(dialect)
    {}

    // A model of the table, read on its own alias.
    std::unique_ptr<TSelect> Select(const TTableRef &ref, const QString &group = {})
    {
        auto &query = m_queries.emplace_back(std::make_unique<TQuery>(m_c.session));
        query->DatabaseName = DatabaseOf(m_c, ref.alias);
        auto &table = m_tables.emplace_back(std::make_unique<TTable>(m_c.session));
        table->DatabaseName = query->DatabaseName;
        return BuildSelect(*query, *table, ref.table, group, m_dialect);
    }
    const TTable &LastTable() const { return *m_tables.back(); }

    // Joins the table's model into parent (or makes it the root) and follows its links.
    std::unique_ptr<TSelect> Follow(const TTableRef &ref, TSelect *parent,
                                    const QString &parentField, const QString &field,
                                    QSet<QString> &chain)
    {
        std::unique_ptr<TSelect> model = Select(ref);
        QStringList names;
        for (const TFieldDef &f : LastTable().FieldDefs)
            names << f.Name;
        const auto links = m_c.lookups ? m_c.lookups(ref.alias, ref.table, names)
                                       : QList<QPair<QString, QString>>();
        chain.insert(ChainKey(ref.alias, ref.table));
        for (const auto &[linkField, target] : links) {
            const TLinkPath path = ParseLinkPath(target);
            if (!path.IsValid() || chain.contains(ChainKey(path.alias, path.table)))
                continue;
            Follow({path.alias, path.table}, model.get(), linkField, path.field, chain);
        }
        chain.remove(ChainKey(ref.alias, ref.table));
        if (!parent)
            return model;
        parent->AddJoin(model, QuoteIdentifier(parentField, m_dialect),
                        QuoteIdentifier(field, m_dialect));
        return nullptr;
    }

    QStringList Write(TSelect &root)
    {
        root.Write();
        return root.Query()->SQL;
    }

private:
    const TQueryContext &m_c;
    TSqlDialect m_dialect;
    std::vector<std::unique_ptr<TQuery>> m_queries;
    std::vector<std::unique_ptr<TTable>> m_tables;
};

TSqlDialect MainDialect(const TQueryContext &c)
{
    return DialectOfDriver(
        (c.session ? *c.session : TSession::Default()).GetAliasDriverName(c.mainAlias));
}

} // namespace

std::unique_ptr<TSelect> BuildSelect(TQuery &query, TTable &structure, const QString &table,
                                     const QString &groupField, TSqlDialect dialect)
{
    const QString quoted = QuoteTableName(table, dialect);
    query.Close();
    query.SQL = QStringList {QStringLiteral("SELECT * FROM ") + quoted};
    auto select = std::make_unique<TSelect>(&query);
    select->TableName = quoted; // the scanner reads a quoted name as its first character
    if (!ReadStructure(structure, table))
        throw EDatabaseError(QStringLiteral("Table ") + table + QStringLiteral(" not found."));
    for (const TFieldDef &f : structure.FieldDefs) {
        const QString name = QuoteIdentifier(f.Name, dialect);
        if (groupField.isEmpty())
            select->Fields.Add(name);
        else if (f.Name.compare(groupField, Qt::CaseInsensitive) != 0 && IsSummed(f.DataType))
            select->Fields.Add(QStringLiteral("SUM(") + name + u')');
    }
    if (!groupField.isEmpty()) {
        const QString group = QuoteIdentifier(groupField, dialect);
        select->GroupBy.Add(group);
        select->Fields.Add(group);
        select->Fields.Add(QStringLiteral("Count(*)"));
        return select;
    }
    structure.UpdateIndexDefs();
    for (const TIndexDef &index : structure.IndexDefs) {
        if (index.IsPrimary())
            continue;
        for (const QString &name : index.Fields.split(u';', Qt::SkipEmptyParts))
            select->OrderBy.Add(QuoteIdentifier(name, dialect));
        break;
    }
    return select;
}

QStringList QueryFromTableLines(const TQueryContext &context, const QString &table)
{
    TBuild build(context, MainDialect(context));
    QSet<QString> chain;
    std::unique_ptr<TSelect> root
        = build.Follow({context.mainAlias, table}, nullptr, {}, {}, chain);
    return build.Write(*root);
}

QStringList JoinLines(const TQueryContext &context, const TTableRef &source,
                      const QString &sourceField, const TTableRef &target,
                      const QString &targetField)
{
    const TSqlDialect d = MainDialect(context);
    TBuild build(context, d);
    std::unique_ptr<TSelect> a = build.Select(source);
    std::unique_ptr<TSelect> b = build.Select(target);
    a->AddJoin(b, QuoteIdentifier(sourceField, d), QuoteIdentifier(targetField, d));
    return build.Write(*a);
}

QStringList GroupLines(const TQueryContext &context, const TTableRef &table,
                       const QString &groupField)
{
    TBuild build(context, MainDialect(context));
    std::unique_ptr<TSelect> model = build.Select(table, groupField);
    return build.Write(*model);
}
