#include "FindTree.h"
#include "DialogButtons.h"
#include "Icons.h"
#include "SharedRoutines.h"
#include "TreeLogic.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

static const char *const Placeholders[4]
    = {"(database)", "(table)", "(field/index/p.key)", "(field)"};
static const int DemoKinds[4] = {nkAlias, nkTable, nkIndex, nkIndexField};

TfrmFindTree::TfrmFindTree(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFindTree"));
    setWindowTitle(QStringLiteral("Find in Tree"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    treeDemo = new QTreeWidget(this);
    treeDemo->setObjectName(QStringLiteral("treeDemo"));
    treeDemo->setHeaderHidden(true);
    treeDemo->setFixedWidth(185);
    treeDemo->setItemsExpandable(false);
    treeDemo->setRootIsDecorated(false);
    treeDemo->setIndentation(14);
    QTreeWidgetItem *parentNode = nullptr;
    for (int i = 0; i < 4; ++i) {
        auto *node = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(treeDemo);
        node->setText(0, QString::fromLatin1(Placeholders[i]));
        node->setIcon(0, TreeIcon(DemoKinds[i]));
        m_levels[i] = parentNode = node;
    }
    treeDemo->expandAll();
    connect(treeDemo, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *node) { treeDemoClick(node); });

    lblFind = new QLabel(QStringLiteral("&Find (objects separateds by \".\"):"), this);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^ ]*")), edtFind));
    lblFind->setBuddy(edtFind);
    connect(edtFind, &QLineEdit::textChanged, this, &TfrmFindTree::edtFindChange);

    CreateOkCancel(this, btnOk, btnCancel, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
    btnOk->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *right = new QVBoxLayout;
    right->addWidget(lblFind);
    right->addWidget(edtFind);
    right->addStretch();
    right->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(treeDemo);
    layout->addLayout(right, 1);
    treeDemo->setFixedHeight(treeDemo->sizeHintForRow(0) * 4 + 2 * treeDemo->frameWidth() + 4);
    setMinimumWidth(520);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Typing goes into the path as in every dialog that asks for text.
    edtFind->setFocus(Qt::OtherFocusReason);
}

void TfrmFindTree::edtFindChange(const QString &text)
{
    btnOk->setEnabled(!text.isEmpty());
    const QStringList pieces = Split(text, u'.');
    for (int i = 0; i < 4; ++i) {
        m_levels[i]->setText(0,
                             i < pieces.size() ? pieces[i] : QString::fromLatin1(Placeholders[i]));
        treeDemo->setCurrentItem(m_levels[i]);
        m_levels[i]->setExpanded(true);
    }
}

void TfrmFindTree::treeDemoClick(QTreeWidgetItem *node)
{
    const QString text = edtFind->text();
    const QString piece = node->text(0);
    if (node == m_levels[0]) {
        const qsizetype at = text.indexOf(piece);
        if (at >= 0)
            edtFind->setSelection(int(at), int(piece.size()));
        return;
    }
    const qsizetype at = text.indexOf(u'.' + piece);
    if (at >= 0)
        edtFind->setSelection(int(at + 1), int(piece.size()));
}
