#pragma once

#include "FieldParam.h"
#include "WhereLogic.h"

#include <QDate>

class QLineEdit;

// Builds one WHERE condition from a field, a comparison operator and a value.
class TfrmWhereParam : public TfrmFieldParam
{
    Q_OBJECT
public:
    explicit TfrmWhereParam(QWidget *parent = nullptr, TSession *session = nullptr);

    QComboBox *cmbCompare;
    QLineEdit *edtValue;
    // The date proposed for date and time fields; today unless a caller fixes it.
    QDate Today = QDate::currentDate();

    void GetParamValue(QString &Value) override;

    // Leaving the field combo with an empty value box: operators and value for its type.
    void cmbParamExit();
    // Leaving the operator combo: brackets for "in", quotes for "like".
    void cmbCompareExit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TWhereValue ValueBox() const;
    void SetValueBox(const TWhereValue &v);
};
