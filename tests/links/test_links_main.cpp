// The link commands, the field properties dialog and the HTML command in the main window,
// on the DEMO database and its project files.
#include "../shell/ShellTestSupport.h"

#include "FieldProp.h"
#include "FindTree.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "SharedRoutines.h"
#include "TreeLogic.h"
#include "TreeReading.h"
#include "params/ModalAnswers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// Answers the target-field dialog with a path, checking what it offered.
static TModalAnswers::THandler AnswerTarget(const QString &path, QString *offered = nullptr)
{
    return [=](QWidget *w) {
        auto *d = qobject_cast<TfrmFindTree *>(w);
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QString("Link"));
        QCOMPARE(d->lblFind->text(), QString("&Target Field:"));
        if (offered)
            *offered = d->edtFind->text();
        d->edtFind->setText(path);
        d->btnOk->click();
    };
}

static QString Key(const QString &table, const QString &field, const QString &key)
{
    return TIniFile(ProjectFileName("DEMO", table)).ReadString(field, key, "(absent)");
}

class TestLinksMain : public QObject
{
    Q_OBJECT
public slots:
    void Opened(const QUrl &url) { m_opened << url; }

private slots:
    void init() { QFile::remove(ProjectFileName("DEMO", "ORDERS")); }
    void propertiesOfAFieldWithoutSection();
    void propertiesListTheLookupTablesFields();
    void linkEditToATableStoresItsKeyField();
    void targetsThatChangeNothing();
    void goToAndRemove();
    void htmlCommandOpensThePage();
    void unwritableFilesAreShownAndNothingIsLost();

private:
    QList<QUrl> m_opened;
};

void TestLinksMain::propertiesOfAFieldWithoutSection()
{
    TProgram p;
    p->FindByPath("DEMO.ORDERS.EMPNO");
    TModalAnswers answers;
    answers.Add([](QWidget *w) {
        auto *d = qobject_cast<TfrmFieldProp *>(w);
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QString("Field Properties"));
        QVERIFY(!d->chkRequired->isChecked());
        QVERIFY(d->edtTitle->text().isEmpty() && d->edtLookup->text().isEmpty());
        QVERIFY(!d->cmbResField->isEnabled());
        d->btnOk->click();
    });
    answers.Add([](QWidget *w) {
        auto *d = qobject_cast<TfrmFieldProp *>(w);
        d->edtTitle->setText("changed");
        d->chkRequired->setChecked(true);
        d->btnCancel->click();
    });
    p->mnuPopProps->trigger();
    QCOMPARE(
        TIniFile(ProjectFileName("DEMO", "ORDERS")).ReadSectionValues("EMPNO"),
        QStringList({"Required=0", "Title=", "MinValue=", "MaxValue=", "Lookup=", "ResultField="}));
    p->mnuPopProps->trigger(); // cancelled: nothing written
    QCOMPARE(answers.Seen(), 2);
    QCOMPARE(Key("ORDERS", "EMPNO", "Required"), QString("0"));
    QCOMPARE(Key("ORDERS", "EMPNO", "Title"), QString());

    // The link commands' shortcuts also reach other nodes: they say why they do nothing.
    p->FindByPath("DEMO.ORDERS");
    p->mnuPopLinkEdit->trigger();
    QCOMPARE(answers.Seen(), 2);
    QCOMPARE(p->StatusText(), QString("Select a field first."));
}

