#pragma once
#include <QByteArray>

namespace testsupport {

/// "$" + body + "*" + the two-digit upper-case checksum + CR LF, as a GPS receiver sends it.
QByteArray nmeaSentence(const QByteArray& body);

} // namespace testsupport
