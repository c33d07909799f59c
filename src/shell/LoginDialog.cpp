#include "LoginDialog.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

// The longest user name and password the login accepts.
static constexpr int LoginTextLimit = 31;

Tform_LoginDialog::Tform_LoginDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("form_LoginDialog"));
    setWindowTitle(QStringLiteral("Database Login"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("panDatabase"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *lblDatabase = new QLabel(QStringLiteral("Database:"), panel);
    lblDatabase->setObjectName(QStringLiteral("lblDatabase"));
    lblDatabaseName = new QLabel(panel);
    lblDatabaseName->setObjectName(QStringLiteral("lblDatabaseName"));
    lblDatabaseName->setTextFormat(Qt::PlainText); // an alias name
    auto *panelRow = new QHBoxLayout(panel);
    panelRow->addWidget(lblDatabase);
    panelRow->addWidget(lblDatabaseName, 1);

    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("bvlLine"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    edtUserName = new QLineEdit(this);
    edtUserName->setObjectName(QStringLiteral("edtUserName"));
    edtUserName->setMaxLength(LoginTextLimit);
    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setMaxLength(LoginTextLimit);
    edtPassword->setEchoMode(QLineEdit::Password);
    edtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    auto *lblUserName = new QLabel(QStringLiteral("&User Name:"), this);
    lblUserName->setObjectName(QStringLiteral("lblUserName"));
    lblUserName->setBuddy(edtUserName);
    auto *lblPassword = new QLabel(QStringLiteral("&Password:"), this);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    lblPassword->setBuddy(edtPassword);
    auto *edits = new QGridLayout;
    edits->addWidget(lblUserName, 0, 0);
    edits->addWidget(edtUserName, 0, 1);
    edits->addWidget(lblPassword, 1, 0);
    edits->addWidget(edtPassword, 1, 1);
    edits->setColumnMinimumWidth(1, 180);

    imgLogin = new QLabel(this);
    imgLogin->setObjectName(QStringLiteral("imgLogin"));
    imgLogin->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(imgLogin);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(line);
    layout->addLayout(edits);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(edtUserName, edtPassword);
    setTabOrder(edtPassword, btnOK);
    setTabOrder(btnOK, btnCancel);
}

void Tform_LoginDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    edtUserName->setFocus();
}

bool ShowLoginDialog(const QString &alias, QString &user, QString &password)
{
    Tform_LoginDialog dialog(QApplication::activeWindow());
    // A login often comes while a tree level is read under the hourglass: type under an arrow.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    dialog.lblDatabaseName->setText(alias);
    dialog.edtUserName->setText(user);
    dialog.edtPassword->setText(password);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    user = dialog.edtUserName->text();
    password = dialog.edtPassword->text();
    return accepted;
}