void TestLinksMain::propertiesListTheLookupTablesFields()
{
    {
        TIniFile project(ProjectFileName("DEMO", "ORDERS"));
        project.WriteString("EMPNO", "Lookup", "DEMO.EMPLOYEE.EMPNO");
        project.WriteString("EMPNO", "ResultField", "LASTNAME");
    }
    TProgram p;
    p->FindByPath("DEMO.ORDERS.EMPNO");
    TModalAnswers answers;
    answers.Add([](QWidget *w) {
        auto *d = qobject_cast<TfrmFieldProp *>(w);
        QVERIFY(d);
        QVERIFY(d->cmbResField->isEnabled());
        QCOMPARE(d->cmbResField->currentText(), QString("LASTNAME"));
        QCOMPARE(d->cmbResField->count(), 9);
        QCOMPARE(d->cmbResField->itemText(1), QString("LASTNAME"));
        // A lookup of one part names no table: no result fields, the text stays.
        d->edtLookup->setText("DEMO");
        d->edtLookupExit();
        QVERIFY(d->cmbResField->isEnabled());
        QCOMPARE(d->cmbResField->count(), 0);
        QCOMPARE(d->cmbResField->currentText(), QString("LASTNAME"));
        d->edtLookup->setText("DEMO.CUSTOMER.CUSTNO");
        d->edtLookupExit();
        QCOMPARE(d->cmbResField->count(), 11);
        d->cmbResField->setEditText("COMPANY");
        d->btnOk->click();
    });
    p->mnuPopProps->trigger();
    QCOMPARE(answers.Seen(), 1);
    QCOMPARE(Key("ORDERS", "EMPNO", "Lookup"), QString("DEMO.CUSTOMER.CUSTNO"));
    QCOMPARE(Key("ORDERS", "EMPNO", "ResultField"), QString("COMPANY"));

    // An empty lookup disables the result field and empties it; a table that cannot be
    // read reports the engine's message and leaves the dialog open.
    TShownMessages boxes;
    const QStringList &messages = boxes.texts;
    TFieldProps shown;
    answers.Add([&](QWidget *w) {
        auto *d = qobject_cast<TfrmFieldProp *>(w);
        d->edtLookup->setText("DEMO.NOSUCH.ID");
        d->edtLookupExit();
        QVERIFY(d->isVisible());
        d->edtLookup->clear();
        d->edtLookupExit();
        QVERIFY(!d->cmbResField->isEnabled());
        shown = d->Props();
        d->btnOk->click();
    });
    p->mnuPopProps->trigger();
    QCOMPARE(messages.size(), 1);
    QVERIFY(shown.resultField.isEmpty());
    QCOMPARE(Key("ORDERS", "EMPNO", "ResultField"), QString());
}

void TestLinksMain::linkEditToATableStoresItsKeyField()
{
    TProgram p;
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    QString offered;
    TModalAnswers answers;
    answers.Add(AnswerTarget("DEMO.CUSTOMER", &offered));
    p->mnuPopLinkEdit->trigger();
    QCOMPARE(answers.Seen(), 1);
    QCOMPARE(offered, QString("DEMO.")); // no link yet: the alias and "."
    QCOMPARE(Key("ORDERS", "CUSTNO", "Lookup"), QString("DEMO.CUSTOMER.CUSTNO"));
    // The tree is read again and comes back on the field, now with its link.
    QTreeWidgetItem *field = Selected(p);
    QCOMPARE(p->NodePathText(), QString("DEMO.ORDERS.CUSTNO"));
    QCOMPARE(field->childCount(), 1);
    QCOMPARE(NodeKind(field->child(0)), int(nkLink));
    QCOMPARE(field->child(0)->text(0), QString("DEMO.CUSTOMER.CUSTNO"));

    // From the link node, the current target is offered; a key field given by its path
    // loses the "Primary key" part.
    p->MainTree->setCurrentItem(field->child(0));
    answers.Add(AnswerTarget("DEMO.ITEMS.Primary key.ITEMNO", &offered));
    p->mnuPopLinkEdit->trigger();
    QCOMPARE(offered, QString("DEMO.CUSTOMER.CUSTNO"));
    QCOMPARE(Key("ORDERS", "CUSTNO", "Lookup"), QString("DEMO.ITEMS.ITEMNO"));
}

