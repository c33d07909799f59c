#pragma once

#include "Param.h"

class TSession;

// Offers the table names of a database, read when the dialog is shown.
class TfrmTableParam : public TfrmParam
{
    Q_OBJECT
public:
    explicit TfrmTableParam(QWidget *parent = nullptr);

    // The database whose tables are offered, known to the session by this name.
    QString DatabaseName;
    TSession *Session = nullptr; // null: the default session

protected:
    void showEvent(QShowEvent *event) override;
};
