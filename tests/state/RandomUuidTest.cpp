#include "state/RandomUuid.h"

#include <gtest/gtest.h>

#include <QSet>

#include <array>
#include <thread>
#include <vector>

namespace {

void expectRandomVersion(const QUuid& uuid)
{
    ASSERT_EQ(uuid.version(), QUuid::Random) << uuid.toString().toStdString();
    ASSERT_EQ(uuid.variant(), QUuid::DCE) << uuid.toString().toStdString();
}

} // namespace

TEST(RandomUuid, IsARandomUuidOfItsOwnEveryTime)
{
    QSet<QUuid> seen;
    for (int i = 0; i < 10000; ++i) {
        const QUuid uuid = RandomUuid::create();
        expectRandomVersion(uuid);
        ASSERT_FALSE(seen.contains(uuid)) << uuid.toString().toStdString();
        seen.insert(uuid);
    }
}

// Each thread draws from a generator of its own: threads starting together must not repeat each
// other's identifiers.
TEST(RandomUuid, ThreadsStartingTogetherMakeDifferentIdentifiers)
{
    constexpr int kPerThread = 1000;
    std::array<std::vector<QUuid>, 4> made;
    std::vector<std::thread> threads;
    for (auto& list : made) {
        threads.emplace_back([&list] {
            for (int i = 0; i < kPerThread; ++i)
                list.push_back(RandomUuid::create());
        });
    }
    for (auto& thread : threads)
        thread.join();
    QSet<QUuid> seen;
    for (const auto& list : made) {
        for (const QUuid& uuid : list) {
            expectRandomVersion(uuid);
            ASSERT_FALSE(seen.contains(uuid)) << uuid.toString().toStdString();
            seen.insert(uuid);
        }
    }
    EXPECT_EQ(seen.size(), static_cast<qsizetype>(made.size()) * kPerThread);
}
