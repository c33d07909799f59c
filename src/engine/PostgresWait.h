#pragma once

// Statements on a PostgreSQL connection of the Qt driver whose answers are awaited here
// rather than inside the Qt driver, which would hold the program until the server answers:
// the program's events pass meanwhile (see StatementWait), and a stop sends the server its
// cancel request.

#include <QSqlResult>
#include <QString>

typedef struct pg_conn PGconn;

namespace PostgresWait {

// The connection under a Qt connection of the QPSQL driver; nullptr when it has none.
PGconn *Handle(const QSqlDriver *driver);

// Waits until the server's next answer is in. Sends the cancel request once when the user
// stops; cancelSent tells whether it was.
void AwaitAnswer(PGconn *conn, bool &cancelSent);

// The message of a statement the user stopped: inside a transaction the server has
// aborted it, which the user must know to end it.
QString CanceledMessage(PGconn *conn);

// A result that runs its statement as the Qt driver runs a forward-only one (one row per
// answer, the same values and fields) with the waits above. Owned by the QSqlQuery made
// from it.
QSqlResult *NewRowsResult(const QSqlDriver *driver, PGconn *conn);

} // namespace PostgresWait
