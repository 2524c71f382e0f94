// unixODBC loads its set-up library when a connection text names a data
// source, keeps the entries it read from odbc.ini in that library's own
// memory, and unloads the library again: the leak check then sees blocks that
// nothing points to, from a library it cannot name. Loaded once here for the
// life of the test program, the library stays in memory and what it keeps
// stays reachable.
#include <QtGlobal>
#include <dlfcn.h>

namespace {

void keepOdbcSetupLibraryLoaded()
{
    // Never closed: the handle keeps the library until the process ends.
    dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
}
Q_CONSTRUCTOR_FUNCTION(keepOdbcSetupLibraryLoaded)

} // namespace
