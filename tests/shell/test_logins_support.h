#pragma once

// Answers the modal dialogs that the login and data-file code opens, as a user would.

#include "LoginDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>

// Watches for modal dialogs while a test runs; each one that comes up is handed to the
// next scripted answer. A dialog with no answer left is cancelled and counted, so a test
// can tell that something asked when nothing should have.
class TDialogAnswerer
{
public:
    using TAnswer = std::function<void(QDialog &)>;

    TDialogAnswerer()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }
    void Then(TAnswer answer) { m_answers.push_back(std::move(answer)); }
    int Shown() const { return m_shown; }
    int Unexpected() const { return m_unexpected; }

private:
    void Poll()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        ++m_shown;
        if (m_answers.empty()) {
            ++m_unexpected;
            dialog->reject();
            return;
        }
        TAnswer answer = std::move(m_answers.front());
        m_answers.pop_front();
        answer(*dialog);
    }

    QTimer m_timer;
    std::deque<TAnswer> m_answers;
    int m_shown = 0;
    int m_unexpected = 0;
};

// What a login dialog showed when it came up.
struct TLoginSeen
{
    QString alias;
    QString user;
    QString password;
    bool userFocused = false;
};

// Records what the login dialog shows, types user and password, and clicks OK or Cancel.
inline TDialogAnswerer::TAnswer AnswerLogin(TLoginSeen *seen, const QString &user,
                                            const QString &password, bool ok = true)
{
    return [=](QDialog &d) {
        auto *dialog = qobject_cast<Tform_LoginDialog *>(&d);
        if (!dialog) {
            if (seen)
                seen->alias = QStringLiteral("another dialog: ") + d.metaObject()->className();
            d.reject();
            return;
        }
        if (seen)
            *seen = {dialog->lblDatabaseName->text(), dialog->edtUserName->text(),
                     dialog->edtPassword->text(), dialog->focusWidget() == dialog->edtUserName};
        dialog->edtUserName->setText(user);
        dialog->edtPassword->setText(password);
        (ok ? dialog->btnOK : dialog->btnCancel)->click();
    };
}
