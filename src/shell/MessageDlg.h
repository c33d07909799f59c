#pragma once

#include <QMessageBox>
#include <functional>

// The program's one message dialog. Tests replace the handler to answer it.
enum class TMsgDlgType { Warning, Error, Information, Confirmation };
using TMessageHandler = std::function<QMessageBox::StandardButton(
    const QString &text, TMsgDlgType type, QMessageBox::StandardButtons buttons)>;

QMessageBox::StandardButton MessageDlg(const QString &text, TMsgDlgType type,
                                       QMessageBox::StandardButtons buttons);
// Returns the previous handler; an empty handler restores the real dialog.
TMessageHandler SetMessageDlgHandler(TMessageHandler handler);
