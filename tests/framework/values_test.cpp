#include "framework/core/auto.h"
#include "framework/core/dictionary.h"
#include "framework/core/values.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>

namespace fw {
namespace {

TEST(AutoConversion, TextStringNumbersBooleansAndNilBecomeText) {
    EXPECT_EQ(Auto(Text("abc")).ToText(), Text("abc"));
    EXPECT_EQ(Auto(String("abc")).ToText(), Text("abc"));
    EXPECT_EQ(Auto(Text("abc")).ToString(), String("abc"));
    EXPECT_EQ(Auto(std::int64_t{-9007199254740993}).ToText(), Text("-9007199254740993"));
    EXPECT_EQ(Auto(0.1).ToText(), Text("0.1"));
    EXPECT_EQ(Auto(1e300).ToText(), Text("1e+300"));
    EXPECT_EQ(Auto(true).ToText(), Text("True"));
    EXPECT_EQ(Auto(false).ToString(), String("False"));
    EXPECT_EQ(Auto().ToText(), Text(""));
    EXPECT_EQ(Auto(std::shared_ptr<Dictionary>()).ToText(), Text(""));
}

TEST(AutoConversion, DoublesReadBackExactly) {
    for (double d : {0.1 + 0.2, 1.0 / 3.0, 5e-324, -123456.789}) {
        const std::string text = Auto(d).ToText().Utf8();
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, d) << text;
    }
}

TEST(AutoConversion, ObjectsAndContainersAreATypeMismatch) {
    EXPECT_THROW(Auto(std::make_shared<Dictionary>()).ToText(), TypeMismatchException);
    EXPECT_THROW(Auto(std::make_shared<AutoArray>()).ToString(), TypeMismatchException);
    EXPECT_THROW(Auto(std::make_shared<Object>()).ToText(), TypeMismatchException);
}

TEST(AutoEquality, NeedsTheSameKindExceptTextAndString) {
    EXPECT_EQ(Auto(Text("a")), Auto(String("a")));
    EXPECT_NE(Auto(Text("a")), Auto(Text("A")));
    EXPECT_NE(Auto(1), Auto(1.0));
    EXPECT_NE(Auto(Text("1")), Auto(1));
    EXPECT_EQ(Auto(), Auto(std::shared_ptr<Object>()));
    EXPECT_NE(Auto(std::make_shared<Dictionary>()), Auto(std::make_shared<Dictionary>()));
}

TEST(DictionaryTest, KeepsInsertionOrderAndReplacesInPlace) {
    Dictionary d;
    d.Value(Auto(Text("b")), Auto(1));
    d.Value(Auto(Text("a")), Auto(2));
    d.Value(Auto(Text("c")), Auto(3));
    d.Value(Auto(String("a")), Auto(Text("two")));
    ASSERT_EQ(d.KeyCount(), 3u);
    EXPECT_EQ(d.Entries()[0].first, Auto(Text("b")));
    EXPECT_EQ(d.Entries()[1].second, Auto(Text("two")));
    EXPECT_TRUE(d.Entries()[1].first.IsText()); // the first key stays
    d.Remove(Auto(Text("b")));
    EXPECT_EQ(d.Value(Auto(Text("c"))), Auto(3)); // index follows the removal
    EXPECT_EQ(d.Entries()[0].first, Auto(Text("a")));
    EXPECT_THROW(d.Remove(Auto(Text("b"))), KeyNotFoundException);
}

TEST(DictionaryTest, KeysOfOtherKindsAreDistinctByKindAndValue) {
    Dictionary d;
    d.Value(Auto(1), Auto(Text("int")));
    d.Value(Auto(1.0), Auto(Text("double")));
    d.Value(Auto(Text("1")), Auto(Text("text")));
    d.Value(Auto(true), Auto(Text("bool")));
    d.Value(Auto(), Auto(Text("nil")));
    EXPECT_EQ(d.KeyCount(), 5u);
    EXPECT_EQ(d.Value(Auto(1)), Auto(Text("int")));
    EXPECT_EQ(d.Value(Auto(String("1"))), Auto(Text("text")));
    EXPECT_TRUE(d.HasKey(Auto(-0.0)) == d.HasKey(Auto(0.0)));
    EXPECT_FALSE(d.HasKey(Auto(Text("A"))));
    EXPECT_THROW(d.Value(Auto(2)), KeyNotFoundException);
}

TEST(ValTest, TakesTheLongestLeadingDecimalNumber) {
    EXPECT_EQ(Val(" \t40001"), 40001);
    EXPECT_EQ(Val("-12.5e2xyz"), -1250);
    EXPECT_EQ(Val("+.5"), 0.5);
    EXPECT_EQ(Val("7."), 7);
    EXPECT_EQ(Val("3e"), 3);
    EXPECT_EQ(Val("3e+"), 3);
    EXPECT_EQ(Val("1.2.3"), 1.2);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("-"), 0);
    EXPECT_EQ(Val("x12"), 0);
    EXPECT_EQ(Val("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val("1e-999"), 0);
}

TEST(SaturateCastTest, OutOfRangeGivesTheNearestLimitAndFractionsTruncateTowardZero) {
    constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(SaturateCast<int>(std::int64_t{1} << 40), std::numeric_limits<int>::max());
    EXPECT_EQ(SaturateCast<int>(-(std::int64_t{1} << 40)), std::numeric_limits<int>::min());
    EXPECT_EQ(SaturateCast<int>(std::int64_t{-7}), -7);
    EXPECT_EQ(SaturateCast<std::int64_t>(9223372036854775807.0), kInt64Max); // 2^63 as a double
    EXPECT_EQ(SaturateCast<std::int64_t>(-9223372036854775808.0), kInt64Min);
    EXPECT_EQ(SaturateCast<std::int64_t>(9.2e18), std::int64_t{9200000000000000000});
    EXPECT_EQ(SaturateCast<std::int64_t>(-2.9), -2);
    EXPECT_EQ(SaturateCast<std::int64_t>(std::nan("")), 0);
    EXPECT_EQ(SaturateCast<std::int32_t>(-std::numeric_limits<double>::infinity()),
              std::numeric_limits<std::int32_t>::min());
}

TEST(AscTest, DecodesTheFirstUtf8Character) {
    EXPECT_EQ(Asc("A"), 65);
    EXPECT_EQ(Asc("\xC3\xA9t\xC3\xA9"), 0xE9);
    EXPECT_EQ(Asc("\xE2\x82\xAC"), 0x20AC);
    EXPECT_EQ(Asc("\xF0\x9F\x94\x94"), 0x1F514);
    EXPECT_EQ(Asc(""), 0);
    EXPECT_EQ(Asc("\xE2\x82"), 0xE2); // cut short: the byte itself
    EXPECT_EQ(Asc(String::FromBytes("\xC3\xA9", nullptr)), 0xC3);
}

} // namespace
} // namespace fw
