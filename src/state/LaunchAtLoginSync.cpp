#include "state/LaunchAtLoginSync.h"

#include "platform/desktop/LoginItem.h"
#include "platform/processes/Log.h"
#include "state/SettingsManager.h"

ZARNEL_LOGGING_CATEGORY(lcLaunchAtLogin, "LaunchAtLoginSync")

LaunchAtLoginSync::LaunchAtLoginSync(SettingsManager& settings, LoginItem& item, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_item(item)
{
    connect(&m_settings, &SettingsManager::launchAtLoginChanged, this, &LaunchAtLoginSync::apply);
    apply();
}

bool LaunchAtLoginSync::apply()
{
    return bringInLine(m_settings, m_item);
}

bool LaunchAtLoginSync::bringInLine(const SettingsManager& settings, LoginItem& item)
{
    const bool wanted = settings.launchAtLogin();
    const bool done = wanted ? item.enable() : item.disable();
    if (!done)
        qCWarning(lcLaunchAtLogin, "launchAtLogin is %s, but %s could not be made to agree", wanted ? "on" : "off",
                  qUtf8Printable(item.location()));
    return done;
}
