#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The field type codes every driver reports, as the small integers callers store and compare.
enum TFieldType : int {
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftVarBytes = 13,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftGraphic = 17,
    ftFmtMemo = 18,
    ftParadoxOle = 19,
    ftDBaseOle = 20,
    ftTypedBinary = 21,
    ftCursor = 22,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
};

struct TFieldDef
{
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0; // characters for strings, decimals for BCD, 0 otherwise
    bool Required = false;
};

enum TIndexOption : unsigned {
    ixPrimary = 1,
    ixUnique = 2,
    ixDescending = 4,
    ixCaseInsensitive = 8,
};

struct TIndexDef
{
    QString Name;
    QString Fields; // field names joined by ";", in key order
    unsigned Options = 0;
    bool IsPrimary() const { return Options & ixPrimary; }
    bool IsUnique() const { return Options & ixUnique; }
};

// Maps an SQL type declaration ("VARCHAR(30)", "numeric(10,2)", "timestamp without time
// zone"...) to a type code and size. Unknown declarations give ftUnknown.
TFieldType FieldTypeFromDeclaration(const QString &declaration, int *size = nullptr);
