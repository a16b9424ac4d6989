#pragma once

#include <chrono>
#include <functional>
#include <optional>

// Runs body in a child process of its own and returns its result as the child's exit
// status (0-255), or nothing when the child had not ended within the limit (it is then
// killed). For calls that must never block: one that does costs the test its limit, not a
// hung test program.
std::optional<int> RunForked(const std::function<int()> &body, std::chrono::milliseconds limit);
