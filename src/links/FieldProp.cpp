#include "FieldProp.h"
#include "EngineError.h"
#include "MessageDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

static QLabel *BuddyLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

TfrmFieldProp::TfrmFieldProp(QWidget *parent, TSession *session)
    : QDialog(parent)
    , tabLink(session)
{
    setObjectName(QStringLiteral("frmFieldProp"));
    setWindowTitle(QStringLiteral("Field Properties"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    chkRequired = new QCheckBox(QStringLiteral("&Required"), this);
    chkRequired->setObjectName(QStringLiteral("chkRequired"));
    edtTitle = new QLineEdit(this);
    edtTitle->setObjectName(QStringLiteral("edtTitle"));

    grpValue = new QGroupBox(QStringLiteral("Value"), this);
    grpValue->setObjectName(QStringLiteral("grpValue"));
    edtMin = new QLineEdit(grpValue);
    edtMin->setObjectName(QStringLiteral("edtMin"));
    edtMax = new QLineEdit(grpValue);
    edtMax->setObjectName(QStringLiteral("edtMax"));
    auto *values = new QHBoxLayout(grpValue);
    values->addWidget(BuddyLabel(QStringLiteral("Mi&n"), edtMin, grpValue));
    values->addWidget(edtMin);
    values->addWidget(BuddyLabel(QStringLiteral("Ma&x"), edtMax, grpValue));
    values->addWidget(edtMax);

    grpLink = new QGroupBox(QStringLiteral("Link"), this);
    grpLink->setObjectName(QStringLiteral("grpLink"));
    edtLookup = new QLineEdit(grpLink);
    edtLookup->setObjectName(QStringLiteral("edtLookup"));
    edtLookup->installEventFilter(this);
    btnLookup = new QPushButton(QStringLiteral("..."), grpLink);
    btnLookup->setObjectName(QStringLiteral("btnLookup"));
    btnLookup->setAutoDefault(false);
    btnLookup->setFixedWidth(btnLookup->fontMetrics().horizontalAdvance(QStringLiteral("...."))
                             + 16);
    connect(btnLookup, &QPushButton::clicked, this, &TfrmFieldProp::btnLookupClick);
    cmbResField = new QComboBox(grpLink);
    cmbResField->setObjectName(QStringLiteral("cmbResField"));
    cmbResField->setEditable(true);
    cmbResField->setInsertPolicy(QComboBox::NoInsert);
    cmbResField->setEnabled(false);
    auto *lookupRow = new QHBoxLayout;
    lookupRow->addWidget(edtLookup, 1);
    lookupRow->addWidget(btnLookup);
    auto *link = new QFormLayout(grpLink);
    link->addRow(BuddyLabel(QStringLiteral("&Lookup"), edtLookup, grpLink), lookupRow);
    link->addRow(BuddyLabel(QStringLiteral("Re&sult Field"), cmbResField, grpLink), cmbResField);

    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *top = new QFormLayout;
    top->addRow(QString(), chkRequired);
    top->addRow(BuddyLabel(QStringLiteral("&Title"), edtTitle, this), edtTitle);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(grpValue);
    layout->addWidget(grpLink);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(360);
}

void TfrmFieldProp::SetProps(const TFieldProps &props)
{
    chkRequired->setChecked(props.required);
    edtTitle->setText(props.title);
    edtMin->setText(props.minValue);
    edtMax->setText(props.maxValue);
    edtLookup->setText(props.lookup);
    cmbResField->setEditText(props.resultField);
}

TFieldProps TfrmFieldProp::Props() const
{
    return {chkRequired->isChecked(), edtTitle->text(),  edtMin->text(),
            edtMax->text(),           edtLookup->text(), cmbResField->currentText()};
}

void TfrmFieldProp::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!edtLookup->text().isEmpty())
        edtLookupExit();
}

bool TfrmFieldProp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edtLookup && event->type() == QEvent::FocusOut)
        edtLookupExit();
    return QDialog::eventFilter(watched, event);
}

void TfrmFieldProp::edtLookupExit()
{
    const bool linked = !edtLookup->text().isEmpty();
    const QString text = cmbResField->currentText();
    cmbResField->setEnabled(linked);
    cmbResField->clear();
    if (!linked) {
        cmbResField->setEditText(QString());
        return;
    }
    cmbResField->setEditText(text);
    const TLookupTable target = LookupTableOf(edtLookup->text());
    if (!target.IsValid())
        return;
    try {
        tabLink.DatabaseName = target.alias;
        tabLink.TableName = target.table;
        tabLink.UpdateFieldDefs();
    } catch (const EDatabaseError &e) {
        tabLink.FieldDefs.clear();
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    QStringList names;
    for (const TFieldDef &f : tabLink.FieldDefs)
        names << f.Name;
    cmbResField->addItems(names);
    cmbResField->setEditText(text);
}

void TfrmFieldProp::btnLookupClick()
{
    if (!LinkPicker)
        return;
    QString target = edtLookup->text();
    if (LinkPicker(target))
        edtLookup->setText(target);
}
