#pragma once

#include "Driver.h"

struct sqlite3;

// SQLite databases: "DATABASE NAME" is the file. The file must exist and be an SQLite
// database: a mistyped path never turns into a new empty database.
class TSqliteDriver : public TDriver
{
public:
    QString Name() const override { return QStringLiteral("SQLITE"); }
    std::unique_ptr<TConnection> Connect(const TParams &params, const QString &user,
                                         const QString &password) override;
};

class TSqliteConnection : public TConnection
{
public:
    explicit TSqliteConnection(QSqlDatabase db);
    explicit TSqliteConnection(std::shared_ptr<TSqlHandle> handle);

    QStringList TableNames() override;
    QList<TFieldDef> FieldDefs(const QString &table) override;
    QList<TIndexDef> IndexDefs(const QString &table) override;
    TFieldDef ResultField(const QSqlQuery &query, int column) override;
    QString RowIdColumn() const override { return QStringLiteral("rowid"); }
    bool InTransaction() override;
    void ReadSnapshot(const std::function<void()> &read) override;
    bool ReturnsRows(const QString &keyword, const QString &statement) const override;

    sqlite3 *Handle() const;
};

// Opens the SQLite connection behind other drivers (the in-memory one of the table-file
// drivers, for instance).
QSqlDatabase OpenSqliteDatabase(const QString &file, const QString &options = {});
