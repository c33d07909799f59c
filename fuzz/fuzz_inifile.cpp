// Settings and project files as users and other programs leave them: whatever the text
// holds, reading never fails, and writing one key changes that key and nothing else. The
// text is read as a file's content is, in memory: the file around it is the saving's
// concern, tried by its own tests.

#include "FuzzSupport.h"
#include "IniFile.h"

#include <QMap>
#include <QSet>

namespace {

using TContent = QMap<QString, QMap<QString, QString>>;

// What every key reads as, by upper-case names: a key's first line counts, and a section
// named twice is the first of them, as ReadString sees them. Gathered from each section's
// lines once, not by a ReadString per key, which takes the square of a long section's
// length and made long inputs the slowest part of the fuzzing.
TContent Content(const TIniFile &ini)
{
    TContent c;
    QSet<QString> sections;
    for (const QString &section : ini.ReadSections()) {
        if (sections.contains(section))
            continue;
        sections.insert(section);
        QMap<QString, QString> &keys = c[section.toUpper()];
        for (const QString &pair : ini.ReadSectionValues(section)) {
            const qsizetype equals = pair.indexOf(u'=');
            const QString key = pair.left(equals).toUpper();
            if (!keys.contains(key))
                keys[key] = pair.mid(equals + 1);
        }
    }
    return c;
}

void DropFuzzKey(TContent &c)
{
    c[QStringLiteral("FUZZSECTION")].remove(QStringLiteral("FUZZKEY"));
    if (c.value(QStringLiteral("FUZZSECTION")).isEmpty())
        c.remove(QStringLiteral("FUZZSECTION"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    TIniFile ini = TIniFile::FromText(input);
    TContent before = Content(ini);
    // Written unchanged, the text reads back as it was and is written again byte for byte.
    const QByteArray text = ini.Text();
    FUZZ_CHECK(TIniFile::FromText(text).Text() == text);
    ini.WriteString(QStringLiteral("FuzzSection"), QStringLiteral("FuzzKey"),
                    QStringLiteral("fuzz value"));
    const TIniFile again = TIniFile::FromText(ini.Text());
    FUZZ_CHECK(again.ReadString(QStringLiteral("FuzzSection"), QStringLiteral("FuzzKey"))
               == QStringLiteral("fuzz value"));
    TContent after = Content(again);
    DropFuzzKey(after);
    DropFuzzKey(before);
    FUZZ_CHECK(before == after);
    return 0;
}
