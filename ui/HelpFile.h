// The help file "Quillet.hlp" without a toolkit: an HTML file with an anchor per topic
// ("topic61"), a contents page ("contents") and a keyword index between two marker
// comments. Both faces' help windows read it through these routines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillet::ui {

// Topic numbers that the programs open directly.
constexpr int HelpTopicAbout = 61;      // F1 in the about box
constexpr int HelpTopicHomePage = 160;  // the maker's home page could not be opened
constexpr int HelpTopicScheduler = 190; // help button of the scheduler window
constexpr int HelpTopicOptions = 200;   // help button of the unattended-pass options
constexpr int HelpTopicReports = 210;   // help button of the Reports dialog

inline const char* const HelpContentsAnchor = "contents";
std::string HelpTopicAnchor(int topic);

struct HelpKeyword {
    std::string text; // UTF-8, entities decoded, blanks collapsed
    std::string anchor;
};

// The links between "<!-- keyword index -->" and "<!-- end of keyword index -->", in file order.
std::vector<HelpKeyword> ParseHelpIndex(const std::string& html);

// The keywords holding the typed text anywhere (ignoring case); those that begin with it
// come first, as the index of a help engine lists them.
std::vector<const HelpKeyword*> FilterHelpIndex(const std::vector<HelpKeyword>& keywords, const std::string& typed);

// Whether the file has the anchor (name="..." or id="...").
bool HasHelpAnchor(const std::string& html, const std::string& anchor);

struct HelpHeading {
    int level = 1; // 1 to 3
    std::string text;
    std::string anchor; // the heading's first anchor; empty when it has none
};

// The file as plain text for a window without an HTML view: paragraphs and headings on
// lines of their own, list items with a dash, a table row as a block (its first cell,
// then the others indented on lines of their own), lines ended by "\n". Anchors map to the offset of the line they stand on.
struct HelpText {
    std::string text; // UTF-8
    std::vector<std::pair<std::string, std::size_t>> anchors;
    std::vector<HelpHeading> headings;
    // Offset of an anchor's line; npos when the file has no such anchor.
    std::size_t offsetOf(const std::string& anchor) const;
};
HelpText RenderHelpText(const std::string& html);

} // namespace quillet::ui
