// The tree's link commands, the field properties and the HTML pages of tables.
#include "EngineError.h"
#include "FieldProp.h"
#include "FindTree.h"
#include "HtmlPages.h"
#include "IniFile.h"
#include "LinkLogic.h"
#include "Logins.h"
#include "Main.h"
#include "MessageDlg.h"
#include "Options.h"
#include "Settings.h"
#include "SharedRoutines.h"
#include "TreeLogic.h"
#include "TreeReading.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QUrl>

static const QString NotFound = QStringLiteral("Target Field not found.");
static const QString NoField = QStringLiteral("Select a field first.");

void Tform_Main::CreateLinkCommands()
{
    connect(mnuPopLinkEdit, &QAction::triggered, this, &Tform_Main::mnuPopLinkEditClick);
    connect(mnuPopLinkGoto, &QAction::triggered, this, &Tform_Main::mnuPopLinkGotoClick);
    connect(mnuPopLinkRemove, &QAction::triggered, this, &Tform_Main::mnuPopLinkRemoveClick);
    connect(mnuPopProps, &QAction::triggered, this, &Tform_Main::mnuPopPropsClick);
    connect(mnuPopHTML, &QAction::triggered, this, &Tform_Main::mnuPopHTMLClick);
}

// The field a link command acts on: the selected field, or the field of a selected link.
QTreeWidgetItem *Tform_Main::LinkFieldNode()
{
    QTreeWidgetItem *node = MainTree->currentItem();
    if (NodeKind(node) == nkLink)
        node = node->parent();
    if (NodeKind(node) != nkField || NodeLevel(node) != 2) {
        SetStatusText(NoField);
        return nullptr;
    }
    return node;
}

// The child of that kind and name; a name written in its own letter case first, since a
// server may hold both "customer" and "CUSTOMER".
static QTreeWidgetItem *ChildNamed(QTreeWidgetItem *node, const QString &name, int kind)
{
    QTreeWidgetItem *other = nullptr;
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem *child = node->child(i);
        if (NodeKind(child) != kind)
            continue;
        const QString text = kind == nkField || kind == nkPrimaryField ? StripType(child->text(0))
                                                                       : child->text(0);
        if (text == name)
            return child;
        if (!other && text.compare(name, Qt::CaseInsensitive) == 0)
            other = child;
    }
    return other;
}

static void Expand(QTreeWidgetItem *node)
{
    if (node->childCount() == 0)
        node->setExpanded(true);
}

// The node selected and in view. Its parents open first: an expansion makes the expanded
// node the tree's path, which the selection must have the last word on.
void Tform_Main::Select(QTreeWidgetItem *node)
{
    for (QTreeWidgetItem *up = node->parent(); up; up = up->parent())
        up->setExpanded(true);
    MainTree->setCurrentItem(node);
    MainTree->scrollToItem(node);
}

// Whole names only: the alias, a table whose name may itself hold ".", then a field, or
// "Primary key" and one of its fields.
QTreeWidgetItem *Tform_Main::ExactNode(const QString &path)
{
    const QStringList pieces = path.split(u'.');
    QTreeWidgetItem *alias = nullptr;
    for (int i = 0; i < MainTree->topLevelItemCount() && !alias; ++i)
        if (MainTree->topLevelItem(i)->text(0).compare(pieces[0], Qt::CaseInsensitive) == 0)
            alias = MainTree->topLevelItem(i);
    if (!alias || pieces.size() < 2)
        return alias;
    Expand(alias);
    for (qsizetype end = pieces.size(); end >= 2; --end) {
        QTreeWidgetItem *table = ChildNamed(alias, pieces.mid(1, end - 1).join(u'.'), nkTable);
        if (!table)
            continue;
        const QStringList rest = pieces.mid(end);
        if (rest.isEmpty())
            return table;
        Expand(table);
        if (rest.size() == 1)
            return ChildNamed(table, rest[0], nkField);
        if (rest.size() == 2 && rest[0].compare(PrimaryKeyText, Qt::CaseInsensitive) == 0)
            if (QTreeWidgetItem *key = ChildNamed(table, PrimaryKeyText, nkPrimaryKey))
                return ChildNamed(key, rest[1], nkPrimaryField);
        return nullptr;
    }
    return nullptr;
}

bool Tform_Main::SelectPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (QTreeWidgetItem *node = ExactNode(path)) {
        Select(node);
        return true;
    }
    // Names given by their beginnings, as Find in Tree takes them; the node found must
    // stand for every piece, or a mistyped field would end on its table.
    MainTree->setCurrentItem(nullptr);
    FindByPath(path);
    return MainTree->currentItem() && m_nodePath.count(u'.') == path.count(u'.');
}

void Tform_Main::RefreshAt(const QString &path)
{
    SetNodePathText(path);
    mnuEdtRefreshClick();
    if (m_nodePath.compare(path, Qt::CaseInsensitive) != 0)
        SelectPath(path);
}

