// The HTML pages of tables, on a real SQLite database: names written as text, links that
// lead to pages that exist, a circle of links written once, key fields by whole names;
// and the same pages opened in a real browser.
#include "Database.h"
#include "EngineError.h"
#include "HtmlPages.h"
#include "IniFile.h"
#include "Session.h"
#include "SharedRoutines.h"
#include "SqliteFile.h"
#include "TreeReading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

static const QString Odd = QStringLiteral("<b>&\"x");
static const QString Up = QStringLiteral("../../x");

class TestHtmlPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pagesEscapeNamesAndFollowLinksOnce();
    void keysByWholeNamesAndIndexes();
    void unreadableTableEndsTheRun();
    void browserFindsEveryLinkedPage();

private:
    QString ReadPage(const QString &name)
    {
        QFile f(m_folder + name);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // The page files the run left in the folder, and only those.
    QStringList WriteOddPages()
    {
        QDir(m_folder).removeRecursively();
        QDir().mkpath(m_folder);
        THtmlPages pages({nullptr, m_folder, "HTML_MAIN", "HTML_DB", false, {}});
        m_top = pages.WritePage("HTML_DB", Odd);
        return pages.Written();
    }

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_top;
    std::unique_ptr<TDatabase> m_main;
};

void TestHtmlPages::initTestCase()
{
    const QString file = m_dir.filePath("html.sqlite");
    RunOnSqliteFile(
        file,
        {"CREATE TABLE \"<b>&\"\"x\" (ID INTEGER PRIMARY KEY, CUSTID INTEGER, \"UP\" INTEGER)",
         "CREATE INDEX \"by<i>\" ON \"<b>&\"\"x\" (CUSTID)",
         "CREATE TABLE \"../../x\" (ID INTEGER PRIMARY KEY, BACK INTEGER, OTHER INTEGER)",
         "CREATE TABLE ORDERS (ORDERNO INTEGER PRIMARY KEY, CUSTNO INTEGER, NO INTEGER)",
         "CREATE INDEX BYCUST ON ORDERS (CUSTNO)",
         "CREATE TABLE PLAIN (A INTEGER, B VARCHAR(10))"});
    TSession::Default().AddAlias("HTML_DB", "SQLITE", {"DATABASE NAME=" + file},
                                 TSession::TPersistence::SessionOnly);
    m_main = std::make_unique<TDatabase>("HTML_MAIN");
    m_main->SetAliasName("HTML_DB");
    m_folder = ApplicationFolder() + "Html/";

    // A circle: the odd table leads to ../../x, which leads back; ORDERS to the odd table.
    OpenProjectFile("HTML_DB", Odd)->WriteString("UP", "Lookup", "HTML_DB." + Up + ".ID");
    OpenProjectFile("HTML_DB", Up)->WriteString("BACK", "Lookup", "HTML_DB." + Odd + ".ID");
    OpenProjectFile("HTML_DB", "ORDERS")->WriteString("NO", "Lookup", "HTML_DB.PLAIN.A");
}

void TestHtmlPages::pagesEscapeNamesAndFollowLinksOnce()
{
    const QStringList written = WriteOddPages();
    const QString upPage = HtmlPageFileName(Up);
    QCOMPARE(written, QStringList({upPage, m_top})); // the linked page first, each once
    QStringList present = QDir(m_folder).entryList(QDir::Files);
    present.sort();
    QStringList expected = written;
    expected.sort();
    QCOMPARE(present, expected);
    QVERIFY(!QFile::exists(m_folder + "../../x.htm"));

    const QString odd = ReadPage(m_top);
    QFile raw(m_folder + m_top);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(
        raw.readAll().startsWith("\xEF\xBB\xBF<HTML>\r\n<Head><Title>Table &lt;b&gt;&amp;&quot;x"
                                 "</Title></Head>\r\n\r\n<Body>\r\n"));
    QVERIFY(odd.contains("<h2>Table &lt;b&gt;&amp;&quot;x</h2>"));
    QVERIFY(!odd.contains(Odd));
    // The link names the linked page's file, percent-encoded.
    const QString href = QString::fromLatin1(QUrl::toPercentEncoding(upPage));
    QVERIFY2(odd.contains("<TR><TD><a href=\"" + href + "\">UP</a></TD><TD>INTEGER</TD></TR>"),
             qPrintable(odd));
    QCOMPARE(QUrl::fromPercentEncoding(href.toLatin1()), upPage);
    QVERIFY(!href.contains('/') && !href.contains('"'));
    QVERIFY(ReadPage(upPage).contains(
        "<a href=\"" + QString::fromLatin1(QUrl::toPercentEncoding(m_top)) + "\">BACK</a>"));
    QVERIFY(odd.contains("<TR><TD>by&lt;i&gt;</TD><TD>CUSTID</TD></TR>"));
    QVERIFY(odd.endsWith("</Table>\r\n\r\n</Body>\r\n\r\n</HTML>\r\n"));
}

