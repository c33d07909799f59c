#pragma once

#include "SqliteDriver.h"
#include "TableFile.h"

struct sqlite3_module;

// An in-memory SQLite connection in which every table file is a virtual table, so that
// SQL reaches the files. Tables are read on first use and again when another connection
// changed them; a change is written when its statement or transaction commits.
class TFileConnection : public TSqliteConnection
{
public:
    // format makes and opens the folder's table files; null for a read-only source.
    TFileConnection(QSqlDatabase db, std::unique_ptr<TTableFormat> format, QString folder,
                    QString readOnlyReason = {});
    ~TFileConnection() override;

    // Makes the table a virtual table of the connection; throws EDatabaseError.
    void AddTable(std::unique_ptr<TTableFile> file);
    TTableFile *FindTable(const QString &name) const;

    QStringList TableNames() override;
    QList<TFieldDef> FieldDefs(const QString &table) override;
    QList<TIndexDef> IndexDefs(const QString &table) override;
    // The catalog is the table files', read without SQL.
    void ReadSnapshot(const std::function<void()> &read) override { read(); }
    TFieldDef ResultField(const QSqlQuery &query, int column) override;
    QString ReadOnlyReason() const override { return m_readOnlyReason; }
    bool ExecOwn(const QString &sql) override;

    // Used by the virtual table module.
    bool Internal() const { return m_internal; }
    void Forget(TTableFile *file); // after DROP TABLE deleted its files

private:
    void CreateTableFile(const QString &sql);
    void RunInternal(const QString &sql);
    TTableFile &Table(const QString &name); // throws when missing or damaged
    void Rescan();

    std::unique_ptr<TTableFormat> m_format;
    QString m_folder;
    QString m_readOnlyReason;
    std::vector<std::unique_ptr<TTableFile>> m_tables;
    bool m_internal = false;
};

// The virtual table module of the connections (FileVtab.cpp).
const sqlite3_module &FileTableModule();

// The SQL type a virtual table column is declared with, read back by ResultField.
QString DeclarationFor(const TFileColumn &column);
