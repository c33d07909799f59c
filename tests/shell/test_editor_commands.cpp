#include "ColMemo.h"
#include "EditorCommands.h"
#include "FindCmdDlg.h"
#include "GotoLine.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "Settings.h"
#include "TreeLogic.h"
#include "params/ModalAnswers.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <unistd.h>

// The editor commands on a bare window that stands in for the main window.
class TestEditorCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<QMainWindow> m_window;
    TColorMemo *m_editor = nullptr;
    QLineEdit *m_other = nullptr;
    QAction *m_save = nullptr, *m_execute = nullptr;
    std::unique_ptr<TIniFile> m_ini;
    std::unique_ptr<TEditorCommands> m_cmds;
    QStringList m_values;
    QString m_nodePath, m_status, m_nodeText;
    int m_nodeKind = -1;
    QStringList m_foundPaths, m_dataFiles, m_opened;
    int m_newCalls = 0, m_drops = 0;
    QStringList m_messages;
    QList<QMessageBox::StandardButton> m_replies;

    QString Path(const QString &name) const { return m_dir.filePath(name); }
    static QByteArray Read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void Write(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void Type(const QString &text)
    {
        m_editor->moveCursor(QTextCursor::End);
        m_editor->insertPlainText(text); // sets the modified flag as typing does
    }
    int CaretLine() const { return m_editor->textCursor().blockNumber(); }

    // A file dialog answer: the file to choose and, optionally, the filter.
    static TModalAnswers::THandler ChooseFile(const QString &file, const QString &filter = {},
                                              QString *objectName = nullptr)
    {
        return [=](QWidget *w) {
            auto *d = qobject_cast<QFileDialog *>(w);
            QVERIFY(d);
            if (objectName)
                *objectName = d->objectName();
            if (!filter.isEmpty())
                d->selectNameFilter(filter);
            ChooseFileIn(d, file);
        };
    }

private slots:
    void init()
    {
        m_window = std::make_unique<QMainWindow>();
        m_editor = new TColorMemo;
        m_other = new QLineEdit;
        auto *box = new QWidget;
        auto *l = new QVBoxLayout(box);
        l->addWidget(m_other);
        l->addWidget(m_editor);
        m_window->setCentralWidget(box);
        m_save = new QAction("Save", m_window.get());
        m_execute = new QAction("Execute", m_window.get());
        m_ini = std::make_unique<TIniFile>(Path("Orvane.ini"));
        m_values.clear();
        m_nodePath.clear();
        m_status.clear();
        m_foundPaths.clear();
        m_dataFiles.clear();
        m_opened.clear();
        m_messages.clear();
        m_replies.clear();
        m_newCalls = m_drops = 0;
        m_nodeKind = -1;

        TEditorHost host;
        host.window = m_window.get();
        host.editor = m_editor;
        host.ini = m_ini.get();
        host.values = &m_values;
        host.nodePath = [this] {
            return m_nodePath;
        };
        host.findByPath = [this](const QString &p) {
            m_foundPaths << p;
        };
        host.setStatus = [this](const QString &t) {
            m_status = t;
        };
        host.openDataFile = [this](const QString &f) {
            m_dataFiles << f;
        };
        host.fileNew = [this] {
            ++m_newCalls;
        };
        host.selectedNode = [this](int &kind, QString &text) {
            kind = m_nodeKind;
            text = m_nodeText;
        };
        host.dropOnEditor = [this] {
            ++m_drops;
        };
        host.saveActions = {m_save};
        host.executeActions = {m_execute};
        host.openUrl = [this](const QUrl &url) {
            m_opened << url.toLocalFile();
            return true;
        };
        host.helpCandidates = {Path("data/Help/index.htm"), Path("bin/Help/index.htm")};
        m_cmds = std::make_unique<TEditorCommands>(host);
        m_window->setWindowTitle(ApplicationTitle);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());

        SetMessageDlgHandler(
            [this](const QString &text, TMsgDlgType, QMessageBox::StandardButtons) {
                m_messages << text;
                return m_replies.isEmpty() ? QMessageBox::Cancel : m_replies.takeFirst();
            });
    }

    void cleanup()
    {
        SetMessageDlgHandler({});
        m_cmds.reset();
        m_window.reset();
        m_ini.reset();
        QFile::remove(Path("Orvane.ini"));
    }

    void openedFromDialogSavesWithoutDialogAndDataFilesKeepTheText()
    {
        const QString file = Path("orders.sql");
        Write(file, "SELECT * FROM ORDERS;\n");
        m_values << "TableName=orders";
        TModalAnswers answers;
        QString dialogName;
        answers.Add(ChooseFile(file, {}, &dialogName));
        m_cmds->mnuFileOpenClick();
        QCOMPARE(dialogName, QString("opdlgSQL"));
        QCOMPARE(m_editor->toPlainText(), QString("SELECT * FROM ORDERS;"));
        QCOMPARE(m_cmds->FileState(), int(fsOpened));
        QCOMPARE(m_window->windowTitle(), file);
        QVERIFY(!m_save->isEnabled());
        QCOMPARE(m_ini->ReadString("Config", "InitialDir"), m_dir.path());

        Type("\nSELECT 2;");
        QVERIFY(m_save->isEnabled());
        QVERIFY(m_execute->isEnabled());
        QVERIFY(m_cmds->mnuFileSaveClick());
        QCOMPARE(answers.Seen(), 1); // no save dialog
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(Read(file), QByteArray("SELECT * FROM ORDERS;\nSELECT 2;\n"));
        QCOMPARE(m_cmds->FileState(), int(fsSaved));
        QVERIFY(!m_save->isEnabled());
        QVERIFY(!m_editor->document()->isModified());

        // A data file chosen in the same dialog asks nothing and leaves the script alone.
        Type("unsaved text");
        const QString data = Path("parts.dbf");
        Write(data, "not really a table");
        answers.Add(ChooseFile(data, "Data Files (*.db *.dbf *.gdb *.mdb *.DB *.DBF *.GDB *.MDB)"));
        m_cmds->mnuFileOpenClick();
        QCOMPARE(answers.Seen(), 2);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(m_dataFiles, QStringList({data}));
        QCOMPARE(m_editor->toPlainText(), QString("SELECT * FROM ORDERS;\nSELECT 2;unsaved text"));
        QVERIFY(m_editor->document()->isModified());
    }

    void longScriptOpensUnderTheProgressBarAndEscapeStopsIt()
    {
        QMainWindow window;
        auto *box = new QWidget;
        auto *l = new QVBoxLayout(box);
        auto *memo = new TColorMemo;
        auto *bar = new QProgressBar;
        bar->setObjectName("prgB");
        bar->hide();
        l->addWidget(memo);
        l->addWidget(bar);
        window.setCentralWidget(box);
        window.show();
        QString status;
        TEditorHost host;
        host.window = &window;
        host.editor = memo;
        host.setStatus = [&](const QString &t) {
            status = t;
        };
        TEditorCommands cmds(host);
        QByteArray script;
        for (int i = 0; i < 200000; ++i)
            script += "SELECT " + QByteArray::number(i) + ";\n";
        const QString file = Path("long.sql");
        Write(file, script);
        QList<int> shown;
        connect(bar, &QProgressBar::valueChanged, bar, [&](int v) {
            if (bar->isVisible())
                shown << v;
        });
        QVERIFY(cmds.OpenScript(file));
        QVERIFY2(shown.size() > 1 && shown.last() == bar->maximum(),
                 qPrintable(QString::number(shown.size())));
        QVERIFY(!bar->isVisible());
        QCOMPARE(memo->document()->findBlockByNumber(199999).text(), QString("SELECT 199999;"));
        QVERIFY(!memo->document()->isModified());

        memo->setPlainText("kept");
        QCoreApplication::postEvent(
            memo, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QVERIFY(!cmds.OpenScript(file));
        QCOMPARE(memo->toPlainText(), QString("kept"));
        QVERIFY(!bar->isVisible());
        QCOMPARE(status, QStringLiteral("Opening %1 stopped").arg(file));
    }

    void scriptLoadedUntitledAsksForName()
    {
        const QString file = Path("cmdline.sql");
        Write(file, "SELECT 1;\n");
        QVERIFY(m_cmds->OpenScript(file));
        QCOMPARE(m_cmds->FileState(), int(fsUntitled));
        Type(" -- more");
        TModalAnswers answers;
        QString dialogName;
        answers.Add(ChooseFile(file, {}, &dialogName));
        m_replies << QMessageBox::No;
        QVERIFY(!m_cmds->mnuFileSaveClick());
        QCOMPARE(dialogName, QString("svdlgSQL"));
        QCOMPARE(m_messages, QStringList({"File exists. Overwrite?"}));
        QCOMPARE(Read(file), QByteArray("SELECT 1;\n"));
        QCOMPARE(m_cmds->FileState(), int(fsUntitled));

        answers.Add(ChooseFile(file));
        m_replies << QMessageBox::Yes;
        QVERIFY(m_cmds->mnuFileSaveClick());
        QCOMPARE(answers.Seen(), 2);
        QCOMPARE(Read(file), QByteArray("SELECT 1; -- more\n"));
        QCOMPARE(m_cmds->FileState(), int(fsSaved));
    }

    void savedNodePathTakesTreeBack()
    {
        m_editor->setPlainText("SELECT * FROM ORDERS;");
        m_nodePath = "DEMO.ORDERS.CUSTNO";
        TModalAnswers answers;
        answers.Add(ChooseFile(Path("Node Script.sql")));
        QVERIFY(m_cmds->mnuFileSaveAsClick());
        QCOMPARE(m_window->windowTitle(), Path("Node Script.sql"));
        QCOMPARE(m_ini->ReadString("NODE SCRIPT", "Find"), m_nodePath);

        m_replies << QMessageBox::Yes;
        m_cmds->mnuFileNewClick();
        QVERIFY(m_messages.isEmpty()); // nothing changed since the save
        QCOMPARE(m_window->windowTitle(), ApplicationTitle);
        QCOMPARE(m_newCalls, 1);
        QVERIFY(m_editor->toPlainText().isEmpty());

        m_nodePath = "OTHER";
        QVERIFY(m_cmds->OpenScript(Path("Node Script.sql")));
        QCOMPARE(m_foundPaths, QStringList({"DEMO.ORDERS.CUSTNO"}));
        QCOMPARE(m_status, QString("OTHER"));
    }

    void saveQuestionAnswers()
    {
        Type("SELECT 1;");
        m_replies << QMessageBox::Cancel;
        m_cmds->mnuFileNewClick();
        QCOMPARE(m_messages, QStringList({"Save File?"}));
        QCOMPARE(m_editor->toPlainText(), QString("SELECT 1;"));
        QCOMPARE(m_newCalls, 0);

        // Yes on an untitled script asks for a name; cancelling that abandons New.
        TModalAnswers answers;
        answers.Add([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
        m_replies << QMessageBox::Yes;
        m_cmds->mnuFileNewClick();
        QCOMPARE(answers.Seen(), 1);
        QCOMPARE(m_editor->toPlainText(), QString("SELECT 1;"));

        m_replies << QMessageBox::No;
        m_cmds->mnuFileNewClick();
        QVERIFY(m_editor->toPlainText().isEmpty());
        QCOMPARE(m_newCalls, 1);
        QCOMPARE(m_cmds->FileState(), int(fsUntitled));
        QVERIFY(!m_execute->isEnabled());
    }

    void failedSaveKeepsOldFileAndSaysSo()
    {
        const QString folder = Path("locked");
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + "/keep.sql";
        Write(file, "SELECT 'old';\n");
        QVERIFY(m_cmds->OpenScript(file));
        Type("\nSELECT 'new';");
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        QFile::setPermissions(file, QFile::ReadOwner);
        // Permissions do not stop the superuser; an immutable folder does.
        const bool root = geteuid() == 0;
        if (root && QProcess::execute("chattr", {"+i", folder}) != 0)
            QFAIL("running as root without chattr: cannot make a folder unwritable");
        m_replies << QMessageBox::Ok;
        const bool saved = m_cmds->Save(false);
        if (root)
            QProcess::execute("chattr", {"-i", folder});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].startsWith("Cannot save file \"" + file + "\""),
                 qPrintable(m_messages[0]));
        QVERIFY(m_messages[0].contains("not changed"));
        QCOMPARE(Read(file), QByteArray("SELECT 'old';\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.sql"}));
        QVERIFY(m_editor->document()->isModified());
        QCOMPARE(m_cmds->FileState(), int(fsUntitled));
    }

    void latin1ScriptSavedBackAsLatin1AndNulRefused()
    {
        const QString file = Path("old.sql");
        const QByteArray bytes("SELECT 'Z\xfcrich',\xa0'x';\r\nSELECT 2;\r\n");
        Write(file, bytes);
        QVERIFY(m_cmds->OpenScript(file));
        QCOMPARE(m_editor->document()->firstBlock().text(), QString("SELECT 'Zürich',\u00a0'x';"));
        QVERIFY(m_cmds->Save(false));
        QCOMPARE(Read(file), bytes);

        const QString binary = Path("bin.sql");
        Write(binary, QByteArray("SEL\0ECT", 7));
        m_replies << QMessageBox::Ok;
        QVERIFY(!m_cmds->OpenScript(binary));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains("NUL"));
        QCOMPARE(m_window->windowTitle(), file); // the open script stays
        QVERIFY(m_editor->toPlainText().startsWith("SELECT 'Z"));
    }

    void gotoLineTargets()
    {
        QStringList lines;
        for (int i = 1; i <= 12; ++i)
            lines << QString("line %1").arg(i);
        m_editor->setPlainText(lines.join('\n'));
        TEditorCommands::SelectLine(m_editor, 4);
        int pos = 0;
        const auto go = [this, &pos](const QString &text) {
            TModalAnswers answers;
            int max = 0;
            answers.Add([&](QWidget *w) {
                auto *d = qobject_cast<TfrmGotoLine *>(w);
                QVERIFY(d);
                max = d->upLineNumber->maximum();
                pos = d->upLineNumber->value();
                d->edtLineNumber->setText(text);
                QTest::mouseClick(d->btnOk, Qt::LeftButton);
            });
            m_cmds->mnuEdtGotoLineClick();
            QCOMPARE(max, 12);
        };
        go("+3");
        QCOMPARE(pos, 5);
        QCOMPARE(CaretLine(), 7);
        QCOMPARE(m_editor->textCursor().selectedText(), QString("line 8"));
        go("-3");
        QCOMPARE(pos, 8);
        QCOMPARE(CaretLine(), 4);
        go("7");
        QCOMPARE(CaretLine(), 6);
        go("seven");
        QCOMPARE(CaretLine(), 6);
        go("+40");
        QCOMPARE(CaretLine(), 11);
        go("-40");
        QCOMPARE(CaretLine(), 0);
        QCOMPARE(m_window->focusWidget(), m_editor);
    }

    void findCommandProposesFieldWithoutColon()
    {
        m_editor->setPlainText(
            "CREATE TABLE CUST (\n\tID INTEGER,\n\tNAME VARCHAR(30),\n\tAGE SMALLINT\n);");
        m_other->setFocus();
        m_nodeKind = nkField;
        m_nodeText = "NAME: VARCHAR(30)";
        QString proposed;
        TModalAnswers answers;
        answers.Add([&](QWidget *w) {
            auto *d = qobject_cast<Tfrm_FindCmd *>(w);
            QVERIFY(d);
            proposed = d->edtFind->text();
            d->chkWhole->setChecked(true);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        m_cmds->mnuEdtFindCmdClick();
        QCOMPARE(proposed, QString("NAME VARCHAR(30)"));
        QCOMPARE(CaretLine(), 2);
        QCOMPARE(m_values, QStringList({"FindCommand=NAME VARCHAR(30)"}));

        // With the editor active, the last search is proposed whatever the tree holds.
        QCOMPARE(m_window->focusWidget(), m_editor);
        answers.Add([&](QWidget *w) {
            proposed = qobject_cast<Tfrm_FindCmd *>(w)->edtFind->text();
            qobject_cast<QDialog *>(w)->reject();
        });
        m_nodeKind = nkTable;
        m_cmds->mnuEdtFindCmdClick();
        QCOMPARE(proposed, QString("NAME VARCHAR(30)"));
    }

    void backwardSearchAndEmptyWords()
    {
        m_editor->setPlainText("CREATE TABLE A (ID INTEGER);\nSELECT 1;\nSELECT 2;\nSELECT 3;");
        TEditorCommands::SelectLine(m_editor, 3);
        const auto find = [this](const QString &text, bool backward) {
            TModalAnswers answers;
            answers.Add([&](QWidget *w) {
                auto *d = qobject_cast<Tfrm_FindCmd *>(w);
                d->edtFind->setText(text);
                d->rdbBackward->setChecked(backward);
                QTest::mouseClick(d->btnOk, Qt::LeftButton);
            });
            m_cmds->mnuEdtFindCmdClick();
        };
        find("create table", true);
        QCOMPARE(CaretLine(), 0);
        QCOMPARE(m_editor->textCursor().selectedText(), QString("CREATE TABLE A (ID INTEGER);"));

        TEditorCommands::SelectLine(m_editor, 2);
        find("SELECT  2", false);
        QCOMPARE(CaretLine(), 2);
        find("SELECT 3", true);
        QCOMPARE(CaretLine(), 2); // nothing above the caret: it stays
        find("SELECT 3", false);
        QCOMPARE(CaretLine(), 3);
        find("SELECT 3", false);
        QCOMPARE(CaretLine(), 3); // the caret's own line is found again
    }

    void caretStatusAndEnabling()
    {
        m_editor->setPlainText("SELECT 1;\nSELECT 22;");
        TMemoCursor c = m_editor->textCursor();
        c.setPosition(14);
        m_editor->setTextCursor(c);
        m_editor->setFocus();
        QTest::keyClick(m_editor, Qt::Key_Right);
        QCOMPARE(m_status, QString("Line:2, Char:5/10"));
        m_status.clear();
        QTest::keyClick(m_editor, Qt::Key_F9);
        QVERIFY(m_status.isEmpty());

        QVERIFY(m_execute->isEnabled());
        m_editor->clear();
        QVERIFY(!m_execute->isEnabled());
        QVERIFY(!m_save->isEnabled());

        QAction popParameters("Parameters");
        m_editor->setPlainText("abc");
        m_cmds->popMemPopup(&popParameters);
        QVERIFY(!popParameters.isEnabled());
        m_editor->selectAll();
        m_cmds->popMemPopup(&popParameters);
        QVERIFY(popParameters.isEnabled());
    }

    void quickTourOpensPageOrNamesIt()
    {
        m_replies << QMessageBox::Ok;
        m_cmds->mnuHelpQuickTourClick();
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(m_messages,
                 QStringList({"File \"" + Path("bin/Help/index.htm") + "\" not found."}));

        QVERIFY(QDir().mkpath(Path("bin/Help")));
        Write(Path("bin/Help/index.htm"), "<html></html>");
        m_cmds->mnuHelpQuickTourClick();
        QCOMPARE(m_opened, QStringList({Path("bin/Help/index.htm")}));
        QCOMPARE(m_messages.size(), 1);
    }

    void treeDropRunsScriptCommand()
    {
        QMimeData mime;
        mime.setData("application/x-qabstractitemmodeldatalist", "node");
        QWidget *viewport = m_editor->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(m_cmds->DropPending());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QCOMPARE(m_drops, 1);
        QVERIFY(!m_cmds->DropPending());
        QVERIFY(m_editor->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestEditorCommands)
#include "test_editor_commands.moc"
