#include "state/LaunchAtLoginSync.h"

#include "platform/Log.h"
#include "platform/LoginItem.h"
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
    const bool wanted = m_settings.launchAtLogin();
    const bool done = wanted ? m_item.enable() : m_item.disable();
    if (!done)
        qCWarning(lcLaunchAtLogin, "launchAtLogin is %s, but %s could not be made to agree", wanted ? "on" : "off",
                  qUtf8Printable(m_item.location()));
    return done;
}
