#pragma once

#include <QDialog>
#include <QPushButton>

// The OK and Cancel buttons a small dialog ends with: OK is the default and accepts,
// Cancel rejects.
inline void CreateOkCancel(QDialog *dialog, QPushButton *&ok, QPushButton *&cancel,
                           const QString &okText,
                           const QString &cancelText = QStringLiteral("Cancel"))
{
    ok = new QPushButton(okText, dialog);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    cancel = new QPushButton(cancelText, dialog);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}
