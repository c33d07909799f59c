#pragma once

#include "LinkLogic.h"
#include "Table.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The display and validation properties of one field and its link, as its table's
// project file keeps them.
class TfrmFieldProp : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFieldProp(QWidget *parent = nullptr, TSession *session = nullptr);

    // Given the current target text: whether a new target was picked, and then its text.
    using TLinkPicker = std::function<bool(QString &target)>;
    TLinkPicker LinkPicker;

    void SetProps(const TFieldProps &props);
    TFieldProps Props() const;

    // Offers the fields of the lookup table as result fields.
    void edtLookupExit();
    void btnLookupClick();

    QCheckBox *chkRequired;
    QLineEdit *edtTitle;
    QGroupBox *grpValue;
    QLineEdit *edtMin;
    QLineEdit *edtMax;
    QGroupBox *grpLink;
    QLineEdit *edtLookup;
    QPushButton *btnLookup;
    QComboBox *cmbResField;
    QPushButton *btnOk;
    QPushButton *btnCancel;
    TTable tabLink;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
