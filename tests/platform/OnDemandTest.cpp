#include "platform/OnDemand.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(OnDemand, MakesTheServiceOnFirstUseOnlyOnceEvenFromSeveralThreads)
{
    std::atomic<int> made = 0;
    const OnDemand<int> service([&made] {
        ++made;
        return std::make_shared<int>(42);
    });
    EXPECT_EQ(made, 0) << "nothing is made before it is needed";

    std::vector<std::thread> users;
    std::vector<const int*> seen(8, nullptr);
    for (size_t i = 0; i < seen.size(); ++i)
        users.emplace_back([&, i] { seen[i] = service.get().get(); });
    for (std::thread& user : users)
        user.join();
    EXPECT_EQ(made, 1);
    for (const int* each : seen) {
        ASSERT_NE(each, nullptr);
        EXPECT_EQ(each, service.get().get());
        EXPECT_EQ(*each, 42);
    }
}

TEST(OnDemand, KeepsANullWithoutAskingAgain)
{
    int asked = 0;
    const OnDemand<int> unavailable([&asked] {
        ++asked;
        return std::shared_ptr<int>();
    });
    EXPECT_EQ(unavailable.get(), nullptr);
    EXPECT_EQ(unavailable.get(), nullptr);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(OnDemand<int>(nullptr).get(), nullptr);
}
