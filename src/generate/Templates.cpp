#include "Templates.h"
#include "TreeLogic.h"

QStringList AddSkeletonLines(int kind, bool allSkeletons, bool notNull)
{
    QStringList lines;
    if (allSkeletons || kind == nkTable)
        lines << QStringLiteral("CREATE TABLE <TableName> (")
              << (notNull ? QStringLiteral("\t<FieldName> <FieldType> NOT NULL,")
                          : QStringLiteral("\t<FieldName> <FieldType>,"))
              << QStringLiteral("\tPRIMARY KEY (<FieldName>)") << QStringLiteral(");");
    if (allSkeletons || kind == nkField)
        lines << QStringLiteral("ALTER TABLE <TableName>")
              << QStringLiteral("\tADD <FieldName> <FieldType>") << QStringLiteral(";");
    if (allSkeletons || kind == nkIndex)
        lines << QStringLiteral("CREATE INDEX <IndexName> ON <TableName> (<FieldName>);");
    return lines;
}

QStringList QuerySkeletonLines()
{
    return {QStringLiteral("SELECT"),   QStringLiteral("\t<FieldName>"),
            QStringLiteral("FROM"),     QStringLiteral("\t<TableName>"),
            QStringLiteral("WHERE"),    QStringLiteral("\t<Where>"),
            QStringLiteral("GROUP BY"), QStringLiteral("\t<FieldName>"),
            QStringLiteral("ORDER BY"), QStringLiteral("\t<FieldName>"),
            QStringLiteral(";")};
}

QString DropStatement(int kind, const QString &table, const QString &name, TSqlDialect dialect)
{
    switch (kind) {
    case nkTable:
        return QStringLiteral("DROP TABLE ") + QuoteTableName(table, dialect) + u';';
    case nkField:
        return QStringLiteral("ALTER TABLE ") + QuoteTableName(table, dialect)
            + QStringLiteral(" DROP ") + QuoteIdentifier(name, dialect) + u';';
    case nkIndex:
        return QStringLiteral("DROP INDEX ") + QuoteIdentifier(name, dialect) + u';';
    default:
        return {};
    }
}

QString IndexSkeletonLine(const QString &table, const QString &field, TSqlDialect dialect)
{
    return QStringLiteral("CREATE INDEX <IndexName> ON ") + QuoteTableName(table, dialect)
        + QStringLiteral(" (") + QuoteIdentifier(field, dialect) + QStringLiteral(");");
}

QStringList LookupTableLines(const QString &fieldNodeText, bool notNull, TSqlDialect dialect)
{
    const qsizetype colon = fieldNodeText.indexOf(u':');
    const QString field = colon < 0 ? fieldNodeText : fieldNodeText.left(colon);
    QString rest = colon < 0 ? QString() : fieldNodeText.mid(colon + 1);
    if (notNull)
        rest += QStringLiteral(" NOT NULL");
    return {QStringLiteral("CREATE TABLE ") + QuoteIdentifier(field, dialect)
                + QStringLiteral(" ("),
            QStringLiteral("\t<FieldName> ") + rest + u',',
            QStringLiteral("\tPRIMARY KEY (<FieldName>)"), QStringLiteral(");")};
}

QString GenerationHint(const QString &button, int kind)
{
    QString caption;
    QString second;
    if (button == u"btnAdd") {
        caption = QStringLiteral("Add (Ctrl+Ins)");
        second = kind == nkTable ? QStringLiteral("Create Table")
            : kind == nkField    ? QStringLiteral("Alter Table ... Add ...")
            : kind == nkIndex    ? QStringLiteral("Create Index")
                                 : QString();
    } else if (button == u"btnDrop") {
        caption = QStringLiteral("Drop (Ctrl+Del)");
        second = kind == nkAlias ? QStringLiteral("Delete Alias")
            : kind == nkTable    ? QStringLiteral("Drop Table")
            : kind == nkField    ? QStringLiteral("Alter Table ... Drop ...")
            : kind == nkIndex    ? QStringLiteral("Drop Index")
                                 : QString();
    } else if (button == u"btnTemplate") {
        caption = QStringLiteral("Template");
        second = kind == nkTable ? QStringLiteral("using table structure") : QString();
    } else if (button == u"btnQuery") {
        caption = QStringLiteral("Query (Ctrl+Q)");
        second = kind == nkTable ? QStringLiteral("for current table") : QStringLiteral("Template");
    } else if (button == u"btnScript") {
        caption = QStringLiteral("Script (F8)");
        second = kind == nkAlias ? QStringLiteral("for all the tables of Alias")
            : kind == nkTable    ? QStringLiteral("for current table")
                                 : QString();
    } else {
        return {};
    }
    return second.isEmpty() ? caption : caption + u'\n' + second;
}
