#pragma once
// The shell views over the ShellFixture folders, as the view tests set them up.
#include "ShellFixture.h"
#include "SsShellListView.h"
#include "SsShellTreeView.h"

#include <QTreeWidgetItem>

inline QTreeWidgetItem* Child(QTreeWidgetItem* node, const QString& text)
{
    for (int i = 0; node && i < node->childCount(); ++i)
        if (node->child(i)->text(0) == text)
            return node->child(i);
    return nullptr;
}

// The texts of a node's children, in their order.
inline QStringList ChildTexts(QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

// A tree rooted at the fixture folder; the test or a derived fixture
// creates the window.
template <class Tree>
struct ShellTreeFixture : ShellFixture {
    ShellTreeFixture()
    {
        tree.resize(300, 400);
        tree.SetRootFolder(Path());
    }
    QTreeWidgetItem* Root() { return tree.topLevelItem(0); }
    Tree tree;
};

// A list rooted at the fixture folder, sorted by name ascending.
template <class List>
struct ShellListFixture : ShellFixture {
    ShellListFixture()
    {
        TSsCustomShellListView::SortColumn = 0;
        TSsCustomShellListView::SortAscending = true;
        list.resize(400, 300);
        list.SetRootFolder(Path());
    }
    List list;
};
