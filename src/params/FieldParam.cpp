#include "FieldParam.h"

#include "EngineError.h"

TfrmFieldParam::TfrmFieldParam(QWidget *parent, TSession *session)
    : TfrmParam(parent)
    , tabSource(session)
{
    setObjectName(QStringLiteral("frmFieldParam"));
    setWindowTitle(QStringLiteral("FieldParam"));
}

void TfrmFieldParam::showEvent(QShowEvent *event)
{
    QStringList names;
    if (!tabSource.TableName.isEmpty()) {
        try {
            tabSource.UpdateFieldDefs();
            for (const TFieldDef &f : std::as_const(tabSource.FieldDefs))
                names << f.Name;
        } catch (const EDatabaseError &) {
            tabSource.FieldDefs.clear(); // a table that cannot be read offers no fields
        }
    }
    SetChoices(names);
    TfrmParam::showEvent(event);
}
