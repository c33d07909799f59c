// Settings and project files as users and other programs leave them: whatever the text
// holds, reading never fails, and writing one key changes that key and nothing else. The
// text is read as a file's content is, in memory: the file around it is the saving's
// concern, tried by its own tests.

#include "FuzzSupport.h"
#include "IniFile.h"

#include <QMap>

namespace {

using TContent = QMap<QString, QMap<QString, QString>>;

TContent Content(const TIniFile &ini)
{
    TContent c;
    for (const QString &section : ini.ReadSections())
        for (const QString &key : ini.ReadSection(section))
            c[section.toUpper()][key.toUpper()] = ini.ReadString(section, key);
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
    // Written unchanged, the text reads back as it was.
    FUZZ_CHECK(Content(TIniFile::FromText(ini.Text())) == before);
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
