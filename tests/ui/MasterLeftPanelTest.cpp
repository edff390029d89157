#include "FMainform.h"
#include "SsShellItem.h"
#include "SsNamespace.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPresets.h"
#include "uLeftPanelLists.h"
#include "uQwRegistry.h"
#include "uShellTreeViewEx.h"
#include "uThumbnailListview.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

namespace {

std::unique_ptr<TMaster> NewMaster()
{
    return std::unique_ptr<TMaster>(TLocalizerForm::create<TMaster>(nullptr));
}

bool IsInside(const QWidget* W, const QWidget* Sheet)
{
    for (const QWidget* p = W; p; p = p->parentWidget())
        if (p == Sheet)
            return true;
    return false;
}

}  // namespace

TEST(Master, LeftPanelHostsThePictureBrowserAndTheLists)
{
    QTemporaryDir pictures, other;
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(pictures.path() + "/a.png"));
    ASSERT_TRUE(img.save(pictures.path() + "/b.jpg"));
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", pictures.path());

    auto m = NewMaster();
    m->show();
    QApplication::processEvents();  // the tree's first paint keeps the folder
    EXPECT_TRUE(IsInside(m->ShellTreeBilder, m->tsBilder));
    EXPECT_TRUE(IsInside(m->ThumbnailsBilder, m->tsBilder));
    EXPECT_TRUE(IsInside(m->PageTemplateList, m->tsLayouts));
    EXPECT_TRUE(IsInside(m->ColorList, m->tsFarben));
    EXPECT_EQ(m->ShellTreeBilder->ChangeDelay, 500);

    // The picture tree starts in the stored folder and its pictures are listed at once.
    EXPECT_EQ(QDir(m->ShellTreeBilder->SelectedPath()).canonicalPath(), QDir(pictures.path()).canonicalPath());
    ASSERT_EQ(m->ThumbnailsBilder->count(), 2);
    if (m->ThumbnailsBilder->Thread())
        m->ThumbnailsBilder->Thread()->wait();
    EXPECT_TRUE(m->ThumbnailsBilder->PicList().Items(0)->Thumbnail());

    TFBColorList colours;
    FillColorList(colours);
    EXPECT_EQ(m->ColorList->count(), int(colours.size()));

    // The layouts follow the document; without any the tab is hidden.
    TFBPageTemplateList templates;
    FillPageTemplateList(templates, m->Document()->Layouttypen, m->Document()->LayoutStil);
    EXPECT_EQ(m->PageTemplateList->count(), int(templates.size()));
    m->Document()->Layouttypen = 0;
    m->RefreshPageTemplates();
    EXPECT_EQ(m->PageTemplateList->count(), 0);
    EXPECT_FALSE(m->PageControlLeft->isTabVisible(m->PageControlLeft->indexOf(m->tsLayouts)));

    // The folder chosen last is stored for the next start.
    PSsIdList list = SsPathToIdList(other.path());
    m->ShellTreeBilder->SelectPidl(list.get());
    m.reset();
    EXPECT_EQ(QDir(TQwRegIniFile::Instance().ReadWideString("", "BaseDir", "")).canonicalPath(),
              QDir(other.path()).canonicalPath());
}

TEST(Master, StoredPictureFolderThatIsGoneFallsBackToDocuments)
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(docs));
    TQwRegIniFile::Instance().WriteWideString("", "BaseDir", "/no/such/folder/anywhere");
    auto m = NewMaster();
    m->show();
    QApplication::processEvents();
    EXPECT_EQ(QDir(m->ShellTreeBilder->SelectedPath()).canonicalPath(), QDir(docs).canonicalPath());
}
