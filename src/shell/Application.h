#pragma once

#include <QApplication>
#include <exception>

// The application object with its default error display: an exception that escapes an
// event handler is shown in the program's message box, and the program goes on with the
// next event instead of ending. Handlers that know better catch at the source.
class TApplication : public QApplication
{
public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the exception's message as an error; an error raised while one is being shown
    // goes to the log, since a second box over the first would only repeat the fault.
    static void ShowException(const std::exception &e);
    static void ShowException(const QString &message);
};