void TestHtmlPages::keysByWholeNamesAndIndexes()
{
    THtmlPages pages({nullptr, m_folder, "HTML_MAIN", "HTML_DB", false, {}});
    QCOMPARE(pages.WritePage({}, "ORDERS"), QString("ORDERS.htm"));
    QCOMPARE(pages.Written(), QStringList({"PLAIN.htm", "ORDERS.htm"}));
    const QString orders = ReadPage("ORDERS.htm");
    const QString key = " bgcolor = \"#ffccd0\"";
    QVERIFY(orders.contains("<TR><TD" + key + ">ORDERNO</TD><TD" + key + ">INTEGER</TD></TR>"));
    QVERIFY(orders.contains("<TR><TD>CUSTNO</TD><TD>INTEGER</TD></TR>"));
    // NO is contained in ORDERNO, but is no key field.
    QVERIFY(orders.contains("<TR><TD><a href=\"PLAIN.htm\">NO</a></TD><TD>INTEGER</TD></TR>"));
    QVERIFY(orders.contains("<BR>\r\n\r\n<B>Indexes</B>\r\n<Table width=\"75%\" border=\"1\">\r\n"
                            "<TR><TD>BYCUST</TD><TD>CUSTNO</TD></TR>\r\n</Table>"));
    const QString plain = ReadPage("PLAIN.htm");
    QVERIFY(!plain.contains("bgcolor") && !plain.contains("<BR>"));
    QVERIFY(plain.contains("<TR><TD>B</TD><TD>CHAR(10)</TD></TR>"));
}

void TestHtmlPages::unreadableTableEndsTheRun()
{
    OpenProjectFile("HTML_DB", "PLAIN")->WriteString("A", "Lookup", "HTML_DB.GONE.ID");
    THtmlPages pages({nullptr, m_folder, "HTML_MAIN", "HTML_DB", false, {}});
    QFile::remove(m_folder + "ORDERS.htm");
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, pages.WritePage({}, "ORDERS"));
    QVERIFY(!QFile::exists(m_folder + "ORDERS.htm"));
    OpenProjectFile("HTML_DB", "PLAIN")->WriteString("A", "Lookup", QString());
}

// Headless Chromium reads every page written; each link must lead to a page that exists,
// and the names must come out as text, not as markup.
void TestHtmlPages::browserFindsEveryLinkedPage()
{
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty())
        QFAIL("chromium is not installed (scripts/setup installs it)");
    const QStringList written = WriteOddPages();
    QTemporaryDir profile;
    const QRegularExpression anchor(QStringLiteral("<a href=\"([^\"]*)\">([^<]*)</a>"));
    int links = 0;
    for (const QString &name : written) {
        QProcess browser;
        browser.start(chromium,
                      {"--headless", "--no-sandbox", "--disable-gpu",
                       "--user-data-dir=" + profile.path(), "--dump-dom",
                       QUrl::fromLocalFile(m_folder + name).toString()});
        QVERIFY(browser.waitForFinished(120000));
        const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
        QVERIFY2(dom.contains("<h2>Table "), qPrintable(name + ": " + dom));
        for (auto it = anchor.globalMatch(dom); it.hasNext(); ++links) {
            const auto m = it.next();
            const QUrl target = QUrl::fromLocalFile(m_folder + name).resolved(QUrl(m.captured(1)));
            QVERIFY2(target.isLocalFile() && QFile::exists(target.toLocalFile())
                         && written.contains(QFileInfo(target.toLocalFile()).fileName()),
                     qPrintable(m.captured(1)));
        }
        if (name == m_top) {
            // The DOM holds the name as one text, and no element came out of it.
            QVERIFY2(dom.contains("<title>Table &lt;b&gt;&amp;\"x</title>"), qPrintable(dom));
            QVERIFY(dom.contains("<h2>Table &lt;b&gt;&amp;\"x</h2>"));
            QCOMPARE(dom.count("<b>"), 1);
            QVERIFY(dom.contains("<b>Indexes</b>"));
        }
    }
    QCOMPARE(links, 2);
}

QTEST_GUILESS_MAIN(TestHtmlPages)
#include "test_html_pages.moc"
