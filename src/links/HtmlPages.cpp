#include "HtmlPages.h"
#include "EngineError.h"
#include "IniFile.h"
#include "LinkLogic.h"
#include "SharedRoutines.h"
#include "SqlNames.h"
#include "Table.h"
#include "TreeReading.h"

#include <QSaveFile>
#include <QUrl>

static const QString TableStart = QStringLiteral("<Table width=\"75%\" border=\"1\">");

QString HtmlPageFileName(const QString &table)
{
    return SafeFileName(table) + QStringLiteral(".htm");
}

static QString Cell(const QString &html, bool key)
{
    return QStringLiteral("<TD") + (key ? QStringLiteral(" bgcolor = \"#ffccd0\"") : QString())
        + u'>' + html + QStringLiteral("</TD>");
}

static bool IsKeyField(const QString &field, const QString &keyFields)
{
    // Whole names: a key on ID does not make CUSTID a key field.
    for (const QString &key : keyFields.split(u';'))
        if (key.trimmed().compare(field, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

static void SavePage(const QString &fileName, const QStringList &lines)
{
    QSaveFile file(fileName);
    // A byte-order mark makes browsers read the names in UTF-8 without a change of markup.
    QByteArray bytes("\xEF\xBB\xBF");
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EDatabaseError(
            QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
}

THtmlPages::THtmlPages(THtmlContext context)
    : m_context(std::move(context))
{}

QString THtmlPages::DatabaseFor(const QString &alias) const
{
    if (alias.isEmpty() || alias.compare(m_context.mainAlias, Qt::CaseInsensitive) == 0)
        return m_context.mainDatabaseName;
    return alias;
}

QString THtmlPages::WriteLinkedPage(const QString &lookup)
{
    const TLinkPath path = ParseLinkPath(lookup);
    if (path.alias.isEmpty() || path.table.isEmpty())
        throw EDatabaseError(QStringLiteral("Link %1 names no table").arg(lookup));
    return WritePage(path.alias, path.table);
}

QString THtmlPages::WritePage(const QString &aliasPart, const QString &table)
{
    const QString alias = aliasPart.isEmpty() ? m_context.mainAlias : aliasPart;
    const QString fileName = HtmlPageFileName(table);
    if (m_begun.contains(fileName.toUpper()))
        return fileName;
    m_begun.insert(fileName.toUpper());

    const std::unique_ptr<TIniFile> project = OpenProjectFile(alias, table);
    const QString title = table.toHtmlEscaped();
    QStringList lines {QStringLiteral("<HTML>"),
                       QStringLiteral("<Head><Title>Table ") + title
                           + QStringLiteral("</Title></Head>"),
                       QString(),
                       QStringLiteral("<Body>"),
                       QString(),
                       QStringLiteral("<h2>Table ") + title + QStringLiteral("</h2>")};

    TTable source(m_context.session);
    source.DatabaseName = DatabaseFor(alias);
    source.TableName = table;
    lines << TableStart;
    source.UpdateIndexDefs();
    QString keyFields;
    QList<TIndexDef> others;
    for (const TIndexDef &ix : source.IndexDefs) {
        if (ix.IsPrimary())
            keyFields = ix.Fields;
        else
            others << ix;
    }
    source.UpdateFieldDefs();
    for (const TFieldDef &f : source.FieldDefs) {
        const QString lookup = project->ReadString(f.Name, LookupKey);
        QString name = f.Name.toHtmlEscaped();
        if (!lookup.isEmpty()) {
            const QString linked = WriteLinkedPage(lookup);
            name = QStringLiteral("<a href=\"")
                + QString::fromLatin1(QUrl::toPercentEncoding(linked)) + QStringLiteral("\">")
                + name + QStringLiteral("</a>");
        }
        const bool key = IsKeyField(f.Name, keyFields);
        lines << QStringLiteral("<TR>") + Cell(name, key)
                + Cell(TypeName(f.DataType, f.Size, m_context.varcharOption).toHtmlEscaped(), key)
                + QStringLiteral("</TR>");
    }
    lines << QStringLiteral("</Table>");
    if (!others.isEmpty()) {
        lines << QStringLiteral("<BR>") << QString() << QStringLiteral("<B>Indexes</B>")
              << TableStart;
        for (const TIndexDef &ix : others)
            lines << QStringLiteral("<TR>") + Cell(ix.Name.toHtmlEscaped(), false)
                    + Cell(ix.Fields.toHtmlEscaped(), false) + QStringLiteral("</TR>");
        lines << QStringLiteral("</Table>");
    }
    lines << QString() << QStringLiteral("</Body>") << QString() << QStringLiteral("</HTML>");
    SavePage(m_context.folder + fileName, lines);
    m_written << fileName;
    return fileName;
}
