#pragma once

#include <QString>
#include <QStringList>

// Makes the program the opener of SQL script files the freedesktop way: a desktop entry in
// the user's applications folder and an application/sql default in mimeapps.list. Only
// what is missing is written; an association that another program already holds, in the
// user's or the system's lists, is kept.
struct TFileTypeFolders
{
    QString dataHome; // $XDG_DATA_HOME
    QString configHome; // $XDG_CONFIG_HOME
    QStringList systemConfigDirs; // $XDG_CONFIG_DIRS
    QStringList systemDataDirs; // $XDG_DATA_DIRS
    static TFileTypeFolders FromEnvironment();
};

struct TFileTypeResult
{
    bool desktopEntryWritten = false;
    bool associationWritten = false;
};

inline const QString DesktopFileName = QStringLiteral("orvane.desktop");
inline const QString ScriptMimeType = QStringLiteral("application/sql");

TFileTypeResult RegisterScriptFileType(const QString &programPath, const TFileTypeFolders &dirs);
// The desktop file this mime type opens with by the given folders, or empty.
QString ScriptFileTypeOwner(const TFileTypeFolders &dirs);
// A program path as the Exec key of a desktop entry quotes it.
QString DesktopExecArgument(const QString &programPath);
