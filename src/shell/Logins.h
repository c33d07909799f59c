#pragma once

// Logins and data files opened as aliases, without widgets.
//
// How Tform_Main uses this (the dialogs come from LoginDialog.h and NewAliasDialog.h):
//
//   void Tform_Main::DB_OrvaneLogin(TDatabase &db, QStringList &loginParams)
//   {
//       OrvaneLogin(db.AliasName(), loginParams, {Ini(), RememberedValues(), LoginAccepted},
//                   ShowLoginDialog);
//   }
//
//   Result windows' databases get the same event:
//       db.OnLogin = [main](TDatabase &d, QStringList &p) { main->DB_OrvaneLogin(d, p); };
//
//   When reading an alias's tables fails (ReadAliasTables):
//       if (!LoginAccepted) return {};
//       ForgetPassword(RememberedValues(), alias);
//       throw;
//
//   File Open with the "Data Files" filter (DataFilesFilter is that filter's text):
//       try {
//           SetNodePathText(OpenDataFile(fileName, DB_Orvane.Session(), DataFileCounter,
//                                        SessionAliases));
//           mnuEdtRefreshClick();
//       } catch (const EDatabaseError &e) {
//           MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
//       }
//
//   FormDestroy deletes every name of SessionAliases from the session, ignoring errors.

#include "Driver.h"

#include <QString>
#include <QStringList>
#include <functional>

class TIniFile;
class TSession;

// [Config] key of the user name remembered for an alias.
QString UserNameKey(const QString &alias);
// Name of the remembered value that holds an alias's password for the run.
QString PasswordValueName(const QString &alias);
// Empties the alias's remembered password, so that the next login asks again.
void ForgetPassword(QStringList &values, const QString &alias);

// What a login reads and changes in the main window. Passwords go only into `values`,
// which lives in memory; the settings file receives user names.
struct TLoginMemory
{
    TIniFile &settings;
    QStringList &values; // remembered name=value pairs
    bool &loginAccepted; // whether the last login dialog was closed with OK
};

// Asks the user for the login of an alias, starting from user and password; true on OK,
// with user and password holding what was entered.
using TLoginAsk = std::function<bool(const QString &alias, QString &user, QString &password)>;

// The login event: fills loginParams with USERNAME and PASSWORD from what is remembered
// for the alias, asking only when the user name or the password is not known yet. A
// cancelled question leaves loginParams as the engine gave them. Returns whether they
// were filled.
bool OrvaneLogin(const QString &alias, QStringList &loginParams, const TLoginMemory &memory,
                 const TLoginAsk &ask);

// Filter of the file dialog entry for data files.
inline const QString DataFilesFilter
    = QStringLiteral("Data Files (*.db *.dbf *.gdb *.fdb *.mdb *.sqlite *.sqlite3)");

// What a data file becomes as an alias, by its extension (and, for ".db", its header).
struct TDataFileKind
{
    QString driver; // "INTRBASE", "MSACCESS", "STANDARD" or "SQLITE"
    QString defaultDriver; // "PARADOX" or "DBASE" for "STANDARD"
    QString aliasName; // proposed
    QString user; // proposed
    bool hasUser = false; // whether the alias carries a user the dialog may edit
    bool tableFile = false; // a table file in a folder: the alias is the folder
};

// Whether the file begins with SQLite's header.
bool IsSqliteFile(const QString &path);
// The kind of a data file. Table files are numbered: the counter grows by one for each.
TDataFileKind DataFileKind(const QString &path, int &dataFileCounter);
// The alias parameters of a data file of that kind, with the user chosen for it.
TParams DataFileAliasParams(const TDataFileKind &kind, const QString &path, const QString &user);

// What the new-alias question answers: the edits' texts and the permanent check.
struct TNewAliasAnswer
{
    QString aliasName;
    QString user;
    bool permanent = false;
};
// Asks for the alias of a data file: caption, whether the user may be given, and the
// proposed values in answer. True on OK, with answer holding what was entered.
using TNewAliasAsk
    = std::function<bool(const QString &caption, bool userEnabled, TNewAliasAnswer &answer)>;

// Adds the alias for a data file to the session: saved in the engine configuration when
// the answer makes it permanent, otherwise listed in sessionAliases for deletion at exit.
// Returns the node path that selects it (and, for a table file, the table). An alias name
// the session refuses throws EDatabaseError and changes no list.
QString AddDataFileAlias(const QString &path, TSession &session, int &dataFileCounter,
                         QStringList &sessionAliases, const TNewAliasAsk &ask);
