// Profiles for tests and for the sensor simulator, and the encoder that turns
// a profile into the raw dump a laser head would send for it. The encoder is
// the exact inverse of the calculators' dump decoding; the tests and the
// simulator share it so the two cannot drift apart.
//
// Plain C++: no part of the measuring program is needed to build a profile.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace profilegen {

// A profile point in micrometres. For a wheel, x runs from the wheel's inner
// face outwards and z is the depth below the flange tip (it grows away from
// the head); for a disc side, z is the distance from the head.
struct Point {
    double x;
    double z;
};

// ---- the S1002 wheel profile from its published piecewise formula

// Radial height f(s) in mm above the tread datum at lateral coordinate s (mm,
// 0 at the running circle, -70 at the inner face, +60 at the outer edge).
double S1002Height(double s);

// How the generated wheel differs from the standard shape.
struct WheelShape {
    double shiftXUm = 0.0;          // the whole wheel moved outwards (+) across the gauge
    double flangeThinningUm = 0.0;  // flank and flange moved towards the inner face
    // Hollow wear of the tread: worn down by up to hollowDepthUm in a smooth
    // dip (raised cosine) of hollowWidthUm centred hollowCentreUm from the
    // inner face, as the rail wears the running band.
    double hollowDepthUm = 0.0;
    double hollowCentreUm = 70000.0;
    double hollowWidthUm = 40000.0;
};

// The S1002 profile in the gauge's frame, sampled every stepUm micrometres of
// s from the inner face to the outer edge: x = (s + 70) mm, z = 28 - f(s) mm.
std::vector<Point> S1002Profile(double stepUm = 10.0, const WheelShape& shape = {});

// Nominal values of the standard profile (mm): flange height, flange
// thickness at 10 mm above the datum, flange slope between 2 mm below the tip
// and the thickness level.
constexpr double kS1002FlangeHeightMm = 28.00;
constexpr double kS1002FlangeThicknessMm = 32.50;
constexpr double kS1002FlangeSlopeMm = 10.79;

// ---- points files

// Text of "x;z" lines in micrometres (also "x,z", "x z", "x<TAB>z"); blank
// lines, lines starting with '#' and a first line that is not a point (the
// name line of a ".ref" file) are skipped. False when no point was found.
bool ParsePoints(const std::string& text, std::vector<Point>* points);
bool ReadPointsFile(const std::string& path, std::vector<Point>* points, std::string* error);

// ---- the encoder

// A head's register words (one per entry of its register table) and the
// measuring range of its identification, as far as the dump depends on them.
struct HeadEncoding {
    std::array<int16_t, 38> words{};  // word 0 (wheel and disc): rotation, 100 + radians x 10000
    uint16_t rangeMm = 100;
    bool disc = false;          // a disc head: its x-step divisor and dump-length word
    double standoffUm = 20000;  // added to every z (the head's distance to the profile's z = 0)
    double noiseUm = 0.0;       // uniform noise of +-noiseUm on every sample
    uint32_t seed = 1;
    bool noisyHighNibbles = false;  // fill the unused upper nibble bits as real links do
};

// A wheel head with identity levelling (word 0 = 100, no slope or height
// correction), calibration 10000, temperature compensation off, a 50 um step
// from x = 0, a whole 12288-byte dump and a 100 mm range.
HeadEncoding DefaultWheelHead();
// A disc head (its words by the disc head's register table): no rotation or
// height correction, a 50 um step from x = 0, a 12288-byte dump, 20 mm range.
HeadEncoding DefaultDiscHead();

// The dump length in bytes the head's words announce.
size_t DumpBytes(const HeadEncoding& head);
// x of sample i as the decoder computes it (no samples dropped before it).
int64_t SampleX(const HeadEncoding& head, int64_t i);
// Raw 16-bit samples of a profile: the nearest surface seen at each sample's
// x (0 where the profile has no point).
std::vector<uint16_t> SampleProfile(const std::vector<Point>& profile, const HeadEncoding& head);
// Nibble bytes of samples: four bytes per sample, lowest nibble first.
std::vector<uint8_t> EncodeSamples(const std::vector<uint16_t>& samples, size_t bytes, const HeadEncoding& head);
// Both steps: the raw dump a head with these words sends for the profile.
std::vector<uint8_t> EncodeDump(const std::vector<Point>& profile, const HeadEncoding& head);

// ---- discs

// A brake disc between one or two heads. Across the head's window the surface
// lies farther away on the hub and rim than on the friction ring; a groove of
// its own depth may be worn into each side of the ring.
struct DiscShape {
    double thicknessUm = 108000;  // friction ring, unworn
    double headGapUm = 114000;    // distance between the two heads' zero planes (disc "L1" + 2 x "L2")
    double ringFromUm = 25000;    // ring edges across the window
    double ringToUm = 125000;
    double profileFromUm = 5000;  // where the head sees the disc at all
    double profileToUm = 140000;
    double stepUm = 3000;          // how much farther the hub and rim lie
    double grooveCentreUm = 75000;
    double grooveWidthUm = 8000;
    double grooveDepthUm[2] = {0.0, 0.0};  // side 1, side 2
};

// The profile of one side (1 or 2) as its head sees it: z = distance.
std::vector<Point> DiscSideProfile(const DiscShape& shape, int side);

}  // namespace profilegen
