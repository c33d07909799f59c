#pragma once

#include "Driver.h"

// Firebird/InterBase database files. "SERVER NAME" is a local file, opened through the
// embedded engine with no server running, or host:path on a server.
class TFirebirdDriver : public TDriver
{
public:
    QString Name() const override { return QStringLiteral("INTRBASE"); }
    bool NeedsLogin(const TParams &params) const override;
    std::unique_ptr<TConnection> Connect(const TParams &params, const QString &user,
                                         const QString &password) override;
};

// Throws EDatabaseError unless the file starts with a plausible Firebird header page and
// holds whole pages; the engine is never handed a file that fails this.
void CheckFirebirdFile(const QString &path);

// Makes a new, empty database file through the embedded engine (page size 8192, UTF8);
// throws EDatabaseError with the engine's message.
void CreateFirebirdFile(const QString &path);
