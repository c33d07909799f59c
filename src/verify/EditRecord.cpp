#include "EditRecord.h"
#include "DataSource.h"
#include "VerifyArea.h"

#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmEditRecord::TfrmEditRecord(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEditRecord"));
    setWindowTitle(QStringLiteral("frmEditRecord"));
    resize(391, 313);
    setFont(QFont(QStringLiteral("MS Sans Serif")));
    dsEdit = new TDataSource(this);
    dsEdit->setObjectName(QStringLiteral("dsEdit"));

    panCtrl = new QWidget(this);
    panCtrl->setObjectName(QStringLiteral("panCtrl"));
    panCtrl->setFixedHeight(35);
    btnOk = new QPushButton(QStringLiteral("OK"), panCtrl);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setGeometry(8, 8, 75, 25);
    btnOk->setProperty("TabOrder", 0);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), panCtrl);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(96, 8, 75, 25);
    btnCancel->setProperty(ModalResultProperty, mrCancel);
    connect(btnOk, &QPushButton::clicked, this, &TfrmEditRecord::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch();
    layout->addWidget(panCtrl);

    Wizard = new TAreaWizard(this);
    Wizard->setObjectName(QStringLiteral("Wizard"));
}

TfrmEditRecord::~TfrmEditRecord() = default;

void TfrmEditRecord::showEvent(QShowEvent *event)
{
    if (TArea *area = Wizard->Area()) {
        area->TabOrder = 1;
        QSize size(area->width(), area->height() + panCtrl->height());
        // A form of many fields stays on the screen; its area scrolls.
        if (const QScreen *s = screen())
            size = size.boundedTo(s->availableSize() * 0.9);
        resize(size);
        auto *layout = static_cast<QVBoxLayout *>(this->layout());
        if (layout->indexOf(area) < 0) {
            delete layout->takeAt(0); // the stretch that kept the panel at the bottom
            layout->insertWidget(0, area, 1);
        }
        area->setWidgetResizable(false);
        area->FocusControl(FocusIndex);
    }
    QDialog::showEvent(event);
}

void TfrmEditRecord::btnOkClick()
{
    TArea *area = Wizard->Area();
    if (!area || area->Validate())
        accept();
}
