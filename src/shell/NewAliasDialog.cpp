#include "NewAliasDialog.h"
#include "DialogButtons.h"
#include "Logins.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmNewAliasDialog::TfrmNewAliasDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmNewAliasDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    edtAliasName = new QLineEdit(this);
    edtAliasName->setObjectName(QStringLiteral("edtAliasName"));
    edtUserName = new QLineEdit(this);
    edtUserName->setObjectName(QStringLiteral("edtUserName"));
    auto *lblAliasName = new QLabel(QStringLiteral("&Alias Name:"), this);
    lblAliasName->setObjectName(QStringLiteral("lblAliasName"));
    lblAliasName->setBuddy(edtAliasName);
    auto *lblUserName = new QLabel(QStringLiteral("&User Name:"), this);
    lblUserName->setObjectName(QStringLiteral("lblUserName"));
    lblUserName->setBuddy(edtUserName);
    chkPermanent = new QCheckBox(QStringLiteral("&Permanent"), this);
    chkPermanent->setObjectName(QStringLiteral("chkPermanent"));
    auto *edits = new QGridLayout;
    edits->addWidget(lblAliasName, 0, 0);
    edits->addWidget(edtAliasName, 0, 1);
    edits->addWidget(lblUserName, 1, 0);
    edits->addWidget(edtUserName, 1, 1);
    edits->addWidget(chkPermanent, 2, 1);
    edits->setColumnMinimumWidth(1, 160);

    CreateOkCancel(this, btnOk, btnCancel, QStringLiteral("Ok"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(edits);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmNewAliasDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

QString OpenDataFile(const QString &path, TSession &session, int &dataFileCounter,
                     QStringList &sessionAliases)
{
    const auto ask = [](const QString &caption, bool userEnabled, TNewAliasAnswer &answer) {
        TfrmNewAliasDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(caption);
        dialog.edtAliasName->setText(answer.aliasName);
        dialog.edtUserName->setEnabled(userEnabled);
        if (userEnabled)
            dialog.edtUserName->setText(answer.user);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        answer = {dialog.edtAliasName->text(), dialog.edtUserName->text(),
                  dialog.chkPermanent->isChecked()};
        return true;
    };
    return AddDataFileAlias(path, session, dataFileCounter, sessionAliases, ask);
}
