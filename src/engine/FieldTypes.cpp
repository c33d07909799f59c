#include "FieldTypes.h"

#include <QRegularExpression>

TFieldType FieldTypeFromDeclaration(const QString &declaration, int *size)
{
    static const QRegularExpression shape(QStringLiteral(
        R"(^\s*([A-Za-z_]\w*(?:\s+[A-Za-z_]\w*)*)\s*(?:\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\))?)"));
    const auto m = shape.match(declaration);
    const QString base = m.hasMatch() ? m.captured(1).toUpper().simplified() : QString();
    const int first = m.captured(2).toInt();
    const int second = m.captured(3).toInt();
    int sz = 0;
    TFieldType t = ftUnknown;

    auto is = [&](std::initializer_list<const char *> names) {
        for (const char *n : names)
            if (base == QLatin1String(n))
                return true;
        return false;
    };

    if (is({"CHAR", "CHARACTER", "VARCHAR", "CHARACTER VARYING", "NCHAR", "NVARCHAR",
            "VARYING CHARACTER", "NATIVE CHARACTER", "BPCHAR", "STRING", "ALPHA"})) {
        t = ftString;
        const bool varying = base.contains(QLatin1String("VAR")) || base == QLatin1String("STRING");
        sz = first > 0 ? first : (varying ? 255 : 1);
    } else if (is({"SMALLINT", "INT2", "TINYINT", "SHORT"})) {
        t = ftSmallint;
    } else if (is({"INTEGER", "INT", "INT4", "MEDIUMINT", "LONG"})) {
        t = ftInteger;
    } else if (is({"WORD"})) {
        t = ftWord;
    } else if (is({"BIGINT", "INT8", "LARGEINT"})) {
        t = ftLargeint;
    } else if (is({"BOOLEAN", "BOOL", "BIT", "LOGICAL"})) {
        t = ftBoolean;
    } else if (is({"REAL", "FLOAT", "FLOAT4", "FLOAT8", "DOUBLE", "DOUBLE PRECISION", "NUMBER"})) {
        t = ftFloat;
    } else if (is({"MONEY", "CURRENCY", "SMALLMONEY"})) {
        t = ftCurrency;
    } else if (is({"NUMERIC", "DECIMAL", "BCD"})) {
        t = ftBCD;
        sz = second;
    } else if (is({"DATE"})) {
        t = ftDate;
    } else if (is({"TIME", "TIME WITHOUT TIME ZONE", "TIME WITH TIME ZONE", "TIMETZ"})) {
        t = ftTime;
    } else if (is({"TIMESTAMP", "DATETIME", "TIMESTAMP WITHOUT TIME ZONE",
                   "TIMESTAMP WITH TIME ZONE", "TIMESTAMPTZ"})) {
        t = ftDateTime;
    } else if (is({"AUTOINC", "AUTOINCREMENT", "SERIAL", "SMALLSERIAL", "BIGSERIAL", "AUTO INC"})) {
        t = ftAutoInc;
    } else if (is({"BLOB", "BYTEA", "BINARY", "VARBINARY", "LONGBLOB", "IMAGE"})) {
        t = ftBlob;
    } else if (is({"TEXT", "MEMO", "CLOB", "LONGTEXT", "MEDIUMTEXT", "NTEXT"})) {
        t = ftMemo;
    } else if (is({"GRAPHIC"})) {
        t = ftGraphic;
    }
    if (size)
        *size = sz;
    return t;
}
