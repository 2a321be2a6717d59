#pragma once
// AX.25 UI frames in KISS written out by hand, so that what the station puts on the wire is
// checked independently of its own codec.
#include <QByteArray>

namespace testsupport {

/// A KISS data frame on port 0 holding an AX.25 UI frame: destination (command bit set, as
/// a station sends it), source, the hops of `path` ("WIDE1-1,WIDE2-1", or empty), control
/// 0x03, no layer 3 (0xF0), `info`. Calls take an optional "-SSID".
QByteArray kissUiFrame(const QByteArray& source, const QByteArray& destination, const QByteArray& path,
                       const QByteArray& info);

} // namespace testsupport
