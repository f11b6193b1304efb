#include "ui/res_strings.h"

#include <gtest/gtest.h>

#include <set>

#include "support/matchers.h"
#include "ui/res_strings_table.h"

using testing_support::ThrowsError;

namespace {

class ResStringsTest : public testing::Test {
 protected:
  void TearDown() override { ui::SetLanguageOffset(ui::kEnglishOffset); }
};

TEST_F(ResStringsTest, ItemsInTheCurrentLanguageLineBreaksAndMissingEntries) {
  EXPECT_EQ(ui::ResString(1504, 2), "Connecting to LNS server ...");
  EXPECT_EQ(ui::ResString(1428, 3), "Parameters have been changed !\r\n\r\nDo you want to quit the plug-in?");
  EXPECT_EQ(ui::ResString(1401, 1), "%1 %2 ms %3. The valid range is from %4 up to %5 ms.\r\n\r\n\"%6\" is set to %7 ms.");
  EXPECT_EQ(ui::ResString(1700) + ui::ResString(1374, 4) + ui::ResString(1374, -1), "");  // none, past the end
  int16_t item = 0;
  EXPECT_EQ(ui::GetResString(1500, item), "Writing parameters...");
  EXPECT_EQ(item, 1);  // item 0 becomes 1 in the caller's variable
  ui::SetLanguageOffset(ui::kGermanOffset);
  EXPECT_EQ(ui::ResString(1504, 2), "Verbindung zum LNS-Server wird hergestellt ...");
  EXPECT_THAT([] { ui::ResString(31800); }, ThrowsError(6));  // the sum leaves the 16-bit range
}

// Every entry has a German text with the same items, line breaks and placeholders.
TEST_F(ResStringsTest, GermanEntriesMatchTheirEnglishShape) {
  auto count = [](const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + what.size())) ++n;
    return n;
  };
  auto placeholders = [](const std::string& s) {
    std::multiset<std::string> found;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
      if (s[i] == '%' && s[i + 1] >= '1' && s[i + 1] <= '9') found.insert(s.substr(i, 2));
    }
    return found;
  };
  std::set<int> ids;
  for (const auto& e : ui::StringTableEntries()) {
    EXPECT_TRUE(ids.insert(e.id).second) << "duplicate id " << e.id;
    const std::string en = e.english, de = e.german;
    EXPECT_FALSE(de.empty()) << e.id;
    EXPECT_EQ(count(en, "¦"), count(de, "¦")) << e.id;
    EXPECT_EQ(count(en, "¶"), count(de, "¶")) << e.id;
    EXPECT_EQ(placeholders(en), placeholders(de)) << e.id;
  }
  EXPECT_GE(ids.size(), 150u);
}

TEST_F(ResStringsTest, ControlTagsGiveCaptionAndToolTip) {
  using Texts = std::tuple<std::optional<std::string>, std::string>;
  const std::tuple<const char*, bool, Texts> rows[] = {  // tool tips off: cleared
      {"1001/", true, {"Configuration", ""}}, {"1001/1002", true, {"Configuration", "Monitoring"}},
      {"1001/1002", false, {"Configuration", ""}}, {"0/1002", true, {std::nullopt, "Monitoring"}}, {"", true, {}}};
  for (const auto& [tag, tips, expected] : rows) {
    const auto texts = ui::TextsForTag(tag, tips);
    EXPECT_EQ(Texts(texts.caption, texts.toolTip), expected) << tag;
  }
}

}  // namespace
