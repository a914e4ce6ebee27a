// The device commands of the main window: clear the memory, set the clock, the timing value.
#include "mainform.h"

namespace qmv {

void TMainForm::AcDeleteExecute() {
    // being built
}

void TMainForm::AcDateExecute() {
    // being built
}

void TMainForm::AcPLXSetExecute() {
    // being built
}

} // namespace qmv
