// Hunspell and TinyXML-2 as the program builds them, used for real: a word
// spelled against Debian's en_US dictionary, and a small document queried.
#include "StringConv.h"
#include "TestSupport.h"

#include <hunspell.hxx>
#include <tinyxml2.h>

#include <gtest/gtest.h>

#include <algorithm>

TEST(HunspellTest, SpellsAndSuggestsWithTheEnglishDictionary)
{
    const std::string dicts = WideToUtf8(ExeFolder()) + "dicts\\";
    Hunspell speller((dicts + "en_US.aff").c_str(), (dicts + "en_US.dic").c_str());
    EXPECT_STREQ("UTF-8", speller.get_dict_encoding().c_str());
    EXPECT_TRUE(speller.spell(std::string("message")));
    EXPECT_TRUE(speller.spell(std::string("buddies")));
    EXPECT_FALSE(speller.spell(std::string("mesage")));
    const std::vector<std::string> suggestions = speller.suggest("mesage");
    EXPECT_NE(suggestions.end(), std::find(suggestions.begin(), suggestions.end(), "message"));

    EXPECT_FALSE(speller.spell(std::string("Velmora")));
    speller.add("Velmora");
    EXPECT_TRUE(speller.spell(std::string("Velmora")));
}

TEST(TinyXml2Test, ParsesAndQueriesAThemeLikeDocument)
{
    const char* xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<theme name=\"Dusk\"><colors><color id=\"background\" value=\"#202030\"/>"
        "<color id=\"text\" value=\"#E0E0F0\"/></colors><font face=\"Tahoma\" size=\"8\"/></theme>";
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(tinyxml2::XML_SUCCESS, doc.Parse(xml));
    const tinyxml2::XMLElement* theme = doc.FirstChildElement("theme");
    ASSERT_NE(nullptr, theme);
    EXPECT_STREQ("Dusk", theme->Attribute("name"));
    int count = 0;
    for (const auto* color = theme->FirstChildElement("colors")->FirstChildElement("color"); color;
         color = color->NextSiblingElement("color"))
        ++count;
    EXPECT_EQ(2, count);
    EXPECT_EQ(8, theme->FirstChildElement("font")->IntAttribute("size"));

    tinyxml2::XMLDocument broken;
    EXPECT_NE(tinyxml2::XML_SUCCESS, broken.Parse("<theme><colors></theme>"));
}
