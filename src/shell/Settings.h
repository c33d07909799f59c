#pragma once

#include <QString>
#include <QStringList>

class TIniFile;

inline const QString ApplicationTitle = QStringLiteral("Orvane 2");

// The program's settings file, "Orvane.ini" in the user's configuration folder.
QString OrvaneIniFileName();

namespace Ini {
inline const QString Config = QStringLiteral("Config");
inline const QString Options = QStringLiteral("Options");
inline const QString Fsc = QStringLiteral("FSC");
inline const QString Left = QStringLiteral("Left");
inline const QString Top = QStringLiteral("Top");
inline const QString Width = QStringLiteral("Width");
inline const QString Height = QStringLiteral("Height");
inline const QString TreeWidth = QStringLiteral("TreeWidth");
inline const QString InitialDir = QStringLiteral("InitialDir");
inline const QString BookMarks = QStringLiteral("BookMarks");
inline const QString WindowsList = QStringLiteral("WindowsList");
inline const QString UserNamePrefix = QStringLiteral("UserName_");
inline const QString FmtLeft = QStringLiteral("FmtLeft");
inline const QString FmtTop = QStringLiteral("FmtTop");
inline const QString PropLeft = QStringLiteral("PropLeft");
inline const QString PropTop = QStringLiteral("PropTop");
inline const QString Find = QStringLiteral("Find");
inline const QString Tag = QStringLiteral("Tag");
inline const QString ValuesOfParamPrefix = QStringLiteral("ValuesOfParam_");
// The once-only marker of the first-start welcome; the value names the program version.
inline const QString Welcome = QStringLiteral("Welcome");
} // namespace Ini

// The option items in check-list order, with their keys and defaults.
enum TOption : int { optLiveAnswer = 0, optAlias = 1, optNotNull = 2, optVarchar = 3 };
constexpr int OptionCount = 4;
QString OptionCaption(int index);
QString OptionKey(int index);
bool OptionDefault(int index);

// On the first start (Config FSC not true) writes the format-script comma options and
// then Config FSC = true. Returns whether it wrote them.
bool WriteFirstStartFormatScripts(TIniFile &ini);

// Bookmarks as stored: node paths joined by ",".
QStringList ReadBookmarks(const TIniFile &ini);
void WriteBookmarks(TIniFile &ini, const QStringList &bookmarks);

// The section of a script file: its name without folder and extension, upper-cased.
QString ScriptSection(const QString &fileName);

// Remembered values: name=value pairs kept in memory for the run.
QString RememberedValue(const QStringList &values, const QString &name);
void SetRememberedValue(QStringList &values, const QString &name, const QString &value);
