#include "GotoLine.h"
#include "DialogButtons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TfrmGotoLine::TfrmGotoLine(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmGotoLine"));
    setWindowTitle(QStringLiteral("Goto Line"));

    lblLineNumber = new QLabel(QStringLiteral("&Line Number:"), this);
    lblLineNumber->setObjectName(QStringLiteral("lblLineNumber"));
    edtLineNumber = new QLineEdit(QStringLiteral("1"), this);
    edtLineNumber->setObjectName(QStringLiteral("edtLineNumber"));
    lblLineNumber->setBuddy(edtLineNumber);

    // Only the spin box's buttons show; the number itself lives in the edit, which also
    // takes relative targets the spin box could not hold.
    upLineNumber = new QSpinBox(this);
    upLineNumber->setObjectName(QStringLiteral("upLineNumber"));
    upLineNumber->setRange(1, 1);
    upLineNumber->setWrapping(false);
    upLineNumber->setFixedWidth(18);
    upLineNumber->setFocusPolicy(Qt::NoFocus);
    connect(upLineNumber, &QSpinBox::valueChanged, this,
            [this](int v) { edtLineNumber->setText(QString::number(v)); });
    connect(edtLineNumber, &QLineEdit::textEdited, this, [this](const QString &t) {
        bool ok = false;
        const int v = t.toInt(&ok);
        if (ok && v >= upLineNumber->minimum() && v <= upLineNumber->maximum()) {
            const QSignalBlocker block(upLineNumber);
            upLineNumber->setValue(v);
        }
    });

    CreateOkCancel(this, btnOk, btnCancel, QStringLiteral("OK"));

    auto *edit = new QHBoxLayout;
    edit->setSpacing(0);
    edit->addWidget(edtLineNumber);
    edit->addWidget(upLineNumber);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addWidget(lblLineNumber);
    main->addLayout(edit);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmGotoLine::SetRange(int maximum, int position)
{
    upLineNumber->setRange(1, std::max(maximum, 1));
    upLineNumber->setValue(position);
    edtLineNumber->setText(QString::number(upLineNumber->value()));
    edtLineNumber->selectAll();
}
