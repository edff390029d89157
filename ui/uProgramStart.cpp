#include "uProgramStart.h"

#include "Application.h"
#include "FMainform.h"
#include "FStartbild.h"
#include "SysUtils.h"
#include "uFileInfo.h"
#include "uQwRegistry.h"

#include <QCoreApplication>

#include <sys/stat.h>

TMaster* StartProgram(const QStringList& Arguments)
{
    // The settings name the running program's version and folder.
    TQwRegIniFile& settings = TQwRegIniFile::Instance();
    const TProjVersion& version = FileInfo().FileVersion();
    settings.WriteString("", "Version", Format("%d.%.2d.%.4d.%.4d", {int(version.vv), int(version.rr), int(version.mm), int(version.pp)}));
    settings.WriteWideString("", "InstallDir", QCoreApplication::applicationDirPath());

    TMaster* master = TLocalizerForm::create<TMaster>(nullptr);
    master->setEnabled(false);
    ShowStartImage();
    master->show();
    master->repaint();
    CloseStartImage(master);
    master->repaint();
    master->setEnabled(true);
    HandleExceptions([&] {
        struct stat st;
        if (Arguments.size() == 1 && ::stat(EncodeFileName(Arguments.constFirst()).constData(), &st) == 0
            && S_ISREG(st.st_mode))
            master->OpenDocument(Arguments.constFirst());
        else
            master->BtnAlbumNeuClick();
    });
    return master;
}
