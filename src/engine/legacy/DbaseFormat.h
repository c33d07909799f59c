#pragma once

#include "TableFile.h"

// dBASE ".dbf" tables through shapelib; memo fields live in a ".dbt" file beside them.
class TDbaseFormat : public TTableFormat
{
public:
    QString Extension() const override { return QStringLiteral("dbf"); }
    QString KindName() const override { return QStringLiteral("dBASE"); }
    std::unique_ptr<TTableFile> Open(const QString &path) override;
    TFileColumn ColumnFor(const QString &name, const QString &declaration) override;
    bool HasKeys() const override { return false; }
    void Create(const QString &path, const std::vector<TFileColumn> &columns,
                int keyFields) override;
};
