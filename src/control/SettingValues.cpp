#include "control/SettingValues.h"

#include "state/SettingsManager.h"

namespace SettingValues {

namespace {

enum class Kind { Boolean, Integer, Level };

struct Setting {
    const char* key;
    Kind kind;
    qint64 minimum; // integers only
};

// The settings screen's ranges are wider than these floors; below them a value makes no sense.
constexpr Setting kSettings[] = {
    {"autoStartServer", Kind::Boolean, 0}, {"showNotifications", Kind::Boolean, 0}, {"logLevel", Kind::Level, 0},
    {"maxLogEntries", Kind::Integer, 0},   {"enableToolLogging", Kind::Boolean, 0}, {"requireConfirmation", Kind::Boolean, 0},
    {"commandTimeout", Kind::Integer, 1},  {"launchAtLogin", Kind::Boolean, 0},     {"historyDays", Kind::Integer, 0},
};

const Setting* find(const QString& key)
{
    for (const Setting& setting : kSettings) {
        if (key == QLatin1String(setting.key))
            return &setting;
    }
    return nullptr;
}

QString unknownKey(const QString& key)
{
    return QStringLiteral("unknown setting '%1' (the settings are: %2)").arg(key, keys().join(QStringLiteral(", ")));
}

QString levelChoices()
{
    QStringList raw;
    for (const LogLevel level : LogLevels::allCases())
        raw.append(LogLevels::rawValue(level));
    return raw.join(QStringLiteral(", "));
}

} // namespace

QStringList keys()
{
    QStringList names;
    for (const Setting& setting : kSettings)
        names.append(QLatin1String(setting.key));
    return names;
}

std::optional<Json> read(const SettingsManager& settings, const QString& key)
{
    const Setting* setting = find(key);
    if (!setting)
        return std::nullopt;
    const QVariant value = settings.property(setting->key);
    switch (setting->kind) {
    case Kind::Boolean: return Json(value.toBool());
    case Kind::Integer: return Json(value.toLongLong());
    case Kind::Level: return Json(settings.logLevelRawValue().toStdString());
    }
    return std::nullopt;
}

Checked parse(const QString& key, const QString& text)
{
    const Setting* setting = find(key);
    if (!setting)
        return unknownKey(key);
    switch (setting->kind) {
    case Kind::Boolean:
        if (text == QLatin1String("true"))
            return Json(true);
        if (text == QLatin1String("false"))
            return Json(false);
        return QStringLiteral("%1 takes true or false, not '%2'").arg(key, text);
    case Kind::Integer: {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        if (!ok)
            return QStringLiteral("%1 takes a whole number, not '%2'").arg(key, text);
        return check(key, Json(number));
    }
    case Kind::Level: return check(key, Json(text.toStdString()));
    }
    return unknownKey(key);
}

Checked check(const QString& key, const Json& value)
{
    const Setting* setting = find(key);
    if (!setting)
        return unknownKey(key);
    switch (setting->kind) {
    case Kind::Boolean:
        if (!value.is_boolean())
            return QStringLiteral("%1 takes true or false").arg(key);
        return value;
    case Kind::Integer:
        if (!value.is_number_integer())
            return QStringLiteral("%1 takes a whole number").arg(key);
        if (value.get<std::int64_t>() < setting->minimum)
            return QStringLiteral("%1 takes a whole number of at least %2").arg(key).arg(setting->minimum);
        return value;
    case Kind::Level:
        if (!value.is_string() || !LogLevels::fromRawValue(QString::fromStdString(value.get<std::string>())))
            return QStringLiteral("%1 takes one of: %2").arg(key, levelChoices());
        return value;
    }
    return unknownKey(key);
}

Checked check(const QString& key, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return check(key, Json(value.toBool()));
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return check(key, Json(value.toLongLong()));
    case QMetaType::QString:
        if (const Setting* setting = find(key); setting && setting->kind != Kind::Level)
            return parse(key, value.toString());
        return check(key, Json(value.toString().toStdString()));
    default: return QStringLiteral("%1: a value of type %2 cannot be stored").arg(key, QString::fromLatin1(value.typeName()));
    }
}

bool assign(SettingsManager& settings, const QString& key, const Json& value)
{
    const Checked checked = check(key, value);
    if (std::holds_alternative<QString>(checked))
        return false;
    const Setting* setting = find(key);
    if (setting->kind == Kind::Level) {
        settings.setLogLevel(*LogLevels::fromRawValue(QString::fromStdString(value.get<std::string>())));
        return true;
    }
    const QVariant variant =
        setting->kind == Kind::Boolean ? QVariant(value.get<bool>()) : QVariant(static_cast<qint64>(value.get<std::int64_t>()));
    return settings.setProperty(setting->key, variant);
}

} // namespace SettingValues
