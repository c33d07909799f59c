// The format-script expander over any format and any table: every field line becomes one
// line per field and every index line one per secondary index, other lines stay one line,
// and a line without a tag comes out as it went in. The structure is read from the input's
// second part: a line per field ("name type size"), then "==", then a line per index
// ("name fields primary"). At most 32 of each are read: the expansion holds a line per
// field for each field line, so more would make an input cost the square of its length,
// and 32 already reach every path of the expander, numbers of two digits among them.

#include "FormatScript.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [format, structure] = SplitInput(data, size, QByteArray("\n====\n", 6));
    const QStringList lines = QString::fromUtf8(format).split(u'\n');
    QList<TFieldDef> fields;
    QList<TIndexDef> indexes;
    bool inIndexes = false;
    for (const QString &line : QString::fromUtf8(structure).split(u'\n')) {
        if (line == QLatin1String("==")) {
            inIndexes = true;
            continue;
        }
        if ((inIndexes ? indexes.size() : fields.size()) == 32)
            continue;
        const QStringList parts = line.split(u' ');
        if (inIndexes)
            indexes << TIndexDef {parts.value(0), parts.value(1),
                                  parts.value(2) == QLatin1String("1") ? unsigned(ixPrimary) : 0u};
        else
            fields << TFieldDef {parts.value(0), TFieldType(parts.value(1).toInt() & 31),
                                 parts.value(2).toInt(), false};
    }
    int secondary = 0;
    for (const TIndexDef &i : indexes)
        secondary += !i.IsPrimary();

    const bool commas = size % 2 == 0;
    const QStringList expanded = ExpandFormat(lines, commas, fields, indexes);
    qsizetype expected = 0;
    for (const QString &line : lines)
        expected += line.contains(QLatin1String("<FIELDNAME>"), Qt::CaseInsensitive) ? fields.size()
            : line.contains(QLatin1String("<INDEXNAME>"), Qt::CaseInsensitive)       ? secondary
                                                                                     : 1;
    FUZZ_CHECK(expanded.size() == expected);
    const QStringList out = SubstituteFormat(expanded, QStringLiteral("T"), fields, indexes);
    FUZZ_CHECK(out.size() == expanded.size());
    for (qsizetype i = 0; i < out.size(); ++i)
        if (!expanded[i].contains(u'<'))
            FUZZ_CHECK(out[i] == expanded[i]);
    return 0;
}
