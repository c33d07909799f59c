#include "SqlNames.h"

#include "Database.h"
#include "FieldTypes.h"
#include "Session.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QTime>
#include <cmath>

TSqlDialect DialectOfDriver(const QString &driverName)
{
    const QString d = driverName.toUpper();
    if (d == u"POSTGRESQL")
        return TSqlDialect::Postgres;
    if (d == u"INTRBASE")
        return TSqlDialect::Firebird;
    return TSqlDialect::Sqlite;
}

TSqlDialect DialectOfAlias(const QString &alias)
{
    TSession &session = TSession::Default();
    if (!session.IsAlias(alias))
        return TSqlDialect::Sqlite;
    return DialectOfDriver(session.GetAliasDriverName(alias));
}

TSqlDialect DialectOfDatabase(TSession &session, const QString &databaseName)
{
    if (const TDatabase *db = session.FindDatabase(databaseName))
        return DialectOfDriver(db->DriverName());
    if (!session.IsAlias(databaseName))
        return TSqlDialect::Sqlite;
    return DialectOfDriver(session.GetAliasDriverName(databaseName));
}

namespace {

// Words that at least one of our engines refuses as a bare name. Quoting a word that
// one engine would have accepted costs nothing; leaving one bare breaks the statement.
const QSet<QString> &ReservedWords()
{
    static const QSet<QString> words = [] {
        const char *const list[] = {
            "ABORT",
            "ACTION",
            "ADD",
            "ALL",
            "ALTER",
            "ANALYZE",
            "AND",
            "ANY",
            "ARRAY",
            "AS",
            "ASC",
            "ATTACH",
            "AUTOINCREMENT",
            "BEGIN",
            "BETWEEN",
            "BOTH",
            "BY",
            "CASCADE",
            "CASE",
            "CAST",
            "CHECK",
            "COLLATE",
            "COLUMN",
            "COMMIT",
            "CONFLICT",
            "CONSTRAINT",
            "CREATE",
            "CROSS",
            "CURRENT",
            "CURRENT_DATE",
            "CURRENT_TIME",
            "CURRENT_TIMESTAMP",
            "CURRENT_USER",
            "DATABASE",
            "DEFAULT",
            "DEFERRABLE",
            "DEFERRED",
            "DELETE",
            "DESC",
            "DETACH",
            "DISTINCT",
            "DO",
            "DROP",
            "EACH",
            "ELSE",
            "END",
            "ESCAPE",
            "EXCEPT",
            "EXCLUSIVE",
            "EXISTS",
            "EXPLAIN",
            "FALSE",
            "FETCH",
            "FILTER",
            "FOR",
            "FOREIGN",
            "FROM",
            "FULL",
            "GLOB",
            "GRANT",
            "GROUP",
            "HAVING",
            "IF",
            "ILIKE",
            "IMMEDIATE",
            "IN",
            "INDEX",
            "INITIALLY",
            "INNER",
            "INSERT",
            "INSTEAD",
            "INTERSECT",
            "INTO",
            "IS",
            "ISNULL",
            "JOIN",
            "KEY",
            "LEADING",
            "LEFT",
            "LIKE",
            "LIMIT",
            "MATCH",
            "NATURAL",
            "NO",
            "NOT",
            "NOTNULL",
            "NULL",
            "OF",
            "OFFSET",
            "ON",
            "ONLY",
            "OR",
            "ORDER",
            "OUTER",
            "OVER",
            "PLACING",
            "PLAN",
            "PRAGMA",
            "PRIMARY",
            "QUERY",
            "RAISE",
            "RECURSIVE",
            "REFERENCES",
            "REGEXP",
            "REINDEX",
            "RELEASE",
            "RENAME",
            "REPLACE",
            "RESTRICT",
            "RETURNING",
            "RIGHT",
            "ROLLBACK",
            "ROW",
            "ROWS",
            "SAVEPOINT",
            "SELECT",
            "SESSION_USER",
            "SET",
            "SOME",
            "TABLE",
            "TEMP",
            "TEMPORARY",
            "THEN",
            "TO",
            "TRAILING",
            "TRANSACTION",
            "TRIGGER",
            "TRUE",
            "UNION",
            "UNIQUE",
            "UPDATE",
            "USER",
            "USING",
            "VACUUM",
            "VALUE",
            "VALUES",
            "VARIADIC",
            "VIEW",
            "VIRTUAL",
            "WHEN",
            "WHERE",
            "WINDOW",
            "WITH",
            "WITHOUT",
        };
        QSet<QString> s;
        for (const char *w : list)
            s.insert(QString::fromLatin1(w));
        return s;
    }();
    return words;
}

bool IsNameStart(QChar c, TSqlDialect dialect)
{
    if (c == u'_' || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
        return true;
    // Firebird reads only ASCII letters unquoted; the others read any letter.
    return dialect != TSqlDialect::Firebird && c.unicode() > 127 && c.isLetter();
}

QString Quoted(const QString &text, QChar quote)
{
    QString out = text;
    out.replace(quote, QString(2, quote));
    return quote + out + quote;
}

} // namespace

bool IsPlainIdentifier(const QString &name, TSqlDialect dialect)
{
    if (name.isEmpty() || !IsNameStart(name.front(), dialect))
        return false;
    for (QChar c : name) {
        const bool ok = IsNameStart(c, dialect) || (c >= u'0' && c <= u'9')
            || (c == u'$' && dialect != TSqlDialect::Sqlite);
        if (!ok)
            return false;
        // Unquoted names are folded: a letter of the other case would name another object.
        if (dialect == TSqlDialect::Postgres && c.isUpper())
            return false;
        if (dialect == TSqlDialect::Firebird && c.isLower())
            return false;
    }
    return !ReservedWords().contains(name.toUpper());
}

QString QuoteIdentifier(const QString &name, TSqlDialect dialect)
{
    if (IsPlainIdentifier(name, dialect))
        return name;
    return Quoted(name, u'"');
}

QString QuoteTableName(const QString &table, TSqlDialect dialect)
{
    if (dialect == TSqlDialect::Postgres) {
        const qsizetype dot = table.indexOf(u'.');
        if (dot > 0 && dot < table.size() - 1)
            return QuoteIdentifier(table.left(dot), dialect) + u'.'
                + QuoteIdentifier(table.mid(dot + 1), dialect);
    }
    return QuoteIdentifier(table, dialect);
}

namespace {

QString TimeText(const QTime &t)
{
    return t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
}

QString BytesLiteral(const QByteArray &bytes, TSqlDialect dialect)
{
    const QString hex = QString::fromLatin1(bytes.toHex());
    if (dialect == TSqlDialect::Postgres)
        return QStringLiteral("'\\x") + hex + QStringLiteral("'::bytea");
    return QStringLiteral("X'") + hex.toUpper() + u'\'';
}

QString BoolLiteral(bool b, TSqlDialect dialect)
{
    if (dialect == TSqlDialect::Sqlite)
        return b ? QStringLiteral("1") : QStringLiteral("0");
    return b ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

QString DoubleLiteral(double d)
{
    // Infinity and NaN have no literal common to the engines; as text they at least
    // reach the engine unchanged instead of as a bare word that means a column.
    if (!std::isfinite(d))
        return Quoted(QString::number(d), u'\'');
    return QString::number(d, 'g', 17);
}

} // namespace

QString SqlLiteral(const QVariant &value, TSqlDialect dialect)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return BoolLiteral(value.toBool(), dialect);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return DoubleLiteral(value.toDouble());
    case QMetaType::QDate:
        return Quoted(value.toDate().toString(Qt::ISODate), u'\'');
    case QMetaType::QTime:
        return Quoted(TimeText(value.toTime()), u'\'');
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return Quoted(dt.date().toString(Qt::ISODate) + u' ' + TimeText(dt.time()), u'\'');
    }
    case QMetaType::QByteArray:
        return BytesLiteral(value.toByteArray(), dialect);
    default:
        return Quoted(value.toString(), u'\'');
    }
}

