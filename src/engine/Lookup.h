#pragma once

#include "FieldText.h"

#include <QString>
#include <QVariant>
#include <memory>

class QSqlQuery;
class TConnection;
class TSession;

// Finds a row of a table by the value of one of its fields with a keyed query, prepared
// once and run again for each value, so a check costs one index probe however large the
// table is. The match is exact: same value, same letter case.
class TLookupQuery
{
public:
    TLookupQuery(TSession *session, QString databaseName, QString table, QString keyField,
                 QString resultField = {});
    ~TLookupQuery();
    TLookupQuery(const TLookupQuery &) = delete;
    TLookupQuery &operator=(const TLookupQuery &) = delete;

    // True when a row has the value given as text (read as the key field's type); *result
    // then holds that row's result field. Throws EDatabaseError.
    bool FindText(const QString &text, const TTextFormat &format, QVariant *result = nullptr);
    bool Find(const QVariant &key, QVariant *result = nullptr);

    TFieldType KeyType();

private:
    void Prepare();

    TSession *m_session;
    QString m_databaseName, m_table, m_keyField, m_resultField;
    TFieldType m_keyType = ftUnknown;
    std::shared_ptr<TConnection> m_connection;
    std::unique_ptr<QSqlQuery> m_query;
};
