#include "QueryProp.h"
#include "SelectText.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

namespace {

// The six tree images: a letter on a coloured square for each clause, a dot for an item.
QIcon PropImage(int image)
{
    static const char *const letters[] = {"S", "F", "W", "G", "O"};
    static const QColor colours[]
        = {QColor(0x2e, 0x6d, 0xb4), QColor(0x3a, 0x8f, 0x3a), QColor(0xc0, 0x6a, 0x10),
           QColor(0x8a, 0x3f, 0xa8), QColor(0xa8, 0x2f, 0x3f)};
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (image >= piSelect && image <= piOrderBy) {
        p.setBrush(colours[image]);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(1, 1, 14, 14, 3, 3);
        QFont font = p.font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString::fromLatin1(letters[image]));
    } else {
        p.setBrush(QColor(0x60, 0x60, 0x60));
        p.setPen(Qt::NoPen);
        p.drawEllipse(5, 5, 6, 6);
    }
    return QIcon(pixmap);
}

QToolButton *NewButton(QWidget *parent, const char *name, const QString &glyph, const QString &hint,
                       int x, int y)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(glyph);
    b->setToolTip(hint);
    b->setGeometry(x, y, 33, 25);
    return b;
}

} // namespace

TfrmQueryProp::TfrmQueryProp(QWidget *owner, TSession *session)
    : QDialog(owner,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowCloseButtonHint)
    , qrySource(session)
{
    setObjectName(QStringLiteral("TfrmQueryProp"));
    setWindowTitle(QStringLiteral("Query Properties"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(255, 221);
    // Painted once: a long statement shows hundreds of items.
    for (int image = piSelect; image <= piItem; ++image)
        m_images[size_t(image)] = PropImage(image);

    treeProps = new QTreeWidget(this);
    treeProps->setObjectName(QStringLiteral("treeProps"));
    treeProps->setGeometry(8, 8, 200, 137);
    treeProps->setHeaderHidden(true);
    treeProps->setIndentation(19);
    treeProps->setContextMenuPolicy(Qt::CustomContextMenu);
    edtProp = new QLineEdit(this);
    edtProp->setObjectName(QStringLiteral("edtProp"));
    edtProp->setGeometry(8, 164, 200, 21);

    btnAdd = NewButton(this, "btnAdd", QStringLiteral("+"), QStringLiteral("Add"), 8, 192);
    btnDrop = NewButton(this, "btnDrop", QStringLiteral("\u2212"), QStringLiteral("Drop"), 56, 192);
    btnEdit
        = NewButton(this, "btnEdit", QStringLiteral("\u270e"), QStringLiteral("Edit"), 175, 192);
    btnUp = NewButton(this, "btnUp", QStringLiteral("\u25b2"), QStringLiteral("Up"), 216, 40);
    btnDown = NewButton(this, "btnDown", QStringLiteral("\u25bc"), QStringLiteral("Down"), 216, 88);

    popCmd = new QMenu(this);
    popCmd->setObjectName(QStringLiteral("popCmd"));
    QAction **items[] = {&popCmdSelect, &popCmdFrom, &popCmdWhere, &popCmdGroupBy, &popCmdOrderBy};
    static const char *const names[]
        = {"popCmdSelect", "popCmdFrom", "popCmdWhere", "popCmdGroupBy", "popCmdOrderBy"};
    for (int image = piSelect; image <= piOrderBy; ++image) {
        QAction *a = popCmd->addAction(m_images[size_t(image)], ClauseCaption(image));
        a->setObjectName(QLatin1String(names[image]));
        a->setData(image);
        *items[image] = a;
        connect(a, &QAction::triggered, this, [this, a] { popCmdSelectClick(a); });
    }

    connect(treeProps, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { popCmd->popup(treeProps->viewport()->mapToGlobal(at)); });
    connect(treeProps, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *node) { treePropsChanging(node); });
    connect(btnAdd, &QToolButton::clicked, this, &TfrmQueryProp::btnAddClick);
    connect(btnDrop, &QToolButton::clicked, this, &TfrmQueryProp::btnDropClick);
    connect(btnEdit, &QToolButton::clicked, this, &TfrmQueryProp::btnEditClick);
    connect(btnUp, &QToolButton::clicked, this, &TfrmQueryProp::btnUpClick);
    connect(btnDown, &QToolButton::clicked, this, &TfrmQueryProp::btnDownClick);

    // Until the first load: the clauses with a placeholder field.
    auto *select = new QTreeWidgetItem(treeProps, {ClauseCaption(piSelect)});
    select->setIcon(0, m_images[piSelect]);
    new QTreeWidgetItem(select, {QStringLiteral("(field)")});
    for (int image = piFrom; image <= piOrderBy; ++image)
        new QTreeWidgetItem(treeProps, {ClauseCaption(image)});
}

bool TfrmQueryProp::LoadQuery()
{
    QString error;
    const bool ok = m_tree.Load(qrySource, error);
    SetControlsEnabled(ok);
    if (!ok) {
        const qsizetype dot = error.indexOf(u'.');
        edtProp->setText(dot < 0 ? error : error.left(dot + 1));
    } else {
        edtProp->clear();
    }
    ShowTree();
    return ok;
}

int TfrmQueryProp::FindClause(int image)
{
    const int at = m_tree.FindClause(image);
    ShowTree();
    return at;
}

void TfrmQueryProp::SetControlsEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *> {treeProps, edtProp, btnAdd, btnDrop,
                                                        btnEdit, btnUp, btnDown})
        w->setEnabled(enabled);
    popCmd->setEnabled(enabled);
}

