// Expanding the database tree must stay quick for a database of 10,000 tables and for a
// table of 1,000 columns. Each figure is the median time of collapsing and expanding the
// node in the visible main window, layout included; the ratio compares it with the engine
// reading the same list alone on the same connection, measured in the same run.
#include "Database.h"
#include "Main.h"
#include "Options.h"
#include "Session.h"
#include "Table.h"
#include "TreeReading.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        for (int i = 0; i < 10000; ++i)
            q.exec(QString("CREATE TABLE T%1 (ID INTEGER PRIMARY KEY, NAME VARCHAR(40))")
                       .arg(i, 5, 10, QChar('0')));
        QStringList columns {"ID INTEGER PRIMARY KEY"};
        for (int i = 1; i < 1000; ++i)
            columns << QString("C%1 %2").arg(i).arg(i % 3 ? "VARCHAR(30)" : "INTEGER");
        q.exec("CREATE TABLE WIDE (" + columns.join(", ") + ")");
        q.exec("CREATE INDEX WIDE_C1 ON WIDE (C1, C2)");
        q.exec("COMMIT");
    }
    QSqlDatabase::removeDatabase("fill");
}

static QTreeWidgetItem *Child(QTreeWidgetItem *node, const QString &text)
{
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->text(0) == text)
            return node->child(i);
    return nullptr;
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString file = home.filePath("big.sqlite");
    Fill(file);
    TSession &session = TSession::Default();
    session.AddAlias("BIG", "SQLITE", {"DATABASE NAME=" + file},
                     TSession::TPersistence::SessionOnly);

    Tform_Main main;
    Tfrm_Options options(&main);
    main.show();
    QCoreApplication::processEvents();
    QTreeWidgetItem *big = main.MainTree->findItems("BIG", Qt::MatchExactly).value(0);
    if (!big)
        return 1;
    main.MainTree->setCurrentItem(big);

    const double tablesMs = MedianMs(9, [&] {
        big->setExpanded(false);
        big->setExpanded(true);
        QCoreApplication::processEvents();
    });
    // What the tree cannot do without: the engine listing the tables, sorted.
    const double tablesRef = MedianMs(9, [&] {
        QStringList names = main.DB_Orvane.Connection().TableNames();
        names.sort(Qt::CaseInsensitive);
    });
    // The first expansion also opens the database file, which reads its whole schema.
    big->setExpanded(false);
    main.DB_Orvane.Close();
    const double firstMs = MedianMs(1, [&] {
        big->setExpanded(true);
        QCoreApplication::processEvents();
    });
    if (big->childCount() != 10001)
        return std::fprintf(stderr, "expected 10001 tables, got %d\n", big->childCount()), 1;

    QTreeWidgetItem *wide = Child(big, "WIDE");
    main.MainTree->setCurrentItem(wide);
    main.MainTree->scrollToItem(wide);
    const double columnsMs = MedianMs(9, [&] {
        wide->setExpanded(false);
        wide->setExpanded(true);
        QCoreApplication::processEvents();
    });
    const double columnsRef = MedianMs(9, [&] {
        TTable table;
        table.DatabaseName = main.DB_Orvane.DatabaseName();
        table.TableName = "WIDE";
        table.Update();
    });
    if (wide->childCount() < 1000)
        return std::fprintf(stderr, "expected 1000 columns, got %d\n", wide->childCount()), 1;

    // The same table once every field has a link in its project file: the file is read
    // once per expansion, so the links cost little beside the fields themselves.
    {
        QString text;
        for (const TFieldDef &f : main.tab_Orvane.FieldDefs)
            text += "[" + f.Name + "]\nLookup=BIG.T" + f.Name + ".ID\nTitle=" + f.Name + "\n";
        QDir().mkpath(QFileInfo(ProjectFileName("BIG", "WIDE")).absolutePath());
        QFile project(ProjectFileName("BIG", "WIDE"));
        if (!project.open(QIODevice::WriteOnly) || project.write(text.toUtf8()) < 0)
            return std::fprintf(stderr, "cannot write the project file\n"), 1;
    }
    const double linkedMs = MedianMs(9, [&] {
        wide->setExpanded(false);
        wide->setExpanded(true);
        QCoreApplication::processEvents();
    });
    int links = 0;
    for (int i = 0; i < wide->childCount(); ++i)
        links += wide->child(i)->childCount() == 1
            && wide->child(i)->child(0)->text(0).startsWith("BIG.T");
    if (links < 1000)
        return std::fprintf(stderr, "expected 1000 links, got %d\n", links), 1;

    std::printf("tree_expand_10000_tables_ms: %.1f\n", tablesMs);
    std::printf("tree_expand_10000_tables_vs_engine_read: %.2f\n", tablesMs / tablesRef);
    std::printf("tree_first_expand_10000_tables_ms: %.1f\n", firstMs);
    std::printf("tree_expand_1000_columns_ms: %.1f\n", columnsMs);
    std::printf("tree_expand_1000_columns_vs_engine_read: %.2f\n", columnsMs / columnsRef);
    std::printf("tree_expand_linked_1000_fields_ms: %.1f\n", linkedMs);
    std::printf("tree_expand_linked_1000_fields_vs_plain_ratio: %.2f\n", linkedMs / columnsMs);
    return 0;
}
