#pragma once
#include <QIcon>
#include <QString>

namespace quillor {

// The tree's image list: a small picture per node-type key ("Leaf",
// "Subscriber", "Handler", "Interviewer", "AlphaDirectory", "InvalidLink",
// "Duplicate"). Drawn by the program itself; an unknown key has no picture.
QIcon treePicture(const QString &key);

} // namespace quillor