namespace {

QDate DateOfText(const QString &text)
{
    static const QString formats[] = {
        QStringLiteral("yyyy-MM-dd"), QStringLiteral("dd.MM.yyyy"), QStringLiteral("d.M.yyyy"),
        QStringLiteral("MM/dd/yyyy"), QStringLiteral("M/d/yyyy"),
    };
    for (const QString &f : formats) {
        const QDate d = QDate::fromString(text, f);
        if (d.isValid())
            return d;
    }
    return {};
}

bool IsNumberText(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    return number.match(text).hasMatch();
}

} // namespace

QString SqlLiteralOfText(const QString &text, int fieldType, TSqlDialect dialect)
{
    const QString t = text.trimmed();
    switch (fieldType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftAutoInc:
    case ftLargeint:
        if (IsNumberText(t))
            return t;
        break;
    case ftBoolean: {
        const QString l = t.toLower();
        if (l == u"true" || l == u"1" || l == u"yes")
            return BoolLiteral(true, dialect);
        if (l == u"false" || l == u"0" || l == u"no")
            return BoolLiteral(false, dialect);
        break;
    }
    case ftDate:
        if (const QDate d = DateOfText(t); d.isValid())
            return SqlLiteral(d, dialect);
        break;
    case ftDateTime: {
        const qsizetype blank = t.indexOf(u' ');
        const QDate d = DateOfText(blank < 0 ? t : t.left(blank));
        const QTime tm
            = blank < 0 ? QTime(0, 0) : QTime::fromString(t.mid(blank + 1), Qt::ISODateWithMs);
        if (d.isValid() && tm.isValid())
            return SqlLiteral(QDateTime(d, tm), dialect);
        break;
    }
    case ftTime:
        if (const QTime tm = QTime::fromString(t, Qt::ISODateWithMs); tm.isValid())
            return SqlLiteral(tm, dialect);
        break;
    default:
        break;
    }
    return SqlLiteral(text, dialect);
}

