#pragma once

// The main window's generation commands: Add, Drop, Template, Script, Query, Open Table,
// Join, Group, Index, Table and the Record menu, wired to the generators of src/generate,
// and the hints of the generation tool buttons.
//
// Tform_Main creates one after its subsystems: `new TGenerateCommands(this);`

#include "FieldTypes.h"
#include "SqlNames.h"

#include <QObject>
#include <QStringList>

class QTreeWidgetItem;
class Tform_Main;
struct TQueryContext;
struct TTableRef;

class TGenerateCommands : public QObject
{
    Q_OBJECT
public:
    explicit TGenerateCommands(Tform_Main *main);

    void mnuPopAddClick(bool allSkeletons = false);
    void mnuPopDropClick();
    void mnuSQLTemplateClick();
    void mnuPopScriptClick();
    void mnuSQLQueryClick();
    void mnuSQLOpenTableClick();
    void mnuSQLJoinClick();
    void mnuPopGroupClick();
    void mnuPopIndexClick();
    void mnuPopTableClick();
    void mnuRecordUpdateClick();
    void mnuRecordInsertClick();
    void mnuRecordDeleteClick();

    // True while a whole-alias script runs.
    bool Busy() const { return m_busy; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidgetItem *Selected() const;
    int SelectedKind() const;
    // The table a node belongs to and its alias, read from the node itself.
    TTableRef TableOf(const QTreeWidgetItem *node) const;
    TSqlDialect Dialect(const QString &alias) const;
    TQueryContext QueryContext() const;

    void Append(const QStringList &lines);
    int CaretLine() const;
    void ReturnCaret(int line);
    void ParameterWalk();
    // The walk of the record statements: every value written as a literal of its field.
    // False when the user cancelled it.
    bool RecordWalk(const QList<TFieldDef> &fields, const QString &alias);
    void Report(const QString &text);
    void ShowError(const QString &message);

    void TableScript(const QString &table, bool templateMode);
    void AliasScript(const QString &alias);
    void QueryFromTable(const TTableRef &table);
    void WriteQuery(const QString &queryName, const QStringList &select);
    // Reads the table's fields; false when it cannot be read (the error is shown).
    bool ReadFields(const TTableRef &table, QList<TFieldDef> &fields);
    void UpdateWriter(const TTableRef &table, const QList<TFieldDef> &fields,
                      const QString &keyField, const QString &where);
    void DeleteLink(QTreeWidgetItem *link);
    void DeleteAlias(const QString &alias);

    Tform_Main *m;
    bool m_busy = false;
    bool m_closeAfterBusy = false;
};
