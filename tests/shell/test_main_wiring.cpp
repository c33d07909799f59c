// The main window's commands reaching the executor, the result windows, the parameter
// dialogs and the script files, each through its real action, offscreen on the DEMO alias.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "params/ModalAnswers.h"

#include "DataSet.h"
#include "EditorCommands.h"
#include "MessageDlg.h"
#include "Param.h"
#include "QueryResult.h"
#include "ResultWindows.h"
#include "Settings.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

// Answers the next modal dialog with fn once it shows, trying again until it does.
static void WhenModal(std::function<void(QWidget *)> fn, int triesLeft = 300)
{
    QTimer::singleShot(10, [fn = std::move(fn), triesLeft]() mutable {
        QWidget *w = QApplication::activeModalWidget();
        if (w && w->isVisible())
            fn(w);
        else if (triesLeft > 0)
            WhenModal(std::move(fn), triesLeft - 1);
    });
}

// Puts value in a parameter dialog and confirms it, keeping the dialog's caption.
static std::function<void(QWidget *)> AnswerParam(const QString &value, QStringList &captions)
{
    return [value, &captions](QWidget *w) {
        auto *d = qobject_cast<TfrmParam *>(w);
        if (!d) {
            if (auto *dialog = qobject_cast<QDialog *>(w))
                dialog->reject();
            return;
        }
        captions << d->windowTitle();
        d->cmbParam->setEditText(value);
        d->btnOk->click();
    };
}

// Records what the status label shows each time it is painted.
class TPaintedTexts : public QObject
{
public:
    explicit TPaintedTexts(QLabel *label)
        : m_label(label)
    {
        label->installEventFilter(this);
    }
    QStringList texts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint)
            texts << m_label->text();
        return false;
    }

private:
    QLabel *m_label;
};

class TestMainWiring : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(OrvaneIniFileName()); }
    void executeRunsScriptOpensResultRefreshesAndStopsAtAnError();
    void parameterCommandsWalkFromTopOrCaret();
    void saveWritesTheFileAndLetsTheWindowClose();
    void standardEditCommandsActOnTheFocusedText();
};

void TestMainWiring::executeRunsScriptOpensResultRefreshesAndStopsAtAnError()
{
    TProgram p;
    QVERIFY(p.Show());
    QTreeWidgetItem *demo = AliasNode(p, "DEMO");
    QVERIFY(demo);
    demo->setExpanded(true);
    p->MainTree->setCurrentItem(demo);
    QVERIFY(p->DB_Orvane.Connected());
    p->qryJoin.SQL = QStringList {"DROP TABLE IF EXISTS WIRE_NOTES"};
    p->qryJoin.ExecSQL();
    p->qryJoin.SQL.clear();
    QVERIFY(!Child(demo, "WIRE_NOTES"));

    p->memSQL->setPlainText("CREATE TABLE WIRE_NOTES (ID INTEGER, NOTE VARCHAR(40));\n"
                            "INSERT INTO WIRE_NOTES VALUES (1, 'a;b');\n"
                            "/*\nQueryName:Q_X\n*/\n"
                            "SELECT ID, NOTE FROM WIRE_NOTES;");
    TPaintedTexts painted(p->lblStatus);
    p->mnuSQLExecute->trigger();

    // Both statements ran whole: the ';' inside the literal ended neither of them.
    TQuery check;
    check.DatabaseName = p->DB_Orvane.DatabaseName();
    check.SQL << "SELECT ID, NOTE FROM WIRE_NOTES";
    check.Open();
    QCOMPARE(check.RecordCount(), 1);
    QCOMPARE(check.Value("NOTE").toString(), QString("a;b"));
    check.Close();

    const QList<Tform_QueryResult *> windows = p->ResultWindows().Windows();
    QCOMPARE(windows.size(), 1);
    Tform_QueryResult *result = windows.first();
    QCOMPARE(result->windowTitle(), QString("Q_X"));
    QVERIFY(result->isVisible());
    const QAbstractItemModel *model = result->dbgResult->model();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->data(model->index(0, 1)).toString(), QString("a;b"));

    // "SQL executed." was on screen before the run handed the status back to the node path.
    QVERIFY2(painted.texts.contains("SQL executed."), qPrintable(painted.texts.join(" | ")));
    QCOMPARE(p->StatusText(), QString("DEMO"));
    QVERIFY(!p->Animating());
    // The CREATE made the tree refresh, back on the same node: the alias read before the run
    // is read again when opened, now with the new table.
    QCOMPARE(SelectedText(p), QString("DEMO"));
    AliasNode(p, "DEMO")->setExpanded(true);
    QVERIFY(Child(AliasNode(p, "DEMO"), "WIRE_NOTES"));

    // A failing statement stops the run there, selected, and the rest never runs.
    p->memSQL->setPlainText("SELECT * FROM ORDERS;\n\nSELECT * FROM WIRE_NO_SUCH_TABLE;\n"
                            "CREATE TABLE WIRE_NEVER (ID INTEGER);");
    p->btnExecute->trigger();
    QVERIFY(p->StatusText().startsWith("ERROR:"));
    QCOMPARE(p->memSQL->textCursor().blockNumber(), 2);
    QCOMPARE(p->memSQL->textCursor().selectedText(), QString("SELECT * FROM WIRE_NO_SUCH_TABLE;"));
    QVERIFY(!p->Animating());
    QVERIFY(!Child(AliasNode(p, "DEMO"), "WIRE_NEVER"));
}

