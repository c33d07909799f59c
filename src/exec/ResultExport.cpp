#include "ResultExport.h"
#include "Database.h"
#include "EngineError.h"
#include "Session.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <QIODevice>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

QString TsvCell(const QVariant &value)
{
    if (value.isNull())
        return {};
    QString text = value.typeId() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray())
                                                           : value.toString();
    if (text.contains(u'\t') || text.contains(u'\n') || text.contains(u'\r') || text.contains(u'"'))
        text = u'"' + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return text;
}

QString TsvText(const QStringList &header, const QList<QVariantList> &rows)
{
    QStringList lines {header.join(u'\t')};
    for (const QVariantList &row : rows) {
        QStringList cells;
        for (const QVariant &v : row)
            cells << TsvCell(v);
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n') + u'\n';
}

// A real number always shows a decimal point or an exponent, as the sqlite3 shell writes it.
static void AppendReal(QByteArray &line, double v)
{
    char buffer[40];
    char *end = std::to_chars(buffer, buffer + 32, v, std::chars_format::general, 15).ptr;
    if (std::isfinite(v)) {
        char *e = std::find(buffer, end, 'e');
        if (std::find(buffer, e, '.') == e) {
            std::memmove(e + 2, e, size_t(end - e));
            e[0] = '.';
            e[1] = '0';
            end += 2;
        }
    }
    line.append(buffer, end - buffer);
}

static void AppendText(QByteArray &line, const QByteArray &text)
{
    bool quote = text.isEmpty();
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || c == '"' || c == '\'' || c == ',' || u >= 0x7f) {
            quote = true;
            break;
        }
    }
    if (!quote) {
        line += text;
        return;
    }
    line += '"';
    for (const char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

// Appends rather than returns: a million rows of ten fields would otherwise make ten
// million short-lived byte arrays.
static void AppendCsvField(QByteArray &line, const QVariant &value)
{
    if (value.isNull())
        return;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        AppendReal(line, value.toDouble());
        return;
    case QMetaType::QByteArray:
        line += value.toByteArray();
        return;
    case QMetaType::Int:
    case QMetaType::LongLong: {
        char buffer[24];
        const char *end = std::to_chars(buffer, buffer + sizeof buffer, value.toLongLong()).ptr;
        line.append(buffer, end - buffer);
        return;
    }
    default:
        AppendText(line, value.toString().toUtf8());
    }
}

QByteArray CsvField(const QVariant &value)
{
    QByteArray field;
    AppendCsvField(field, value);
    return field;
}

bool ExportCsv(TSession *session, const QString &databaseName, const QStringList &sql,
               QIODevice &out, const std::function<bool(qint64 rows)> &progress)
{
    // A forward-only query of its own: a result window's row cache and seek points are of
    // no use to a single pass, and would cost a third of the time.
    TSession &s = session ? *session : TSession::Default();
    const std::shared_ptr<TConnection> connection = s.OpenDatabase(databaseName).SharedConnection();
    QSqlQuery query(connection->Db());
    query.setForwardOnly(true);
    if (!query.exec(sql.join(u'\n')))
        throw EDatabaseError(SqlErrorText(query.lastError()));
    if (!query.isSelect())
        throw EDatabaseError(QStringLiteral("The statement returns no rows."));
    const QSqlRecord record = query.record();
    const int columns = record.count();
    QByteArray line;
    for (int i = 0; i < columns; ++i)
        line += (i ? "," : "") + CsvField(record.fieldName(i));
    out.write(line + '\n');
    qint64 rows = 0;
    while (query.next()) {
        line.clear();
        for (int i = 0; i < columns; ++i) {
            if (i)
                line += ',';
            AppendCsvField(line, query.value(i));
        }
        line += '\n';
        if (out.write(line) != line.size())
            return false;
        if (++rows % 4096 == 0 && progress && !progress(rows))
            return false;
    }
    if (query.lastError().isValid())
        throw EDatabaseError(SqlErrorText(query.lastError()));
    return !progress || progress(rows);
}
