#include "tools/profilegen/ProfileGen.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

namespace profilegen {

namespace {

double Sq(double v) { return v * v; }

// Section boundaries (mm of s) of the piecewise formula, inner face first.
constexpr double kH = -70.0;
constexpr double kG = -62.764705882;
constexpr double kF = -49.662510381;
constexpr double kE = -39.764473993;
constexpr double kD = -38.426669071;
constexpr double kC = -35.0;
constexpr double kB = -26.0;
constexpr double kA = 32.15796;

double Root(double v) { return std::sqrt(v > 0.0 ? v : 0.0); }

}  // namespace

double S1002Height(double s)
{
    if (s < kG) {
        return 9.519259302 + Root(Sq(20.5) - Sq(s + 49.5));
    }
    if (s < kF) {
        return 16.0 + Root(Sq(12.0) - Sq(s + 55.0));
    }
    if (s < kE) {
        return 8.834924130 + Root(Sq(20.0) - Sq(s + 58.558326413));
    }
    if (s < kD) {
        return -93.576667419 - 2.747477419 * s;
    }
    if (s < kC) {
        return 16.446 - Root(Sq(13.0) - Sq(s + 26.210665));
    }
    if (s < kB) {
        const double c[8] = {4.320221063e+03, 1.038384026e+03, 1.065501873e+02, 6.051367875,
                             2.054332446e-01, 4.169739389e-03, 4.687195829e-05, 2.252755540e-07};
        double sum = 0.0, p = 1.0;
        for (double k : c) {
            sum += k * p;
            p *= s;
        }
        return -sum;
    }
    if (s < kA) {
        const double c[9] = {0.0,           -3.358537058e-02, 1.565681624e-03, -2.810427944e-05, 5.844240864e-08,
                             -1.562379023e-08, 5.309217349e-15, -5.957839843e-12, 2.646656573e-13};
        double sum = 0.0, p = 1.0;
        for (double k : c) {
            sum += k * p;
            p *= s;
        }
        return sum;
    }
    return 1.364323640 - 0.066666667 * s;
}

std::vector<Point> S1002Profile(double stepUm, const WheelShape& shape)
{
    std::vector<Point> points;
    if (!(stepUm > 0.0)) {
        return points;
    }
    // Thinning moves the flank and the tip (s from -55 to -30) towards the
    // inner face; the back of the flange is squeezed to make room and the
    // root is bridged level, so heights, tip and flank shape stay as they are.
    const double t = shape.flangeThinningUm / 1000.0;
    const double tip = -55.0, root = -30.0;
    const int n = static_cast<int>(std::floor(130000.0 / stepUm));
    for (int i = 0; i <= n; ++i) {
        const double s = kH + i * stepUm / 1000.0;
        double f = S1002Height(s);
        if (shape.hollowDepthUm != 0.0 && shape.hollowWidthUm > 0.0) {
            const double u = ((s + 70.0) * 1000.0 - shape.hollowCentreUm) / shape.hollowWidthUm;
            if (u > -0.5 && u < 0.5) {
                const double c = std::cos(3.14159265358979323846 * u);
                f -= shape.hollowDepthUm / 1000.0 * c * c;
            }
        }
        double sOut = s;
        if (t != 0.0) {
            if (s < tip) {
                sOut = kH + (s - kH) * (tip - t - kH) / (tip - kH);
            } else if (s < root) {
                sOut = s - t;
            }
        }
        points.push_back({(sOut + 70.0) * 1000.0 + shape.shiftXUm, (28.0 - f) * 1000.0});
        if (t != 0.0 && s < root && s + stepUm / 1000.0 >= root) {
            // level bridge over the gap the moved flank leaves at its root
            const double fRoot = S1002Height(root);
            for (double b = root - t; b < root; b += stepUm / 1000.0) {
                points.push_back({(b + 70.0) * 1000.0 + shape.shiftXUm, (28.0 - fRoot) * 1000.0});
            }
        }
    }
    return points;
}

bool ParsePoints(const std::string& text, std::vector<Point>* points)
{
    points->clear();
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        const bool wasFirst = first;
        first = false;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::replace(line.begin(), line.end(), ';', ' ');
        std::replace(line.begin(), line.end(), ',', ' ');
        std::replace(line.begin(), line.end(), '\t', ' ');
        std::istringstream fields(line);
        double x = 0.0, z = 0.0;
        if (fields >> x >> z) {
            points->push_back({x, z});
        } else if (!wasFirst) {
            return false;
        }
    }
    return !points->empty();
}

bool ReadPointsFile(const std::string& path, std::vector<Point>* points, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) {
            *error = "cannot open " + path;
        }
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!ParsePoints(text.str(), points)) {
        if (error) {
            *error = "no profile points in " + path;
        }
        return false;
    }
    return true;
}

HeadEncoding DefaultWheelHead()
{
    HeadEncoding head;
    head.words.fill(0);
    head.words[0] = 100;    // no rotation
    head.words[1] = 5000;   // x from 0
    head.words[2] = 5000;   // 50.00 um per sample
    head.words[6] = 10000;  // calibration 1.0
    head.words[11] = 1;
    head.words[12] = 2900;  // 12 blocks: the whole dump
    head.words[13] = 6;
    head.words[14] = 5;
    head.words[35] = 41;
    head.rangeMm = 100;
    head.disc = false;
    return head;
}

HeadEncoding DefaultDiscHead()
{
    HeadEncoding head;
    head.words.fill(0);
    head.words[0] = 100;   // no rotation
    head.words[1] = 5000;  // x from 0
    head.words[2] = 5000;  // 50.00 um per sample
    head.words[3] = 0;     // no height correction
    head.words[4] = 1;
    head.words[5] = 2900;  // 12 blocks
    head.words[6] = 8;
    head.words[7] = 4;
    head.rangeMm = 20;
    head.disc = true;
    head.standoffUm = 0.0;
    return head;
}

