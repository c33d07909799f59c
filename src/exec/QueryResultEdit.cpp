// Inserting and editing a row of a live result through the record edit form.
#include "QueryResult.h"

#include "DBVerify.h"
#include "DataSource.h"
#include "EditRecord.h"
#include "EngineError.h"
#include "IniFile.h"
#include "QueryModel.h"
#include "Session.h"
#include "Table.h"
#include "VerifyArea.h"

#include <QAction>
#include <QMessageBox>
#include <QTableView>

void Tform_QueryResult::SetProjectFile(const QString &fileName)
{
    ProjectFile = fileName.isEmpty() ? nullptr : std::make_unique<TIniFile>(fileName);
}

bool Tform_QueryResult::IsLookupTable(const std::shared_ptr<TTable> &table) const
{
    return table && table->Tag == LookupTableTag
        && std::find(m_lookupTables.begin(), m_lookupTables.end(), table) != m_lookupTables.end();
}

void Tform_QueryResult::ApplyFieldProperties(TVerify *control)
{
    auto *c = qobject_cast<TDBVerify *>(control);
    if (!c || !ProjectFile)
        return;
    const QString section = c->DataField();
    c->SetRequired(ProjectFile->ReadBool(section, QStringLiteral("Required"), false));
    c->SetMin(ProjectFile->ReadString(section, QStringLiteral("MinValue")));
    c->SetMax(ProjectFile->ReadString(section, QStringLiteral("MaxValue")));
    const QString lookup = ProjectFile->ReadString(section, QStringLiteral("Lookup"));
    if (!lookup.isEmpty()) {
        const QStringList parts = lookup.split(u'.');
        if (parts.size() != 3 || parts.contains(QString()))
            throw EDatabaseError(QStringLiteral("The lookup of %1 is not database.table.field: %2")
                                     .arg(section, lookup));
        auto table = std::make_shared<TTable>(qryResult.Session());
        table->Tag = LookupTableTag;
        table->DatabaseName = parts[0];
        table->TableName = parts[1];
        // Kept before it is opened, so that a table that fails is released with the others.
        m_lookupTables.push_back(table);
        table->Update();
        if (table->FieldDefs.isEmpty())
            throw EDatabaseError(QStringLiteral("Table %1 not found.").arg(parts[1]));
        if (!table->FindField(parts[2]))
            throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(parts[2]));
        c->SetLookupDataSet(table);
        c->SetLookupField(parts[2]);
        c->SetLookupDisplay(ProjectFile->ReadString(section, QStringLiteral("ResultField")));
    }
    const QString title = ProjectFile->ReadString(section, QStringLiteral("Title"), c->Caption());
    if (!title.isEmpty())
        c->SetCaption(title);
}

void Tform_QueryResult::ReleaseLookupTables(TVerify *control)
{
    auto *c = qobject_cast<TDBVerify *>(control);
    if (c && IsLookupTable(c->LookupDataSet()))
        c->SetLookupDataSet(nullptr);
}

static bool IsEditCommand(QObject *sender)
{
    if (!sender)
        return false;
    if (auto *a = qobject_cast<QAction *>(sender))
        return a->data().toInt() == -7;
    return sender->property("Tag").toInt() == -7;
}

void Tform_QueryResult::popEdtInsClick(QObject *sender)
{
    const bool editing = IsEditCommand(sender);
    if (!Editable || !qryResult.Active() || qryResult.State() != TDataSetState::Browse)
        return;
    if (editing) {
        if (CurrentRow() < 0 || qryResult.IsEmpty())
            return;
        CurrentRowChanged(CurrentRow());
    }
    const int focusColumn = dbgResult->currentIndex().column();

    TfrmEditRecord form(this);
    TArea *area = nullptr;
    try {
        form.dsEdit->DataSet = &qryResult;
        form.Wizard->SetAutoCreate(false);
        form.Wizard->SetDataSource(form.dsEdit);
        form.Wizard->SetAutoCreate(true);
        area = form.Wizard->Area();
        if (!area)
            throw EDatabaseError(QStringLiteral("The result has no fields to edit."));
        if (ProjectFile) {
            area->OnList = [this](TVerify *c) {
                ApplyFieldProperties(c);
            };
            area->List();
        }
        area->SetLayOut(loResize);
        if (editing) {
            area->LoadFromData();
            form.setWindowTitle(QStringLiteral("Editing ") + windowTitle());
        } else {
            form.setWindowTitle(QStringLiteral("Insert into ") + windowTitle());
        }
        form.FocusIndex = focusColumn;
    } catch (const EDatabaseError &e) {
        if (area) {
            area->OnList = [this](TVerify *c) {
                ReleaseLookupTables(c);
            };
            area->List();
        }
        m_lookupTables.clear();
        ReportError(e.Message());
        return;
    }

    // A post the engine refuses leaves the form open with what the user typed.
    while (form.exec() == QDialog::Accepted) {
        try {
            if (editing)
                qryResult.Edit();
            else
                qryResult.Append();
            area->SaveToData();
            qryResult.Post();
            break;
        } catch (const EDatabaseError &e) {
            qryResult.Cancel();
            ReportError(e.Message());
        }
    }
    if (ProjectFile) {
        area->OnList = [this](TVerify *c) {
            ReleaseLookupTables(c);
        };
        area->List();
    }
    m_lookupTables.clear();
    ShowRowsAgain(qryResult.RecNo(), focusColumn);
}

// A posted change reads the rows again: the grid starts over at the changed row.
void Tform_QueryResult::ShowRowsAgain(int row, int column)
{
    dsResult->Reset();
    UpdateActions();
    SelectRow(row);
    if (column >= 0 && row >= 0 && row < dsResult->rowCount())
        dbgResult->setCurrentIndex(dsResult->index(row, column));
}

bool Tform_QueryResult::WriteCell(int row, int column, const QVariant &value)
{
    if (!Editable || qryResult.State() != TDataSetState::Browse)
        return false;
    try {
        CurrentRowChanged(row);
        if (qryResult.RecNo() != row)
            throw EDatabaseError(QStringLiteral("The row being edited could not be read again."));
        qryResult.Edit();
        qryResult.SetValue(column, value);
        qryResult.Post();
    } catch (const EDatabaseError &e) {
        if (qryResult.State() != TDataSetState::Browse)
            qryResult.Cancel();
        ReportError(e.Message());
        return false;
    }
    // The cell editor is still open: the rows are shown again without starting over where
    // they can be, so that the grid keeps its editors and current cell.
    if (dsResult->ReadAgain()) {
        UpdateActions();
        SelectRow(qMin(row, dsResult->rowCount() - 1));
    }
    return true;
}
