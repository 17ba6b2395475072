#include "state/StatisticsManager.h"

#include "platform/Clock.h"
#include "platform/PreferencesStore.h"

StatisticsManager::StatisticsManager(PreferencesStore& store, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(clock)
{
}

void StatisticsManager::startSession()
{
}

void StatisticsManager::endSession()
{
}

void StatisticsManager::recordRequest()
{
    ++m_totalRequests;
    Q_EMIT statisticsChanged();
}

void StatisticsManager::recordConnection(const QString&, const QString&)
{
    Q_EMIT statisticsChanged();
}

void StatisticsManager::recordToolCall(const QString&, double, bool success)
{
    ++m_totalToolCalls;
    if (!success)
        ++m_totalErrors;
    Q_EMIT statisticsChanged();
}

void StatisticsManager::save()
{
    m_store.sync();
}

void StatisticsManager::recordError()
{
    ++m_totalErrors;
    Q_EMIT statisticsChanged();
}
