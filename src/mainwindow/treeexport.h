#pragma once
// The routing tree as currently shown, written to a plain text file: a header
// line with the date and time, an empty line, then one line per node shown,
// depth first, indented six blanks per level. A closed node that hides
// children carries "+" in place of its last blank. Nothing is queried: the
// file mirrors the rows and their open or closed state.

#include <QDateTime>
#include <QString>

class QIODevice;
class QWidget;

namespace quillor {

namespace platform {
class OutlineModel;
}

// Writes the export to `out` in the system's encoding, every line ended by CR LF.
// False when the device refused a write.
bool WriteTreeExport(const platform::OutlineModel &ATTree, QIODevice &out, const QDateTime &now);

// Writes the export to the file `path`. An existing file is replaced only once
// the new one is complete, so a failed export leaves it as it was. False with
// `error` set when the file could not be written.
bool WriteTreeExportFile(const platform::OutlineModel &ATTree, const QString &path, const QDateTime &now,
                         QString *error);

// The File menu's export: asks for the file, confirms replacing an existing
// one, writes it and says whether it was written.
void ExportTreeInfo(const platform::OutlineModel &ATTree, QWidget *parent);

} // namespace quillor
