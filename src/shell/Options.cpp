#include "Options.h"
#include "Settings.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Tfrm_Options *frm_Options = nullptr;

Tfrm_Options::Tfrm_Options(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_Options"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    cklOpt = new QListWidget(this);
    cklOpt->setObjectName(QStringLiteral("cklOpt"));
    for (int i = 0; i < OptionCount; ++i) {
        auto *item = new QListWidgetItem(OptionCaption(i), cklOpt);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(OptionDefault(i) ? Qt::Checked : Qt::Unchecked);
    }
    const int rowHeight = cklOpt->sizeHintForRow(0);
    cklOpt->setFixedHeight(rowHeight * OptionCount + 2 * cklOpt->frameWidth() + 4);

    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(cklOpt);
    layout->addWidget(btnOk, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(220);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center()
             - QPoint(sizeHint().width(), sizeHint().height()) / 2);
    frm_Options = this;
}

Tfrm_Options::~Tfrm_Options()
{
    if (frm_Options == this)
        frm_Options = nullptr;
}

bool Tfrm_Options::Checked(int index) const
{
    return cklOpt->item(index)->checkState() == Qt::Checked;
}

void Tfrm_Options::SetChecked(int index, bool checked)
{
    cklOpt->item(index)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool OptionChecked(int index)
{
    return frm_Options ? frm_Options->Checked(index) : OptionDefault(index);
}
