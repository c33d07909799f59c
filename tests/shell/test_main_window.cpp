// The main window on the DEMO alias, offscreen: start and settings, the tree's levels and
// commands, moving to nodes by path, bookmark and script text, keys and closing, a script
// from the command line.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include "Database.h"
#include "EditorCommands.h"
#include "FindTree.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "Session.h"
#include "Settings.h"
#include "TreeLogic.h"
#include "TreeReading.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

static QString IniText()
{
    QFile f(OrvaneIniFileName());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(OrvaneIniFileName()); }
    void firstStartThenSecondStart();
    void settingsWrittenOnlyAtTheirMoments();
    void geometryRoundTrip();
    void closeCancelledKeepsWindowAndOptions();
    void nodeKindsTextsAndImages();
    void collapseDropsLevelsAndRereads();
    void aliasSelectionLeavesDatabaseAlone();
    void commandStatesFollowSelection();
    void unreadableAliasShowsWhy();
    void findByPathPrefixCaseAndStop();
    void bookmarksFifteenAndNoReorder();
    void gotoTreeFromScript();
    void findDialogShowsPiecesAndFinds();
    void keyboardHandling();
    void openScriptArgument();
};

void TestMainWindow::firstStartThenSecondStart()
{
    {
        TProgram p;
        QVERIFY(p.Show());
        QCOMPARE(p->windowTitle(), ApplicationTitle);
        QCOMPARE(p->memSQL->toPlainText(),
                 QString("/*******************\nWelcome to Orvane 2\n"
                         "Thank you for trying this version\n*******************/"));
        QVERIFY(!p->memSQL->document()->isModified());
        // On an alias from the start, with typing going to the editor.
        QVERIFY(!p->DB_Orvane.AliasName().isEmpty());
        QCOMPARE(p->DB_Orvane.AliasName(), p->MainTree->topLevelItem(0)->text(0));
        QCOMPARE(Selected(p), p->MainTree->topLevelItem(0));
        QCOMPARE(p->focusWidget(), static_cast<QWidget *>(p->memSQL));
        QCOMPARE(p->lblStatus->textFormat(), Qt::PlainText);
        const TIniFile ini(OrvaneIniFileName());
        QVERIFY(ini.ReadBool(Ini::Config, Ini::Fsc));
        QCOMPARE(ini.ReadSection(Ini::Fsc).size(), 9); // which ones: test_tree_logic
        QVERIFY(
            QFile::exists(qEnvironmentVariable("XDG_DATA_HOME") + "/applications/orvane.desktop"));
        QVERIFY(TIniFile(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list")
                    .ReadString("Default Applications", "application/sql")
                    .contains("orvane.desktop"));
        // The main database's own name never shows as an alias.
        QVERIFY(AliasNode(p, "DEMO"));
        QVERIFY(!AliasNode(p, MainDatabaseName));
    }
    TProgram second;
    QVERIFY(second.Show());
    QCOMPARE(second->memSQL->toPlainText(), QString());
}

void TestMainWindow::settingsWrittenOnlyAtTheirMoments()
{
    TProgram p;
    QVERIFY(p.Show());
    const QString afterShow = IniText();
    QVERIFY(!afterShow.contains("Left=")); // geometry waits for destruction
    QVERIFY(!afterShow.contains("[Options]"));

    AliasNode(p, "DEMO")->setExpanded(true);
    p->MainTree->setCurrentItem(Child(AliasNode(p, "DEMO"), "ORDERS"));
    p.options->SetChecked(optLiveAnswer, true);
    p.options->SetChecked(optVarchar, false);
    QCOMPARE(IniText(), afterShow); // browsing and options write nothing

    p->FindByPath("DEMO.ITEMS");
    QCOMPARE(TIniFile(OrvaneIniFileName()).ReadString(Ini::Config, Ini::BookMarks),
             QString("DEMO.ITEMS"));

    QVERIFY(p->close());
    const TIniFile closed(OrvaneIniFileName());
    QVERIFY(closed.ReadBool(Ini::Options, "LiveAnswer", false));
    QVERIFY(closed.ReadBool(Ini::Options, "Alias", false));
    QVERIFY(!closed.ReadBool(Ini::Options, "NotNull", true));
    QVERIFY(!closed.ReadBool(Ini::Options, "Varchar", true));
    QVERIFY(!IniText().contains("Width="));
    p.Stop();
    QVERIFY(TIniFile(OrvaneIniFileName()).ValueExists(Ini::Config, Ini::Width));

    // The next start shows the saved options.
    TProgram next;
    QVERIFY(next.Show());
    QVERIFY(next.options->Checked(optLiveAnswer));
    QVERIFY(!next.options->Checked(optVarchar));
    QVERIFY(next.options->Checked(optAlias));
    QCOMPARE(next->cmbBookMark->count(), 1);
}

void TestMainWindow::geometryRoundTrip()
{
    {
        TProgram p;
        QVERIFY(p.Show());
        p->move(40, 30);
        p->resize(820, 560);
        p->splTreeMemo->setSizes({260, 560});
        QTRY_COMPARE(p->MainTree->width(), 260);
    }
    const TIniFile ini(OrvaneIniFileName());
    QCOMPARE(ini.ReadInteger(Ini::Config, Ini::Width), 820);
    QCOMPARE(ini.ReadInteger(Ini::Config, Ini::Height), 560);
    QCOMPARE(ini.ReadInteger(Ini::Config, Ini::TreeWidth), 260);
    TProgram again;
    QCOMPARE(again->x(), ini.ReadInteger(Ini::Config, Ini::Left));
    QCOMPARE(again->y(), ini.ReadInteger(Ini::Config, Ini::Top));
    QVERIFY(again.Show());
    QCOMPARE(again->size(), QSize(820, 560));
    QCOMPARE(again->MainTree->width(), 260);
}

void TestMainWindow::closeCancelledKeepsWindowAndOptions()
{
    TProgram p;
    QVERIFY(p.Show());
    p->memSQL->setPlainText("SELECT 1;");
    p->memSQL->document()->setModified(true);
    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    const TMessageHandler previous = SetMessageDlgHandler(
        [&](const QString &text, TMsgDlgType, QMessageBox::StandardButtons buttons) {
            asked << text;
            return buttons.testFlag(answer) ? answer : QMessageBox::NoButton;
        });
    QVERIFY(!p->close());
    QVERIFY(p->isVisible());
    QCOMPARE(asked, QStringList {"Save File?"});
    QVERIFY(!TIniFile(OrvaneIniFileName()).SectionExists(Ini::Options));
    answer = QMessageBox::No;
    QVERIFY(p->close());
    QVERIFY(TIniFile(OrvaneIniFileName()).SectionExists(Ini::Options));
    SetMessageDlgHandler(previous);
}

void TestMainWindow::nodeKindsTextsAndImages()
{
    TIniFile project(ProjectFileName("DEMO", "ORDERS"));
    project.WriteString("CUSTNO", "Lookup", "CUSTOMER.CUSTNO");
    TProgram p;
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    QTreeWidgetItem *alias = AliasNode(p, "DEMO");
    QTreeWidgetItem *table = Child(alias, "ORDERS");
    QVERIFY(table && table->isExpanded());
    QTreeWidgetItem *field = Child(table, "CUSTNO");
    QTreeWidgetItem *money = Child(table, "ITEMSTOTAL");
    QTreeWidgetItem *pk = Child(table, "Primary key");
    QTreeWidgetItem *index = Child(table, "ORDERS_SALEDATE");
    QVERIFY(field && money && pk && index);
    QCOMPARE(field->text(0), QString("CUSTNO: INTEGER"));
    QCOMPARE(Child(table, "SHIPVIA")->text(0), QString("SHIPVIA: CHAR(7)"));
    QCOMPARE(field->childCount(), 1);
    QCOMPARE(pk->child(0)->text(0), QString("ORDERNO: INTEGER"));
    QCOMPARE(index->child(0)->text(0), QString("SALEDATE: DATE"));
    // Fields first, then the index and primary-key nodes.
    QCOMPARE(table->child(0)->text(0), QString("ORDERNO: INTEGER"));
    QCOMPARE(NodeKind(table->child(table->childCount() - 1)) == nkField, false);

    const QList<QPair<QTreeWidgetItem *, int>> expected {{alias, nkAlias},
                                                         {table, nkTable},
                                                         {field, nkField},
                                                         {index, nkIndex},
                                                         {pk, nkPrimaryKey},
                                                         {pk->child(0), nkPrimaryField},
                                                         {index->child(0), nkIndexField},
                                                         {field->child(0), nkLink}};
    for (const auto &[node, kind] : expected) {
        QCOMPARE(NodeKind(node), kind);
        QVERIFY2(SameImage(node->icon(0), TreeIcon(kind)), qPrintable(node->text(0)));
    }
    QCOMPARE(field->child(0)->text(0), QString("CUSTOMER.CUSTNO"));
    for (int a = 0; a < NodeKindCount; ++a)
        for (int b = a + 1; b < NodeKindCount; ++b)
            QVERIFY2(!SameImage(TreeIcon(a), TreeIcon(b)),
                     qPrintable(QString("%1 %2").arg(a).arg(b)));
    QFile::remove(project.FileName());
}

void TestMainWindow::collapseDropsLevelsAndRereads()
{
    TProgram p;
    QTreeWidgetItem *demo = AliasNode(p, "DEMO");
    demo->setExpanded(true);
    const int tables = demo->childCount();
    QVERIFY(tables > 3);
    QVERIFY(!Child(demo, "SHELL_LATE"));
    TSession::Default().OpenDatabase("DEMO").Connection().Exec(
        "CREATE TABLE SHELL_LATE (ID INTEGER PRIMARY KEY)");
    demo->setExpanded(false);
    QCOMPARE(demo->childCount(), 0);
    QCOMPARE(demo->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    demo->setExpanded(true);
    QCOMPARE(demo->childCount(), tables + 1);
    QTreeWidgetItem *late = Child(demo, "SHELL_LATE");
    QVERIFY(late);
    late->setExpanded(true);
    QCOMPARE(late->child(0)->text(0), QString("ID: INTEGER"));
    QTreeWidgetItem *pk = Child(late, "Primary key");
    pk->setExpanded(true);
    late->setExpanded(false); // a table level is dropped too
    QCOMPARE(late->childCount(), 0);
    TSession::Default().OpenDatabase("DEMO").Connection().Exec("DROP TABLE SHELL_LATE");
}

void TestMainWindow::aliasSelectionLeavesDatabaseAlone()
{
    QTemporaryDir dir;
    QFile(dir.filePath("two.sqlite")).open(QIODevice::WriteOnly);
    TSession &session = TSession::Default();
    session.AddAlias("SHELL_TWO", "SQLITE", {"DATABASE NAME=" + dir.filePath("two.sqlite")},
                     TSession::TPersistence::SessionOnly);
    session.OpenDatabase("SHELL_TWO").Connection().Exec("CREATE TABLE TWO_T (A INTEGER)");
    {
        TProgram p;
        p->FindByPath("DEMO.ORDERS");
        QCOMPARE(p->DB_Orvane.AliasName(), QString("DEMO"));
        QCOMPARE(p->Value("TableName"), QString("ORDERS"));
        QCOMPARE(p->StatusText(), QString("DEMO.ORDERS"));
        p->MainTree->setCurrentItem(AliasNode(p, "SHELL_TWO"));
        QCOMPARE(p->DB_Orvane.AliasName(), QString("DEMO"));
        QCOMPARE(p->StatusText(), QString("SHELL_TWO (SQLITE)"));
        QCOMPARE(p->NodePathText(), QString("SHELL_TWO"));
        AliasNode(p, "SHELL_TWO")->setExpanded(true); // reading the alias points at it
        QCOMPARE(p->DB_Orvane.AliasName(), QString("SHELL_TWO"));
        p->MainTree->setCurrentItem(Child(AliasNode(p, "DEMO"), "ORDERS"));
        QCOMPARE(p->DB_Orvane.AliasName(), QString("DEMO"));
        p->MainTree->setCurrentItem(Child(AliasNode(p, "SHELL_TWO"), "TWO_T"));
        QCOMPARE(p->DB_Orvane.AliasName(), QString("SHELL_TWO"));
        QCOMPARE(p->Value("TableName"), QString("TWO_T"));
        // The alias the run added goes when the window is destroyed.
        p->SessionAliases << "SHELL_TWO";
    }
    QVERIFY(!session.IsAlias("SHELL_TWO"));
}

void TestMainWindow::unreadableAliasShowsWhy()
{
    QTemporaryDir dir;
    TSession::Default().AddAlias("SHELL_GONE", "SQLITE",
                                 {"DATABASE NAME=" + dir.filePath("missing.sqlite")},
                                 TSession::TPersistence::SessionOnly);
    TShownMessages boxes;
    const QStringList &shown = boxes.texts;
    {
        TProgram p;
        QTreeWidgetItem *gone = AliasNode(p, "SHELL_GONE");
        // No login was ever confirmed: the engine's reason is shown all the same.
        p->SetValue("Password_SHELL_GONE", "pw");
        gone->setExpanded(true);
        QCOMPARE(gone->childCount(), 0);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("missing.sqlite"), qPrintable(shown[0]));
        QCOMPARE(p->Value("Password_SHELL_GONE"), QString("pw"));
        QCOMPARE(QApplication::overrideCursor(), nullptr); // the hourglass is gone again
        gone->setExpanded(false);
        p->LoginAccepted = true; // as after a confirmed login dialog
        gone->setExpanded(true);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(p->Value("Password_SHELL_GONE"), QString());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        p->SessionAliases << "SHELL_GONE";
    }
}

void TestMainWindow::commandStatesFollowSelection()
{
    TProgram p;
    p->FindByPath("DEMO");
    QCOMPARE(p->mnuSQLDrop->text(), QString("Delete Alias"));
    QVERIFY(!p->btnAdd->isEnabled() && !p->mnuSQLAdd->isEnabled());
    QVERIFY(p->btnScript->isEnabled() && p->mnuSQLScript->isEnabled());
    QVERIFY(!p->mnuRecord->menuAction()->isEnabled());

    p->FindByPath("DEMO.ORDERS");
    QCOMPARE(p->mnuSQLTemplate->text(), QString("Template from Table"));
    QCOMPARE(p->mnuSQLAdd->text(), QString("Add Table"));
    QVERIFY(p->mnuRecord->menuAction()->isEnabled());
    QVERIFY(p->mnuPopOpenTable->isEnabled() && p->mnuPopHTML->isVisible());
    QVERIFY(p->btnCompare->isEnabled() && p->mnuEdtCompare->isEnabled());
    QVERIFY(!p->mnuPopLink->isVisible() && !p->mnuPopProps->isVisible());

    p->FindByPath("DEMO.ORDERS.CUSTNO");
    QCOMPARE(p->mnuSQLDrop->text(), QString("Drop Field"));
    QCOMPARE(p->mnuSQLTemplate->text(), QString("Template"));
    QVERIFY(p->mnuPopGroup->isVisible() && p->mnuPopIndex->isVisible());
    QVERIFY(p->mnuPopTable->isVisible() && p->mnuPopLink->isVisible());
    QVERIFY(p->mnuPopProps->isVisible() && p->mnuPopProps->isEnabled());
    QVERIFY(!p->btnScript->isEnabled() && !p->mnuSQLScript->isEnabled());
    QVERIFY(!p->mnuRecord->menuAction()->isEnabled() && !p->btnCompare->isEnabled());

    p->FindByPath("DEMO.ORDERS.ORDERS_SALEDATE");
    QCOMPARE(p->mnuSQLAdd->text(), QString("Add Index"));
    QVERIFY(!p->mnuPopGroup->isVisible() && !p->mnuPopLink->isVisible());
    p->FindByPath("DEMO.ORDERS.Primary key");
    QCOMPARE(p->mnuSQLDrop->text(), QString("Drop"));
    QVERIFY(p->btnAdd->isEnabled());
}

void TestMainWindow::findByPathPrefixCaseAndStop()
{
    TProgram p;
    QVERIFY(p.Show());
    p->FindByPath("demo.ord.custn");
    QCOMPARE(SelectedText(p), QString("CUSTNO: INTEGER"));
    QCOMPARE(p->NodePathText(), QString("DEMO.ORDERS.CUSTNO"));
    QCOMPARE(p->cmbBookMark->itemText(0), QString("demo.ord.custn"));
    QVERIFY(p->MainTree->hasFocus() || !p->isActiveWindow());

    // The current path in another letter case changes nothing and adds no bookmark.
    QTreeWidgetItem *before = Selected(p);
    const QString ini = IniText();
    p->FindByPath("Demo.Orders.CustNo");
    QCOMPARE(Selected(p), before);
    QCOMPARE(p->cmbBookMark->count(), 1);
    QCOMPARE(IniText(), ini);

    // A path that stops matching leaves the nodes selected so far.
    p->FindByPath("DEMO.ITEMS.NOSUCHFIELD");
    QCOMPARE(SelectedText(p), QString("ITEMS"));
    QCOMPARE(p->NodePathText(), QString("DEMO.ITEMS"));
    QVERIFY(!Child(AliasNode(p, "DEMO"), "ORDERS")->isExpanded()); // the tree was collapsed

    // Refresh rebuilds the tree and comes back to the same node.
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    p->mnuEdtRefresh->trigger();
    QCOMPARE(SelectedText(p), QString("CUSTNO: INTEGER"));
    QCOMPARE(p->NodePathText(), QString("DEMO.ORDERS.CUSTNO"));
}

void TestMainWindow::bookmarksFifteenAndNoReorder()
{
    TProgram p;
    QVERIFY(p.Show());
    QTreeWidgetItem *demo = AliasNode(p, "DEMO");
    demo->setExpanded(true);
    QStringList tables;
    for (int i = 0; i < demo->childCount(); ++i)
        tables << demo->child(i)->text(0);
    QTreeWidgetItem *orders = Child(demo, "ORDERS");
    orders->setExpanded(true);
    for (int i = 0; i < orders->childCount(); ++i)
        tables << "ORDERS." + StripType(orders->child(i)->text(0));
    QVERIFY(tables.size() >= 16);
    QStringList paths; // sixteen distinct paths of tables and fields
    for (int i = 0; i < 16; ++i)
        paths << "DEMO." + tables[i];
    for (const QString &path : paths)
        p->FindByPath(path);
    QCOMPARE(p->cmbBookMark->count(), MaxBookmarks);
    QCOMPARE(p->cmbBookMark->itemText(0), paths.last());
    QVERIFY(p->cmbBookMark->findText(paths.first()) < 0);
    QStringList order;
    for (int i = 0; i < p->cmbBookMark->count(); ++i)
        order << p->cmbBookMark->itemText(i);
    QCOMPARE(TIniFile(OrvaneIniFileName()).ReadString(Ini::Config, Ini::BookMarks),
             order.join(','));

    p->cmbBookMark->setCurrentIndex(6);
    p->cmbBookMarkClick(6);
    QCOMPARE(p->NodePathText().toUpper(), order[6].toUpper());
    QStringList after;
    for (int i = 0; i < p->cmbBookMark->count(); ++i)
        after << p->cmbBookMark->itemText(i);
    QCOMPARE(after, order);

    // Enter in the box goes to the typed path.
    p->cmbBookMark->setEditText("DEMO.CUSTOMER");
    p->cmbBookMarkKeyDown(Qt::Key_Return);
    QCOMPARE(SelectedText(p), QString("CUSTOMER"));
    QCOMPARE(p->cmbBookMark->itemText(0), QString("DEMO.CUSTOMER"));
}

void TestMainWindow::gotoTreeFromScript()
{
    TProgram p;
    p->memSQL->setPlainText("-- orders\n"
                            "CREATE TABLE ORDERS (\n"
                            "\tORDERNO INTEGER,\n"
                            "\tCUSTNO INTEGER,\n"
                            "\tPRIMARY KEY (ORDERNO)\n"
                            ");\n"
                            "CREATE INDEX ORDERS_SALEDATE ON ORDERS (SALEDATE);\n");
    auto caretTo = [&](int line) {
        TMemoCursor c(p->memSQL->document()->findBlockByNumber(line));
        p->memSQL->setTextCursor(c);
    };
    p->DB_Orvane.SetAliasName("DEMO");
    caretTo(3);
    p->mnuPopGotoT->trigger();
    QCOMPARE(SelectedText(p), QString("CUSTNO: INTEGER"));
    caretTo(4);
    p->mnuPopGotoTClick();
    QCOMPARE(SelectedText(p), QString("Primary key"));
    caretTo(6);
    p->mnuPopGotoTClick();
    QCOMPARE(SelectedText(p), QString("ORDERS_SALEDATE"));
    caretTo(0); // above every CREATE TABLE: the alias only
    p->mnuPopGotoTClick();
    QCOMPARE(SelectedText(p), QString("DEMO"));
}

void TestMainWindow::findDialogShowsPiecesAndFinds()
{
    TProgram p;
    QVERIFY(p.Show());
    p->FindByPath("DEMO.ITEMS");
    QStringList demoTexts;
    bool okWhenEmpty = true;
    QString opened;
    bool focused = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<TfrmFindTree *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        focused = dialog->focusWidget() == dialog->edtFind;
        opened = dialog->edtFind->text();
        dialog->edtFind->clear();
        okWhenEmpty = dialog->btnOk->isEnabled();
        QTest::keyClicks(dialog->edtFind, "DEMO.OR DERS");
        QTreeWidgetItem *node = dialog->treeDemo->topLevelItem(0);
        for (; node; node = node->childCount() ? node->child(0) : nullptr)
            demoTexts << node->text(0);
        QTreeWidgetItem *table = dialog->treeDemo->topLevelItem(0)->child(0);
        dialog->treeDemoClick(table);
        demoTexts << dialog->edtFind->selectedText();
        dialog->btnOk->click();
    });
    p->mnuEdtFind->trigger();
    QVERIFY(focused);
    QCOMPARE(opened, QString("DEMO.ITEMS")); // the node path when nothing was remembered
    QVERIFY(!okWhenEmpty);
    QCOMPARE(demoTexts,
             QStringList({"DEMO", "ORDERS", "(field/index/p.key)", "(field)", "ORDERS"}));
    QCOMPARE(SelectedText(p), QString("ORDERS"));
    QCOMPARE(p->Value("Find"), QString("DEMO.ORDERS"));

    QTimer::singleShot(0, [&] {
        if (auto *dialog = qobject_cast<TfrmFindTree *>(QApplication::activeModalWidget())) {
            opened = dialog->edtFind->text();
            dialog->btnCancel->click();
        }
    });
    p->FindByPath("DEMO.ITEMS");
    p->mnuEdtFindClick();
    QCOMPARE(opened, QString("DEMO.ORDERS")); // the remembered text wins
    QCOMPARE(SelectedText(p), QString("ITEMS"));
}

