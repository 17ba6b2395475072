#include "state/SqliteHistoryDatabase.h"

namespace {

HistoryDatabase* createDatabase(const QString& path)
{
    return new SqliteHistoryDatabase(path);
}

constexpr HistoryLibraryFunctions kFunctions{
    .version = kHistoryLibraryVersion,
    .createDatabase = createDatabase,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* zarnel_history_library()
{
    return &kFunctions;
}
