// The record edit form of a 200-field row against as many plain edits and labels, and a
// lookup check into a table of a million rows against the bare keyed query.
#include "DBVerify.h"
#include "DataSource.h"
#include "EditRecord.h"
#include "Session.h"
#include "Table.h"
#include "VerifyArea.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

static double FormMs(TQuery &q)
{
    QElapsedTimer t;
    t.start();
    {
        TfrmEditRecord form;
        form.dsEdit->DataSet = &q;
        form.Wizard->SetDataSource(form.dsEdit);
        form.Wizard->Area()->SetLayOut(loResize);
        form.Wizard->Area()->LoadFromData();
        form.show();
        QCoreApplication::processEvents();
        form.grab();
    }
    return t.nsecsElapsed() / 1e6;
}

static double PlainMs(int fields)
{
    QElapsedTimer t;
    t.start();
    {
        QDialog form;
        form.resize(400, 600);
        for (int i = 0; i < fields; ++i) {
            auto *label = new QLabel(QStringLiteral("F%1:").arg(i), &form);
            auto *edit = new QLineEdit(&form);
            label->setBuddy(edit);
            label->move(8, 8 + i * 27);
            edit->setGeometry(80, 8 + i * 27, 120, 21);
            edit->setText(QString::number(i));
        }
        form.show();
        QCoreApplication::processEvents();
        form.grab();
    }
    return t.nsecsElapsed() / 1e6;
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath("data.sqlite");
    FillNumberedTable(file, 1000000);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "wide");
        db.setDatabaseName(file);
        db.open();
        QStringList columns, values;
        for (int i = 0; i < 200; ++i) {
            const char *types[] = {"VARCHAR(20)", "INTEGER", "FLOAT", "DATE"};
            const char *sample[] = {"'text'", "42", "1.5", "'2024-01-01'"};
            columns << QStringLiteral("F%1 %2").arg(i).arg(types[i % 4]);
            values << sample[i % 4];
        }
        QSqlQuery q(db);
        q.exec("CREATE TABLE WIDE (ID INTEGER PRIMARY KEY, " + columns.join(", ") + ")");
        q.exec("INSERT INTO WIDE VALUES (1, " + values.join(", ") + ")");
    }
    QSqlDatabase::removeDatabase("wide");
    TSession session(dir.filePath("aliases.ini"));
    session.AddAlias("BENCH", "SQLITE", {"DATABASE NAME=" + file},
                     TSession::TPersistence::SessionOnly);

    TQuery q(&session);
    q.DatabaseName = "BENCH";
    q.SQL = QStringList {"SELECT * FROM WIDE"};
    q.RequestLive = true;
    q.Open();
    FormMs(q);
    PlainMs(q.FieldCount()); // warm up
    std::vector<double> form, plain;
    for (int i = 0; i < 7; ++i) {
        form.push_back(FormMs(q));
        plain.push_back(PlainMs(q.FieldCount()));
    }
    const double formMs = Median(form), plainMs = Median(plain);
    std::printf("edit_form_200_fields_ms: %.2f\n", formMs);
    std::printf("edit_form_200_vs_plain_widgets_ratio: %.3f\n", formMs / plainMs);

    // A lookup field checked on validation against the keyed query alone.
    QWidget window;
    TArea area(&window);
    auto *code = new TDBVerify(area.Client());
    code->SetEditType(ftInteger);
    auto table = std::make_shared<TTable>(&session);
    table->DatabaseName = "BENCH";
    table->TableName = "T";
    table->Update();
    code->SetLookupDataSet(table);
    code->SetLookupField("ID");
    code->SetLookupDisplay("NAME");
    area.Error.BeforeError = [](TError *, QPointer<QWidget> &, bool &show) {
        show = false;
    };
    QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
    raw.setDatabaseName(file);
    raw.open();
    QSqlQuery bare(raw);
    bare.setForwardOnly(true);
    bare.prepare("SELECT ID, NAME FROM T WHERE ID = ?");
    const int checks = 20000;
    std::vector<double> control, reference;
    // Only the check is timed: the typing that precedes it (the edit's text layout) costs
    // the same with or without a lookup.
    QElapsedTimer t;
    t.start();
    for (int round = 0; round < 5; ++round) {
        qint64 checked = 0;
        for (int i = 0; i < checks; ++i) {
            code->setText(QString::number(1 + (i * 7919) % 1000000));
            const qint64 before = t.nsecsElapsed();
            area.Validate();
            checked += t.nsecsElapsed() - before;
        }
        control.push_back(checked / 1e6);
        qint64 queried = 0;
        for (int i = 0; i < checks; ++i) {
            const QString key = QString::number(1 + (i * 7919) % 1000000);
            const qint64 before = t.nsecsElapsed();
            bare.addBindValue(key);
            bare.exec();
            bare.next();
            bare.value(1).toString();
            bare.finish();
            queried += t.nsecsElapsed() - before;
        }
        reference.push_back(queried / 1e6);
    }
    if (!area.Error.Message.isEmpty())
        std::fprintf(stderr, "lookup failed: %s\n", qPrintable(area.Error.Message));
    std::printf("lookup_check_1m_rows_vs_keyed_query_ratio: %.3f\n",
                Median(control) / Median(reference));
    return 0;
}
