#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Asks for a line: a number, or "+n" / "-n" relative to the caret. The spin buttons step
// the number within the text's lines.
class TfrmGotoLine : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmGotoLine(QWidget *parent = nullptr);

    QLabel *lblLineNumber;
    QLineEdit *edtLineNumber;
    QSpinBox *upLineNumber;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    // The spin buttons' range end and position; the position is also the edit's text.
    void SetRange(int maximum, int position);
};
