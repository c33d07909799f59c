#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Asks for the words of a statement to find in the script, and how to look for them.
class Tfrm_FindCmd : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrm_FindCmd(QWidget *parent = nullptr);

    QLabel *lblFind;
    QLineEdit *edtFind;
    QCheckBox *chkCase;
    QCheckBox *chkWhole;
    QGroupBox *rdgDirection;
    QRadioButton *rdbForward;
    QRadioButton *rdbBackward;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    // 0 forward, 1 backward, as the direction group's items stand.
    int DirectionIndex() const;
};
