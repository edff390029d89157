#include "uModalDialog.h"

std::function<int(QDialog& Dialog)> ShowModalHook;

int ShowModalDialog(QDialog& Dialog)
{
    if (ShowModalHook)
        return ShowModalHook(Dialog);
    return Dialog.exec();
}
