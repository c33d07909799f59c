// Settings and project files as users and other programs leave them: whatever the text
// holds, reading never fails, and writing one key changes that key's line and nothing
// else. The text is read as a file's content is, in memory: the file around it is the
// saving's concern, tried by its own tests.

#include "FuzzSupport.h"
#include "IniFile.h"

#include <QByteArrayView>

namespace {

const QString FuzzSection = QStringLiteral("FuzzSection");
const QString FuzzKey = QStringLiteral("FuzzKey");
const QString FuzzValue = QStringLiteral("fuzz value");

FUZZ_CHECKER bool LineStart(QByteArrayView text, qsizetype at)
{
    return at == 0 || text[at - 1] == '\n';
}

// The whole lines in which two texts differ: what lies between their longest common
// beginning and end, each cut back to a line's start.
FUZZ_CHECKER std::pair<QByteArrayView, QByteArrayView> ChangedLines(QByteArrayView before,
                                                                    QByteArrayView after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == after[head])
        ++head;
    while (!LineStart(before, head))
        --head;
    qsizetype tail = 0;
    while (tail < shorter - head
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    while (!LineStart(before, before.size() - tail) || !LineStart(after, after.size() - tail))
        --tail;
    return {before.sliced(head, before.size() - tail - head),
            after.sliced(head, after.size() - tail - head)};
}

// A "key=value" line of the written key, as it stands in the text.
FUZZ_CHECKER bool IsFuzzKeyLine(QByteArrayView line, bool withValue)
{
    if (!line.endsWith('\n') || line.indexOf('\n') != line.size() - 1)
        return false;
    const qsizetype equals = line.indexOf('=');
    return equals > 0
        && QString::fromUtf8(line.first(equals)).trimmed().compare(FuzzKey, Qt::CaseInsensitive)
        == 0
        && (!withValue || QString::fromUtf8(line.sliced(equals + 1).chopped(1)) == FuzzValue);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    TIniFile ini = TIniFile::FromText(input);
    const QByteArray before = ini.Text();
    const bool hadSection = ini.SectionExists(FuzzSection);
    const bool hadValue = ini.ReadString(FuzzSection, FuzzKey) == FuzzValue;
    ini.WriteString(FuzzSection, FuzzKey, FuzzValue);
    // What is written reads back with the key written, and is written again byte for byte.
    const QByteArray written = ini.Text();
    const TIniFile again = TIniFile::FromText(written);
    FUZZ_CHECK(again.Text() == written);
    FUZZ_CHECK(again.ReadString(FuzzSection, FuzzKey) == FuzzValue);
    // Every other line stays as it was: the key's line is replaced or added, with its
    // section's header at the end when there was no such section.
    const auto [removed, added] = ChangedLines(before, written);
    if (hadValue) {
        FUZZ_CHECK(removed.isEmpty() && added.isEmpty());
    } else if (!hadSection) {
        FUZZ_CHECK(removed.isEmpty() && added == "[FuzzSection]\nFuzzKey=fuzz value\n");
    } else {
        FUZZ_CHECK(removed.isEmpty() || IsFuzzKeyLine(removed, false));
        FUZZ_CHECK(IsFuzzKeyLine(added, true));
    }
    return 0;
}
