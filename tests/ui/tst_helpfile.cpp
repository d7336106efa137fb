// The help file's reading that both faces' help windows rely on.
#include "ui/HelpFile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace quillet::ui;

TEST(HelpFile, IndexIsReadBetweenItsMarkersAndFilteredAsTyped) {
    const std::string html =
        "<a href=\"#outside\">not in the index</a><!-- keyword index --><ul>"
        "<li><a href=\"#a1\">Alpha &amp; beta</a></li>\n<li><a href=\"#b2\"><b>Bold</b>\n key</a></li>"
        "<li><a href=\"#c3\">Key bold</a></li>"
        "</ul><!-- end of keyword index --><a href=\"#after\">after</a>";
    const auto keywords = ParseHelpIndex(html);
    ASSERT_EQ(keywords.size(), 3u);
    EXPECT_EQ(keywords[0].text, "Alpha & beta");
    EXPECT_EQ(keywords[0].anchor, "a1");
    EXPECT_EQ(keywords[1].text, "Bold key");
    EXPECT_TRUE(ParseHelpIndex("<a href=\"#x\">no markers</a>").empty());

    const auto found = FilterHelpIndex(keywords, " KEY");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->anchor, "c3"); // a keyword that begins with it comes first
    EXPECT_EQ(found[1]->anchor, "b2");
    EXPECT_EQ(FilterHelpIndex(keywords, "").size(), 3u);
}

TEST(HelpFile, TextKeepsHeadingsAnchorsListsAndTables) {
    const std::string html =
        "<html><head><title>T</title><style>h1 { color: red; }</style></head><body>"
        "<h1><a name=\"contents\"></a>Quillet Help</h1><p>First   para\ngraph.</p>"
        "<ul><li>one</li><li>two</li></ul>"
        "<h2><a name=\"topic61\"></a>About &amp; more</h2>"
        "<table><tr><th>Key</th><th>Value</th></tr><tr><td>A</td><td>1</td></tr></table>"
        "<pre>line 1\n  line 2</pre></body></html>";
    const HelpText help = RenderHelpText(html);
    EXPECT_EQ(help.text,
              "Quillet Help\n\nFirst para graph.\n\n- one\n- two\n\nAbout & more\n\nKey\n    Value\n\nA\n    1\n\n"
              "line 1\n  line 2\n");
    ASSERT_EQ(help.headings.size(), 2u);
    EXPECT_EQ(help.headings[1].level, 2);
    EXPECT_EQ(help.headings[1].text, "About & more");
    EXPECT_EQ(help.headings[1].anchor, "topic61");
    EXPECT_EQ(help.text.compare(help.offsetOf("topic61"), 12, "About & more"), 0);
    EXPECT_EQ(help.offsetOf("topic4711"), std::string::npos);
}

// The delivered file: every index entry and every topic the programs open leads somewhere.
TEST(HelpFile, DeliveredFileHasItsTopicsAndIndex) {
    const char* bin = std::getenv("QUILLET_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    std::ifstream in(std::string(bin) + "/Quillet.hlp", std::ios::binary);
    ASSERT_TRUE(in);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string html = bytes.str();
    const HelpText help = RenderHelpText(html);
    for (int topic : {HelpTopicAbout, HelpTopicHomePage, HelpTopicScheduler, HelpTopicOptions, HelpTopicReports})
        EXPECT_NE(help.offsetOf(HelpTopicAnchor(topic)), std::string::npos) << topic;
    const auto keywords = ParseHelpIndex(html);
    EXPECT_GE(keywords.size(), 40u);
    for (const auto& k : keywords)
        EXPECT_NE(help.offsetOf(k.anchor), std::string::npos) << k.text;
    // The index is read as written, so the file must keep it in alphabetical order.
    const auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (std::size_t i = 1; i < keywords.size(); ++i)
        EXPECT_LE(lower(keywords[i - 1].text), lower(keywords[i].text)) << "out of order in the index";
    EXPECT_GE(help.headings.size(), 20u);
}
