#pragma once
#include <functional>

namespace testsupport {

/// Runs the event loop until the condition holds or timeoutMs of real time pass.
/// Returns the condition's last value.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

/// Runs the event loop for the given real time.
void spinFor(int ms);

} // namespace testsupport
