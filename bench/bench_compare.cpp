// Comparing two tables of 1,000 columns (a third of them resized, a tenth only in one table,
// the target in reverse order) into the ALTER TABLE statement, against writing the CREATE
// script of the same 1,000 columns, in one run.
#include "TableCompare.h"

#include "BenchSupport.h"

#include <cstdio>

int main()
{
    QList<TFieldDef> source;
    QList<TFieldDef> target;
    for (int i = 0; i < 1000; ++i) {
        const QString name = QString("Column_%1").arg(i, 4, 10, QChar('0'));
        const TFieldType type = i % 2 ? ftString : ftInteger;
        const int size = type == ftString ? 30 : 0;
        if (i % 10 != 1)
            source.append({name, type, size, false});
        if (i % 10 != 2)
            target.prepend({name.toUpper(), type, i % 3 == 0 && size ? size + 10 : size, false});
    }
    const TTableScriptOptions options {false, true, TSqlDialect::Postgres};
    qsizetype written = 0;
    const double compare = MedianMs(21, [&] {
        written += CompareLines("wide table", CompareFields(source, target), options).size();
    });
    const double script = MedianMs(
        21, [&] { written += TableScriptLines("wide table", source, {}, false, options).size(); });
    if (written == 0)
        return 1;
    std::printf("compare_1000_columns_ms: %.3f\n", compare);
    std::printf("compare_vs_table_script_ratio: %.2f\n", script > 0 ? compare / script : 0.0);
    return 0;
}
