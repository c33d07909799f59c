#pragma once

// Script files as the editor loads and saves them. A script keeps the encoding and line
// breaks it came with, so an old Latin-1 script is written back byte for byte; saving goes
// through a temporary file that replaces the old one only when it is complete.

#include <QString>

enum class TScriptEncoding { Utf8, Utf8Bom, Latin1 };

struct TScriptFormat
{
    TScriptEncoding encoding = TScriptEncoding::Utf8;
    bool crlf = false; // lines end with CR LF
    bool finalBreak = true; // the last line ends with a line break
};

struct TScriptLoad
{
    bool ok = false;
    QString text; // lines joined by "\n"
    TScriptFormat format;
    QString error; // the message for the user when not ok
};

// Text and format of a script's bytes; fails on NUL bytes, which no script holds.
TScriptLoad DecodeScript(const QByteArray &bytes, const QString &fileName);
TScriptLoad LoadScriptFile(const QString &fileName);

// The bytes of a script in its format. A Latin-1 format whose text holds characters that
// Latin-1 cannot write switches to UTF-8 (latin1Lost tells), so no character is lost.
QByteArray EncodeScript(const QString &text, TScriptFormat &format, bool *latin1Lost = nullptr);

// Writes the script, replacing the file only once the new one is complete. Returns the
// message for the user on failure (the old file is then untouched), empty on success.
QString SaveScriptFile(const QString &fileName, const QString &text, TScriptFormat &format,
                       bool *latin1Lost = nullptr);
