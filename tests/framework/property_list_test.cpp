#include "framework/gui/property_list.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

namespace fw {
namespace {

using namespace std::string_literals;

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

// A registration naming one property of every kind; decoding needs nothing more.
const PropertyRegistry& everyKind() {
    static const PropertyRegistry registry = [] {
        PropertyRegistry r;
        const auto ignore = [](Object&, const PropertyValue&) {};
        r.Add("Index", PropertyType::Int64, ignore);
        r.Add("Visible", PropertyType::Boolean, ignore);
        r.Add("Title", PropertyType::String, ignore);
        r.Add("BackgroundColor", PropertyType::Color, ignore);
        r.Add("FontSize", PropertyType::Single, ignore);
        r.Add("FontUnit", PropertyType::FontUnit, ignore);
        return r;
    }();
    return registry;
}

// An object with a registration of its own, extending a base class's.
class Sample : public Object, public PropertyTarget {
public:
    std::int64_t left = 0;
    String caption;
    float size = 0;
    void Left(std::int64_t value) { left = value; }

    const PropertyRegistry& properties() const override {
        static const PropertyRegistry base = [] {
            PropertyRegistry r;
            r.AddSetter("Left", &Sample::Left);
            return r;
        }();
        static const PropertyRegistry own = [] {
            PropertyRegistry r(&base);
            r.AddField("Caption", &Sample::caption);
            r.AddField("Size", &Sample::size);
            return r;
        }();
        return own;
    }
};

TEST(PropertyListCodec, EveryKindRoundTrips) {
    const String list = PropertyListBuilder()
                            .AddInt64("Index", -2147483648LL)
                            .AddBoolean("Visible", true)
                            .AddString("Title", String("Ünïcode, blanks and\0 bytes"s))
                            .AddColor("BackgroundColor", Color(0xFF2A61C5))
                            .AddSingle("FontSize", -0.5f)
                            .AddFontUnit("FontUnit", FontUnit::Point)
                            .AddString("Title", "")
                            .AddInt64("Index", std::numeric_limits<std::int64_t>::max())
                            .AddBoolean("Visible", false)
                            .Build();
    const auto entries = DecodePropertyList(list, everyKind());
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[0].name, "Index");
    EXPECT_EQ(std::get<std::int64_t>(entries[0].value), -2147483648LL);
    EXPECT_TRUE(std::get<bool>(entries[1].value));
    EXPECT_EQ(std::get<String>(entries[2].value), String("Ünïcode, blanks and\0 bytes"s));
    EXPECT_EQ(std::get<Color>(entries[3].value), Color(0xFF2A61C5));
    EXPECT_EQ(std::get<float>(entries[4].value), -0.5f);
    EXPECT_EQ(std::get<FontUnit>(entries[5].value), FontUnit::Point);
    EXPECT_EQ(std::get<String>(entries[6].value), String(""));
    EXPECT_EQ(std::get<std::int64_t>(entries[7].value), std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(std::get<bool>(entries[8].value));
}

TEST(PropertyListCodec, ValuesAreLaidOutLittleEndianAfterNameAndBlank) {
    EXPECT_EQ(hex(PropertyListBuilder().AddColor("C", Color(0xFFFFFF)).Build().Bytes()),
              "43 20 ff ff ff 00");
    EXPECT_EQ(hex(PropertyListBuilder().AddSingle("S", 55.0f).Build().Bytes()),
              "53 20 00 00 5c 42");
    EXPECT_EQ(hex(PropertyListBuilder().AddInt64("I", -2147483648LL).Build().Bytes()),
              "49 20 00 00 00 80 ff ff ff ff");
    EXPECT_EQ(hex(PropertyListBuilder()
                      .AddBoolean("B", true)
                      .AddFontUnit("U", FontUnit::Pixel)
                      .Build()
                      .Bytes()),
              "42 20 01 55 20 01");
    EXPECT_EQ(hex(PropertyListBuilder().AddString("T", "Hé").Build().Bytes()),
              "54 20 03 00 00 00 48 c3 a9");
}

TEST(PropertyListCodec, EveryTruncationIsRejectedOrEndsAtAnEntryBoundary) {
    // Where each entry ends: a cut there leaves a shorter, valid list.
    PropertyListBuilder builder;
    std::set<std::size_t> boundaries = {0};
    const auto add = [&](const char* name, const PropertyValue& value) {
        builder.Add(name, value);
        boundaries.insert(builder.Build().Size());
    };
    add("Index", std::int64_t{7});
    add("Title", String("Your Name"));
    add("BackgroundColor", Color(0xFFFFFF));
    add("FontSize", 55.0f);
    add("FontUnit", FontUnit::Default);
    add("Visible", true);
    const std::string full = builder.Build().Bytes();
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        const String prefix = String::FromBytes(full.substr(0, cut), nullptr);
        if (boundaries.count(cut)) {
            EXPECT_NO_THROW(DecodePropertyList(prefix, everyKind())) << "cut at " << cut;
        } else {
            EXPECT_THROW(DecodePropertyList(prefix, everyKind()), InvalidArgumentException)
                << "cut at " << cut;
        }
    }
}

TEST(PropertyListCodec, UnknownNamesAndMalformedValuesAreRejected) {
    try {
        DecodePropertyList(PropertyListBuilder().AddInt64("Colour", 1).Build(), everyKind());
        FAIL() << "an unknown name was accepted";
    } catch (const InvalidArgumentException& e) {
        EXPECT_NE(e.Message().find("Unknown property \"Colour\""), std::string::npos)
            << e.Message();
    }
    const auto decode = [](const std::string& bytes) {
        return DecodePropertyList(String::FromBytes(bytes, nullptr), everyKind());
    };
    EXPECT_THROW(decode(std::string("Visible \x02", 9)), InvalidArgumentException);
    EXPECT_THROW(decode(std::string("FontUnit \x09", 10)), InvalidArgumentException);
    EXPECT_THROW(decode(std::string(" \x01", 2)), InvalidArgumentException);
    EXPECT_THROW(decode("Visible"), InvalidArgumentException);
    // A string count past the end is caught before anything is read.
    EXPECT_THROW(decode("Title \xff\xff\xff\xff"
                        "abc"),
                 InvalidArgumentException);
}

TEST(SetProperties, AppliesThroughTheClassChainInOrder) {
    auto sample = std::make_shared<Sample>();
    _SetProperties(sample, PropertyListBuilder()
                               .AddInt64("Left", 20)
                               .AddString("Caption", "On my Way!")
                               .AddSingle("Size", 55.0f)
                               .AddInt64("Left", 175)
                               .Build());
    EXPECT_EQ(sample->left, 175);
    EXPECT_EQ(sample->caption, String("On my Way!"));
    EXPECT_EQ(sample->size, 55.0f);
}

TEST(SetProperties, AMalformedListChangesNothingAndOnlyAConfigurableTargetTakesOne) {
    const String one = PropertyListBuilder().AddInt64("Left", 1).Build();
    EXPECT_THROW(_SetProperties(nullptr, one), NilObjectException);
    EXPECT_THROW(_SetProperties(std::make_shared<Object>(), one), InvalidArgumentException);
    auto sample = std::make_shared<Sample>();
    const String list = PropertyListBuilder()
                            .AddInt64("Left", 20)
                            .AddString("Caption", "changed")
                            .AddBoolean("Colour", true)
                            .Build();
    EXPECT_THROW(_SetProperties(sample, list), InvalidArgumentException);
    EXPECT_EQ(sample->left, 0);
    EXPECT_EQ(sample->caption, String(""));
}

} // namespace
} // namespace fw
