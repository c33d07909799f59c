// The query properties window on a SELECT of 500 fields over eleven tables joined ten
// times: locating and loading it from the editor, and one edit written back, against the
// SELECT model reading the same text alone.
#include "DataSet.h"
#include "Main.h"
#include "Options.h"
#include "QueryProp.h"
#include "Select.h"
#include "Session.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>

static constexpr int Tables = 11; // ten joins
static constexpr int Fields = 500;

// Tables J0 to J10, each with a key K and its share of the fields; the statement's lines
// as the generators write them.
static QStringList Fill(const QString &file)
{
    QStringList select {"/*", "QueryName:Q_Wide", "*/", "SELECT"}, from {"FROM"}, where {"WHERE"};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        int field = 0;
        for (int t = 0; t < Tables; ++t) {
            const QString table = QString("J%1").arg(t);
            QStringList columns {"K INTEGER"};
            const int count = Fields / Tables + (t < Fields % Tables ? 1 : 0);
            for (int c = 0; c < count; ++c, ++field) {
                columns << QString("F%1 VARCHAR(20)").arg(field);
                select << QString("\t%1.F%2,").arg(table).arg(field);
            }
            q.exec("CREATE TABLE " + table + " (" + columns.join(", ") + ")");
            from << "\t" + table + (t + 1 < Tables ? "," : "");
            if (t > 0)
                where << QString("\tJ0.K = %1.K%2").arg(table, t + 1 < Tables ? " AND" : "");
        }
        select.last().chop(1);
    }
    QSqlDatabase::removeDatabase("fill");
    return select + from + where + QStringList {";"};
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString file = home.filePath("wide.sqlite");
    const QStringList script = Fill(file);
    TSession &session = TSession::Default();
    session.AddAlias("WIDE", "SQLITE", {"DATABASE NAME=" + file},
                     TSession::TPersistence::SessionOnly);

    Tform_Main main;
    Tfrm_Options options(&main);
    main.show();
    QCoreApplication::processEvents();
    main.FindByPath("WIDE.J0");
    main.memSQL->setPlainText(script.join(u'\n'));
    main.memSQL->appendPlainText("SELECT J0.K FROM J0;");
    const auto caretAt = [&](int line) {
        main.memSQL->setTextCursor(TMemoCursor(main.memSQL->document()->findBlockByNumber(line)));
    };
    caretAt(10);
    main.mnuPopQryProp->trigger();
    auto *dialog = main.findChild<TfrmQueryProp *>();
    if (!dialog)
        return std::fprintf(stderr, "no query properties window\n"), 1;

    // Each wide load follows one of a small statement, so the whole tree is built anew; the
    // model's reading alone is timed in turn with it, so both see the same machine.
    const QStringList statement = script.mid(3, script.size() - 4);
    const auto readAlone = [&] {
        TQuery q(&session);
        q.DatabaseName = main.DB_Orvane.DatabaseName();
        q.SQL = statement;
        TSelect select(&q, TSelect::AllClauses);
    };
    std::vector<double> loads, reads;
    for (int i = 0; i < 15; ++i) {
        caretAt(int(script.size()));
        dialog->FormActivate();
        loads.push_back(MedianMs(1, [&] {
            caretAt(10);
            dialog->FormActivate();
        }));
        reads.push_back(MedianMs(1, readAlone));
    }
    std::sort(loads.begin(), loads.end());
    std::sort(reads.begin(), reads.end());
    const double loadMs = loads[loads.size() / 2];
    const double readMs = reads[reads.size() / 2];
    if (dialog->Tree().Count() != Fields + Tables + (Tables - 1) + 3)
        return std::fprintf(stderr, "expected the whole statement, got %d nodes\n",
                            int(dialog->Tree().Count())),
               1;

    QTreeWidgetItem *item
        = dialog->treeProps->findItems("J5.F250", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    if (!item)
        return std::fprintf(stderr, "no item J5.F250\n"), 1;
    dialog->treeProps->setCurrentItem(item); // the window keeps it selected after each edit
    int edits = 0;
    const double editMs = MedianMs(9, [&] {
        dialog->edtProp->setText(++edits % 2 ? "J5.F250 AS renamed" : "J5.F250");
        dialog->btnEdit->click();
    });
    if (!main.memSQL->toPlainText().contains("\tJ5.F250 AS renamed,"))
        return std::fprintf(stderr, "the edit was not written back\n"), 1;

    std::printf("queryprop_load_500_fields_10_joins_ms: %.1f\n", loadMs);
    std::printf("queryprop_edit_roundtrip_ms: %.1f\n", editMs);
    std::printf("queryprop_load_vs_select_read_ratio: %.2f\n", loadMs / readMs);
    return 0;
}
