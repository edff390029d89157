#include "uShellTreeViewEx.h"

bool TShellTreeViewEx::SelectPidl(const TSsIdList* IdList)
{
    SelectFolderByPidl(IdList);
    return true;
}

void TShellTreeViewEx::SelectSpecialFolder(TSsSpecialRootFolder Folder)
{
    PSsIdList list = SHGetSpecialFolderLocation(Folder);
    if (list)
        SelectPidl(list.get());
}
