#pragma once

#include "Param.h"

// Offers the type names a generated column can take; CHAR and VARCHAR carry a Size
// placeholder of their own.
class TfrmTypeParam : public TfrmParam
{
    Q_OBJECT
public:
    explicit TfrmTypeParam(QWidget *parent = nullptr);
};
