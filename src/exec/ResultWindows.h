#pragma once

// The main window's list of result windows and their settings.
//
// Tform_Main wiring: create one `TResultWindows` after DB_Orvane and the settings file,
//   m_results = new TResultWindows(this, DB_Orvane, *m_ini);
// and give the executor's host `host.OpenResultWindow = m_results->Opener();`.
// Open Table calls the same with the name "Table " + table, number 0 and live true, then
// gives the window the table's project file (SetProjectFile).

#include "ResultSettings.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QWidget;
class TDatabase;
class TIniFile;
class Tform_QueryResult;

class TResultWindows : public QObject
{
    Q_OBJECT
public:
    TResultWindows(QWidget *mainWindow, TDatabase &mainDb, TIniFile &settings);
    ~TResultWindows() override;

    // Shows the statement's rows in the window of that name (a new one when the name is
    // empty or no open window has it). Throws EDatabaseError when the statement fails; the
    // window then stays, empty.
    Tform_QueryResult *OpenResultWindow(const QStringList &sql, const QString &name, int number,
                                        bool live);
    // The open window captioned name, shown; or a new one placed from the settings.
    Tform_QueryResult *GetResultWindow(const QString &name, const QStringList &sql);
    void ResultClosed(Tform_QueryResult *window);
    // OpenResultWindow as the executor's host calls it.
    std::function<void(const QStringList &, const QString &, int, bool)> Opener();

    // Open result windows in creation order.
    QList<Tform_QueryResult *> Windows() const;
    // The first memo column of the statement's result, found without fetching its rows.
    QString MemoField(const QStringList &sql) const;

private:
    QString UniqueName(const QString &name, const Tform_QueryResult *window) const;

    QWidget *m_mainWindow;
    TDatabase &m_mainDb;
    TResultSettings m_settings;
    QList<QPointer<Tform_QueryResult>> m_windows;
};
