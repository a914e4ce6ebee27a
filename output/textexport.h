// The text export: a document as tab-separated text with CR LF line ends.
#pragma once

#include <string>

#include "data/datafile.h"
#include "data/profile.h"

namespace qmv {

// The exported bytes: three heading lines, one line per record, then the memo lines.
std::string FormatTextExport(const std::string& caption, const std::string& modelName,
                             const DocumentData& doc, const TextTable& texts);

// Writes the export to path as WriteFileAtomically writes. A record field that is not a number
// fails the export as a write failure, before the file is touched; an existing data file at path
// is refused as a file that cannot be created.
SaveResult ExportText(const std::string& path, const std::string& caption,
                      const std::string& modelName, const DocumentData& doc, const TextTable& texts,
                      const ChunkWriter& writer = {});

} // namespace qmv
