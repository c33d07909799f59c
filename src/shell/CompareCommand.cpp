#include "CompareCommand.h"
#include "EngineError.h"
#include "Executor.h"
#include "FindTree.h"
#include "Main.h"
#include "MessageDlg.h"
#include "Options.h"
#include "Session.h"
#include "Settings.h"
#include "TableCompare.h"
#include "TreeLogic.h"
#include "TreeReading.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

const QString NotFound = QStringLiteral("Comparation: Target Table not found.");

} // namespace

TCompareCommand::TCompareCommand(Tform_Main *main)
    : QObject(main)
    , m(main)
{
    setObjectName(QStringLiteral("CompareCommand"));
    for (QAction *a : {m->mnuEdtCompare, m->btnCompare})
        connect(a, &QAction::triggered, this, &TCompareCommand::mnuEdtCompareClick);
}

bool TCompareCommand::Read(const QString &table)
{
    if (::ReadStructure(m->tab_Orvane, table))
        return true;
    // The tree's reading keeps the engine's reason to itself; read once more to tell it.
    m->tab_Orvane.TableName = table;
    try {
        m->tab_Orvane.UpdateFieldDefs();
        return true;
    } catch (const EDatabaseError &e) {
        m->tab_Orvane.FieldDefs.clear();
        m->SetStatusText(m->NodePathText());
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
    }
    return false;
}

void TCompareCommand::mnuEdtCompareClick()
{
    QTreeWidgetItem *node = m->MainTree->currentItem();
    if (NodeKind(node) != nkTable) {
        m->SetStatusText(QStringLiteral("Compare works on a table."));
        return;
    }
    const QString alias = node->parent()->text(0);
    const QString source = node->text(0);
    // A source that could not be read would have no fields, and every field of the target
    // would be dropped.
    if (!Read(source))
        return;
    m_sourceFields = m->tab_Orvane.FieldDefs;
    m_sourcePath = alias + u'.' + source;
    const QString sourceNodePath = m->NodePathText();

    TfrmFindTree dialog(m);
    dialog.setWindowTitle(QStringLiteral("Compare ") + source + QStringLiteral(" with..."));
    dialog.lblFind->setText(QStringLiteral("&Target Table:"));
    dialog.edtFind->setValidator(nullptr); // table names may hold blanks
    const QString remembered = m->Value(QStringLiteral("Compare"));
    dialog.edtFind->setText(remembered.isEmpty() ? sourceNodePath : remembered);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString text = dialog.edtFind->text().trimmed();
    if (text.isEmpty())
        return;
    m->SetValue(QStringLiteral("Compare"), text);

    QTreeWidgetItem *target = m->SelectPath(text) ? m->MainTree->currentItem() : nullptr;
    if (NodeKind(target) != nkTable) {
        // A path that names nothing leaves the tree where the command found it.
        if (!m->MainTree->currentItem())
            m->SelectPath(sourceNodePath);
        m->SetStatusText(NotFound);
        return;
    }
    Compare(target);
}

void TCompareCommand::Compare(QTreeWidgetItem *target)
{
    const QString alias = target->parent()->text(0);
    const QString table = target->text(0);
    if (!Read(table))
        return;
    TSqlDialect dialect = TSqlDialect::Sqlite;
    try {
        dialect = DialectOfDriver(m->DB_Orvane.Session().GetAliasDriverName(alias));
    } catch (const EDatabaseError &) {
        // an alias the session no longer knows: its tables were read as SQLite's are
    }
    const TTableScriptOptions options {false, OptionChecked(optVarchar), dialect};
    const QStringList lines
        = CompareLines(table, CompareFields(m_sourceFields, m->tab_Orvane.FieldDefs), options);
    if (lines.isEmpty()) {
        m->SetStatusText(QStringLiteral("Comparation: ") + alias + u'.' + table
                         + QStringLiteral(" has the fields of ") + m_sourcePath + u'.');
        return;
    }
    m->Executor().WriteHeader({QStringLiteral("Comparation:") + m_sourcePath});
    m->memSQL->appendPlainText(lines.join(u'\n'));
    m->SetStatusText(m->NodePathText());
}
