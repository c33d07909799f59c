#include "Application.h"
#include "EngineError.h"
#include "MessageDlg.h"

#include <QDebug>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ShowException(e);
    } catch (...) {
        ShowException(QStringLiteral("An unknown error occurred."));
    }
    // The event ends here: the handler that failed is done with it.
    return true;
}

void TApplication::ShowException(const std::exception &e)
{
    if (const auto *db = dynamic_cast<const EDatabaseError *>(&e))
        ShowException(db->Message());
    else
        ShowException(QString::fromUtf8(e.what()));
}

void TApplication::ShowException(const QString &message)
{
    static bool showing = false;
    if (showing) {
        qWarning().noquote() << message;
        return;
    }
    showing = true;
    try {
        MessageDlg(message, TMsgDlgType::Error, QMessageBox::Ok);
    } catch (...) {
        qWarning().noquote() << message;
    }
    showing = false;
}
