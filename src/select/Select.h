#pragma once

// An object model of one SELECT statement bound to a query: the SELECT list, FROM tables,
// WHERE conditions, GROUP BY and ORDER BY lists, and up to ten joined selects. Selects are
// joined as a FROM list plus equality conditions; the model never writes JOIN or ON.

#include "EngineError.h"
#include "FieldTypes.h"
#include "SqlNames.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class TQuery;
class TCustomSelect;

// Every error the model raises. It is a database error so that one handler shows both the
// model's messages and those of the engine underneath it.
class ESelectError : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
};

// One item of a SELECT, GROUP BY or ORDER BY list.
class TSQLField
{
public:
    explicit TSQLField(QString text = {}, QString separator = {})
        : Text(std::move(text))
        , Separator(std::move(separator))
    {}
    virtual ~TSQLField() = default;

    QString Text; // as given to Add: untrimmed, prefix, function call or alias included
    QString Separator; // written right after the item: empty or ","

    // The output line: a tab, then the item with prefix (a table name and ".") in front of
    // it, or inside its first parenthesis (after a DISTINCT there). The prefix is left out
    // where it would not qualify a bare field name: the item holds a "*", or the name there
    // is qualified already, a literal or another call, so a statement read back is written
    // as it was.
    virtual QString GetLine(const QString &prefix) const;
    // Where in Text the prefix goes, or -1; and the name it would qualify there.
    virtual qsizetype PrefixAt() const;
    QString PrefixedName() const;
};

// An ordered collection of items owned by it; Owner answers field types.
class TCustomSQLFields
{
public:
    explicit TCustomSQLFields(TCustomSelect *owner)
        : m_owner(owner)
    {}
    virtual ~TCustomSQLFields() = default;
    TCustomSQLFields(const TCustomSQLFields &) = delete;
    TCustomSQLFields &operator=(const TCustomSQLFields &) = delete;

    TCustomSelect *Owner() const { return m_owner; }
    virtual void Clear() { m_items.clear(); }
    virtual void Exchange(int index1, int index2);

