#pragma once

#include <QString>

class SystemInformation;
struct SystemSnapshot;

// The text report of the machine that get_system_info answers, system://info holds and the
// system prompt quotes: one rendering for all three.
namespace SystemReport {

QString render(const SystemSnapshot& facts);
// The report of the facts read now.
QString current(const SystemInformation& source);

} // namespace SystemReport
