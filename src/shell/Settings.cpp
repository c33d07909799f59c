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

QString RememberedValue(const QStringList &values, const QString &name)
{
    const QString prefix = name + u'=';
    for (const QString &pair : values)
        if (pair.startsWith(prefix, Qt::CaseInsensitive))
            return pair.mid(prefix.size());
    return {};
}

void SetRememberedValue(QStringList &values, const QString &name, const QString &value)
{
    const QString prefix = name + u'=';
    for (QString &pair : values)
        if (pair.startsWith(prefix, Qt::CaseInsensitive)) {
            pair = prefix + value;
            return;
        }
    values << prefix + value;
}
