#pragma once

// Rows of a result as text for other programs: tab-separated cells for the clipboard, the
// way spreadsheets paste them, and CSV files of a whole result. No widgets.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QIODevice;
class TSession;

// One cell of tab-separated text: quoted only when it holds a tab, a line break or a quote,
// as spreadsheets read it; NULL is empty.
QString TsvCell(const QVariant &value);
// The cells of rows (each a list of values) under a header row, tab-separated, a line each.
QString TsvText(const QStringList &header, const QList<QVariantList> &rows);

// One CSV field: quotes doubled inside quotes (RFC 4180), quoted as the sqlite3 shell quotes
// (an empty text, blanks, quotes, control and non-ASCII characters, the comma), so that a
// file compares byte for byte with what that shell writes. NULL is empty; bytes go as they
// are; a real number always shows a decimal point or an exponent.
QByteArray CsvField(const QVariant &value);

// Writes the whole result of the statement on the database as CSV with a header line,
// reading it anew row by row in bounded memory. progress is told the rows written so far
// every few thousand rows; it returns false to stop, and the export then returns false.
// Throws EDatabaseError.
bool ExportCsv(TSession *session, const QString &databaseName, const QStringList &sql,
               QIODevice &out, const std::function<bool(qint64 rows)> &progress = {});
