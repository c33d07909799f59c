#pragma once

// A SQLite alias in a temporary folder and a recording stand-in for the main window.

#include "Database.h"
#include "Executor.h"
#include "Session.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Runs statements on a SQLite file outside the engine, to set up and to check.
inline QVariant SqliteValue(const QString &file, const QString &sql, const QStringList &setup = {})
{
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "exec_check");
        db.setDatabaseName(file);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(file));
        QSqlQuery q(db);
        for (const QString &s : setup)
            if (!q.exec(s))
                qFatal("setup failed: %s", qPrintable(s));
        if (!sql.isEmpty() && q.exec(sql) && q.next())
            result = q.value(0);
    }
    QSqlDatabase::removeDatabase("exec_check");
    return result;
}

// What the executor asked of the main window.
struct TRecordedHost
{
    struct Opened
    {
        QString sql;
        QString name;
        int number;
        bool live;
    };
    QStringList statuses;
    QList<int> selected;
    QList<Opened> opened;
    QList<bool> busy;
    QStringList appended;
    int focus = 0;
    int refresh = 0;
    int repaints = 0;
    bool liveOption = false;
    bool aliasOption = false;
    QString aliasNode;
    QStringList lines;

    TExecutorHost Host()
    {
        TExecutorHost h;
        h.Lines = [this] {
            return lines;
        };
        h.SetStatus = [this](const QString &t) {
            statuses << t;
        };
        h.RepaintStatus = [this] {
            ++repaints;
        };
        h.SelectLine = [this](int line) {
            selected << line;
        };
        h.FocusEditor = [this] {
            ++focus;
        };
        h.Refresh = [this] {
            ++refresh;
        };
        h.Busy = [this](bool on) {
            busy << on;
        };
        h.NodePath = [] {
            return QStringLiteral("SHOP.CUST");
        };
        h.LiveAnswerOption = [this] {
            return liveOption;
        };
        h.AliasOption = [this] {
            return aliasOption;
        };
        h.SelectedAliasNode = [this] {
            return aliasNode;
        };
        h.AppendLines = [this](const QStringList &l) {
            appended << l;
        };
        h.OpenResultWindow
            = [this](const QStringList &sql, const QString &name, int number, bool live) {
                  opened.append({sql.join('\n'), name, number, live});
              };
        return h;
    }
};
