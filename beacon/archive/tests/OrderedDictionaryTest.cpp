#include "beacon/archive/OrderedDictionary.h"

#include <gtest/gtest.h>

using beacon::OrderedDictionary;

TEST(OrderedDictionary, EnumeratesInFirstInsertionOrderAndReplacesInPlace) {
    OrderedDictionary<int> d(4);
    d.setObject(1, "zeta");
    d.setObject(2, "alpha");
    d.setObject(3, "mid");
    d.setObject(20, "zeta");
    EXPECT_EQ(d.keys(), (std::vector<std::string>{"zeta", "alpha", "mid"}));
    EXPECT_EQ(d.count(), 3u);
    ASSERT_NE(d.objectForKey("zeta"), nullptr);
    EXPECT_EQ(*d.objectForKey("zeta"), 20);
    EXPECT_EQ(d.objectForKey("absent"), nullptr);

    std::vector<std::pair<std::string, int>> seen;
    d.forEach([&](const std::string& k, int v) { seen.emplace_back(k, v); });
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"zeta", 20}, {"alpha", 2}, {"mid", 3}}));

    d.removeAllObjects();
    EXPECT_TRUE(d.keys().empty());
    EXPECT_EQ(d.count(), 0u);
    d.setObject(5, "alpha");
    EXPECT_EQ(d.keys(), std::vector<std::string>{"alpha"});
}

TEST(OrderedDictionary, EqualityNeedsSameEntriesInSameOrder) {
    OrderedDictionary<int> a, b, c;
    a.setObject(1, "x");
    a.setObject(2, "y");
    b.setObject(1, "x");
    b.setObject(2, "y");
    c.setObject(2, "y");
    c.setObject(1, "x");
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == c);
    auto copy = a;
    copy.setObject(3, "y");
    EXPECT_FALSE(copy == a);
    EXPECT_EQ(*a.objectForKey("y"), 2); // the copy is independent
}
