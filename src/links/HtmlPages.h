#pragma once

// HTML pages documenting tables: fields with their types (key fields coloured), lookup
// links as hyperlinks to the pages of the linked tables, which are written too, and the
// secondary indexes. Names are written as text, never as markup.

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class TSession;

struct THtmlContext
{
    TSession *session = nullptr; // the default session when none
    QString folder; // where the pages go, ending with "/"
    QString mainDatabaseName; // the main window's database component
    QString mainAlias; // and the alias it is on
    bool varcharOption = false; // for the type names
    std::function<void(const QString &)> status; // the status bar, may be empty
};

// The file name of a table's page: the table in its file-name form, then ".htm".
QString HtmlPageFileName(const QString &table);

// One command's run: every page is written at most once, so that links that lead round
// in a circle end at a page already begun.
class THtmlPages
{
public:
    explicit THtmlPages(THtmlContext context);

    // Writes the page of a table of the main alias (alias empty) or of another alias, and
    // before it the pages of the tables its links lead to. Returns the page's file name.
    // Throws EDatabaseError when a table cannot be read (pages finished stay written) or
    // a page cannot be saved.
    QString WritePage(const QString &alias, const QString &table);
    // The same for a link target "alias.table.field".
    QString WriteLinkedPage(const QString &lookup);

    // File names of the pages written by this run, in the order they were finished.
    const QStringList &Written() const { return m_written; }

private:
    QString DatabaseFor(const QString &alias) const;

    THtmlContext m_context;
    QSet<QString> m_begun; // page file names, upper case
    QStringList m_written;
};
