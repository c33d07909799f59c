#include "TypeParam.h"

#include "ParamWalk.h"

#include <QComboBox>

TfrmTypeParam::TfrmTypeParam(QWidget *parent)
    : TfrmParam(parent)
{
    setObjectName(QStringLiteral("frmTypeParam"));
    setWindowTitle(QStringLiteral("TypeParam"));
    SetChoices(TypeParamItems());
}