namespace {

bool KeptInFileName(QChar c)
{
    return c.isLetterOrNumber() || c == u' ' || c == u'_' || c == u'.' || c == u'-';
}

void AppendEscaped(QString &out, const QString &part)
{
    for (const char byte : part.toUtf8())
        out += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QChar(u'0')).toUpper();
}

} // namespace

QString SafeFileName(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("%");
    QString out;
    out.reserve(name.size());
    qsizetype i = 0;
    // A leading "." would hide the file, and "." or ".." would name a folder.
    for (; i < name.size() && name.at(i) == u'.'; ++i)
        AppendEscaped(out, QStringLiteral("."));
    for (; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size()) {
            const QString pair = name.mid(i, 2);
            if (QChar::isLetterOrNumber(pair.toUcs4().value(0)))
                out += pair;
            else
                AppendEscaped(out, pair);
            ++i;
        } else if (KeptInFileName(c) && !c.isSurrogate()) {
            out += c;
        } else {
            AppendEscaped(out, QString(c));
        }
    }
    return out;
}

QString NameFromSafeFileName(const QString &fileName)
{
    if (fileName == u"%")
        return {};
    QByteArray bytes;
    const QByteArray utf8 = fileName.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        bool ok = false;
        if (utf8.at(i) == '%' && i + 2 < utf8.size()) {
            const int v = utf8.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                bytes += char(v);
                i += 2;
                continue;
            }
        }
        bytes += utf8.at(i);
    }
    return QString::fromUtf8(bytes);
}

TLinkPath ParseLinkPath(const QString &path)
{
    TLinkPath p;
    const qsizetype first = path.indexOf(u'.');
    const qsizetype last = path.lastIndexOf(u'.');
    if (first <= 0 || last <= first)
        return p;
    p.alias = path.left(first);
    p.table = path.mid(first + 1, last - first - 1);
    p.field = path.mid(last + 1);
    return p;
}

QString LinkPathText(const QString &alias, const QString &table, const QString &field)
{
    return alias + u'.' + table + u'.' + field;
}
