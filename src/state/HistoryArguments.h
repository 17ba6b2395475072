#pragma once

#include "protocol/AnyCodable.h"

#include <QString>

#include <string>

// What the history keeps of a call's arguments: the arguments with every string cut at 1 KiB,
// except what a tool writes out (a file's or the clipboard's new contents), which becomes its
// size and SHA-256, so that the history never holds a second copy of it.
namespace HistoryArguments {

constexpr std::size_t kMaxStringBytes = 1024;

Json keep(const std::string& tool, const Json& arguments);

// A short line for people: "name=value" pairs of the kept arguments, cut at `maxCharacters`.
QString summary(const QString& keptArguments, qsizetype maxCharacters = 80);

} // namespace HistoryArguments
