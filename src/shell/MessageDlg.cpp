#include "MessageDlg.h"

#include <QApplication>

static TMessageHandler &Handler()
{
    static TMessageHandler handler;
    return handler;
}

QMessageBox::StandardButton MessageDlg(const QString &text, TMsgDlgType type,
                                       QMessageBox::StandardButtons buttons)
{
    if (Handler())
        return Handler()(text, type, buttons);
    QMessageBox::Icon icon = QMessageBox::Information;
    QString title = QApplication::applicationDisplayName();
    switch (type) {
    case TMsgDlgType::Warning:
        icon = QMessageBox::Warning;
        break;
    case TMsgDlgType::Error:
        icon = QMessageBox::Critical;
        break;
    case TMsgDlgType::Confirmation:
        icon = QMessageBox::Question;
        break;
    case TMsgDlgType::Information:
        break;
    }
    QMessageBox box(icon, title, text, buttons, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText); // messages quote names and engine texts, never markup
    return QMessageBox::StandardButton(box.exec());
}

TMessageHandler SetMessageDlgHandler(TMessageHandler handler)
{
    std::swap(Handler(), handler);
    return handler;
}
