#include "Logins.h"
#include "IniFile.h"
#include "Session.h"

#include <QFile>
#include <QFileInfo>

static const QString ConfigSection = QStringLiteral("Config");
static const QString UserNameParam = QStringLiteral("USERNAME");
static const QString PasswordParam = QStringLiteral("PASSWORD");

QString UserNameKey(const QString &alias)
{
    return QStringLiteral("UserName_") + alias;
}

QString PasswordValueName(const QString &alias)
{
    return QStringLiteral("Password_") + alias;
}

void ForgetPassword(QStringList &values, const QString &alias)
{
    SetParamValue(values, PasswordValueName(alias), QString());
}

bool OrvaneLogin(const QString &alias, QStringList &loginParams, const TLoginMemory &memory,
                 const TLoginAsk &ask)
{
    QString user = memory.settings.ReadString(ConfigSection, UserNameKey(alias));
    QString password = ParamValue(memory.values, PasswordValueName(alias));
    if (user.isEmpty() || password.isEmpty()) {
        memory.loginAccepted = ask(alias, user, password);
        if (!memory.loginAccepted)
            return false;
    }
    memory.settings.WriteString(ConfigSection, UserNameKey(alias), user);
    SetParamValue(memory.values, PasswordValueName(alias), password);
    loginParams.clear();
    loginParams << UserNameParam + u'=' + user << PasswordParam + u'=' + password;
    return true;
}

bool IsSqliteFile(const QString &path)
{
    static const QByteArray header("SQLite format 3\0", 16);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(header.size()) == header;
}

TDataFileKind DataFileKind(const QString &path, int &dataFileCounter)
{
    const QFileInfo info(path);
    const QString ext = info.suffix().toUpper();
    TDataFileKind kind;
    if (ext == QLatin1String("GDB") || ext == QLatin1String("FDB")) {
        kind.driver = QStringLiteral("INTRBASE");
        kind.user = QStringLiteral("SYSDBA");
        kind.hasUser = true;
    } else if (ext == QLatin1String("MDB")) {
        kind.driver = QStringLiteral("MSACCESS");
        kind.hasUser = true;
    } else if (ext == QLatin1String("SQLITE") || ext == QLatin1String("SQLITE3")
               || (ext == QLatin1String("DB") && IsSqliteFile(path))) {
        // Today most ".db" files are SQLite databases, not Paradox tables.
        kind.driver = QStringLiteral("SQLITE");
    } else {
        kind.driver = QStringLiteral("STANDARD");
        kind.defaultDriver
            = ext == QLatin1String("DBF") ? QStringLiteral("DBASE") : QStringLiteral("PARADOX");
        kind.tableFile = true;
        kind.aliasName = QStringLiteral("DataFile") + QString::number(++dataFileCounter);
        return kind;
    }
    kind.aliasName = info.completeBaseName();
    return kind;
}

TParams DataFileAliasParams(const TDataFileKind &kind, const QString &path, const QString &user)
{
    const QFileInfo info(path);
    if (kind.driver == QLatin1String("INTRBASE"))
        return {QStringLiteral("SERVER NAME=") + info.absoluteFilePath(),
                QStringLiteral("USER NAME=") + user};
    if (kind.driver == QLatin1String("MSACCESS"))
        return {QStringLiteral("DATABASE NAME=") + info.absoluteFilePath(),
                QStringLiteral("USER NAME=") + user};
    if (kind.driver == QLatin1String("SQLITE"))
        return {QStringLiteral("DATABASE NAME=") + info.absoluteFilePath()};
    return {QStringLiteral("DEFAULT DRIVER=") + kind.defaultDriver,
            QStringLiteral("PATH=") + info.absolutePath() + u'/'};
}

QString AddDataFileAlias(const QString &path, TSession &session, int &dataFileCounter,
                         QStringList &sessionAliases, const TNewAliasAsk &ask)
{
    const TDataFileKind kind = DataFileKind(path, dataFileCounter);
    TNewAliasAnswer answer {kind.aliasName, kind.hasUser ? kind.user : QString(), false};
    QString name = kind.aliasName;
    QString user = kind.user;
    bool permanent = false;
    if (ask(kind.driver + QStringLiteral(" Alias"), kind.hasUser, answer)) {
        // A name of blanks would be refused by the session: keep the proposal instead.
        if (!answer.aliasName.trimmed().isEmpty())
            name = answer.aliasName.trimmed();
        if (kind.hasUser)
            user = answer.user;
        permanent = answer.permanent;
    }
    session.AddAlias(name, kind.driver, DataFileAliasParams(kind, path, user),
                     permanent ? TSession::TPersistence::Saved
                               : TSession::TPersistence::SessionOnly);
    if (permanent)
        session.SaveConfigFile();
    else
        sessionAliases << name;
    QString nodePath = name + u'.';
    if (kind.tableFile)
        nodePath += QFileInfo(path).fileName();
    return nodePath;
}
