#pragma once

// A session with the DEMO alias in temporary folders, a main database component on it, and
// generated statements run through the script executor as the main window runs them.

#include "DataSet.h"
#include "Database.h"
#include "Executor.h"
#include "IniFile.h"
#include "Queries.h"
#include "Session.h"
#include "Table.h"
#include "TableScript.h"
#include "TreeReading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

struct TOpenedResult
{
    QString name;
    int rows;
};

class GenSession
{
public:
    GenSession()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        session = std::make_unique<TSession>(m_config.filePath("aliases.ini"));
        main = std::make_unique<TDatabase>(QStringLiteral("DBGen"), session.get());
        main->SetAliasName(QStringLiteral("DEMO"));
    }
    ~GenSession()
    {
        main.reset();
        session.reset();
    }

    QString DataPath(const QString &name) const { return m_data.filePath(name); }

    // A session alias on a new, empty SQLite database.
    void NewSqliteAlias(const QString &alias)
    {
        const QString file = DataPath(alias + QStringLiteral(".db"));
        QFile::remove(file);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.close();
        session->AddAlias(alias, QStringLiteral("SQLITE"),
                          {QStringLiteral("DATABASE NAME=") + file},
                          TSession::TPersistence::SessionOnly);
    }

    // Moves the main component to another alias, as the tree does.
    void MainOn(const QString &alias)
    {
        main->Close();
        main->SetAliasName(alias);
    }

    TQueryContext Context() const
    {
        TQueryContext c;
        c.session = session.get();
        c.mainAlias = main->AliasName();
        c.mainDatabase = main->DatabaseName();
        c.lookups = ReadLookups;
        return c;
    }

    int Count(const QString &databaseName, const QString &sql)
    {
        TQuery q(session.get());
        q.DatabaseName = databaseName;
        q.SQL = QStringList {sql};
        q.Open();
        const int n = q.Value(0).toInt();
        q.Close();
        return n;
    }

    void Exec(const QString &databaseName, const QStringList &script)
    {
        for (const QString &statement : script) {
            TQuery q(session.get());
            q.DatabaseName = databaseName;
            q.SQL = QStringList {statement};
            q.ExecSQL();
        }
    }

    // The directive block with the given line, then the script, run by the executor on the
    // main component; error gets the status bar's error and the executor's own text.
    bool RunScript(const QString &directive, const QStringList &script, QString &error,
                   decltype(TExecutorHost::OpenResultWindow) open = {})
    {
        QStringList lines;
        TExecutorHost host;
        host.Lines = [&] {
            return lines;
        };
        host.AppendLines = [&](const QStringList &l) {
            lines << l;
        };
        host.SetStatus = [&](const QString &t) {
            if (t.startsWith(QLatin1String("ERROR")))
                error = t;
        };
        host.OpenResultWindow = std::move(open);
        TQuery query(session.get());
        query.DatabaseName = main->DatabaseName();
        TExecutor executor(*main, query, host);
        executor.WriteHeader({directive});
        lines << script;
        const bool ok = executor.RunScript(lines);
        error += executor.ErrorText();
        return ok;
    }

    // The directive block with the query name, the statement and ";", as the generating
    // commands write them, run by the executor on the main component: every window opened
    // with the number of rows its statement gives.
    QList<TOpenedResult> RunQuery(const QString &queryName, const QStringList &select)
    {
        QList<TOpenedResult> opened;
        QString error;
        const auto open = [&](const QStringList &sql, const QString &name, int, bool) {
            TQuery q(session.get());
            q.DatabaseName = main->DatabaseName();
            q.SQL = sql;
            q.Open();
            int rows = 0;
            for (q.First(); !q.Eof(); q.Next())
                ++rows;
            q.Close();
            opened.append({name, rows});
        };
        if (!RunScript(QStringLiteral("QueryName:") + queryName, select + QStringList {";"}, error,
                       open))
            qWarning("script failed: %s", qPrintable(error));
        return opened;
    }

    // The whole-alias script of a database as the Script command writes it.
    QStringList AliasScriptOf(const QString &databaseName, const TTableScriptOptions &options)
    {
        TTable table(session.get());
        table.DatabaseName = databaseName;
        QStringList names = session->GetTableNames(databaseName);
        names.sort(Qt::CaseInsensitive);
        QStringList lines;
        TAliasScriptHost host;
        host.write = [&](const QStringList &l) {
            lines << l;
        };
        AliasScript(table, names, options, host);
        return lines;
    }

    // Writes a lookup link into the table's project file.
    static void Link(const QString &alias, const QString &table, const QString &field,
                     const QString &target)
    {
        const QString file = ProjectFileName(alias, table);
        QDir().mkpath(QFileInfo(file).path());
        TIniFile(file).WriteString(field, QStringLiteral("Lookup"), target);
    }

    std::unique_ptr<TSession> session;
    std::unique_ptr<TDatabase> main;

private:
    QTemporaryDir m_config;
    QTemporaryDir m_data;
};

// The statements of a script: lines joined up to each ";".
inline QStringList Statements(const QStringList &lines)
{
    QStringList statements;
    QString current;
    for (const QString &line : lines) {
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            statements << current.trimmed().chopped(1);
            current.clear();
        }
    }
    return statements;
}

// A script with each table's CREATE INDEX lines in name order: engines list indexes in
// orders of their own (SQLite the newest first).
inline QStringList IndexesSorted(QStringList script)
{
    for (qsizetype i = 0; i < script.size();) {
        qsizetype end = i;
        while (end < script.size() && script[end].contains(QLatin1String(" INDEX ")))
            ++end;
        std::sort(script.begin() + i, script.begin() + end);
        i = end + 1;
    }
    return script;
}
