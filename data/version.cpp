#include "version.h"

namespace qmv {

const std::string& VersionText() {
    static const std::string text = QMV_VERSION_TEXT;
    return text;
}

} // namespace qmv