QString Tform_Main::TargetFieldDialog(const QString &caption, const QString &defaultText)
{
    TfrmFindTree dialog(this);
    dialog.setWindowTitle(caption);
    dialog.lblFind->setText(QStringLiteral("&Target Field:"));
    dialog.edtFind->setValidator(nullptr); // table names may hold blanks
    dialog.edtFind->setText(defaultText);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QString answer = dialog.edtFind->text();
    if (SelectPath(answer.trimmed())) {
        QTreeWidgetItem *node = MainTree->currentItem();
        const int kind = NodeKind(node);
        if (kind == nkField || kind == nkPrimaryField)
            return answer;
        if (kind == nkTable) {
            Expand(node);
            node->setExpanded(true);
            if (QTreeWidgetItem *key = ChildNamed(node, PrimaryKeyText, nkPrimaryKey);
                key && key->childCount() > 0) {
                Select(key->child(0));
                return answer;
            }
        }
    }
    SetStatusText(NotFound);
    return {};
}

bool Tform_Main::LinkTargetPicker(QString &target)
{
    const QString source = m_nodePath;
    // The source field itself, also when its link node is selected.
    QString sourceField = source;
    if (const qsizetype arrow = source.indexOf(QStringLiteral(".->")); arrow >= 0)
        sourceField = source.left(arrow);
    const QString answer = TargetFieldDialog(QStringLiteral("Link"), target).trimmed();
    const QString picked = CutPrimaryKeyPart(m_nodePath);
    // A field does not look itself up, however its path was typed.
    if (answer.isEmpty() || answer.compare(source, Qt::CaseInsensitive) == 0
        || picked.compare(sourceField, Qt::CaseInsensitive) == 0) {
        if (m_nodePath.compare(source, Qt::CaseInsensitive) != 0) {
            const QString said = StatusText();
            SelectPath(sourceField); // nothing picked: back on the field
            SetStatusText(said);
        }
        return false;
    }
    SetNodePathText(source);
    target = picked;
    return true;
}

void Tform_Main::mnuPopLinkEditClick()
{
    QTreeWidgetItem *field = LinkFieldNode();
    if (!field)
        return;
    const QString alias = field->parent()->parent()->text(0);
    const QString table = field->parent()->text(0);
    const QString name = StripType(field->text(0));
    try {
        const std::unique_ptr<TIniFile> project = OpenProjectFile(alias, table);
        QString target = project->ReadString(name, LookupKey);
        if (target.isEmpty())
            target = alias + u'.';
        if (!LinkTargetPicker(target))
            return;
        project->WriteString(name, LookupKey, target);
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    RefreshAt(m_nodePath);
}

void Tform_Main::mnuPopLinkGotoClick()
{
    QTreeWidgetItem *node = MainTree->currentItem();
    QString target;
    if (NodeKind(node) == nkLink) {
        target = node->text(0);
    } else if (LinkFieldNode()) {
        target = ReadLookups(node->parent()->parent()->text(0), node->parent()->text(0),
                             {StripType(node->text(0))})
                     .value(0)
                     .second;
        if (target.isEmpty()) {
            SetStatusText(QStringLiteral("The field has no link."));
            return;
        }
    } else {
        return;
    }
    if (!SelectPath(target))
        SetStatusText(NotFound);
}

void Tform_Main::mnuPopLinkRemoveClick()
{
    QTreeWidgetItem *field = LinkFieldNode();
    if (!field)
        return;
    const QString source = m_nodePath;
    try {
        OpenProjectFile(field->parent()->parent()->text(0), field->parent()->text(0))
            ->WriteString(StripType(field->text(0)), LookupKey, QString());
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    // From a link node, the tree comes back on its field, the link being gone.
    const qsizetype arrow = source.indexOf(QStringLiteral(".->"));
    RefreshAt(arrow < 0 ? source : source.left(arrow));
}

void Tform_Main::mnuPopPropsClick()
{
    QTreeWidgetItem *field = MainTree->currentItem();
    if (NodeKind(field) != nkField || NodeLevel(field) != 2) {
        SetStatusText(NoField);
        return;
    }
    const QString name = StripType(field->text(0));
    try {
        const std::unique_ptr<TIniFile> project
            = OpenProjectFile(field->parent()->parent()->text(0), field->parent()->text(0));
        TfrmFieldProp dialog(this, &DB_Orvane.Session());
        dialog.LinkPicker = [this](QString &target) {
            return LinkTargetPicker(target);
        };
        dialog.SetProps(ReadFieldProps(*project, name));
        if (dialog.exec() == QDialog::Accepted)
            WriteFieldProps(*project, name, dialog.Props());
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
    }
}

void Tform_Main::mnuPopHTMLClick()
{
    QTreeWidgetItem *table = MainTree->currentItem();
    if (NodeKind(table) != nkTable) {
        SetStatusText(QStringLiteral("Select a table first."));
        return;
    }
    const QString alias = table->parent()->text(0);
    const QString folder = ApplicationFolder() + QStringLiteral("Html/");
    QString page;
    try {
        if (!QDir().mkpath(folder))
            throw EDatabaseError(QStringLiteral("Cannot create directory %1").arg(folder));
        if (DB_Orvane.AliasName() != alias) {
            DB_Orvane.Close();
            DB_Orvane.SetAliasName(alias);
        }
        SetStatusText(QStringLiteral("Generating HTML from table ") + table->text(0)
                      + QStringLiteral("..."));
        THtmlPages pages({&DB_Orvane.Session(),
                          folder,
                          DB_Orvane.DatabaseName(),
                          alias,
                          OptionChecked(optVarchar),
                          {}});
        page = pages.WritePage(alias, table->text(0));
    } catch (const EDatabaseError &e) {
        SetStatusText(m_nodePath);
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    SetStatusText(m_nodePath);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder + page)))
        SetStatusText(QStringLiteral("No program opens ") + folder + page);
}
