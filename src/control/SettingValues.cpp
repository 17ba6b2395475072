#include "control/SettingValues.h"

#include "state/SettingsManager.h"

#include <QDir>
#include <QFileInfo>

namespace SettingValues {

namespace {

enum class Kind { Boolean, Integer, Level, Folders };

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
    {"allowedFolders", Kind::Folders, 0},  {"readOnlyFolders", Kind::Folders, 0},   {"commandNetwork", Kind::Boolean, 0},
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
    case Kind::Folders: {
        Json folders = Json::array();
        for (const QString& folder : value.toStringList())
            folders.push_back(folder.toStdString());
        return folders;
    }
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
    case Kind::Folders: {
        Json folders = Json::array();
        for (const QString& folder : text.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            const auto found = folderFromArgument(folder);
            if (const QString* problem = std::get_if<QString>(&found))
                return *problem;
            folders.push_back(std::get<Json>(found));
        }
        return folders;
    }
    }
    return unknownKey(key);
}

Checked folderFromArgument(const QString& text, bool mustExist)
{
    QString path = text;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    path = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    if (text.contains(QLatin1Char('\n')) || (mustExist && !QFileInfo(path).isDir()))
        return QStringLiteral("Not a folder: %1").arg(text);
    return Json(path.toStdString());
}

bool isFolderList(const QString& key)
{
    const Setting* setting = find(key);
    return setting && setting->kind == Kind::Folders;
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
    case Kind::Folders:
        if (!value.is_array() || !std::all_of(value.begin(), value.end(), [](const Json& folder) {
                return folder.is_string() && folder.get_ref<const std::string&>().starts_with('/')
                    && folder.get_ref<const std::string&>().find('\n') == std::string::npos;
            }))
            return QStringLiteral("%1 takes a list of absolute folders").arg(key);
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
    case QMetaType::QStringList: {
        Json folders = Json::array();
        for (const QString& folder : value.toStringList())
            folders.push_back(folder.toStdString());
        return check(key, folders);
    }
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
    if (setting->kind == Kind::Folders) {
        QStringList folders;
        for (const Json& folder : value)
            folders.append(QString::fromStdString(folder.get<std::string>()));
        return settings.setProperty(setting->key, folders);
    }
    const QVariant variant =
        setting->kind == Kind::Boolean ? QVariant(value.get<bool>()) : QVariant(static_cast<qint64>(value.get<std::int64_t>()));
    return settings.setProperty(setting->key, variant);
}

} // namespace SettingValues
