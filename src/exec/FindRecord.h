#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// Asks for the text to locate in one field and how to compare it.
class TfrmFindRecord : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFindRecord(QWidget *parent = nullptr);

    QLineEdit *edtFind;
    QCheckBox *chkCase;
    QCheckBox *chkWhole;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    // The engine's locate options for the boxes' states.
    unsigned LocateOptions() const;
};
