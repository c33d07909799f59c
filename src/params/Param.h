#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The free-value parameter dialog and the base of the other parameter dialogs: a label
// naming the placeholder, a combo with the value and its choices, Ok and Cancel.
class TfrmParam : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmParam(QWidget *parent = nullptr);

    QLabel *lblParam;
    QComboBox *cmbParam;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    // The value the dialog gives for its placeholder.
    virtual void GetParamValue(QString &Value);

    // Replaces the combo's choices and keeps the text typed or proposed in it.
    void SetChoices(const QStringList &items);

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    // Enables Ok exactly when there is text to confirm.
    void cmbParamChange();
};