size_t DumpBytes(const HeadEncoding& head)
{
    const int64_t word = head.disc ? head.words[5] : head.words[12];
    const int64_t n = (word / 256 + 1) * 1024;
    return n > 0 ? static_cast<size_t>(n) : 0;
}

int64_t SampleX(const HeadEncoding& head, int64_t i)
{
    const int64_t step = head.words[2];
    int64_t d;
    if (head.disc) {
        d = step > 999 ? 100 : 10;
    } else {
        d = step <= 99 ? 1 : (step <= 999 ? 10 : 100);
    }
    return (static_cast<int64_t>(head.words[1]) - 5000) + (i * step) / d;
}

std::vector<uint16_t> SampleProfile(const std::vector<Point>& profile, const HeadEncoding& head)
{
    const size_t count = DumpBytes(head) / 4;
    std::vector<double> nearest(count, std::numeric_limits<double>::infinity());
    if (profile.size() < 2 || count == 0) {
        return std::vector<uint16_t>(count, 0);
    }
    // The head sees the profile rotated back by the angle its levelling word
    // undoes, computed exactly as the levelling computes it.
    const float a = static_cast<float>((head.words[0] - 100) / 10000.0);
    const double ca = std::cos(static_cast<double>(a)), sa = std::sin(static_cast<double>(a));
    std::vector<Point> seen(profile.size());
    for (size_t k = 0; k < profile.size(); ++k) {
        const double x = profile[k].x, z = profile[k].z + head.standoffUm;
        seen[k] = {x * ca + z * sa, -x * sa + z * ca};
    }
    std::vector<int64_t> xs(count);
    for (size_t i = 0; i < count; ++i) {
        xs[i] = SampleX(head, static_cast<int64_t>(i));
    }
    const bool rising = count < 2 || xs[1] >= xs[0];
    for (size_t k = 0; k + 1 < seen.size(); ++k) {
        const Point& p = seen[k];
        const Point& q = seen[k + 1];
        const double lo = std::min(p.x, q.x), hi = std::max(p.x, q.x);
        // Sample positions are monotonic: find the first inside the segment.
        size_t i = 0;
        if (rising) {
            i = static_cast<size_t>(std::lower_bound(xs.begin(), xs.end(), static_cast<int64_t>(std::ceil(lo))) -
                                    xs.begin());
        }
        for (; i < count; ++i) {
            const double x = static_cast<double>(xs[i]);
            if (x > hi) {
                if (rising) {
                    break;
                }
                continue;
            }
            if (x < lo) {
                continue;
            }
            const double z = q.x == p.x ? std::min(p.z, q.z) : p.z + (q.z - p.z) * (x - p.x) / (q.x - p.x);
            nearest[i] = std::min(nearest[i], z);
        }
    }
    std::mt19937 random(head.seed);
    std::uniform_real_distribution<double> noise(-head.noiseUm, head.noiseUm);
    const double calibration = head.words[6] == 0 || head.words[6] == -1 ? 10000.0 : head.words[6];
    const double divisor = calibration <= 2000.0 ? 1000.0 : 10000.0;
    const double perUnit = head.rangeMm * 1000.0 / 16384.0;  // micrometres per sample unit
    std::vector<uint16_t> samples(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(nearest[i])) {
            continue;
        }
        double z = nearest[i];
        if (head.noiseUm > 0.0) {
            z += noise(random);
        }
        if (!head.disc) {
            z = z * divisor / calibration;
        }
        // The decoder truncates sample x perUnit: the smallest sample that
        // decodes at or above z lands within one unit of it.
        const double units = std::ceil(z / perUnit - 1e-9);
        samples[i] = static_cast<uint16_t>(std::clamp(units, 1.0, 65535.0));
    }
    return samples;
}

std::vector<uint8_t> EncodeSamples(const std::vector<uint16_t>& samples, size_t bytes, const HeadEncoding& head)
{
    std::vector<uint8_t> dump(bytes, 0);
    std::mt19937 random(head.seed ^ 0x5A5A5A5Au);
    for (size_t i = 0; i < samples.size() && 4 * i + 3 < bytes; ++i) {
        for (int b = 0; b < 4; ++b) {
            dump[4 * i + b] = static_cast<uint8_t>((samples[i] >> (4 * b)) & 0x0F);
        }
    }
    if (head.noisyHighNibbles) {
        for (auto& byte : dump) {
            byte = static_cast<uint8_t>(byte | ((random() & 0x0F) << 4));
        }
    }
    return dump;
}

std::vector<uint8_t> EncodeDump(const std::vector<Point>& profile, const HeadEncoding& head)
{
    return EncodeSamples(SampleProfile(profile, head), DumpBytes(head), head);
}

std::vector<Point> DiscSideProfile(const DiscShape& shape, int side)
{
    std::vector<Point> points;
    const double ring = (shape.headGapUm - shape.thicknessUm) / 2.0;
    const double groove = shape.grooveDepthUm[side == 2 ? 1 : 0];
    const double g0 = shape.grooveCentreUm - shape.grooveWidthUm / 2.0;
    const double g1 = shape.grooveCentreUm + shape.grooveWidthUm / 2.0;
    for (double x = shape.profileFromUm; x <= shape.profileToUm; x += 10.0) {
        double z = ring;
        if (x < shape.ringFromUm || x > shape.ringToUm) {
            z += shape.stepUm;
        } else if (x >= g0 && x <= g1) {
            z += groove;
        }
        points.push_back({x, z});
    }
    return points;
}

}  // namespace profilegen
