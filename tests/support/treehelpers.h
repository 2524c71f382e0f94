#pragma once
// Finding rows of the routing tree by their link keys, and small steps the
// tree's tests share.
#include "common/appcontext.h"
#include "mainwindow/routingtree.h"

#include <QStringList>
#include <QTabWidget>

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

// Changes the server's data behind the program's back, as another tool would.
inline bool sql(AppContext &ctx, const QString &statement, const QVariantList &params = {})
{
    return ctx.db().execute(ctx.state().gConnectionString, statement, params);
}

// The captions of the tab pages shown.
inline QStringList visiblePages(const QTabWidget *tabs)
{
    QStringList pages;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            pages << tabs->tabText(i);
    return pages;
}

} // namespace quillor::test
