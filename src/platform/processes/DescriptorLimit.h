#pragma once

#include <QtGlobal>

#include <optional>

// The process's budget of open file descriptors.
namespace DescriptorLimit {

// Raises the soft limit to the hard one: the common soft limit of 1,024 is a relic of select(),
// which nothing in this process uses.
void raiseToHardLimit();

// How many more descriptors the process may open now; nothing when the system cannot say.
std::optional<qint64> available();

} // namespace DescriptorLimit
