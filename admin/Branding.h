// What the splash window and the about box show and where, and the program's picture, the
// same for both faces: each face only draws this with its toolkit.
#pragma once

#include "admin/Spot.h"
#include "widgets/TimeChart.h"

#include <chrono>
#include <string>
#include <vector>

namespace quillet::admin {

inline const std::string MakerText = "Orvane\u00AE";
inline const std::string ProductText = "Quillet\u2122";
inline const std::string SplashCaption = "Loading Quillet";
inline const std::string AboutCaption = "About Quillet";
// "Version 1.11" with the user's decimal separator.
std::string AboutVersionText(const std::string& decimalSeparator);
std::string AboutBuildText();

// How long "--splash-ms=N" among the program's arguments holds the splash on screen, for
// screenshots: at most a minute, none without it or for a bad number.
std::chrono::milliseconds SplashHold(const std::vector<std::string>& arguments);

using widgets::Rgb;
constexpr Rgb ProductGreen{0, 128, 0};
constexpr Rgb LinkNavy{0, 0, 128};

// Client areas; text heights are character heights in pixels.
constexpr int SplashWidth = 360, SplashHeight = 212, SplashBevel = 5, SplashNameHeight = 37;
constexpr Spot SplashPicture{223, 40, 137, 137};
constexpr Spot SplashName{48, 8, 170, 44};

constexpr int AboutWidth = 330, AboutHeight = 196, AboutProductHeight = 32;
struct AboutPlaces {
    Spot picture, maker, product, version, build, link, ok;
};
constexpr AboutPlaces AboutSpots{{16, 16, 96, 96},   {128, 16, 190, 18},  {128, 36, 190, 40},
                                      {128, 80, 190, 16}, {128, 98, 190, 16},  {16, 128, 298, 18},
                                      {(AboutWidth - 80) / 2, AboutHeight - 36, 80, 24}};

// The picture, on a square of PictureUnits: a database drum squeezed by two arrows (the
// product compacts databases).
constexpr double PictureUnits = 137;
struct Point {
    double x = 0, y = 0;
};
constexpr int ArrowCorners = 7;
struct ProgramPicture {
    double left, right, top, bottom, ringHeight; // the drum; its top and bottom are rings
    double bands[2];                             // the tops of the two rings drawn across it
    Point arrows[2][ArrowCorners];               // one points down onto it, one up
    Rgb outline, body, lid, arrow;
};
constexpr ProgramPicture PictureShape{
    28, 109, 40, 105, 20, {52, 74},
    {{{58, 2}, {79, 2}, {79, 12}, {88, 12}, {68.5, 26}, {49, 12}, {58, 12}},
     {{58, 135}, {79, 135}, {79, 125}, {88, 125}, {68.5, 118}, {49, 125}, {58, 125}}},
    {0, 128, 0}, {150, 200, 150}, {200, 235, 200}, {0, 100, 0}};

} // namespace quillet::admin
