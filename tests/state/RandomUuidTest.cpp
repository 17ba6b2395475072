#include "state/RandomUuid.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(RandomUuid, IsARandomUuidOfItsOwnEveryTime)
{
    QSet<QUuid> seen;
    for (int i = 0; i < 10000; ++i) {
        const QUuid uuid = RandomUuid::create();
        ASSERT_EQ(uuid.version(), QUuid::Random) << uuid.toString().toStdString();
        ASSERT_EQ(uuid.variant(), QUuid::DCE) << uuid.toString().toStdString();
        ASSERT_FALSE(seen.contains(uuid)) << uuid.toString().toStdString();
        seen.insert(uuid);
    }
}
