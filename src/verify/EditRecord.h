#pragma once

#include <QDialog>

class QPushButton;
class QWidget;
class TAreaWizard;
class TDataSource;

// The form in which one row of a result is inserted or edited: an area wizard fills it
// with one data-bound control per field; OK is accepted only when every control passes.
// The caller points dsEdit at the dataset, sets the wizard's DataSource, fills the
// controls, shows the form and writes the area into the row on OK.
class TfrmEditRecord : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmEditRecord(QWidget *parent = nullptr);
    ~TfrmEditRecord() override;

    QWidget *panCtrl;
    QPushButton *btnOk;
    QPushButton *btnCancel;
    TDataSource *dsEdit;
    TAreaWizard *Wizard;
    int FocusIndex = -1;

    void btnOkClick();

protected:
    void showEvent(QShowEvent *event) override;
};
