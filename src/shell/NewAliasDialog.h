#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TSession;

// The alias a data file becomes: its name, its user and whether it is kept for later runs.
class TfrmNewAliasDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmNewAliasDialog(QWidget *parent = nullptr);

    QLineEdit *edtAliasName;
    QLineEdit *edtUserName;
    QCheckBox *chkPermanent;
    QPushButton *btnOk;
    QPushButton *btnCancel;

protected:
    void showEvent(QShowEvent *event) override;
};

// Opens a data file as an alias, asking with the new alias dialog; returns the node path
// to select. Throws EDatabaseError when the session refuses the alias.
QString OpenDataFile(const QString &path, TSession &session, int &dataFileCounter,
                     QStringList &sessionAliases);
