// The whole-alias script of 1,000 tables of 20 fields with two indexes each, written into
// the editor by the Script command of the visible main window, against the engine reading
// those 1,000 table structures alone, in one run; again with a million lines already in the
// editor; and the default format script applied to the same alias.
#include "Database.h"
#include "FmtScript.h"
#include "Main.h"
#include "Options.h"
#include "Session.h"
#include "Table.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

static void Fill(const QString &file)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.exec("BEGIN");
        for (int t = 0; t < 1000; ++t) {
            QStringList columns {"ID INTEGER PRIMARY KEY"};
            for (int c = 1; c < 20; ++c)
                columns << QString("C%1 %2").arg(c).arg(c % 3 ? "VARCHAR(30)" : "INTEGER NOT NULL");
            const QString name = QString("T%1").arg(t, 4, 10, QChar('0'));
            q.exec("CREATE TABLE " + name + " (" + columns.join(", ") + ")");
            q.exec("CREATE INDEX " + name + "_A ON " + name + " (C1, C2)");
            q.exec("CREATE UNIQUE INDEX " + name + "_B ON " + name + " (C3)");
        }
        q.exec("COMMIT");
    }
    QSqlDatabase::removeDatabase("fill");
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString file = home.filePath("gen.sqlite");
    Fill(file);
    TSession &session = TSession::Default();
    session.AddAlias("GEN", "SQLITE", {"DATABASE NAME=" + file},
                     TSession::TPersistence::SessionOnly);

    Tform_Main main;
    Tfrm_Options options(&main);
    main.show();
    QCoreApplication::processEvents();
    QTreeWidgetItem *gen = main.MainTree->findItems("GEN", Qt::MatchExactly).value(0);
    if (!gen)
        return 1;
    main.MainTree->setCurrentItem(gen);
    gen->setExpanded(true);
    main.MainTree->setCurrentItem(gen);

    QString million;
    for (int i = 0; i < 1000000; ++i)
        million += QStringLiteral("SELECT %1;\n").arg(i);
    const auto script = [&] {
        main.mnuSQLScript->trigger();
        QCoreApplication::processEvents();
    };
    const auto catalog = [&] {
        for (const QString &name : main.DB_Orvane.Connection().TableNames()) {
            TTable table;
            table.DatabaseName = main.DB_Orvane.DatabaseName();
            table.TableName = name;
            table.Update();
        }
    };
    // The machine's load varies: each round measures the script into an empty editor, into
    // a million lines and the catalog read alone, in an order that changes from round to
    // round, and the figures are the medians of the rounds' ratios.
    std::vector<double> empty, full, read;
    int lines = 0;
    for (int round = 0; round < 5; ++round) {
        if (round % 2)
            read.push_back(ElapsedMs(catalog));
        main.memSQL->clear();
        empty.push_back(ElapsedMs(script));
        lines = main.memSQL->document()->blockCount();
        main.memSQL->setPlainText(million);
        full.push_back(ElapsedMs(script));
        if (round % 2 == 0)
            read.push_back(ElapsedMs(catalog));
    }
    const double scriptMs = Median(empty);
    main.mnuSQLFmtScrp->trigger();
    auto *fmt = main.findChild<TfrmFmtScript *>();
    if (!fmt)
        return 1;
    const double fmtMs = MedianMs(
        3, [&] { fmt->btnApply->click(); }, [&] { main.memSQL->clear(); });
    const int fmtLines = main.memSQL->document()->blockCount();
    if (fmtLines < 1000 * 20)
        return std::fprintf(stderr, "the format script wrote only %d lines\n", fmtLines), 1;
    if (lines < 1000 * 20)
        return std::fprintf(stderr, "the script has only %d lines\n", lines), 1;
    std::printf("script_alias_1000x20_ms: %.0f\n", scriptMs);
    std::printf("script_alias_vs_catalog_read_ratio: %.2f\n", Median(empty, read));
    std::printf("script_alias_into_1m_lines_vs_catalog_read_ratio: %.2f\n", Median(full, read));
    std::printf("fmtscript_alias_1000_tables_ms: %.0f\n", fmtMs);
    std::printf("fmtscript_alias_vs_catalog_read_ratio: %.2f\n", fmtMs / Median(read));
    return 0;
}
