#include "framework/core/dictionary.h"
#include "framework/core/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace fw {
namespace {

Auto parse(const std::string& json) {
    return ParseJSON(Text(json));
}

TEST(ParseJSONTest, GivesEachKindItsFrameworkValue) {
    const auto root = parse(R"( {"s":"x","i":-42,"big":123456789012345678901,"d":2.5e-3,)"
                            R"("t":true,"f":false,"n":null,"a":[1,"2"],"o":{}} )")
                          .ToDictionary();
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->Value(Auto(Text("s"))).IsText());
    EXPECT_EQ(root->Value(Auto(Text("i"))), Auto(std::int64_t{-42}));
    EXPECT_EQ(root->Value(Auto(Text("big"))), Auto(123456789012345678901.0));
    EXPECT_EQ(root->Value(Auto(Text("d"))), Auto(0.0025));
    EXPECT_EQ(root->Value(Auto(Text("t"))), Auto(true));
    EXPECT_EQ(root->Value(Auto(Text("f"))), Auto(false));
    EXPECT_TRUE(root->Value(Auto(Text("n"))).IsNil());
    const auto& array = std::get<std::shared_ptr<AutoArray>>(root->Value(Auto(Text("a"))).Raw());
    ASSERT_EQ(array->size(), 2u);
    EXPECT_EQ((*array)[1], Auto(Text("2")));
    EXPECT_EQ(root->Value(Auto(Text("o"))).ToDictionary()->KeyCount(), 0u);
    EXPECT_EQ(root->Entries().back().first, Auto(Text("o"))); // members keep their order
}

TEST(ParseJSONTest, DecodesEscapesIncludingSurrogatePairs) {
    EXPECT_EQ(parse(R"("a\"\\\/\b\f\n\r\t\u0041\u00e9\u20AC\ud83d\udd14")").ToText(),
              Text("a\"\\/\b\f\n\r\tA\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x94"));
    EXPECT_EQ(parse(R"("\u0000")").ToText().Utf8(), std::string(1, '\0'));
    EXPECT_EQ(parse("\"\xF0\x9F\x94\x94\"").ToText(), Text("\xF0\x9F\x94\x94"));
}

TEST(ParseJSONTest, RejectsEverythingThatIsNotOneStrictJsonText) {
    const char* invalid[] = {
        "",
        " ",
        "{",
        "}",
        "[1,]",
        "[,1]",
        "{\"a\":1,}",
        "{\"a\" 1}",
        "{a:1}",
        "{'a':1}",
        "{\"a\":1}x",
        "{} {}",
        "[1] ]",
        "01",
        "-",
        "1.",
        ".5",
        "1e",
        "+1",
        "0x10",
        "NaN",
        "Infinity",
        "tru",
        "nul",
        "True",
        "\"abc",
        "\"a\nb\"",
        "\"\t\"",
        "\"\\x\"",
        "\"\\u12\"",
        "\"\\ud800\"",
        "\"\\udc00\"",
        "\"\\ud800\\u0041\"",
        "\"\xC3\"",
        "\"\xC0\xAF\"",
        "\"\xED\xA0\x80\"",
        "\"\xF4\x90\x80\x80\"",
        "\"\xFF\"",
        "\xEF\xBB\xBF{}",
        "[1e400]",
        "// c\n{}",
    };
    for (const char* json : invalid) {
        EXPECT_THROW(parse(json), InvalidJSONException) << json;
    }
    EXPECT_THROW(parse(std::string("{}\0", 3)), InvalidJSONException);
}

TEST(ParseJSONTest, AcceptsEdgesOfTheGrammar) {
    EXPECT_EQ(parse(" \t\r\n7 \n"), Auto(std::int64_t{7}));
    EXPECT_EQ(parse("-0.0e+0"), Auto(-0.0));
    EXPECT_EQ(parse("1E2"), Auto(100.0));
    EXPECT_EQ(parse("1e-400"), Auto(0.0)); // below the smallest double
    EXPECT_EQ(parse("9223372036854775807"), Auto(std::int64_t{9223372036854775807}));
    EXPECT_EQ(parse("{\"k\":1,\"k\":2}").ToDictionary()->Value(Auto(Text("k"))), Auto(2));
}

TEST(ParseJSONTest, HostileNestingFailsCleanly) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_THROW(parse(deep), InvalidJSONException);
    const std::string objects = [] {
        std::string s;
        for (int i = 0; i < 100000; ++i) {
            s += "{\"a\":";
        }
        return s + "1" + std::string(100000, '}');
    }();
    EXPECT_THROW(parse(objects), InvalidJSONException);
    EXPECT_NO_THROW(parse(std::string(100, '[') + std::string(100, ']')));
}

TEST(GenerateJSONTest, IsCompactAndEscapesControlCharacters) {
    auto d = std::make_shared<Dictionary>();
    d->Value(Auto(Text("name")), Auto(String("Ann \"A\"\\\n\x01\x7F\xC3\xA9")));
    d->Value(Auto(Text("n")), Auto());
    d->Value(Auto(Text("list")),
             Auto(std::make_shared<AutoArray>(AutoArray{Auto(1), Auto(false)})));
    d->Value(Auto(Text("x")), Auto(2.0));
    d->Value(Auto(Text("y")), Auto(0.1));
    EXPECT_EQ(GenerateJSON(Auto(d)).Utf8(),
              "{\"name\":\"Ann \\\"A\\\"\\\\\\n\\u0001\x7F\xC3\xA9\",\"n\":null,"
              "\"list\":[1,false],\"x\":2.0,\"y\":0.1}");
}

TEST(GenerateJSONTest, OutputParsesBackToTheSameValues) {
    auto d = std::make_shared<Dictionary>();
    d->Value(Auto(Text("ctl")), Auto(Text(std::string("\0\x1F\t", 3))));
    d->Value(Auto(Text("d")), Auto(1e21));
    d->Value(Auto(Text("whole")), Auto(3.0));
    d->Value(Auto(Text("i")), Auto(std::int64_t{-9223372036854775807 - 1}));
    const auto back = ParseJSON(GenerateJSON(Auto(d))).ToDictionary();
    ASSERT_NE(back, nullptr);
    for (const auto& [key, value] : d->Entries()) {
        EXPECT_EQ(back->Value(key), value) << key.ToText().Utf8();
    }
}

TEST(GenerateJSONTest, ValuesWithoutAJsonFormAreATypeMismatch) {
    EXPECT_THROW(GenerateJSON(Auto(std::nan(""))), TypeMismatchException);
    EXPECT_THROW(GenerateJSON(Auto(HUGE_VAL)), TypeMismatchException);
    EXPECT_THROW(GenerateJSON(Auto(std::make_shared<Object>())), TypeMismatchException);
    auto intKey = std::make_shared<Dictionary>();
    intKey->Value(Auto(1), Auto(1));
    EXPECT_THROW(GenerateJSON(Auto(intKey)), TypeMismatchException);
    auto loop = std::make_shared<Dictionary>();
    loop->Value(Auto(Text("self")), Auto(loop));
    EXPECT_THROW(GenerateJSON(Auto(loop)), TypeMismatchException);
    loop->Remove(Auto(Text("self"))); // break the cycle so the test does not leak it
}

TEST(GenerateJSONTest, RawBytesThatAreNotUtf8StillMakeValidJson) {
    const Text json = GenerateJSON(Auto(String::FromBytes("a\xFF\xC3", nullptr)));
    EXPECT_EQ(json, Text("\"a\xEF\xBF\xBD\xEF\xBF\xBD\""));
    EXPECT_NO_THROW(ParseJSON(json));
}

} // namespace
} // namespace fw
