// The growable string table that registry listings fill.
#include "config/Table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using NameTable = Table<wchar_t, wchar_t*>;

TEST(RegistryTable, StartsWithRoomFor32AndGrowsBy64)
{
    NameTable table;
    EXPECT_EQ(0, table.Count());
    EXPECT_EQ(32, table.Capacity());
    EXPECT_EQ(64, table.GrowthStep());
    EXPECT_TRUE(table.OwnsItems());
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(table.Add(std::to_wstring(i).c_str()));
    EXPECT_EQ(32, table.Capacity());
    ASSERT_TRUE(table.Add(L"32"));
    EXPECT_EQ(96, table.Capacity());
    for (int i = 33; i < 97; ++i)
        ASSERT_TRUE(table.Add(std::to_wstring(i).c_str()));
    EXPECT_EQ(160, table.Capacity());
    ASSERT_EQ(97, table.Count());
    for (int i = 0; i < 97; ++i)
        EXPECT_EQ(std::to_wstring(i), table.Get(i)) << i;
}

TEST(RegistryTable, StoresPrivateCopies)
{
    NameTable table;
    wchar_t buffer[] = L"1031";
    ASSERT_TRUE(table.Add(buffer));
    buffer[0] = L'9';
    EXPECT_NE(buffer, table.Get(0));
    EXPECT_EQ(std::wstring(L"1031"), table.Get(0));
}

TEST(RegistryTable, IndexOutsideTheItemsYieldsNull)
{
    NameTable table;
    EXPECT_EQ(nullptr, table.Get(0));
    ASSERT_TRUE(table.Add(L"a"));
    EXPECT_NE(nullptr, table.Get(0));
    EXPECT_EQ(nullptr, table.Get(1));
    EXPECT_EQ(nullptr, table.Get(-1));
    EXPECT_EQ(nullptr, table.Get(31));  // inside the capacity, outside the items
}

TEST(RegistryTable, RefusesNullAndKeepsEmptyStrings)
{
    NameTable table;
    EXPECT_FALSE(table.Add(nullptr));
    EXPECT_EQ(0, table.Count());
    ASSERT_TRUE(table.Add(L""));
    ASSERT_EQ(1, table.Count());
    EXPECT_EQ(std::wstring(), table.Get(0));
}

TEST(RegistryTable, NonOwningTableKeepsCallerPointers)
{
    // Leak checking (ASan) proves the owning table frees its copies and the
    // non-owning one frees nothing it does not own.
    static const wchar_t kName[] = L"borrowed";
    NameTable table(false);
    ASSERT_TRUE(table.Add(kName));
    EXPECT_EQ(kName, table.Get(0));
}

TEST(RegistryTable, ClearFreesItemsAndKeepsCapacity)
{
    NameTable table;
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(table.Add(L"x"));
    table.Clear();
    EXPECT_EQ(0, table.Count());
    EXPECT_EQ(96, table.Capacity());
    EXPECT_EQ(nullptr, table.Get(0));
    ASSERT_TRUE(table.Add(L"y"));
    EXPECT_EQ(std::wstring(L"y"), table.Get(0));
}

} // namespace
