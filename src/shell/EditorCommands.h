#pragma once

// The script editor's commands: script files (New, Open, Save, Save As and the save
// question), the caret status, Goto Line, Find Command, Quick Tour and drops from the tree.
//
// How Tform_Main wires them (in FormCreate, once the editor, actions and settings exist;
// only the window's public members are used):
//
//   TEditorHost host;
//   host.window = this;
//   host.editor = memSQL;
//   host.ini = &Ini();
//   host.values = &RememberedValues();
//   host.nodePath = [this] { return NodePathText(); };
//   host.findByPath = [this](const QString &p) { FindByPath(p); };
//   host.setStatus = [this](const QString &t) { SetStatusText(t); };
//   host.openDataFile = [this](const QString &f) { /* open the data file as an alias */ };
//   host.fileNew = [this] { ParamCounter = 1; };
//   host.selectedNode = [this](int &kind, QString &text) {
//       kind = SelectedKind();
//       text = MainTree->currentItem() ? MainTree->currentItem()->text(0) : QString();
//   };
//   host.dropOnEditor = [this] { /* the Script command, once the generators provide it */ };
//   host.saveActions = {btnFileSave, mnuFileSave};
//   host.executeActions = {mnuSQLExecute, mnuPopExecute};
//   m_editorCmds = new TEditorCommands(host, this);
//
//   mnuFileNew / btnFileNew       -> m_editorCmds->mnuFileNewClick()
//   mnuFileOpen / btnFileOpen     -> m_editorCmds->mnuFileOpenClick()
//   mnuFileSave / btnFileSave     -> m_editorCmds->mnuFileSaveClick()
//   mnuFileSaveAs                 -> m_editorCmds->mnuFileSaveAsClick()
//   mnuEdtFindCmd / btnFindCmd    -> m_editorCmds->mnuEdtFindCmdClick()
//   mnuEdtGotoLine                -> m_editorCmds->mnuEdtGotoLineClick()
//   mnuHelpQuickTour              -> m_editorCmds->mnuHelpQuickTourClick()
//   popMem's aboutToShow          -> m_editorCmds->popMemPopup(mnuPopParameters)
//   Tform_Main::SaveQuestion()    -> return m_editorCmds->SaveQuestion();
//   Tform_Main::OpenScript(f)     -> m_editorCmds->OpenScript(f), then MarkOpened()
//   Tform_Main::SaveScript()      -> return m_editorCmds->mnuFileSaveClick();
//   Tform_Main::SelectLine(l)     -> TEditorCommands::SelectLine(memSQL, l);
//
// The tree starts drags by itself: MainTree->setDragEnabled(true) with DragOnly.
// The editor's change signal, its key presses and releases (caret status, F9 left to the
// script run) and drags over it are watched by the object itself. The parameter commands
// are wired as params/AskParam.h shows.

#include "ScriptFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QAction;
class QWidget;
class TColorMemo;
class TIniFile;

struct TEditorHost
{
    QWidget *window = nullptr; // its caption is the script's path; it owns the dialogs
    TColorMemo *editor = nullptr;
    TIniFile *ini = nullptr;
    QStringList *values = nullptr; // the remembered values ("TableName", "FindCommand")
    std::function<QString()> nodePath;
    std::function<void(const QString &path)> findByPath;
    std::function<void(const QString &text)> setStatus;
    std::function<void(const QString &fileName)> openDataFile;
    std::function<void()> fileNew; // what else New resets (the New Param counter)
    std::function<void(int &kind, QString &text)> selectedNode; // kind -1: none
    std::function<void()> dropOnEditor;
    QList<QAction *> saveActions;
    QList<QAction *> executeActions;
    // Opens the help page; the system's viewer unless a caller replaces it.
    std::function<bool(const QUrl &url)> openUrl;
    // Where the help page is looked for; the standard places unless a caller replaces them.
    QStringList helpCandidates;
};

// The states of the script file: whether Save must ask for a name.
enum TFileState : int { fsUntitled = 0, fsSaved = -1, fsOpened = -2 };

class TEditorCommands : public QObject
{
    Q_OBJECT
public:
    TEditorCommands(TEditorHost host, QObject *parent = nullptr);

    int FileState() const { return m_fileState; }
    const QString &FileName() const { return m_fileName; }
    const TScriptFormat &Format() const { return m_format; }
    bool DropPending() const { return m_dropPending; }

    // Whether the text may be thrown away, asking "Save File?" when it is modified.
    bool SaveQuestion();
    // Saves, asking for a name when askName; false when nothing was saved.
    bool Save(bool askName);
    // Loads a script into the editor; the file state is left as it is.
    bool OpenScript(const QString &fileName);
    // The loaded script counts as opened from its file: Save writes it without a dialog.
    void MarkOpened()
    {
        m_fileState = fsOpened;
        SetSaveEnabled(false);
    }

    void mnuFileNewClick();
    void mnuFileOpenClick();
    bool mnuFileSaveClick();
    bool mnuFileSaveAsClick();
    void mnuEdtGotoLineClick();
    void mnuEdtFindCmdClick();
    void mnuHelpQuickTourClick();
    void memSQLChange();
    void memSQLKeyUp(int key);
    void popMemPopup(QAction *mnuPopParameters);

    // Caret to column 0 of the line (clamped to the text), the line selected, editor focused.
    static void SelectLine(TColorMemo *editor, int line);
    static QStringList EditorLines(const TColorMemo *editor);
    static QString EditorText(const TColorMemo *editor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString Remembered(const QString &name) const;
    void SetSaveEnabled(bool enabled);
    bool EditorActive() const;

    TEditorHost m_host;
    int m_fileState = fsUntitled;
    QString m_fileName;
    TScriptFormat m_format;
    bool m_dropPending = false;
};
