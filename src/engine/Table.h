#pragma once

#include "FieldTypes.h"

#include <QString>
#include <functional>

class TSession;
class TDatabase;

// A table's structure as the engine reports it.
class TTable
{
public:
    explicit TTable(TSession *session = nullptr);

    QString DatabaseName;
    QString TableName;
    int Tag = 0; // tells tables made for one purpose from others

    QList<TFieldDef> FieldDefs;
    QList<TIndexDef> IndexDefs;

    // Re-read the field and index definitions; throw EDatabaseError.
    void UpdateFieldDefs();
    void UpdateIndexDefs();
    void Update()
    {
        UpdateFieldDefs();
        UpdateIndexDefs();
    }

    const TFieldDef *FindField(const QString &name) const;
    const TIndexDef *PrimaryIndex() const;
    // The primary key's fields joined by ";" (empty when the table has none).
    QString IndexFieldNames() const;
    TSession *Session() const { return m_session; }
    // Runs read, which reads many tables of this database, as one read of its catalog
    // (TConnection::ReadSnapshot); throws EDatabaseError when the database cannot connect.
    void ReadSnapshot(const std::function<void()> &read);

private:
    TDatabase &Database();
    TSession *m_session;
};
