#include "Param.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmParam::TfrmParam(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmParam"));
    setWindowTitle(QStringLiteral("Param"));
    setFixedSize(306, 85);

    lblParam = new QLabel(this);
    lblParam->setObjectName(QStringLiteral("lblParam"));
    lblParam->setTextFormat(Qt::PlainText); // a placeholder's name, as the script wrote it
    lblParam->setGeometry(8, 6, 290, 18);

    cmbParam = new QComboBox(this);
    cmbParam->setObjectName(QStringLiteral("cmbParam"));
    cmbParam->setEditable(true);
    cmbParam->setInsertPolicy(QComboBox::NoInsert);
    // Typed values are often prefixes of earlier ones (a size of 3 after one of 30): inline
    // completion would quietly confirm the longer one.
    cmbParam->setCompleter(nullptr);
    cmbParam->setGeometry(8, 26, 290, 24);
    lblParam->setBuddy(cmbParam);

    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    btnOk->setGeometry(142, 56, 75, 25);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(223, 56, 75, 25);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmbParam, &QComboBox::editTextChanged, this, [this] { cmbParamChange(); });
}

void TfrmParam::GetParamValue(QString &Value)
{
    Value = cmbParam->currentText();
}

void TfrmParam::SetChoices(const QStringList &items)
{
    const QString text = cmbParam->currentText();
    const QSignalBlocker block(cmbParam);
    cmbParam->clear();
    cmbParam->addItems(items);
    cmbParam->setCurrentIndex(-1);
    cmbParam->setEditText(text);
}

void TfrmParam::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    cmbParamChange();
    cmbParam->setFocus(Qt::OtherFocusReason);
    cmbParam->lineEdit()->selectAll();
}

bool TfrmParam::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        cmbParamChange();
    return QDialog::event(event);
}

void TfrmParam::cmbParamChange()
{
    btnOk->setEnabled(!cmbParam->currentText().isEmpty());
}