    int Count() const { return int(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    // Both throw ESelectError for an index outside the list, Last on an empty list too.
    TSQLField *Items(int index) const;
    TSQLField *Last() const { return Items(Count() - 1); }

protected:
    void Append(std::unique_ptr<TSQLField> item) { m_items.push_back(std::move(item)); }

private:
    TCustomSelect *m_owner;
    std::vector<std::unique_ptr<TSQLField>> m_items;
};

class TSQLFields : public TCustomSQLFields
{
public:
    using TCustomSQLFields::TCustomSQLFields;
    // Appends text unchanged after checking that a plain field name ('x', 'T.x',
    // 'DISTINCT x', 'x AS y') names a field of the owner or its joins; function calls and
    // "*" are not checked; a name in double quotes is checked as the name it quotes. Throws
    // "Field <name> not found." and then adds nothing.
    void Add(const QString &text);
};

// One WHERE condition: FieldName and Connector are the inherited Text and Separator.
class TWhereItem : public TSQLField
{
public:
    TWhereItem(QString fieldName, QString condition, QString connector)
        : TSQLField(std::move(fieldName), std::move(connector))
        , Condition(std::move(condition))
    {}
    TWhereItem(const TWhereItem &) = delete;
    TWhereItem &operator=(const TWhereItem &) = delete;

    QString &FieldName = Text;
    QString &Connector = Separator; // "AND", "OR" or empty
    QString Condition; // operator text, one blank, value

    // A tab, the prefix, FieldName, a blank, Condition, and a blank and the Connector when
    // there is one. The prefix only goes in front of a bare field name.
    QString GetLine(const QString &prefix) const override;
    qsizetype PrefixAt() const override;
};

class TWhere : public TCustomSQLFields
{
public:
    using TCustomSQLFields::TCustomSQLFields;
    // Appends a condition. A non-empty value is checked against the owner's field types and
    // written as a literal of the owner's engine for that type (dates given in ISO form or
    // in the user's short date notation); a date that does not parse is an error. An empty
    // value is never checked and the operator text is kept as it is. A preceding condition
    // without a connector gets "AND".
    void Add(const QString &fieldName, const QString &op, const QString &value,
             const QString &connector);
    TWhereItem *Items(int index) const
    {
        return static_cast<TWhereItem *>(TCustomSQLFields::Items(index));
    }
    TWhereItem *Last() const { return static_cast<TWhereItem *>(TCustomSQLFields::Last()); }
};

// A select over one table. The query is not owned; its field definitions are read once, on
// construction, and kept, so type lookups never depend on the query living on.
class TCustomSelect
{
public:
    // Sets TableName to the first table after FROM and reads the query's field definitions
    // (this runs the statement: engine errors reach the caller).
    explicit TCustomSelect(TQuery *query);
    virtual ~TCustomSelect() = default;
    TCustomSelect(const TCustomSelect &) = delete;
    TCustomSelect &operator=(const TCustomSelect &) = delete;

    QString TableName;
    TSQLFields Fields;
    TWhere Where;

    TQuery *Query() const { return m_query; }
    const QList<TFieldDef> &FieldDefs() const { return m_fieldDefs; }
    // The SQL flavour of the query's database, known from construction on.
    TSqlDialect Dialect() const { return m_dialect; }
    // What the items of this select are qualified with: the table name and "." when the
    // select is over one table known by a plain name; empty for a FROM list, a table with
    // a correlation name or anything else that is no single name.
    QString Prefix() const;

    virtual int SelectCount() const { return Fields.Count(); }
    virtual int TableCount() const { return 1; }
    virtual int WhereCount() const { return Where.Count(); }
    virtual int GroupCount() const { return 0; }
    virtual int OrderCount() const { return 0; }
    // Writers get the number of the clause's items still to be written in the whole join
    // tree; each lowers it by what it wrote.
    virtual void WriteSelect(int &remaining, QStringList &lines);
    virtual void WriteFrom(int &remaining, QStringList &lines);
    virtual void WriteWhere(int &remaining, QStringList &lines);
    virtual void WriteGroupBy(int &remaining, QStringList &lines) = 0;
    virtual void WriteOrderBy(int &remaining, QStringList &lines) = 0;
    // Type code of a field of this select's query, ftUnknown when it has no such field; a
    // name in double quotes is looked up as the name it quotes.
    virtual TFieldType FieldType(const QString &name) const;

protected:
    void WriteItems(TCustomSQLFields &items, int &remaining, QStringList &lines,
                    const QString &separator);

private:
    // The names the SELECT list gives its items ("A AS x", "A x"): the engine reads each as
    // that item, and no table has it.
    QStringList ItemNames() const;

    TQuery *m_query;
    TSqlDialect m_dialect;
    QList<TFieldDef> m_fieldDefs;
};

// A select that carries GROUP BY and ORDER BY lists and up to ten joined selects.
//
// Joined selects form a tree owned by its root: a select given to AddJoin belongs to the
// select it was joined into, and destroying a select destroys everything joined into it.
// FreeTree is the same as deleting the select. Deleting a joined select on its own first
// takes it out of its parent, so nothing is freed twice.
class TSelect : public TCustomSelect
{
public:
    static constexpr int MaxJoins = 10;
    enum TClause { scSelect = 1, scFrom = 2, scWhere = 4, scGroupBy = 8, scOrderBy = 16 };
    static constexpr int AllClauses = 31;

    // Create: an empty select over the query's first table.
    explicit TSelect(TQuery *query);
    // CreateRead: reads the query's SQL for the clauses in the set; throws "Cannot read
    // empty query." when the query has no text.
    TSelect(TQuery *query, int clauses);
    ~TSelect() override;

    TSQLFields OrderBy;
    TSQLFields GroupBy;

    int JoinCount() const { return m_joinCount; }
    TSelect *Joins(int index) const { return m_joins.at(size_t(index)); }

    int SelectCount() const override;
    int TableCount() const override;
    int WhereCount() const override;
    int GroupCount() const override;
    int OrderCount() const override;
    void WriteSelect(int &remaining, QStringList &lines) override;
    void WriteFrom(int &remaining, QStringList &lines) override;
    void WriteWhere(int &remaining, QStringList &lines) override;
    void WriteGroupBy(int &remaining, QStringList &lines) override;
    void WriteOrderBy(int &remaining, QStringList &lines) override;
    // Searches this select's own fields first, then the joined selects in join order.
    TFieldType FieldType(const QString &name) const override;

    // Appends the clauses of the query's SQL to the model; a second call appends again.
    // Throws, changing nothing, "Cannot read query without FROM." when the FROM clause is
    // read and names no table, and "Cannot read query without SELECT list." when the SELECT
    // clause is read and holds no item, and "Cannot read outer join." for a FROM clause
    // with an outer, natural or USING join, which the model would write as an inner join.
    void Read(int clauses);
    // Joins other into this select on leftField (of this select's own query) and
    // rightField (of other or its joins). On success this select owns other. Throws, and
    // changes nothing, when a name is empty, other cannot be joined here, a field is
    // unknown, the types differ or ten selects are joined already.
    void AddJoin(TSelect *other, const QString &leftField, const QString &rightField);
    // The same, releasing the caller's pointer only when the join succeeds.
    void AddJoin(std::unique_ptr<TSelect> &other, const QString &leftField,
                 const QString &rightField);
    // Replaces the query's SQL lines with the formatted statement.
    void Write();
    // Frees this select and every select joined into it; the select must come from new.
    void FreeTree();

    TSelect *Parent() const { return m_parent; }

private:
    bool IsInTreeAbove(const TSelect *other) const;
    void Detach(TSelect *child);

    std::array<TSelect *, MaxJoins> m_joins {};
    int m_joinCount = 0;
    TSelect *m_parent = nullptr;
    // Each distinct joined select once: a select may be joined twice into the same parent.
    std::vector<std::unique_ptr<TSelect>> m_owned;
};

// The names of all the select's field definitions, in order, joined by "," without blanks.
QString AllFieldNames(const TCustomSelect &select);
QString FirstTableName(const TQuery &query);
