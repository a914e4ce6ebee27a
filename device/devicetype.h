#pragma once

namespace qmv {

// Result of the identification exchange, kept in DeviceType.
enum DeviceTypeCode : int {
    DeviceUnknown = 0, // none, or not identified
    DeviceQMV27 = 1,   // the logger, reply "QMV27"
    DevicePLX01 = 2,   // the second device type, reply "PLX01"
};

} // namespace qmv
