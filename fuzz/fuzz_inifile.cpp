// Settings and project files as users and other programs leave them: whatever the text
// holds, reading never fails, and writing one key changes that key and nothing else. The
// text is read as a file's content is, in memory: the file around it is the saving's
// concern, tried by its own tests.

#include "FuzzSupport.h"
#include "IniFile.h"

namespace {

const QString FuzzSection = QStringLiteral("FuzzSection");
const QString FuzzKey = QStringLiteral("FuzzKey");

// A section's "key=value" lines as ReadSectionValues gives them (the first section of a
// name), without those of the key the target writes.
QStringList Pairs(const TIniFile &ini, const QString &section)
{
    QStringList pairs = ini.ReadSectionValues(section);
    if (section.compare(FuzzSection, Qt::CaseInsensitive) == 0)
        pairs.removeIf([](const QString &p) {
            return p.left(p.indexOf(u'=')).compare(FuzzKey, Qt::CaseInsensitive) == 0;
        });
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    TIniFile ini = TIniFile::FromText(input);
    const QStringList sections = ini.ReadSections();
    QList<QStringList> before;
    for (const QString &section : sections)
        before << Pairs(ini, section);
    const bool hadSection = ini.SectionExists(FuzzSection);
    ini.WriteString(FuzzSection, FuzzKey, QStringLiteral("fuzz value"));
    // What is written reads back with the key written, and is written again byte for byte.
    const QByteArray written = ini.Text();
    const TIniFile again = TIniFile::FromText(written);
    FUZZ_CHECK(again.Text() == written);
    FUZZ_CHECK(again.ReadString(FuzzSection, FuzzKey) == QStringLiteral("fuzz value"));
    // Every section is still there, in its order, with the same lines; the written key's
    // section is added at the end when there was none.
    const QStringList sectionsAfter = again.ReadSections();
    FUZZ_CHECK(sectionsAfter.mid(0, sections.size()) == sections);
    FUZZ_CHECK(sectionsAfter.size() == sections.size() + (hadSection ? 0 : 1));
    for (qsizetype i = 0; i < sections.size(); ++i)
        FUZZ_CHECK(Pairs(again, sections[i]) == before[i]);
    return 0;
}
