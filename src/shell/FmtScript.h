#pragma once

// The "Format Script" window: edits, names, saves and deletes format scripts, and applies
// one to the table or the whole alias of tabSource, appending the result to the target
// editor (the main window's). Only Escape and painting reach the program while it applies.

#include "Base.h"
#include "Table.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QMenu;
class QProgressBar;
class QPushButton;
class TIniFile;

class TfrmFmtScript : public TfrmBase
{
    Q_OBJECT
public:
    explicit TfrmFmtScript(QWidget *owner = nullptr, TSession *session = nullptr);
    ~TfrmFmtScript() override;

    using TFmtEvent = std::function<void(TfrmFmtScript *sender)>;
    TFmtEvent OnClosing; // the window frees itself afterwards
    TFmtEvent OnActivated;
    std::function<void(int count)> OnProgress; // the number of tables, then -1 at the end

    TColorMemo *Target = nullptr;
    TIniFile *Settings = nullptr;
    QProgressBar *Progress = nullptr;

    QComboBox *cmbId;
    QPushButton *btnTableName, *btnFieldName, *btnFieldType, *btnIndexName, *btnIndexField;
    QCheckBox *chkComma;
    QPushButton *btnClear, *btnApply, *btnSave, *btnClose;
    QWidget *panCtrl;
    QMenu *popFmt;
    QAction *mnuPopTagTable, *mnuPopTagField, *mnuPopTagType, *mnuPopTagIndex, *mnuPopTagFldIndex,
        *mnuPopDeleteFmt;
    TTable tabSource;

    void btnApplyClick();
    void btnSaveClick();
    void btnClearClick();
    void mnuPopDeleteFmtClick();
    // Choosing the name box's item (a click, or Enter in the box).
    void cmbIdChoose();
    void InsertTag(const QString &tag);
    bool Running() const { return m_running; }

    void ReadStructure(const QString &TableName) override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool DefaultChosen() const;
    void FillNames();
    void UpdateSave();

    int m_unnamed = 0;
    bool m_cancel = false;
    bool m_running = false;
    QString m_chosen; // the item last chosen in the name box
};
