#pragma once

#include "Driver.h"

// PostgreSQL servers: "SERVER NAME" (host, default localhost), "PORT" (default 5432),
// "DATABASE NAME", "USER NAME"; the password comes through the login event.
class TPostgresDriver : public TDriver
{
public:
    QString Name() const override { return QStringLiteral("POSTGRESQL"); }
    bool NeedsLogin(const TParams &) const override { return true; }
    std::unique_ptr<TConnection> Connect(const TParams &params, const QString &user,
                                         const QString &password) override;
};
