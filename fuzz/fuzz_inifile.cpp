// Settings and project files as users and other programs leave them: whatever the file
// holds, reading never fails, and writing one key changes that key and nothing else.

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzFolder() + QStringLiteral("/Orvane.ini");
    WriteFuzzFile(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    TContent before;
    {
        TIniFile ini(path);
        before = Content(ini);
        ini.WriteString(QStringLiteral("FuzzSection"), QStringLiteral("FuzzKey"),
                        QStringLiteral("fuzz value"));
    }
    TIniFile again(path);
    TContent after = Content(again);
    FUZZ_CHECK(again.ReadString(QStringLiteral("FuzzSection"), QStringLiteral("FuzzKey"))
               == QStringLiteral("fuzz value"));
    after[QStringLiteral("FUZZSECTION")].remove(QStringLiteral("FUZZKEY"));
    before[QStringLiteral("FUZZSECTION")].remove(QStringLiteral("FUZZKEY"));
    if (after.value(QStringLiteral("FUZZSECTION")).isEmpty())
        after.remove(QStringLiteral("FUZZSECTION"));
    if (before.value(QStringLiteral("FUZZSECTION")).isEmpty())
        before.remove(QStringLiteral("FUZZSECTION"));
    FUZZ_CHECK(before == after);
    return 0;
}
