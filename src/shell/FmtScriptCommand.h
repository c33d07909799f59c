#pragma once

// The main window's side of format scripts: the Format Script command opens the one window
// and keeps it pointed at the tree's selection, and Code Insight expands the word before
// the editor's caret into the saved format it names.
//
// Tform_Main creates one after its subsystems: `new TFmtScriptCommand(this);`

#include "FmtScript.h"

#include <QObject>
#include <QPointer>

class Tform_Main;

class TFmtScriptCommand : public QObject
{
    Q_OBJECT
public:
    explicit TFmtScriptCommand(Tform_Main *main);

    void mnuSQLFmtScrpClick();
    void mnuPopCodeInClick();
    // The open window; null when none is open.
    TfrmFmtScript *Window() const { return m_window; }

    void FmtActivated(TfrmFmtScript *sender);
    void FmtClosing(TfrmFmtScript *sender);
    void FmtProgress(int count);

private:
    Tform_Main *m;
    QPointer<TfrmFmtScript> m_window;
};