bool TfrmQueryProp::SameShape() const
{
    // Nothing shown yet may still be the placeholder tree of a new window.
    if (m_items.isEmpty() || m_items.size() != m_tree.Count())
        return false;
    for (int i = 0; i < m_tree.Count(); ++i)
        if (m_items[i]->data(0, Qt::UserRole).toInt() != m_tree.Nodes()[i].Image)
            return false;
    return true;
}

void TfrmQueryProp::ShowTree()
{
    m_showing = true;
    // Edits and moves change texts only: the nodes stay, so a long statement is not built
    // again item by item.
    if (SameShape()) {
        for (int i = 0; i < m_tree.Count(); ++i)
            if (m_items[i]->text(0) != m_tree.Nodes()[i].Text)
                m_items[i]->setText(0, m_tree.Nodes()[i].Text);
        ShowSelection();
        m_showing = false;
        return;
    }
    treeProps->clear();
    m_items.clear();
    QTreeWidgetItem *clause = nullptr;
    QList<QTreeWidgetItem *> top;
    for (const TPropNode &node : m_tree.Nodes()) {
        QTreeWidgetItem *item = nullptr;
        if (node.Image == piItem && clause) {
            item = new QTreeWidgetItem(clause, {node.Text});
            item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
        } else {
            item = clause = new QTreeWidgetItem(QStringList {node.Text});
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            top << item;
        }
        item->setIcon(0, m_images[size_t(std::clamp(node.Image, 0, int(piItem)))]);
        item->setData(0, Qt::UserRole, node.Image);
        m_items << item;
    }
    treeProps->addTopLevelItems(top);
    treeProps->expandAll();
    ShowSelection();
    m_showing = false;
}

void TfrmQueryProp::ShowSelection()
{
    const int selected = m_tree.Selected();
    if (selected >= 0 && selected < m_items.size()) {
        treeProps->setCurrentItem(m_items[selected]);
        if (m_tree.IsItem(selected))
            edtProp->setText(m_tree.Nodes()[selected].Text);
    } else {
        treeProps->setCurrentItem(nullptr);
    }
}

void TfrmQueryProp::treePropsChanging(QTreeWidgetItem *node)
{
    if (m_showing)
        return;
    const int index = int(m_items.indexOf(node));
    m_tree.Select(index);
    if (m_tree.IsItem(index))
        edtProp->setText(m_tree.Nodes()[index].Text);
}

void TfrmQueryProp::WriteQuery()
{
    ShowTree();
    qrySource.Close();
    qrySource.SQL = m_tree.Write();
    if (OnQueryChange)
        OnQueryChange(this);
}

void TfrmQueryProp::btnAddClick()
{
    if (m_tree.Add(edtProp->text()))
        WriteQuery();
}

void TfrmQueryProp::btnDropClick()
{
    if (m_tree.Drop())
        WriteQuery();
}

void TfrmQueryProp::btnEditClick()
{
    if (m_tree.Edit(edtProp->text()))
        WriteQuery();
}

void TfrmQueryProp::btnUpClick()
{
    if (m_tree.Up())
        WriteQuery();
}

void TfrmQueryProp::btnDownClick()
{
    if (m_tree.Down())
        WriteQuery();
}

void TfrmQueryProp::popCmdSelectClick(QAction *item)
{
    m_tree.ClauseCommand(item->text(), item->data().toInt());
    ShowTree();
}

void TfrmQueryProp::FormActivate()
{
    if (OnQueryActivate)
        OnQueryActivate(this);
}

bool TfrmQueryProp::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TfrmQueryProp::closeEvent(QCloseEvent *e)
{
    if (OnQueryClose)
        OnQueryClose(this);
    e->accept();
}
