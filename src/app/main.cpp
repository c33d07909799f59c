#include "EngineError.h"
#include "Session.h"
#include "SharedRoutines.h"

#include <QApplication>
#include <QMessageBox>
#include <QTreeWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));

    QTreeWidget tree;
    tree.setObjectName(QStringLiteral("MainTree"));
    tree.setWindowTitle(QStringLiteral("Orvane"));
    tree.setHeaderHidden(true);
    tree.resize(480, 600);
    try {
        TSession &session = TSession::Default();
        for (const QString &alias : session.GetAliasNames()) {
            auto *item = new QTreeWidgetItem(&tree, {alias});
            if (alias == QLatin1String("DEMO")) {
                for (const QString &table : AliasTableNames(alias))
                    new QTreeWidgetItem(item, {table});
                item->setExpanded(true);
            }
        }
    } catch (const EDatabaseError &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Orvane"), e.Message());
    }
    tree.show();
    return app.exec();
}
