#pragma once

// Answers the modal dialogs a command opens, one handler per dialog in the order they
// appear. A handler that is missing when a dialog shows rejects that dialog, so a test
// never hangs on an unexpected question.

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <functional>

class TModalAnswers : public QObject
{
public:
    using THandler = std::function<void(QWidget *dialog)>;

    TModalAnswers()
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, &TModalAnswers::Poll);
        m_timer.start();
    }
    void Add(THandler h) { m_handlers.push_back(std::move(h)); }
    int Seen() const { return m_seen; }
    int Pending() const { return int(m_handlers.size()) - m_next; }

private:
    void Poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || w == m_last || !w->isVisible())
            return;
        m_last = w;
        ++m_seen;
        if (m_next < int(m_handlers.size())) {
            // A timer never fires inside its own slot: one more polls while the handler runs,
            // for the dialogs it opens. A copy, as the handler may add handlers.
            QTimer nested;
            connect(&nested, &QTimer::timeout, this, &TModalAnswers::Poll);
            nested.start(10);
            const THandler handler = m_handlers[size_t(m_next++)];
            handler(w);
        } else if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
    }

    QTimer m_timer;
    std::vector<THandler> m_handlers;
    int m_next = 0;
    int m_seen = 0;
    QPointer<QWidget> m_last;
};

// Chooses a file in an open file dialog as a user typing its path would. selectFile alone
// leaves the name box alone once it has focus, and the dialog would then answer the
// folder; on a loaded machine the focus often comes first.
inline void ChooseFileIn(QFileDialog *dialog, const QString &file)
{
    dialog->selectFile(file);
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(file);
    static_cast<QDialog *>(dialog)->accept(); // as its Save or Open button does
}
