#pragma once

// Starting and stopping the main window the way the program entry does, for widget tests.

#include "Icons.h"
#include "Main.h"
#include "MessageDlg.h"
#include "Options.h"

#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <functional>
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

// The editor's text, line by line.
inline QStringList Lines(const TProgram &p)
{
    return p->memSQL->toPlainText().split(u'\n');
}

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

// Collects what the message dialog would show, answering each with the reply.
struct TShownMessages
{
    QStringList texts;
    QMessageBox::StandardButton reply;
    TMessageHandler previous;
    explicit TShownMessages(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : reply(answer)
    {
        previous = SetMessageDlgHandler(
            [this](const QString &text, TMsgDlgType, QMessageBox::StandardButtons) {
                texts << text;
                return reply;
            });
    }
    ~TShownMessages() { SetMessageDlgHandler(previous); }
};

// Runs what once, when the progress bar first reaches the value: input that arrives in
// the middle of a long piece of work.
inline void AtProgress(QProgressBar *bar, int value, std::function<void()> what)
{
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(bar, &QProgressBar::valueChanged, bar, [=](int now) {
        if (now < value)
            return;
        QObject::disconnect(*once);
        what();
    });
}
