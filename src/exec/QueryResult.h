#pragma once

#include "DataSet.h"
#include "Database.h"

#include <QIcon>
#include <QList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QTableView;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class TIniFile;
class TQueryModel;
class TTable;
class TVerify;

// A window showing one query's rows, named by its caption. Created by TResultWindows.
class Tform_QueryResult : public QWidget
{
    Q_OBJECT
public:
    explicit Tform_QueryResult(TSession *session, QWidget *parent = nullptr);
    ~Tform_QueryResult() override;

    QTableView *dbgResult;
    QWidget *panFoot;
    QWidget *dbnResult;
    QToolBar *ToolBarEdit;
    QToolButton *btnIns;
    QToolButton *btnDel;
    QToolButton *btnEdit;
    QToolButton *btnLocate;
    QList<QIcon> imgEdit; // Insert, Delete, Edit, Locate
    QStatusBar *stb;
    QMenu *popEdt;
    QAction *popEdtIns;
    QAction *popEdtDel;
    QAction *popEdtEdit;
    QAction *popEdtLoc;
    QAction *popEdtCopy; // the selected cells, tab-separated under their column names
    QAction *popEdtExport; // the whole result as a CSV file

    std::unique_ptr<TDatabase> DB_Result;
    TQuery qryResult;
    TQueryModel *dsResult;

    bool Editable = false;
    int Tag = 0; // 0 until placed; then the select number it was last opened for
    std::function<void(Tform_QueryResult *)> ResultClosed;

    void SetLiveAnswer(bool live);
    // Runs the statement on the alias and shows its rows; the time it took goes to panel 1.
    // Throws EDatabaseError; the window then stays, empty.
    void OpenResult(const QString &alias, const TDatabase::TLoginEvent &login,
                    const QStringList &sql);
    QString PanelText(int panel) const;
    // The grid row the query's cursor is on.
    int CurrentRow() const;
    void SelectRow(int row);

    // The project file of the table the rows come from (Open Table): its field properties go
    // to the record edit form. Each window holds its own; empty clears it.
    std::unique_ptr<TIniFile> ProjectFile;
    void SetProjectFile(const QString &fileName);
    // Lookup tables made for the record edit form carry this tag.
    static constexpr int LookupTableTag = -17;

    // Insert, or Edit when the sender carries the tag -7.
    void popEdtInsClick(QObject *sender);
    void popEdtDelClick();
    void popEdtLocClick();
    void popEdtCopyClick();
    void popEdtExportClick();
    // Writes the whole result to the file as CSV under a progress dialog; false when it was
    // stopped or failed (the message shown), and the file is then left as it was.
    bool ExportTo(const QString &fileName);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    virtual void CurrentRowChanged(int row);
    QVBoxLayout *m_layout;

private:
    void Navigate(int how);
    void UpdateActions();
    void ReportError(const QString &message);
    bool WriteCell(int row, int column, const QVariant &value);
    void ShowRowsAgain(int row, int column);
    void ApplyFieldProperties(TVerify *control);
    void ReleaseLookupTables(TVerify *control);
    bool IsLookupTable(const std::shared_ptr<TTable> &table) const;

    std::vector<std::shared_ptr<TTable>> m_lookupTables;

    QLabel *m_panel[2];
    QLabel *m_reason;
};

// The variant for results with a memo column: the memo text of the current row under the grid.
class Tform_QueryResultMemo : public Tform_QueryResult
{
    Q_OBJECT
public:
    explicit Tform_QueryResultMemo(TSession *session, QWidget *parent = nullptr);

    QSplitter *spt;
    QPlainTextEdit *dbm;
    void SetMemoField(const QString &field);
    const QString &MemoField() const { return m_memoField; }

protected:
    void CurrentRowChanged(int row) override;

private:
    QString m_memoField;
};