void TestMainWiring::parameterCommandsWalkFromTopOrCaret()
{
    TProgram p;
    QVERIFY(p.Show());
    p->memSQL->setPlainText("SELECT <WireA>,\n\t<WireB>;");
    QStringList captions;

    // From the caret: the line above it keeps its placeholder.
    TMemoCursor c(p->memSQL->document()->findBlockByNumber(1));
    p->memSQL->setTextCursor(c);
    WhenModal(AnswerParam("two", captions));
    p->mnuPopParameters->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT <WireA>,\n\ttwo;"));

    // From the top, wherever the caret stands.
    p->memSQL->moveCursor(QTextCursor::End);
    WhenModal(AnswerParam("one", captions));
    p->btnParameters->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT one,\n\ttwo;"));
    QCOMPARE(captions.size(), 2);
    QCOMPARE(p->Value("WireA"), QString("one"));

    // New Param numbers its placeholders; File New starts them again at 1.
    p->memSQL->setPlainText("WHERE ID = 42");
    TMemoCursor sel = p->memSQL->textCursor();
    sel.setPosition(11);
    sel.setPosition(13, QTextCursor::KeepAnchor);
    p->memSQL->setTextCursor(sel);
    p->mnuEdtNewParam->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("WHERE ID = <Param1>"));
    QCOMPARE(p->memSQL->textCursor().selectedText(), QString("Param1"));
    p->mnuEdtNewParam->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("WHERE ID = <<Param2>>"));
    p->memSQL->document()->setModified(false);
    p->mnuFileNew->trigger();
    QCOMPARE(p->ParamCounter, 1);
}

void TestMainWiring::saveWritesTheFileAndLetsTheWindowClose()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("wire.sql");
    TProgram p;
    QVERIFY(p.Show());
    p->memSQL->setPlainText("SELECT 1;");
    QVERIFY(p->mnuFileSave->isEnabled());

    WhenModal([&](QWidget *w) {
        auto *d = qobject_cast<QFileDialog *>(w);
        if (!d) {
            qobject_cast<QDialog *>(w)->reject();
            return;
        }
        ChooseFileIn(d, file);
    });
    p->mnuFileSave->trigger();
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()).trimmed(), QString("SELECT 1;"));
    saved.close();
    QCOMPARE(QFileInfo(p->windowTitle()).fileName(), QString("wire.sql"));
    QVERIFY(!p->mnuFileSave->isEnabled());

    // "Yes" to the save question saves under the same name, and the window may close.
    p->memSQL->appendPlainText("SELECT 2;");
    TShownMessages boxes(QMessageBox::Yes);
    const QStringList &asked = boxes.texts;
    QVERIFY(p->close());
    QCOMPARE(asked, QStringList {"Save File?"});
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()).trimmed(), QString("SELECT 1;\nSELECT 2;"));
}

// Undo, cut, paste and the rest on their standard keys, for the editor or the edit with
// the focus.
void TestMainWiring::standardEditCommandsActOnTheFocusedText()
{
    TProgram p;
    QVERIFY(p.Show());
    QCOMPARE(p->mnuEdtCopy->shortcut(), QKeySequence(QKeySequence::Copy));
    QCOMPARE(p->mnuEdtUndo->shortcut(), QKeySequence(QKeySequence::Undo));
    QVERIFY(p->mnuEdit->actions().contains(p->mnuEdtSelectAll));
    p->memSQL->setPlainText("SELECT 1;");
    p->memSQL->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), p->memSQL);
    p->mnuEdtSelectAll->trigger();
    p->mnuEdtCut->trigger();
    QVERIFY(p->memSQL->toPlainText().isEmpty());
    p->mnuEdtPaste->trigger();
    p->mnuEdtPaste->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT 1;SELECT 1;"));
    p->mnuEdtUndo->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT 1;"));
    p->mnuEdtRedo->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT 1;SELECT 1;"));

    // The bookmark box's edit has the focus: the command is for it, not for the script.
    QLineEdit *edit = p->cmbBookMark->lineEdit();
    QVERIFY(edit);
    edit->setText("DEMO.ORDERS");
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    p->mnuEdtSelectAll->trigger();
    p->mnuEdtCopy->trigger();
    p->memSQL->setFocus();
    p->mnuEdtSelectAll->trigger();
    p->mnuEdtPaste->trigger();
    QCOMPARE(p->memSQL->toPlainText(), QString("DEMO.ORDERS"));
}

ORVANE_TEST_MAIN_WITH_HOME(TestMainWiring, QApplication)
#include "test_main_wiring.moc"
