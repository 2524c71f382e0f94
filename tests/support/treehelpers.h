#pragma once
// Finding rows of the routing tree by their link keys.
#include "mainwindow/routingtree.h"

#include <QStringList>

namespace quillor::test {

inline platform::OutlineNode *link(RoutingTree &tree, const platform::OutlineNode *parent, const QString &key)
{
    for (int i = 0; parent && i < parent->childCount(); ++i)
        if (tree.childAlias(parent->child(i)) == key)
            return parent->child(i);
    return nullptr;
}

inline QStringList childKeys(RoutingTree &tree, const platform::OutlineNode *node)
{
    QStringList keys;
    for (int i = 0; node && i < node->childCount(); ++i)
        keys << tree.childAlias(node->child(i));
    return keys;
}

} // namespace quillor::test
