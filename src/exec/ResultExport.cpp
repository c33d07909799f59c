#include "ResultExport.h"
#include "DataSet.h"

#include <QIODevice>
#include <charconv>
#include <cmath>

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

static QByteArray RealText(double v)
{
    char buffer[32];
    const auto end
        = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 15).ptr;
    QByteArray text(buffer, end - buffer);
    if (!std::isfinite(v))
        return text;
    const qsizetype e = text.indexOf('e');
    const QByteArray mantissa = e < 0 ? text : text.left(e);
    if (!mantissa.contains('.'))
        text.insert(e < 0 ? text.size() : e, ".0");
    return text;
}

QByteArray CsvField(const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return RealText(value.toDouble());
    case QMetaType::QByteArray:
        return value.toByteArray();
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QByteArray::number(value.toLongLong());
    default:
        break;
    }
    QByteArray text = value.toString().toUtf8();
    bool quote = text.isEmpty();
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || c == '"' || c == '\'' || c == ',' || u >= 0x7f) {
            quote = true;
            break;
        }
    }
    if (!quote)
        return text;
    return '"' + text.replace("\"", "\"\"") + '"';
}

bool ExportCsv(TSession *session, const QString &databaseName, const QStringList &sql,
               QIODevice &out, const std::function<bool(qint64 rows)> &progress)
{
    TQuery query(session);
    query.DatabaseName = databaseName;
    query.SQL = sql;
    query.Open();
    QByteArray line;
    for (int i = 0; i < query.FieldCount(); ++i)
        line += (i ? "," : "") + CsvField(query.Fields()[size_t(i)].FieldName);
    out.write(line + '\n');
    qint64 rows = 0;
    for (; !query.Eof(); query.Next()) {
        line.clear();
        for (int i = 0; i < query.FieldCount(); ++i) {
            if (i)
                line += ',';
            line += CsvField(query.Value(i));
        }
        line += '\n';
        if (out.write(line) != line.size())
            return false;
        if (++rows % 4096 == 0 && progress && !progress(rows))
            return false;
    }
    return !progress || progress(rows);
}
