#pragma once

#include "TableFile.h"

// Paradox ".db" tables through pxlib; memos and blobs live in a ".mb" file beside them.
// The first KeyFields fields of a keyed table are its primary key.
class TParadoxFormat : public TTableFormat
{
public:
    QString Extension() const override { return QStringLiteral("db"); }
    QString KindName() const override { return QStringLiteral("Paradox"); }
    std::unique_ptr<TTableFile> Open(const QString &path) override;
    TFileColumn ColumnFor(const QString &name, const QString &declaration) override;
    bool HasKeys() const override { return true; }
    void Create(const QString &path, const std::vector<TFileColumn> &columns,
                int keyFields) override;
};
