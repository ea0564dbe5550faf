// The help as the build leaves it beside the program: the CHM is a real HTML Help file
// holding every page of its contents and index, the same pages lie in help/ for the
// browser, and no link between them leads nowhere.

#include "ChmDirectory.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestovar;

namespace {

const QString kProgramDir = QStringLiteral(KESTOVAR_PROGRAM_DIR);
const QString kHelpSource = QStringLiteral(KESTOVAR_HELP_SOURCE_DIR);

QString Text(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QStringList Captures(const QString& text, const QString& pattern)
{
    QStringList out;
    auto it = QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption).globalMatch(text);
    while (it.hasNext())
        out << it.next().captured(1);
    return out;
}

// The "Local" targets of a contents (.hhc) or index (.hhk) file.
QStringList SitemapTargets(const QString& file)
{
    return Captures(Text(kHelpSource + QLatin1Char('/') + file),
        QStringLiteral("<param\\s+name=\"Local\"\\s+value=\"([^\"]+)\""));
}

QString PageOf(const QString& target)
{
    return target.section(QLatin1Char('#'), 0, 0);
}

QString AnchorOf(const QString& target)
{
    return target.section(QLatin1Char('#'), 1);
}

QSet<QString> IdsOf(const QString& page)
{
    const QStringList ids = Captures(Text(page), QStringLiteral("\\sid=\"([^\"]+)\""));
    return QSet<QString>(ids.begin(), ids.end());
}

QStringList BuiltPages()
{
    return QDir(kProgramDir + QStringLiteral("/help")).entryList({ QStringLiteral("*.html") }, QDir::Files, QDir::Name);
}

} // namespace

TEST(HelpFiles, TheChmBesideTheProgramIsAnHtmlHelpFileWithEveryPageOfItsContents)
{
    const QString chm = kProgramDir + QStringLiteral("/Kestovar_Full_HD_Help.chm");
    ASSERT_TRUE(QFileInfo(chm).isFile()) << chm.toStdString();
    const std::string bytes = test::ReadFileText(chm.toStdString());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), "ITSF");

    std::string why;
    const auto entries = test::ReadChmDirectory(bytes, &why);
    ASSERT_TRUE(entries) << why;
    QSet<QString> stored;
    for (const test::ChmEntry& e : *entries)
        stored.insert(QString::fromStdString(e.name));
    // The viewer's own tables: without them there is no contents, index or title.
    for (const char* internal : { "/#SYSTEM", "/#TOPICS", "/#URLTBL", "/#STRINGS" })
        EXPECT_TRUE(stored.contains(QLatin1String(internal))) << internal;

    const QStringList contents = SitemapTargets(QStringLiteral("Kestovar_Full_HD_Help.hhc"));
    ASSERT_FALSE(contents.isEmpty());
    for (const QString& target : contents + SitemapTargets(QStringLiteral("Kestovar_Full_HD_Help.hhk")))
        EXPECT_TRUE(stored.contains(QLatin1Char('/') + PageOf(target))) << target.toStdString();
    // The contents and index files themselves are stored too.
    EXPECT_TRUE(stored.contains(QStringLiteral("/Kestovar_Full_HD_Help.hhc")));
    EXPECT_TRUE(stored.contains(QStringLiteral("/Kestovar_Full_HD_Help.hhk")));
    EXPECT_TRUE(stored.contains(QStringLiteral("/kestovar-help.css")));
}

TEST(HelpFiles, EveryPageOfTheContentsLiesInTheHelpFolderAsItsSourceReads)
{
    const QStringList targets = SitemapTargets(QStringLiteral("Kestovar_Full_HD_Help.hhc"))
        + SitemapTargets(QStringLiteral("Kestovar_Full_HD_Help.hhk"));
    ASSERT_FALSE(targets.isEmpty());
    QSet<QString> listed;
    for (const QString& target : targets) {
        const QString built = kProgramDir + QStringLiteral("/help/") + PageOf(target);
        ASSERT_TRUE(QFileInfo(built).isFile()) << target.toStdString();
        EXPECT_EQ(Text(built), Text(kHelpSource + QLatin1Char('/') + PageOf(target))) << target.toStdString();
        if (!AnchorOf(target).isEmpty()) {
            EXPECT_TRUE(IdsOf(built).contains(AnchorOf(target))) << target.toStdString();
        }
        listed.insert(PageOf(target));
    }
    // The other way round: a page the contents never lead to is one nobody finds.
    for (const QString& page : BuiltPages())
        EXPECT_TRUE(listed.contains(page)) << page.toStdString() << " is not in the contents";
    // The folder opened in the browser begins where the CHM begins.
    EXPECT_TRUE(listed.contains(QStringLiteral("index.html")));
}

TEST(HelpFiles, EveryLinkOfEveryPageLeadsToAPageAndAnchorThatExist)
{
    const QString folder = kProgramDir + QStringLiteral("/help/");
    const QStringList pages = BuiltPages();
    ASSERT_GE(pages.size(), 5);
    QMap<QString, QSet<QString>> ids;
    for (const QString& page : pages)
        ids.insert(page, IdsOf(folder + page));

    int links = 0;
    for (const QString& page : pages) {
        const QString text = Text(folder + page);
        // One style sheet and no scripts: the pages work in any viewer.
        EXPECT_TRUE(text.contains(QStringLiteral("href=\"kestovar-help.css\""))) << page.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("<script"), Qt::CaseInsensitive)) << page.toStdString();
        for (const QString& href : Captures(text, QStringLiteral("href=\"([^\"]+)\""))) {
            if (href.contains(QStringLiteral("://")) || href.startsWith(QStringLiteral("mailto:")))
                continue;
            ++links;
            const QString target = PageOf(href).isEmpty() ? page : PageOf(href);
            EXPECT_TRUE(QFileInfo(folder + target).isFile()) << page.toStdString() << ": " << href.toStdString();
            if (!AnchorOf(href).isEmpty() && target.endsWith(QStringLiteral(".html"))) {
                EXPECT_TRUE(ids.value(target).contains(AnchorOf(href)))
                    << page.toStdString() << ": " << href.toStdString();
            }
        }
    }
    EXPECT_GT(links, pages.size());
}

TEST(HelpFiles, ADamagedOrForeignFileIsNotTakenForAHelpFile)
{
    std::string why;
    EXPECT_FALSE(test::ReadChmDirectory("<html>not a help file</html>", &why));
    EXPECT_FALSE(why.empty());

    const std::string chm
        = test::ReadFileText((kProgramDir + QStringLiteral("/Kestovar_Full_HD_Help.chm")).toStdString());
    ASSERT_GT(chm.size(), 0x200u);
    // Cut inside the directory: the listing must be refused, not read past the end.
    EXPECT_FALSE(test::ReadChmDirectory(chm.substr(0, 0x100), &why));
}
