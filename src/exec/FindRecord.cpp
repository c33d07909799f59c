#include "FindRecord.h"

#include "DataSet.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmFindRecord::TfrmFindRecord(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmFindRecord"));
    setWindowTitle(QStringLiteral("Locate..."));
    auto *label = new QLabel(QStringLiteral("&Text:"), this);
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    label->setBuddy(edtFind);
    chkCase = new QCheckBox(QStringLiteral("&Case sensitive"), this);
    chkCase->setObjectName(QStringLiteral("chkCase"));
    chkCase->setChecked(true);
    chkWhole = new QCheckBox(QStringLiteral("&Whole words"), this);
    chkWhole->setObjectName(QStringLiteral("chkWhole"));
    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(edtFind, 0, 1, 1, 2);
    grid->addWidget(chkCase, 1, 1);
    grid->addWidget(chkWhole, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    grid->addLayout(buttons, 2, 0, 1, 3);
}

unsigned TfrmFindRecord::LocateOptions() const
{
    return (chkCase->isChecked() ? 0u : unsigned(loCaseInsensitive))
        | (chkWhole->isChecked() ? 0u : unsigned(loPartialKey));
}
