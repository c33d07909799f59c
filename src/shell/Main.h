#pragma once

#include "Base.h"
#include "DataSet.h"
#include "Database.h"
#include "Table.h"

#include <QElapsedTimer>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class EDatabaseError;
class TBusyIndicator;
class TEditorCommands;
class TExecutor;
class TIniFile;
class TResultWindows;
struct TParamContext;

// The main window: the database tree, the script editor and the commands around them.
class Tform_Main : public TfrmBase
{
    Q_OBJECT
public:
    explicit Tform_Main(QWidget *parent = nullptr);
    ~Tform_Main() override;

    // What the script executor, the generators and the parameter walk use, besides the
    // editor memSQL of the base form.
    TDatabase DB_Orvane;
    TTable tab_Orvane;
    TQuery qryCmdsSQL;
    TQuery qryJoin;
    bool CancelFlag = false;

    TIniFile &Ini() { return *m_ini; }
    QStringList &RememberedValues() { return m_values; }
    QString Value(const QString &name) const;
    void SetValue(const QString &name, const QString &value);
    const QString &NodePathText() const { return m_nodePath; }
    void SetNodePathText(const QString &path) { m_nodePath = path; }

    QString StatusText() const;
    void SetStatusText(const QString &text);
    void AnimationStart();
    void AnimationStop();
    bool Animating() const;
    // The busy state of long generators: animation on, progress bar reset and shown.
    void BusyStart(int steps = 100);
    void BusyStep();
    void BusyStop();
    // Caret to column 0 of the line (clamped), the line selected, the editor focused.
    void SelectLine(int line);

    // Tree operations.
    void FillAliases();
    // The alias's sorted table names read through DB_Orvane, which is pointed at it.
    QStringList AliasTableNames(const QString &alias) override;
    // Loads the table's field definitions into tab_Orvane.
    void ReadStructure(const QString &tableName) override;
    void FindByPath(const QString &path);
    // The table names of an alias as the tree has them, read when the tree has none yet.
    QStringList TreeTableNames(const QString &alias);
    void AddBookmark(const QString &path);
    int SelectedKind() const;

    // Login event of DB_Orvane and of the result windows' databases.
    void DB_OrvaneLogin(TDatabase &db, QStringList &loginParams);
    bool LoginAccepted = false;
    // Set when a login dialog is cancelled; the tree clears it before reading an alias.
    bool LoginCancelled = false;
    int DataFileCounter = 0;
    int ParamCounter = 1;
    QStringList SessionAliases;

    // Commands.
    void mnuSQLExecuteClick();
    void mnuEdtParametersClick();
    void mnuPopParametersClick();
    void mnuEdtNewParamClick();
    // The parameter dialogs' context, taken afresh: the current table follows the tree.
    TParamContext ParamContext();
    // Opens a data file as an alias of the session and moves the tree to it.
    void OpenDataFileAlias(const QString &fileName);
    void mnuEdtRefreshClick();
    void mnuEdtFindClick();
    void mnuPopGotoTClick();
    void mnuSQLOptClick();
    void mnuFileExitClick();
    void cmbBookMarkClick(int index);
    void cmbBookMarkKeyDown(int key);

    // Links, field properties and the HTML pages (MainLinks.cpp).
    void mnuPopLinkEditClick();
    void mnuPopLinkGotoClick();
    void mnuPopLinkRemoveClick();
    void mnuPopPropsClick();
    void mnuPopHTMLClick();
    // Asks for a target field in the find-in-tree dialog and moves the tree to it (a table
    // gives its first primary-key field). The answer, or empty when cancelled or not found.
    QString TargetFieldDialog(const QString &caption, const QString &defaultText);
    // True with the target's path when the user picked a field other than the selected one.
    bool LinkTargetPicker(QString &target);
    // Selects the node a path names, also through table names that hold "."; false when
    // no node of the whole path was found.
    bool SelectPath(const QString &path);

    // The save question asked before the script is thrown away: whether it may go.
    bool SaveQuestion();
    // Loads a script file into the editor, titles the window with it and moves the tree to
    // the node remembered for it. False when the file cannot be read.
    bool OpenScript(const QString &fileName);
    // Saves the script under its name; false when it was not saved.
    bool SaveScript();
    // Initial folder of the script file dialogs, read at each activation.
    QString InitialDir;

    TExecutor &Executor() { return *m_executor; }
    TResultWindows &ResultWindows() { return *m_results; }
    TEditorCommands &EditorCommands() { return *m_editorCmds; }

