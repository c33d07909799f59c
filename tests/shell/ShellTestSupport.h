#pragma once

// Starting and stopping the main window the way the program entry does, for widget tests.

#include "Icons.h"
#include "Main.h"
#include "Options.h"

#include <QTest>
#include <QTreeWidget>
#include <memory>

struct TProgram
{
    std::unique_ptr<Tform_Main> main;
    std::unique_ptr<Tfrm_Options> options;

    TProgram()
        : main(std::make_unique<Tform_Main>())
        , options(std::make_unique<Tfrm_Options>(main.get()))
    {}
    ~TProgram() { Stop(); }

    Tform_Main *operator->() const { return main.get(); }
    bool Show()
    {
        main->show();
        return QTest::qWaitForWindowExposed(main.get());
    }
    // Closes the window (the close question and options) and destroys it (the geometry).
    void Stop()
    {
        if (!main)
            return;
        main->memSQL->document()->setModified(false);
        main->close();
        options.reset();
        main.reset();
    }
};

inline QTreeWidgetItem *Selected(const TProgram &p)
{
    return p->MainTree->currentItem();
}

inline QString SelectedText(const TProgram &p)
{
    return Selected(p) ? Selected(p)->text(0) : QString();
}

// The top-level node of an alias.
inline QTreeWidgetItem *AliasNode(const TProgram &p, const QString &alias)
{
    const auto found = p->MainTree->findItems(alias, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

// The child of a node whose name (text before ":" for fields) is the given one.
inline QTreeWidgetItem *Child(QTreeWidgetItem *node, const QString &name)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        const QString text = node->child(i)->text(0);
        if (text == name || text.startsWith(name + QStringLiteral(": ")))
            return node->child(i);
    }
    return nullptr;
}

inline bool SameImage(const QIcon &a, const QIcon &b)
{
    return a.pixmap(16).toImage() == b.pixmap(16).toImage();
}
