#include "FileType.h"
#include "IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

static const QString DefaultApplications = QStringLiteral("Default Applications");

static QStringList EnvDirs(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return (value.isEmpty() ? fallback : value).split(u':', Qt::SkipEmptyParts);
}

TFileTypeFolders TFileTypeFolders::FromEnvironment()
{
    TFileTypeFolders dirs;
    dirs.dataHome = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + "/.local/share");
    dirs.configHome = qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + "/.config");
    dirs.systemConfigDirs = EnvDirs("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    dirs.systemDataDirs = EnvDirs("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    return dirs;
}

QString DesktopExecArgument(const QString &programPath)
{
    QString quoted;
    for (const QChar c : programPath) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    // Inside a desktop entry's string value a backslash itself is escaped once more.
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

// Where a mime type's default is looked up, most important first.
static QStringList AssociationLists(const TFileTypeFolders &dirs)
{
    QStringList files {dirs.configHome + QStringLiteral("/mimeapps.list")};
    for (const QString &dir : dirs.systemConfigDirs)
        files << dir + QStringLiteral("/mimeapps.list");
    files << dirs.dataHome + QStringLiteral("/applications/mimeapps.list");
    for (const QString &dir : dirs.systemDataDirs)
        files << dir + QStringLiteral("/applications/mimeapps.list")
              << dir + QStringLiteral("/applications/defaults.list");
    return files;
}

// The SQL types a program may hold: editors name either.
static const QStringList ScriptMimeTypes {ScriptMimeType, QStringLiteral("text/x-sql")};

QString ScriptFileTypeOwner(const TFileTypeFolders &dirs)
{
    for (const QString &file : AssociationLists(dirs)) {
        if (!QFileInfo::exists(file))
            continue;
        const TIniFile list(file);
        for (const QString &type : ScriptMimeTypes) {
            const QString owner = list.ReadString(DefaultApplications, type).trimmed();
            if (!owner.isEmpty())
                return owner.section(u';', 0, 0);
        }
    }
    // A program that lists an SQL type among those it opens holds it as well: the desktop
    // picks it without any default being named.
    for (const QString &dir : QStringList {dirs.dataHome} + dirs.systemDataDirs) {
        const QDir applications(dir + QStringLiteral("/applications"));
        for (const QString &name :
             applications.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name)) {
            if (name == DesktopFileName)
                continue;
            const TIniFile entry(applications.filePath(name));
            const QStringList types
                = entry.ReadString(QStringLiteral("Desktop Entry"), QStringLiteral("MimeType"))
                      .split(u';', Qt::SkipEmptyParts);
            for (const QString &type : ScriptMimeTypes)
                if (types.contains(type))
                    return name;
        }
    }
    return {};
}

static bool WriteDesktopEntry(const QString &fileName, const QString &programPath)
{
    QDir().mkpath(QFileInfo(fileName).path());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Orvane\n"
                                        "Comment=SQL Script\n"
                                        "Exec=%1 %f\n"
                                        "Icon=orvane\n"
                                        "MimeType=%2;\n"
                                        "Categories=Development;Database;\n"
                                        "Terminal=false\n")
                             .arg(DesktopExecArgument(programPath), ScriptMimeType);
    file.write(text.toUtf8());
    return file.commit();
}

TFileTypeResult RegisterScriptFileType(const QString &programPath, const TFileTypeFolders &dirs)
{
    TFileTypeResult result;
    const QString desktop = dirs.dataHome + QStringLiteral("/applications/") + DesktopFileName;
    if (!QFileInfo::exists(desktop))
        result.desktopEntryWritten = WriteDesktopEntry(desktop, programPath);
    if (ScriptFileTypeOwner(dirs).isEmpty()) {
        QDir().mkpath(dirs.configHome);
        TIniFile list(dirs.configHome + QStringLiteral("/mimeapps.list"));
        list.WriteString(DefaultApplications, ScriptMimeType, DesktopFileName);
        result.associationWritten = true;
    }
    return result;
}
