#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Asks for a dotted path and shows, in a small tree, which piece names which level.
class TfrmFindTree : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFindTree(QWidget *parent = nullptr);

    QTreeWidget *treeDemo;
    QLabel *lblFind;
    QLineEdit *edtFind;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    void edtFindChange(const QString &text);
    void treeDemoClick(QTreeWidgetItem *node);

private:
    QTreeWidgetItem *m_levels[4];
};
