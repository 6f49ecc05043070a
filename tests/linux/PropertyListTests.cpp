#include <gtest/gtest.h>
#include <plist/plist.h>

#include <string>

#include "platform/linux/LibplistPropertyLists.h"
#include "support/ScopedLocale.h"

namespace tumbla {
namespace {

constexpr char kEveryKind[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>HTML</key><string>index &amp; more</string>
  <key>theme</key><integer>3</integer>
  <key>below</key><integer>-12</integer>
  <key>large</key><integer>9007199254740993</integer>
  <key>volume</key><real>0.25</real>
  <key>soundEnabled</key><true/>
  <key>musicEnabled</key><false/>
  <key>since</key><date>2011-03-04T05:06:07Z</date>
  <key>blob</key><data>AAEC/w==</data>
  <key>tracks</key><array><string>track1</string><dict/></array>
</dict>
</plist>
)";

TEST(PropertyLists, ParsesEveryKindOfXmlValue) {
  LibplistPropertyLists lists;
  std::optional<Value> parsed = lists.parse(kEveryKind);
  ASSERT_TRUE(parsed && parsed->isDictionary());
  const Dictionary& d = *parsed->dictionaryIf();
  EXPECT_EQ(*d.find("HTML"), Value("index & more"));
  EXPECT_EQ(*d.find("theme"), Value::integer(3));
  EXPECT_EQ(*d.find("below"), Value::integer(-12));
  EXPECT_EQ(*d.find("large"), Value::integer(9007199254740993));
  EXPECT_EQ(*d.find("volume"), Value::real(0.25));
  EXPECT_EQ(*d.find("soundEnabled"), Value::boolean(true));
  EXPECT_EQ(*d.find("musicEnabled"), Value::boolean(false));
  // 2011-03-04T05:06:07Z
  EXPECT_EQ(*d.find("since"), Value(Date{1299215167}));
  EXPECT_EQ(*d.find("blob"), Value::data(std::string("\x00\x01\x02\xff", 4)));
  EXPECT_EQ(*d.find("tracks"), Value(Array{Value("track1"), Value(Dictionary{})}));
}

TEST(PropertyLists, ParsesBinaryPropertyLists) {
  LibplistPropertyLists lists;
  Value original(Dictionary{{"name", Value("pop")},
                            {"count", Value::integer(-7)},
                            {"when", Value(Date{1600000000})},
                            {"list", Value(Array{Value::boolean(true), Value::real(1.5)})}});
  // The binary form made by libplist from the XML that we write; its own XML reading
  // follows the locale.
  plist_t node = nullptr;
  std::string xml = lists.serialize(original);
  {
    testing::ScopedLocale plain("C");
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &node);
  }
  ASSERT_NE(node, nullptr);
  char* binary = nullptr;
  uint32_t length = 0;
  plist_to_bin(node, &binary, &length);
  plist_free(node);
  std::string bytes(binary, length);
  plist_to_bin_free(binary);
  ASSERT_EQ(bytes.rfind("bplist00", 0), 0u);

