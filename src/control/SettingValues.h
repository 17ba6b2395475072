#pragma once

#include "protocol/AnyCodable.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <variant>

class SettingsManager;

// The settings by their preference keys, for the settings command and the control socket:
// reading one as JSON, checking a value's type before it is assigned.
namespace SettingValues {

// The keys, in the order the settings are declared.
QStringList keys();

// The setting's value as JSON (a boolean, an integer, or the log level's raw text); nothing for
// an unknown key.
std::optional<Json> read(const SettingsManager& settings, const QString& key);

// A value checked against the key's kind; an error text for people otherwise.
using Checked = std::variant<Json, QString>;
// From a command-line word: "true"/"false", a decimal integer, a log level's raw value, folders
// separated by ":" (an empty word for none).
Checked parse(const QString& key, const QString& text);
// From a JSON value (or a QVariant, for in-process callers).
Checked check(const QString& key, const Json& value);
Checked check(const QString& key, const QVariant& value);

// A folder named on the command line, "~" expanded and made absolute; "Not a folder: <text>" when
// it is none (and `mustExist`).
Checked folderFromArgument(const QString& text, bool mustExist = true);
// Whether the key's value is a list of folders.
bool isFolderList(const QString& key);

// Assigns a value already checked; false for an unknown key or a value of the wrong kind.
bool assign(SettingsManager& settings, const QString& key, const Json& value);

} // namespace SettingValues
