// Renders the folder tree and the file list of a sample folder. With
// LUMI_SHELL_SCREENSHOTS set to a folder the pictures are kept there.
#include "ShellFixture.h"
#include "SsShellListView.h"
#include "SsShellTreeView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QSet>

namespace {
int Colours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

void Keep(const QPixmap& pm, const char* name)
{
    const QString dir = qEnvironmentVariable("LUMI_SHELL_SCREENSHOTS");
    if (!dir.isEmpty())
        pm.save(dir + '/' + name);
}
}  // namespace

TEST(SsShellWidgets, RenderTreeAndListOfASampleFolder)
{
    ShellFixture fx;
    fx.Write("Bilder/Urlaub/meer.jpg", 250000, 2023);
    fx.Write("Bilder/Urlaub/notiz.txt", 1200, 2023);
    fx.Write("Bilder/Urlaub/plan.pdf", 40000, 2024);
    QFile::link(fx.Path("Bilder/Urlaub/meer.jpg"), fx.Path("Bilder/Urlaub/verweis.jpg"));
    fx.Mkdir("Bilder/Urlaub/Berge");

    TSsShellTreeView tree;
    TSsShellListView list;
    tree.resize(240, 300);
    list.resize(520, 300);
    tree.SetRootFolder(fx.Path());
    list.SetTreeView(&tree);
    tree.show();
    list.show();
    ASSERT_TRUE(WaitFor([&] { return tree.InitialSelectionDone(); }));
    PSsIdList urlaub = SsPathToIdList(fx.Path("Bilder/Urlaub"));
    tree.SelectFolderByPidl(urlaub.get());
    ASSERT_TRUE(WaitFor([&] { return list.CurrentFolder() && list.CurrentFolder()->Path == fx.Path("Bilder/Urlaub"); }));
    EXPECT_EQ(list.RowCount(), 6);

    const QPixmap treePicture = tree.grab();
    EXPECT_EQ(treePicture.size(), tree.size());
    EXPECT_GT(Colours(treePicture.toImage()), 8);
    Keep(treePicture, "shell-tree.png");

    list.SetViewStyle(vsReport);
    WaitFor([] { return false; }, 100);
    const QPixmap report = list.grab();
    EXPECT_GT(Colours(report.toImage()), 8);
    Keep(report, "shell-list-report.png");

    list.SetViewStyle(vsIcon);
    WaitFor([] { return false; }, 100);
    const QPixmap icons = list.grab();
    EXPECT_GT(Colours(icons.toImage()), 8);
    EXPECT_NE(icons.toImage(), report.toImage());
    Keep(icons, "shell-list-icons.png");
}