void TestMainWindow::keyboardHandling()
{
    TProgram p;
    QVERIFY(p.Show());
    p->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.main.get()));
    QVERIFY(p->mnuFile->menuAction()->isEnabled());
    p->memSQL->setPlainText("select  name_1, x FROM t");
    p->memSQL->setFocus();
    QTRY_VERIFY(p->memSQL->hasFocus());
    QTest::keyClick(p->memSQL, Qt::Key_F12);
    QTRY_VERIFY(p->MainTree->hasFocus());
    QTest::keyClick(p->MainTree, Qt::Key_F12);
    QTRY_VERIFY(p->memSQL->hasFocus());

    QVERIFY(!p->CancelFlag);
    QTest::keyClick(p->memSQL, Qt::Key_Escape);
    QVERIFY(p->CancelFlag);

    TMemoCursor c = p->memSQL->textCursor();
    c.setPosition(0);
    c.setPosition(14, QTextCursor::KeepAnchor);
    p->memSQL->setTextCursor(c);
    QTest::keyClick(p->memSQL, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT  NAME_1, x FROM t"));
    c.setPosition(8);
    c.setPosition(14, QTextCursor::KeepAnchor);
    p->memSQL->setTextCursor(c);
    QTest::keyClick(p->memSQL, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT  name_1, x FROM t"));

    c.setPosition(0);
    p->memSQL->setTextCursor(c);
    QTest::keyClick(p->memSQL, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(p->memSQL->textCursor().position(), 8);
    QTest::keyClick(p->memSQL, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(p->memSQL->textCursor().position(), 13); // "_" ends a word
    QTest::keyClick(p->memSQL, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(p->memSQL->textCursor().position(), 8);
}

void TestMainWindow::openScriptArgument()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("orders.sql");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("SELECT * FROM ITEMS;\n");
    f.close();
    // Still a first start: the settings hold only the script's own section.
    TIniFile(OrvaneIniFileName()).WriteString("ORDERS", "Find", "DEMO.ITEMS");
    TProgram p;
    QVERIFY(p->OpenScript(file));
    QCOMPARE(p->windowTitle(), file);
    // The file's last line break ends its last line; it adds no empty line.
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT * FROM ITEMS;"));
    QCOMPARE(SelectedText(p), QString("ITEMS"));
    QCOMPARE(TIniFile(OrvaneIniFileName()).ReadString(Ini::Config, Ini::InitialDir), dir.path());
    QVERIFY(p.Show());
    QCOMPARE(p->InitialDir, dir.path()); // read when the window is activated
    // The welcome does not replace the script, which saves to its own file.
    QCOMPARE(p->memSQL->toPlainText(), QString("SELECT * FROM ITEMS;"));
    QCOMPARE(p->EditorCommands().FileState(), int(fsOpened));
    p->memSQL->appendPlainText("SELECT 2;");
    QVERIFY(p->SaveScript()); // no dialog: it would block the test
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("SELECT * FROM ITEMS;\nSELECT 2;\n"));
}

ORVANE_TEST_MAIN_WITH_HOME(TestMainWindow, QApplication)

#include "test_main_window.moc"
