#include "Lookup.h"
#include "Database.h"
#include "Driver.h"
#include "EngineError.h"
#include "Session.h"

#include <QSqlError>
#include <QSqlQuery>

TLookupQuery::TLookupQuery(TSession *session, QString databaseName, QString table, QString keyField,
                           QString resultField)
    : m_session(session ? session : &TSession::Default())
    , m_databaseName(std::move(databaseName))
    , m_table(std::move(table))
    , m_keyField(std::move(keyField))
    , m_resultField(std::move(resultField))
{}

TLookupQuery::~TLookupQuery()
{
    m_query.reset(); // before the connection it runs on
}

void TLookupQuery::Prepare()
{
    if (m_query)
        return;
    m_connection = m_session->OpenDatabase(m_databaseName).SharedConnection();
    bool known = false;
    for (const TFieldDef &d : m_connection->FieldDefs(m_table))
        if (d.Name.compare(m_keyField, Qt::CaseInsensitive) == 0) {
            m_keyType = d.DataType;
            known = true;
        }
    if (!known)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(m_keyField));
    const QString key = m_connection->QuoteName(m_keyField);
    const QString result = m_resultField.isEmpty() ? key : m_connection->QuoteName(m_resultField);
    auto q = std::make_unique<QSqlQuery>(m_connection->Db());
    q->setForwardOnly(true);
    if (!q->prepare(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 = ?")
                        .arg(key, result, m_connection->QuoteName(m_table))))
        throw EDatabaseError(SqlErrorText(q->lastError()));
    m_query = std::move(q);
}

TFieldType TLookupQuery::KeyType()
{
    Prepare();
    return m_keyType;
}

bool TLookupQuery::Find(const QVariant &key, QVariant *result)
{
    Prepare();
    if (key.isNull())
        return false;
    m_query->addBindValue(key);
    if (!m_query->exec())
        throw EDatabaseError(SqlErrorText(m_query->lastError()));
    bool found = false;
    // A column compared without letter case (COLLATE NOCASE) may give near matches too.
    while (!found && m_query->next())
        if (SameFieldValue(m_query->value(0), key, m_keyType)) {
            found = true;
            if (result)
                *result = m_query->value(1);
        }
    m_query->finish();
    return found;
}

bool TLookupQuery::FindText(const QString &text, const TTextFormat &format, QVariant *result)
{
    bool ok = false;
    const QVariant key = FieldValueFromText(text, KeyType(), format, &ok);
    return ok && Find(key, result);
}
