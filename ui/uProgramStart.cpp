#include "uProgramStart.h"

#include "Application.h"
#include "FMainform.h"
#include "FStartbild.h"

#include <QFileInfo>

TMaster* StartProgram(const QStringList& Arguments)
{
    TMaster* master = TLocalizerForm::create<TMaster>(nullptr);
    master->setEnabled(false);
    ShowStartImage();
    master->show();
    master->repaint();
    CloseStartImage(master);
    master->repaint();
    master->setEnabled(true);
    HandleExceptions([&] {
        if (Arguments.size() == 1 && QFileInfo(Arguments.constFirst()).isFile())
            master->OpenDocument(Arguments.constFirst());
        else
            master->BtnAlbumNeuClick();
    });
    return master;
}
