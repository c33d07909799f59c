#include "TableParam.h"

#include "EngineError.h"
#include "SharedRoutines.h"

TfrmTableParam::TfrmTableParam(QWidget *parent)
    : TfrmParam(parent)
{
    setObjectName(QStringLiteral("frmTableParam"));
    setWindowTitle(QStringLiteral("TableParam"));
}

void TfrmTableParam::showEvent(QShowEvent *event)
{
    QStringList names;
    try {
        names = AliasTableNames(DatabaseName, Session);
    } catch (const EDatabaseError &) {
        // A database that cannot be reached offers nothing; the name can still be typed.
    }
    SetChoices(names);
    TfrmParam::showEvent(event);
}
