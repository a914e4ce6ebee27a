// The application object that the serial component and the waits of a device command need.
#pragma once

#include <QCoreApplication>

namespace qmvtool {

class CoreApp {
public:
    CoreApp() : app_(argc_, argv_) {}

private:
    static inline int argc_ = 1;
    static inline char name_[] = "qmvtool";
    static inline char* argv_[] = {name_, nullptr};
    QCoreApplication app_;
};

} // namespace qmvtool
