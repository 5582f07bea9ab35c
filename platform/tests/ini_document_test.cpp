// Read rules and in-place edits of IniDocument.
#include <gtest/gtest.h>

#include "platform/ini.h"

namespace plat {
namespace {

const char kSample[] =
    "; leading comment\r\n"
    "[Scanner]\r\n"
    "  Type = 400  \r\n"
    "MICR Gain (x0.01)=125\r\n"
    "Acq: Front + Rear=1\r\n"
    "Quoted=\"  padded  \"\r\n"
    "Single='x'\r\n"
    "Mismatched=\"abc'\r\n"
    "=empty key\r\n"
    "Type=second wins never\r\n"
    ";Hidden=1\r\n"
    "no equals sign\r\n"
    "[scanner]\r\n"
    "Extra=in the second copy\r\n"
    "[ Other ]\n"
    "Last=no line end";

TEST(PlatformIniDocumentTest, ReadRules) {
  const IniDocument doc = IniDocument::Parse(kSample);
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  } cases[] = {
      {"Scanner", "Type", "400"},               // blanks trimmed, first key wins
      {"SCANNER", "type", "400"},               // case-insensitive section and key
      {" scanner ", " TYPE ", "400"},           // names trimmed
      {"Scanner", "MICR Gain (x0.01)", "125"},  // keys hold blanks and punctuation
      {"Scanner", "acq: front + rear", "1"},
      {"Scanner", "Quoted", "  padded  "},  // one pair of quotes removed
      {"Scanner", "Single", "x"},
      {"Scanner", "Mismatched", "\"abc'"},
      {"Scanner", "", "empty key"},
      {"Scanner", ";Hidden", std::nullopt},  // comment lines are not keys
      {"Scanner", "no equals sign", std::nullopt},
      {"Scanner", "Extra", std::nullopt},  // only the first matching section is read
      {"Other", "Last", "no line end"},    // LF file part and a last line without line end
      {"Missing", "Type", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(doc.Get(c.section, c.key), c.expected) << c.section << "/" << c.key;
  }
  EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"Scanner", "Other"}));
  EXPECT_EQ(doc.KeyNames("scanner"),
            (std::vector<std::string>{"Type", "MICR Gain (x0.01)", "Acq: Front + Rear", "Quoted", "Single",
                                      "Mismatched", "", "Type"}));
}

TEST(PlatformIniDocumentTest, SectionLinesSkipCommentsAndBlanks) {
  const IniDocument doc = IniDocument::Parse("[A]\n; c\n\n k = v \nbare line\n[B]\nx=1\n");
  EXPECT_EQ(doc.SectionLines("a"), (std::vector<std::string>{"k=v", "bare line"}));
  EXPECT_TRUE(doc.SectionLines("none").empty());
}

TEST(PlatformIniDocumentTest, ParseThenSerializeKeepsEveryByte) {
  for (const std::string& text : {std::string(kSample), std::string(""), std::string("\n\r\n"),
                                  std::string("a\rb\n[x"), std::string("[s]\nk=v\n")}) {
    EXPECT_EQ(IniDocument::Parse(text).Serialize(), text);
  }
}

TEST(PlatformIniDocumentTest, EditsChangeOnlyTheirLines) {
  struct Case {
    const char* name;
    const char* before;
    std::function<void(IniDocument&)> edit;
    const char* after;
  } cases[] = {
      {"replace in place, file's key spelling kept", "; top\r\n[S]\r\nA=1\r\nKey = old \r\nB=2\r\n",
       [](IniDocument& d) { d.Set("s", "KEY", "new"); }, "; top\r\n[S]\r\nA=1\r\nKey=new\r\nB=2\r\n"},
      {"new key after the section's last key", "[S]\nA=1\n; note\n\n[T]\nC=3\n",
       [](IniDocument& d) { d.Set("S", "New", "v"); }, "[S]\nA=1\nNew=v\n; note\n\n[T]\nC=3\n"},
      {"new key in an empty section", "[S]\n[T]\n", [](IniDocument& d) { d.Set("S", "K", "v"); },
       "[S]\nK=v\n[T]\n"},
      {"new section at the end, file style LF", "[S]\nA=1", [](IniDocument& d) { d.Set("T", "K", "v"); },
       "[S]\nA=1\n[T]\nK=v\n"},
      {"new document uses CR LF", "", [](IniDocument& d) { d.Set("S", "K", "v"); }, "[S]\r\nK=v\r\n"},
      {"delete a key", "[S]\r\nA=1\r\nB=2\r\n", [](IniDocument& d) { d.DeleteKey("S", "a"); },
       "[S]\r\nB=2\r\n"},
      {"delete a section", "[S]\nA=1\n; c\n[T]\nB=2\n", [](IniDocument& d) { d.DeleteSection("s"); },
       "[T]\nB=2\n"},
      {"delete a missing key changes nothing", "[S]\nA=1\n", [](IniDocument& d) { d.DeleteKey("S", "Z"); },
       "[S]\nA=1\n"},
      {"mixed line ends of other lines kept", "[S]\r\nA=1\nB=2\r\n",
       [](IniDocument& d) { d.Set("S", "A", "9"); }, "[S]\r\nA=9\nB=2\r\n"},
      {"empty key is written like any other", "[S]\n=old\n", [](IniDocument& d) { d.Set("S", "", "new"); },
       "[S]\n=new\n"},
  };
  for (const Case& c : cases) {
    IniDocument doc = IniDocument::Parse(c.before);
    c.edit(doc);
    EXPECT_EQ(doc.Serialize(), c.after) << c.name;
  }
}

TEST(PlatformIniDocumentTest, IntRule) {
  struct Case {
    const char* text;
    int32_t expected;
  } cases[] = {
      {"12abc", 12}, {"abc", 0}, {"-1", -1},         {"+7", 7},         {"  42", 42},
      {"0x10", 0},   {"- 5", 0}, {"4294967295", -1}, {"4294967296", 0}, {"99999999999999999999", 1661992959},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace plat
