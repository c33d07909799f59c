#include "FindCmdDlg.h"
#include "DialogButtons.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

Tfrm_FindCmd::Tfrm_FindCmd(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_FindCmd"));
    setWindowTitle(QStringLiteral("Find Command"));

    lblFind = new QLabel(QStringLiteral("&Text:"), this);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setMinimumWidth(260);
    lblFind->setBuddy(edtFind);

    chkCase = new QCheckBox(QStringLiteral("&Case sensitive"), this);
    chkCase->setObjectName(QStringLiteral("chkCase"));
    chkWhole = new QCheckBox(QStringLiteral("&Whole words"), this);
    chkWhole->setObjectName(QStringLiteral("chkWhole"));

    rdgDirection = new QGroupBox(QStringLiteral("Direction"), this);
    rdgDirection->setObjectName(QStringLiteral("rdgDirection"));
    rdbForward = new QRadioButton(QStringLiteral("&Forward"), rdgDirection);
    rdbForward->setObjectName(QStringLiteral("rdbForward"));
    rdbBackward = new QRadioButton(QStringLiteral("&Backward"), rdgDirection);
    rdbBackward->setObjectName(QStringLiteral("rdbBackward"));
    rdbForward->setChecked(true);
    auto *directions = new QHBoxLayout(rdgDirection);
    directions->addWidget(rdbForward);
    directions->addWidget(rdbBackward);

    CreateOkCancel(this, btnOk, btnCancel, QStringLiteral("&Ok"));

    auto *text = new QHBoxLayout;
    text->addWidget(lblFind);
    text->addWidget(edtFind);
    auto *checks = new QVBoxLayout;
    checks->addWidget(chkCase);
    checks->addWidget(chkWhole);
    checks->addStretch();
    auto *options = new QHBoxLayout;
    options->addLayout(checks);
    options->addWidget(rdgDirection);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addLayout(text);
    main->addLayout(options);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);
}

int Tfrm_FindCmd::DirectionIndex() const
{
    return rdbBackward->isChecked() ? 1 : 0;
}
