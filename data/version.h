#pragma once

#include <string>

namespace qmv {

// The program's four-part version (1.0.0.0), from the build; written into every data file.
const std::string& VersionText();

} // namespace qmv
