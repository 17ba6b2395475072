#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// Why a helper program (wl-copy, wl-paste, grim...) failed, in its own words where it gave any:
// a person learns more from "compositor doesn't support wlr-screencopy-unstable-v1" than from
// an exit status.
namespace ProgramFailure {

// The first line of `errorOutput` that says anything, trimmed, without control characters and
// cut to a sentence's length; empty when the program wrote nothing.
QString firstErrorLine(const QByteArray& errorOutput);

// "grim: compositor doesn't support wlr-screencopy-unstable-v1" from what the finished `process`
// wrote, or "wl-copy failed with status 1" (or "... was killed") when it wrote nothing.
QString describe(const QString& program, const QProcess& process, const QByteArray& errorOutput);

} // namespace ProgramFailure
