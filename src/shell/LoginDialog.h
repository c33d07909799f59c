#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The login question for a database alias: user name and password, at most 31 characters
// each, the password shown as "*".
class Tform_LoginDialog : public QDialog
{
    Q_OBJECT
public:
    explicit Tform_LoginDialog(QWidget *parent = nullptr);

    QLabel *lblDatabaseName;
    QLineEdit *edtUserName;
    QLineEdit *edtPassword;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    QLabel *imgLogin;

protected:
    void showEvent(QShowEvent *event) override;
};

// Shows the login dialog for an alias with the given user and password; true on OK, with
// user and password taken from the edits. The TLoginAsk of the main window's login event.
bool ShowLoginDialog(const QString &alias, QString &user, QString &password);
