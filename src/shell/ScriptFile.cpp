#include "ScriptFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

TScriptLoad DecodeScript(const QByteArray &bytes, const QString &fileName)
{
    TScriptLoad r;
    if (bytes.contains('\0')) {
        r.error = QStringLiteral("File \"%1\" holds NUL bytes: it is not a text script and was "
                                 "not opened.")
                      .arg(fileName);
        return r;
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        r.format.encoding = TScriptEncoding::Utf8Bom;
        body.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(body);
    if (utf8.hasError()) {
        // Old scripts are often Latin-1; every byte has its character there.
        text = QString::fromLatin1(body);
        r.format.encoding = TScriptEncoding::Latin1;
    }
    const qsizetype lf = text.count(u'\n');
    r.format.crlf = lf > 0 && text.count(QStringLiteral("\r\n")) == lf;
    if (r.format.crlf)
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    r.format.finalBreak = text.endsWith(u'\n');
    if (r.format.finalBreak)
        text.chop(1);
    r.text = text;
    r.ok = true;
    return r;
}

TScriptLoad LoadScriptFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        TScriptLoad r;
        r.error = QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, f.errorString());
        return r;
    }
    return DecodeScript(f.readAll(), fileName);
}

QByteArray EncodeScript(const QString &text, TScriptFormat &format, bool *latin1Lost)
{
    QString t = text;
    if (!t.isEmpty() && format.finalBreak)
        t += u'\n';
    if (format.crlf)
        t.replace(u'\n', QStringLiteral("\r\n"));
    if (latin1Lost)
        *latin1Lost = false;
    if (format.encoding == TScriptEncoding::Latin1) {
        const bool fits
            = std::all_of(t.cbegin(), t.cend(), [](QChar c) { return c.unicode() < 256; });
        if (fits)
            return t.toLatin1();
        format.encoding = TScriptEncoding::Utf8;
        if (latin1Lost)
            *latin1Lost = true;
    }
    QByteArray bytes = t.toUtf8();
    if (format.encoding == TScriptEncoding::Utf8Bom)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

QString SaveScriptFile(const QString &fileName, const QString &text, TScriptFormat &format,
                       bool *latin1Lost)
{
    const auto failed = [&fileName](const QString &why) {
        return QStringLiteral("Cannot save file \"%1\": %2. The file on disk was not changed.")
            .arg(fileName, why);
    };
    const QFileInfo info(fileName);
    if (info.exists() && !info.isWritable())
        return failed(QStringLiteral("the file is read-only"));
    TScriptFormat out = format;
    bool lost = false;
    const QByteArray bytes = EncodeScript(text, out, &lost);
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly))
        return failed(f.errorString());
    if (f.write(bytes) != bytes.size()) {
        const QString why = f.errorString();
        f.cancelWriting();
        return failed(why);
    }
    if (!f.commit())
        return failed(f.errorString());
    format = out;
    if (latin1Lost)
        *latin1Lost = lost;
    return {};
}