    QWidget *panCtrl;
    QToolBar *toolBCtrl;
    QProgressBar *prgB;
    TBusyIndicator *ani;
    QTreeWidget *MainTree;
    QSplitter *splTreeMemo;
    QStatusBar *stbSQL;
    QLabel *lblStatus;
    QComboBox *cmbBookMark;
    QMenu *popTree;
    QMenu *popMem;

    QAction *btnFileNew, *btnFileOpen, *btnFileSave, *btnRefresh, *btnParameters, *btnFind,
        *btnFindCmd, *btnCompare, *btnAdd, *btnDrop, *btnTemplate, *btnScript, *btnExecute,
        *btnStop, *btnQuery;
    QMenu *mnuFile, *mnuEdit, *mnuSQL, *mnuRecord, *mnuHelp;
    QAction *mnuFileNew, *mnuFileOpen, *mnuFileSave, *mnuFileSaveAs, *mnuFileExit;
    QAction *mnuEdtRefresh, *mnuEdtParameters, *mnuEdtFind, *mnuEdtFindCmd, *mnuEdtCompare,
        *mnuEdtNewParam, *mnuEdtGotoLine;
    // What every editor offers, on the standard keys, for the widget with the focus.
    QAction *mnuEdtUndo, *mnuEdtRedo, *mnuEdtCut, *mnuEdtCopy, *mnuEdtPaste, *mnuEdtSelectAll;
    QAction *mnuSQLAdd, *mnuSQLDrop, *mnuSQLTemplate, *mnuSQLScript, *mnuSQLFmtScrp, *mnuSQLExecute,
        *mnuSQLStop, *mnuSQLQuery, *mnuSQLOpenTable, *mnuSQLJoin, *mnuSQLOpt;
    QAction *mnuRecordUpdate, *mnuRecordInsert, *mnuRecordDelete;
    QAction *mnuHelpQuickTour, *mnuHelpAbout;
    QAction *mnuPopRefresh, *mnuPopAdd, *mnuPopDrop, *mnuPopScript, *mnuPopGroup, *mnuPopIndex,
        *mnuPopTable, *mnuPopLink, *mnuPopLinkEdit, *mnuPopLinkGoto, *mnuPopLinkRemove, *mnuPopHTML,
        *mnuPopQuery, *mnuPopOpenTable, *mnuPopProps;
    QAction *mnuPopCodeIn, *mnuPopParameters, *mnuPopGotoT, *mnuPopQryProp, *mnuPopExecute;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormDeactivate();
    bool FormClose();
    void FormDestroy();
    bool FormKeyDown(QKeyEvent *event);

    void CreateControls();
    void PlaceEditor();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateSubsystems();
    QAction *NewAction(const char *name, const char *caption, const QKeySequence &shortcut = {});
    QAction *NewButton(const char *name, const char *hint, const char *image);

    void MainTreeExpanding(QTreeWidgetItem *node);
    void MainTreeCollapsed(QTreeWidgetItem *node);
    void MainTreeChange(QTreeWidgetItem *node);
    void ReadAlias(QTreeWidgetItem *node);
    void ReadTable(QTreeWidgetItem *node);
    void CollapseAll();
    // Selects the nodes a path names, from the tree as it is; false when it stopped early.
    bool WalkPath(const QString &path);
    // Forgets a password the user just confirmed and rethrows, unless the login was
    // cancelled: then the alias shows no tables.
    QStringList AliasReadFailed(const QString &alias, const EDatabaseError &error);
    void CreateLinkCommands();
    void CreateStandardEditCommands();
    QTreeWidgetItem *LinkFieldNode();
    QTreeWidgetItem *ExactNode(const QString &path);
    void Select(QTreeWidgetItem *node);
    void RefreshAt(const QString &path);
    void MoveCaretByWord(bool forward);

    std::unique_ptr<TIniFile> m_ini;
    TResultWindows *m_results = nullptr;
    TEditorCommands *m_editorCmds = nullptr;
    class TRunGuard *m_runGuard = nullptr;
    std::unique_ptr<TExecutor> m_executor;
    QStringList m_values;
    QString m_nodePath;
    int m_treeWidth = 185;
    qreal m_scale = 1.0;
    bool m_shown = false;
    bool m_closing = false;
    bool m_reopening = false; // Refresh opens again what was open
    int m_busyDone = 0;
    QElapsedTimer m_busyShown;
};

// Node kind, level and image of a tree node.
int NodeKind(const QTreeWidgetItem *node);
int NodeLevel(const QTreeWidgetItem *node);
