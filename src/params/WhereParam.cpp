#include "WhereParam.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmWhereParam::TfrmWhereParam(QWidget *parent, TSession *session)
    : TfrmFieldParam(parent, session)
{
    setObjectName(QStringLiteral("frmWhereParam"));
    setWindowTitle(QStringLiteral("WhereParam"));
    setFixedSize(422, 85);
    lblParam->setText(QStringLiteral("WHERE"));
    lblParam->setGeometry(8, 6, 406, 18);
    cmbParam->setGeometry(8, 26, 129, 24);

    cmbCompare = new QComboBox(this);
    cmbCompare->setObjectName(QStringLiteral("cmbCompare"));
    cmbCompare->setEditable(true);
    cmbCompare->setInsertPolicy(QComboBox::NoInsert);
    cmbCompare->setGeometry(141, 26, 64, 24);

    edtValue = new QLineEdit(this);
    edtValue->setObjectName(QStringLiteral("edtValue"));
    edtValue->setGeometry(209, 26, 137, 24);

    btnOk->setGeometry(258, 56, 75, 25);
    btnCancel->setGeometry(339, 56, 75, 25);
    setTabOrder(cmbParam, cmbCompare);
    setTabOrder(cmbCompare, edtValue);
    setTabOrder(edtValue, btnOk);
    setTabOrder(btnOk, btnCancel);

    cmbParam->installEventFilter(this);
    cmbCompare->installEventFilter(this);
}

bool TfrmWhereParam::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == cmbParam)
            cmbParamExit();
        else if (watched == cmbCompare)
            cmbCompareExit();
    }
    return TfrmFieldParam::eventFilter(watched, event);
}

TWhereValue TfrmWhereParam::ValueBox() const
{
    // QLineEdit's "no limit" is its large default; the rules know no limit as 0.
    const int limit = edtValue->maxLength() >= 32767 ? 0 : edtValue->maxLength();
    return {edtValue->text(), limit};
}

void TfrmWhereParam::SetValueBox(const TWhereValue &v)
{
    edtValue->setMaxLength(v.maxLength > 0 ? v.maxLength : 32767);
    edtValue->setText(v.text);
}

void TfrmWhereParam::cmbParamExit()
{
    if (!edtValue->text().isEmpty())
        return;
    const TFieldDef *field = tabSource.FindField(cmbParam->currentText());
    const QString op = cmbCompare->currentText();
    cmbCompare->clear();
    cmbCompare->addItems(WhereOperators(field ? field->DataType : ftUnknown));
    cmbCompare->setCurrentIndex(-1);
    cmbCompare->setEditText(op);
    SetValueBox(WhereFieldValue(field, ValueBox(), Today));
}

void TfrmWhereParam::cmbCompareExit()
{
    SetValueBox(WhereOperatorValue(cmbCompare->currentText(), ValueBox()));
}

void TfrmWhereParam::GetParamValue(QString &Value)
{
    const TFieldDef *field = tabSource.FindField(cmbParam->currentText());
    Value = WhereCondition(cmbParam->currentText(), cmbCompare->currentText(), edtValue->text(),
                           field ? field->DataType : ftUnknown,
                           DialectOfDatabase(*tabSource.Session(), tabSource.DatabaseName));
}
