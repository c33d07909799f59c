#include "SharedRoutines.h"
#include "Paths.h"
#include "Session.h"

QString TypeName(TFieldType dataType, int size, bool varcharOption)
{
    switch (dataType) {
    case ftString:
        return (size > 20 && varcharOption ? QStringLiteral("VARCHAR(") : QStringLiteral("CHAR("))
            + QString::number(size) + u')';
    case ftSmallint:
    case ftWord:
        return QStringLiteral("SMALLINT");
    case ftInteger:
        return QStringLiteral("INTEGER");
    case ftBoolean:
        return QStringLiteral("BIT");
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return QStringLiteral("FLOAT");
    case ftDate:
    case ftTime:
    case ftDateTime:
        return QStringLiteral("DATE");
    case ftAutoInc:
        return QStringLiteral("AUTO INC");
    case ftMemo:
        return QStringLiteral("MEMO");
    default:
        return QStringLiteral("/*???*/");
    }
}

QString Commas(const QString &text)
{
    return QString(text).replace(u';', u',');
}

QStringList AliasTableNames(const QString &databaseName, TSession *session)
{
    QStringList names = (session ? *session : TSession::Default()).GetTableNames(databaseName);
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString ApplicationFolder()
{
    return OrvaneDataFolder();
}

QStringList Split(const QString &text, QChar separator)
{
    QStringList list;
    QString rest = text.trimmed();
    qsizetype at;
    while ((at = rest.indexOf(separator)) >= 0) {
        list << rest.left(at);
        rest = rest.mid(at + 1);
    }
    if (!rest.isEmpty())
        list << rest;
    return list;
}

QString Join(const QStringList &list, QChar separator)
{
    QString result;
    for (const QString &entry : list) {
        if (!result.isEmpty())
            result += separator;
        result += entry;
    }
    return result;
}
