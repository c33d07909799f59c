#pragma once

// What the main window calls for its parameter commands. Build the context at each call:
// the current table changes with the tree's selection.
//
//   TParamContext ParamContext() {
//       return {this, &Ini(), nullptr, DB_Orvane.DatabaseName(), tab_Orvane.TableName}; }
//   mnuEdtParameters / btnParameters:
//       memSQL->moveCursor(QTextCursor::Start);
//       ParamWalkEditor(memSQL, 0, RememberedValues(), ParamContext());
//   mnuPopParameters:
//       ParamWalkEditor(memSQL, memSQL->textCursor().blockNumber(), RememberedValues(),
//                       ParamContext());
//   mnuEdtNewParam (Ctrl+W):
//       NewParam(memSQL, ParamCounter);
//
// File New puts ParamCounter back to 1 (TEditorHost::fileNew in EditorCommands.h), and
// orvane_shell links orvane_params.

#include "ParamWalk.h"

#include <QString>
#include <QStringList>

class QWidget;
class TColorMemo;
class TIniFile;
class TSession;

struct TParamContext
{
    QWidget *owner = nullptr; // parent of the dialogs
    TIniFile *ini = nullptr; // the settings file holding the free values' history
    TSession *session = nullptr; // null: the default session
    QString databaseName; // the main window's database component
    QString tableName; // the current table
};

// Shows the dialog for one placeholder, chosen by its name. True when confirmed, value
// then holding the new text; a confirmed free value joins its history.
bool AskParamValue(const TParamContext &ctx, const QString &prefix, const QString &name,
                   QString &value);

// Runs the parameter walk over the editor's lines from startLine, writing each replaced line
// back into the editor. False when the user cancelled. text, when given, turns each value
// into what is written for it.
bool ParamWalkEditor(TColorMemo *editor, int startLine, QStringList &remembered,
                     const TParamContext &ctx, const TParamText &text = {});

// Replaces the editor's selection by a new numbered placeholder, selects its name, focuses
// the editor and counts on.
void NewParam(TColorMemo *editor, int &counter);
