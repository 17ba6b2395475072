#pragma once

#include "control/ControlServer.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/TemporaryHome.h"

#include <QTemporaryDir>

// One process's managers over a temporary store, with its control socket in a private folder
// (not yet listening).
struct ControlledProcess {
    ControlledProcess() = default;
    // With its socket beside those of the zarnels started with `home`.
    explicit ControlledProcess(const TemporaryHome& home)
        : folder(home.environment().value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/zarnel"))
    {
    }

    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    FakeClock clock;
    FakeStandardStreams streams;
    ServerComponents components{store, clock, streams, SystemServices::forThisSession()};
    ControlFolder folder{dir.filePath(QStringLiteral("control"))};
    ControlServer control{components, folder};
};
