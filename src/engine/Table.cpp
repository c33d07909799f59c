#include "Table.h"
#include "Database.h"
#include "Session.h"

TTable::TTable(TSession *session)
    : m_session(session ? session : &TSession::Default())
{}

TDatabase &TTable::Database()
{
    return m_session->OpenDatabase(DatabaseName);
}

void TTable::UpdateFieldDefs()
{
    FieldDefs = Database().Connection().FieldDefs(TableName);
}

void TTable::ReadSnapshot(const std::function<void()> &read)
{
    Database().Connection().ReadSnapshot(read);
}

void TTable::UpdateIndexDefs()
{
    IndexDefs = Database().Connection().IndexDefs(TableName);
}

const TFieldDef *TTable::FindField(const QString &name) const
{
    for (const TFieldDef &f : FieldDefs)
        if (f.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

const TIndexDef *TTable::PrimaryIndex() const
{
    for (const TIndexDef &i : IndexDefs)
        if (i.IsPrimary())
            return &i;
    return nullptr;
}

QString TTable::IndexFieldNames() const
{
    const TIndexDef *pk = PrimaryIndex();
    return pk ? pk->Fields : QString();
}
