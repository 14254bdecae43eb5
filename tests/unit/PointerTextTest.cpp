#include <gtest/gtest.h>

#include <cwctype>

#include "panel/GuidText.h"
#include "panel/PointerText.h"

TEST(PointerTextTest, WritesLowerCaseHexWithoutLeadingZeros) {
    EXPECT_EQ(pointerToText(0), L"0x0");
    EXPECT_EQ(pointerToText(0x1A2B), L"0x1a2b");
    EXPECT_EQ(pointerToText(0xFFFFFFFFu), L"0xffffffff");
}

TEST(PointerTextTest, ReadsHexadecimalWithEitherPrefixAndDigitCase) {
    EXPECT_EQ(textToPointer(L"0x1A2B"), 0x1A2Bu);
    EXPECT_EQ(textToPointer(L"0X1a2b"), 0x1A2Bu);
    EXPECT_EQ(textToPointer(L"0x1a2bzz"), 0x1A2Bu);  // stops at the first non-digit
    EXPECT_EQ(textToPointer(L"0x"), 0u);
    EXPECT_EQ(textToPointer(L"0xg1"), 0u);
    EXPECT_EQ(textToPointer(L"0x0001"), 1u);
}

TEST(PointerTextTest, HexWiderThanAPointerReadsAsZero) {
    std::wstring tooWide = L"0x1" + std::wstring(2 * sizeof(uintptr_t), L'0');
    EXPECT_EQ(textToPointer(tooWide), 0u);
    std::wstring widest = L"0x" + std::wstring(2 * sizeof(uintptr_t), L'f');
    EXPECT_EQ(textToPointer(widest), UINTPTR_MAX);
}

TEST(PointerTextTest, ReadsDecimalLikeTheCLibrary) {
    EXPECT_EQ(textToPointer(L"6699"), 0x1A2Bu);
    EXPECT_EQ(textToPointer(L"  +6699abc"), 0x1A2Bu);
    EXPECT_EQ(textToPointer(L"-1"), UINTPTR_MAX);
    EXPECT_EQ(textToPointer(L""), 0u);
    EXPECT_EQ(textToPointer(L"abc"), 0u);
    EXPECT_EQ(textToPointer(L" 0x10"), 0u);  // white space before the prefix: decimal 0
}

#ifdef _WIN64
TEST(PointerTextTest, SixtyFourBitValuesKeepTheirHighHalf) {
    EXPECT_EQ(pointerToText(0x123456789ABCDEF0ull), L"0x123456789abcdef0");
    EXPECT_EQ(pointerToText(0x100000000ull), L"0x100000000");
    EXPECT_EQ(textToPointer(L"0x123456789ABCDEF0"), 0x123456789ABCDEF0ull);
    EXPECT_EQ(textToPointer(L"4294967296"), 0x100000000ull);
}
#endif

TEST(PointerTextTest, RoundTripsAddresses) {
    int local = 0;
    auto address = reinterpret_cast<uintptr_t>(&local);
    EXPECT_EQ(textToPointer(pointerToText(address)), address);
}

TEST(GuidTextTest, MakesFreshRegistryFormGuids) {
    std::wstring a, b;
    ASSERT_TRUE(newGuidString(a));
    ASSERT_TRUE(newGuidString(b));
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 38u);
    EXPECT_EQ(a.front(), L'{');
    EXPECT_EQ(a.back(), L'}');
    for (size_t i = 1; i < 37; ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            EXPECT_EQ(a[i], L'-');
        } else {
            EXPECT_TRUE(std::iswxdigit(a[i]) && !std::iswlower(a[i])) << i;
        }
    }
}
