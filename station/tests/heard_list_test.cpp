#include "station/heard_list.h"

#include <gtest/gtest.h>

namespace {

using station::HeardList;

TEST(HeardList, EachCallOnceInTheOrderFirstHeard)
{
    HeardList list;
    EXPECT_TRUE(list.add("G4ABC").added);
    EXPECT_TRUE(list.add("M0XYZ-7").added);
    EXPECT_FALSE(list.add("G4ABC").added) << "heard again: the first entry stays where it is";
    EXPECT_FALSE(list.add("").added);
    EXPECT_EQ(list.first(11), (QByteArrayList{"G4ABC", "M0XYZ-7"}));
    EXPECT_TRUE(list.remove("G4ABC"));
    EXPECT_FALSE(list.remove("G4ABC"));
    EXPECT_TRUE(list.add("G4ABC").added) << "removed by the operator, heard again";
    EXPECT_EQ(list.first(1), QByteArrayList{"M0XYZ-7"});
}

TEST(HeardList, BoundedOldestOut)
{
    HeardList list;
    for (int i = 0; i < HeardList::kCapacity; ++i)
        EXPECT_FALSE(list.add("C" + QByteArray::number(i)).oldestRemoved);
    // A flood of new (forged) calls keeps the list at its capacity, the newest kept.
    for (int i = HeardList::kCapacity; i < 100000; ++i) {
        const HeardList::Change c = list.add("C" + QByteArray::number(i));
        ASSERT_TRUE(c.added && c.oldestRemoved);
    }
    EXPECT_EQ(list.size(), HeardList::kCapacity);
    EXPECT_EQ(list.first(1), QByteArrayList{"C" + QByteArray::number(100000 - HeardList::kCapacity)});
    EXPECT_FALSE(list.contains("C0"));
    EXPECT_TRUE(list.add("C0").added) << "a call that left the list counts as new";
    list.clear();
    EXPECT_EQ(list.size(), 0);
}

} // namespace
