#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

// The four generation options, shown and hidden for the whole run.
class Tfrm_Options : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrm_Options(QWidget *parent = nullptr);
    ~Tfrm_Options() override;

    bool Checked(int index) const;
    void SetChecked(int index, bool checked);

    QListWidget *cklOpt;
    QPushButton *btnOk;
};

// The one options dialog of the run; null before it is created. Generators read it.
extern Tfrm_Options *frm_Options;
// The option's check state, or its default when the dialog does not exist.
bool OptionChecked(int index);
