#pragma once

// Runs a script file without a display, as F9 runs the editor's script: the same executor,
// directives and error rules. Each statement's rows are written as CSV to standard output,
// or to one file per result in a folder, named as its result window would be.

#include <QString>
#include <QStringList>
#include <cstdio>

struct TScriptRun
{
    QString script; // the file
    QString alias; // the database it starts on; empty for the first alias
    QString outFolder; // empty for standard output
};

// Reads "--run SCRIPT [--alias NAME] [--out DIR]"; false with the reason in *error.
bool ParseScriptRun(const QStringList &arguments, TScriptRun &run, QString *error);

// 0 when every statement ran, 1 at the first failure ("ERROR: ... (line N)" on err), 2 when
// the script or the alias cannot be used. A login's password comes from ORVANE_PASSWORD or,
// on a terminal, is asked for there; never from a file.
int RunScriptHeadless(const TScriptRun &run, FILE *out, FILE *err);
