#pragma once

#include "control/ControlFolder.h"
#include "control/ControlProtocol.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What the desktop instance hands a client's process that may not fit on one control line (a
// screenshot, a clipboard image): a fresh private file in the control folder, which the
// receiver reads and removes. The receiver takes only a file of this kind from that folder, so
// an answer cannot make it read or remove any other; and it is the receiver that writes where a
// tool was asked to, under its own confinement.
namespace TransferFile {

// A text longer than this (in UTF-8) travels in a file: well below a line's limit, whatever
// escaping it needs.
inline constexpr qsizetype kLongestTextOnALine = ControlProtocol::kMaxLineBytes / 8;

// A transfer file older than this was abandoned by its receiver; the next create removes it.
inline constexpr qint64 kAbandonedAfterSeconds = 600;

// Creates an empty file (mode 0600, a name no one can guess, ending in `suffix`: programs that
// capture the screen choose the format by it) for the sender to fill; nothing, with the reason
// in `error`, when it cannot.
std::optional<QString> create(const ControlFolder& folder, const QString& suffix, QString* error);
// The same, filled with `bytes`.
std::optional<QString> createWith(const ControlFolder& folder, const QString& suffix, const QByteArray& bytes, QString* error);

// The transfer file of that name (what follows the last slash of `path`) in this process's
// view of the folder; nothing when it is not one.
std::optional<QString> localPath(const ControlFolder& folder, const QString& path);

// Reads a transfer file and removes it; nothing, with the reason in `error`, when the path does
// not name one or it cannot be read.
std::optional<QByteArray> take(const ControlFolder& folder, const QString& path, QString* error);

} // namespace TransferFile