void TestLinksMain::targetsThatChangeNothing()
{
    TIniFile(ProjectFileName("DEMO", "ORDERS"))
        .WriteString("CUSTNO", "Lookup", "DEMO.CUSTOMER.CUSTNO");
    TProgram p;
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    TModalAnswers answers;
    // A field that does not exist must not end on its table's key.
    answers.Add(AnswerTarget("DEMO.ORDERS.NOSUCH"));
    p->mnuPopLinkEdit->trigger();
    QCOMPARE(p->StatusText(), QString("Target Field not found."));
    // An index is no field.
    answers.Add(AnswerTarget("DEMO.ORDERS.ORDERS_SALEDATE"));
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    p->mnuPopLinkEdit->trigger();
    QCOMPARE(p->StatusText(), QString("Target Field not found."));
    // The field itself, typed or reached by an abbreviation.
    answers.Add(AnswerTarget("demo.orders.custno"));
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    p->mnuPopLinkEdit->trigger();
    answers.Add(AnswerTarget("DEMO.ORD.CUST"));
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    p->mnuPopLinkEdit->trigger();
    // Cancelled.
    answers.Add([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    p->mnuPopLinkEdit->trigger();
    QCOMPARE(answers.Seen(), 5);
    QCOMPARE(Key("ORDERS", "CUSTNO", "Lookup"), QString("DEMO.CUSTOMER.CUSTNO"));
}

void TestLinksMain::goToAndRemove()
{
    TIniFile(ProjectFileName("DEMO", "ORDERS"))
        .WriteString("CUSTNO", "Lookup", "DEMO.CUSTOMER.CUSTNO");
    TProgram p;
    p->FindByPath("DEMO.ORDERS.CUSTNO");
    p->mnuPopLinkGoto->trigger();
    QCOMPARE(p->NodePathText(), QString("DEMO.CUSTOMER.CUSTNO"));
    QCOMPARE(NodeKind(Selected(p)), int(nkField));
    p->mnuPopLinkGoto->trigger(); // CUSTOMER.CUSTNO has no link
    QCOMPARE(p->StatusText(), QString("The field has no link."));

    p->FindByPath("DEMO.ORDERS.CUSTNO");
    QTreeWidgetItem *link = Selected(p)->child(0);
    p->MainTree->setCurrentItem(link);
    p->mnuPopLinkGoto->trigger();
    QCOMPARE(p->NodePathText(), QString("DEMO.CUSTOMER.CUSTNO"));

    p->FindByPath("DEMO.ORDERS.CUSTNO");
    p->MainTree->setCurrentItem(Selected(p)->child(0));
    p->mnuPopLinkRemove->trigger();
    QCOMPARE(Key("ORDERS", "CUSTNO", "Lookup"), QString()); // kept, empty
    QCOMPARE(p->NodePathText(), QString("DEMO.ORDERS.CUSTNO"));
    QCOMPARE(Selected(p)->childCount(), 0);
}

void TestLinksMain::htmlCommandOpensThePage()
{
    TIniFile(ProjectFileName("DEMO", "ORDERS"))
        .WriteString("CUSTNO", "Lookup", "DEMO.CUSTOMER.CUSTNO");
    const QString folder = ApplicationFolder() + "Html/";
    QFile::remove(folder + "CUSTOMER.htm");
    QDesktopServices::setUrlHandler("file", this, "Opened");
    TProgram p;
    p->FindByPath("DEMO.ORDERS");
    m_opened.clear();
    p->mnuPopHTML->trigger();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(folder + "ORDERS.htm")}));
    QVERIFY(QFile::exists(folder + "CUSTOMER.htm"));
    QCOMPARE(p->StatusText(), QString("DEMO.ORDERS"));
}

// A project file and a page that cannot be written (the alias's project folder leads into
// /proc, a folder stands where the page would go): the message names the file, the program
// goes on, and what stood there stays.
void TestLinksMain::unwritableFilesAreShownAndNothingIsLost()
{
    const QString project = ProjectFileName("DEMO", "ORDERS");
    const QString projects = QFileInfo(project).absolutePath();
    const QString page = ApplicationFolder() + "Html/ORDERS.htm";
    QFile::remove(page);
    QVERIFY(QDir(projects).removeRecursively());
    QVERIFY(QFile::link("/proc/self", projects));
    QVERIFY(QDir().mkpath(page));
    {
        TShownMessages boxes;
        const QStringList &shown = boxes.texts;
        TProgram p;
        p->FindByPath("DEMO.ORDERS.CUSTNO");
        TModalAnswers answers;
        answers.Add(AnswerTarget("DEMO.CUSTOMER"));
        p->mnuPopLinkEdit->trigger();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("Cannot write " + project), qPrintable(shown[0]));
        QCOMPARE(p->NodePathText(), QString("DEMO.ORDERS.CUSTNO"));
        QCOMPARE(Selected(p)->childCount(), 0);

        p->FindByPath("DEMO.ORDERS");
        p->mnuPopHTML->trigger();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].startsWith("Cannot write " + page), qPrintable(shown[1]));
        QCOMPARE(p->StatusText(), QString("DEMO.ORDERS"));
    }
    QVERIFY(QFile::remove(projects));
    QVERIFY(QFileInfo(page).isDir());
    QVERIFY(QDir(page).removeRecursively());
}

QTEST_MAIN(TestLinksMain)
#include "test_links_main.moc"
