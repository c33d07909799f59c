#pragma once

#include "Param.h"
#include "Table.h"

// Offers the field names of a table, read when the dialog is shown.
class TfrmFieldParam : public TfrmParam
{
    Q_OBJECT
public:
    explicit TfrmFieldParam(QWidget *parent = nullptr, TSession *session = nullptr);

    TTable tabSource;

protected:
    void showEvent(QShowEvent *event) override;
};