  EXPECT_EQ(lists.parse(bytes), original);
}

TEST(PropertyLists, SerializedValuesReadBackTheSame) {
  LibplistPropertyLists lists;
  Value original(Dictionary{{"text", Value("<tag> & \"quotes\" \xc3\xa9")},
                            {"min", Value::integer(INT64_MIN)},
                            {"max", Value::integer(INT64_MAX)},
                            {"real", Value::real(-1234.5678)},
                            {"date", Value(Date{978307201})},
                            {"empty", Value(Array{})},
                            {"data", Value::data("bytes")}});
  EXPECT_EQ(lists.parse(lists.serialize(original)), original);
  // The XML form keeps whole seconds.
  EXPECT_EQ(lists.parse(lists.serialize(Value(Date{978307201.75}))), Value(Date{978307201}));
}

TEST(PropertyLists, DecimalsBecomeIntegersOrRealsAndNullsAreLeftOut) {
  LibplistPropertyLists lists;
  Value written(Dictionary{{"whole", Value::decimal("42")},
                           {"fraction", Value::decimal("12.50")},
                           {"nothing", Value()},
                           {"list", Value(Array{Value(), Value("kept")})}});
  Value expected(Dictionary{{"whole", Value::integer(42)},
                            {"fraction", Value::real(12.5)},
                            {"list", Value(Array{Value("kept")})}});
  EXPECT_EQ(lists.parse(lists.serialize(written)), expected);
  EXPECT_EQ(lists.serialize(Value()), "");
}

TEST(PropertyLists, RealsReadAndWriteTheSameUnderEveryLocale) {
  LibplistPropertyLists lists;
  const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <!-- <real>9</real> in a comment is no value -->
  <key>volume</key><real>1.5</real>
  <key>tiny</key><real>1e-7</real>
  <key>signed</key><real> -0.125 </real>
  <key>empty</key><real/>
  <key>note</key><string><![CDATA[<real>2.5</real>]]></string>
  <key>list</key><array><real>3.75</real><string>1.5</string></array>
</dict></plist>
)";
  Value expected(Dictionary{{"volume", Value::real(1.5)},
                            {"tiny", Value::real(1e-7)},
                            {"signed", Value::real(-0.125)},
                            {"empty", Value::real(0)},
                            {"note", Value("<real>2.5</real>")},
                            {"list", Value(Array{Value::real(3.75), Value("1.5")})}});
  Value written(Dictionary{{"third", Value::real(0.1 + 0.2)},
                           {"decimal", Value::decimal("-12.5")},
                           {"huge", Value::real(1.7976931348623157e308)}});
  for (const char* name : testing::kPlayerLocales) {
    testing::ScopedLocale locale(name);
    ASSERT_TRUE(locale.installed()) << name << " is missing; run scripts/install-deps.sh";
    EXPECT_EQ(lists.parse(xml), expected) << name;
    std::string serialized = lists.serialize(written);
    EXPECT_NE(serialized.find("<real>-12.5</real>"), std::string::npos) << serialized;
    EXPECT_EQ(serialized.find(','), std::string::npos) << serialized;
    EXPECT_EQ(lists.parse(serialized),
              (Value(Dictionary{{"third", Value::real(0.1 + 0.2)},
                                {"decimal", Value::real(-12.5)},
                                {"huge", Value::real(1.7976931348623157e308)}})))
        << name;
  }
}

TEST(PropertyLists, RefusesWhatIsNotAPropertyList) {
  LibplistPropertyLists lists;
  EXPECT_EQ(lists.parse(""), std::nullopt);
  EXPECT_EQ(lists.parse("not a plist at all"), std::nullopt);
  EXPECT_EQ(lists.parse("<?xml version=\"1.0\"?><plist><dict><key>a</key>"), std::nullopt);
  EXPECT_EQ(lists.parse("bplist00\x01\x02garbage"), std::nullopt);
  // A key with a NUL in it made libplist assert and end the program: refused instead.
  const std::string nulInAKey(
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd2\x01\x02\x03\x06\x51\x61\x51\x66\xd1\x04\x05\x55\x54"
      "\x00\x00\x00\xf3\x51\x54\xd1\x04\x07\x10\x07\x08\x0d\x0f\x1c\x10\x14\x00\x1a\x00\x1f\x11"
      "\x00\x00\x14\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x00\x00\x00\x00\x00\x00\x21",
      74);
  EXPECT_EQ(lists.parse(nulInAKey), std::nullopt);
}

TEST(PropertyLists, RefusesNestingBeyondTheDepthLimit) {
  LibplistPropertyLists lists;
  auto nested = [](int depth) {
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i) xml += "<array>";
    for (int i = 0; i < depth; ++i) xml += "</array>";
    return xml + "</plist>";
  };
  EXPECT_TRUE(lists.parse(nested(100)).has_value());
  EXPECT_EQ(lists.parse(nested(LibplistPropertyLists::kMaxDepth + 10)), std::nullopt);
}

}  // namespace
}  // namespace tumbla
