// The download command of the main window.
#include "mainform.h"

namespace qmv {

void TMainForm::AcLoadExecute() {
    // being built: the download dialog
}

} // namespace qmv
