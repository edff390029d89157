#pragma once
// The folder tree of the picture browser: the shell tree that can select a
// folder by its item-id list or a special folder.
#include "SsShellTreeView.h"

class TShellTreeViewEx : public TSsShellTreeView {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TShellTreeViewEx)
    using TSsShellTreeView::TSsShellTreeView;

    // Selects the node of the folder (expanding its ancestors); an
    // unreachable folder raises the tree's folder error.
    bool SelectPidl(const TSsIdList* IdList);
    // Selects the special folder when it exists here; nothing otherwise.
    void SelectSpecialFolder(TSsSpecialRootFolder Folder);
};
