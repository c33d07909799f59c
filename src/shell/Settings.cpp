#include "Settings.h"
#include "IniFile.h"
#include "Paths.h"
#include "SharedRoutines.h"

#include <QFileInfo>

static bool WriteFormatScriptDefaults(TIniFile &ini);

QString OrvaneIniFileName()
{
    return OrvaneConfigFolder() + QStringLiteral("Orvane.ini");
}

QString OptionCaption(int index)
{
    static const QString captions[OptionCount]
        = {QStringLiteral("Live Answer"), QStringLiteral("Alias"), QStringLiteral("Not Null"),
           QStringLiteral("Varchar")};
    return captions[index];
}

QString OptionKey(int index)
{
    static const QString keys[OptionCount] = {QStringLiteral("LiveAnswer"), QStringLiteral("Alias"),
                                              QStringLiteral("NotNull"), QStringLiteral("Varchar")};
    return keys[index];
}

bool OptionDefault(int index)
{
    return index == optAlias || index == optVarchar;
}

bool WriteFirstStartFormatScripts(TIniFile &ini)
{
    if (ini.ReadBool(Ini::Config, Ini::Fsc, false))
        return false;
    // Decided again on the file as it is now: another copy may have just written them.
    bool written = false;
    ini.Update([&] { written = WriteFormatScriptDefaults(ini); });
    return written;
}

static bool WriteFormatScriptDefaults(TIniFile &ini)
{
    if (ini.ReadBool(Ini::Config, Ini::Fsc, false))
        return false;
    static const struct
    {
        const char *name;
        bool commas;
    } firstStart[] = {{"Alter Table", true}, {"Create Index", false}, {"Create Table", true},
                      {"Delete", false},     {"Drop Index", false},   {"Drop Table", false},
                      {"Insert", true},      {"Select", true},        {"Update", true}};
    for (const auto &fsc : firstStart)
        ini.WriteBool(Ini::Fsc, QString::fromLatin1(fsc.name), fsc.commas);
    ini.WriteBool(Ini::Config, Ini::Fsc, true);
    return true;
}

QStringList ReadBookmarks(const TIniFile &ini)
{
    return Split(ini.ReadString(Ini::Config, Ini::BookMarks), u',');
}

void WriteBookmarks(TIniFile &ini, const QStringList &bookmarks)
{
    ini.WriteString(Ini::Config, Ini::BookMarks, Join(bookmarks, u','));
}

QString ScriptSection(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName().toUpper();
}

namespace {

// Whether the "name=value" pair is of that name, letter case aside.
bool IsPairOf(const QString &pair, const QString &name)
{
    return pair.size() > name.size() && pair.at(name.size()) == u'='
        && QStringView(pair).first(name.size()).compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

QString RememberedValue(const QStringList &values, const QString &name)
{
    for (const QString &pair : values)
        if (IsPairOf(pair, name))
            return pair.mid(name.size() + 1);
    return {};
}

void SetRememberedValue(QStringList &values, const QString &name, const QString &value)
{
    for (QString &pair : values)
        if (IsPairOf(pair, name)) {
            pair = name + u'=' + value;
            return;
        }
    values << name + u'=' + value;
}
