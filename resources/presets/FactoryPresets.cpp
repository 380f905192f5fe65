#include "resources/presets/FactoryPresets.h"

#include "engine/Vivuzudid.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>

namespace FactoryPresets {

namespace {

// The input magnitude the shaper maps to point i is about 10^((i + 0.5) / 635)
// - 1; every louder sample uses point 127, from about 0.585 up. Designed curves
// give the output level y (0 to 1) for t, that magnitude relative to point
// 127's: point i = 128 - 128 y, rounded.
std::array<int32_t, kCurvePoints> designed(const std::function<double(double)>& level)
{
    const double top = std::pow(10.0, 127.0 / 635.0) - 1.0;
    std::array<int32_t, kCurvePoints> curve{};
    for (int i = 0; i < kCurvePoints; ++i)
    {
        const double u = i == kCurvePoints - 1 ? top : std::pow(10.0, (i + 0.5) / 635.0) - 1.0;
        const double y = std::clamp(level(u / top), 0.0, 1.0);
        curve[i] = static_cast<int32_t>(std::lround(128.0 - 128.0 * y));
    }
    return curve;
}

std::array<int32_t, kCurvePoints> initialCurve()
{
    std::array<int32_t, kCurvePoints> curve{};
    for (int i = 0; i < kCurvePoints; ++i)
        curve[i] = 128 - i;
    return curve;
}

// Parameter values: filter types as the scale points the LV2 ports show.
constexpr float kOff = 0.0f;
constexpr float kLowPass = 0.333333f;
constexpr float kHighPass = 1.0f;

// Cutoff positions: 21.5 Hz * 682.65^v.
constexpr float kCut150Hz = 0.3f;
constexpr float kCut1500Hz = 0.65f;
constexpr float kCut2900Hz = 0.75f;
constexpr float kCut5500Hz = 0.85f;

std::vector<Preset> build()
{
    //                PreGain PrePan PostGain Shaper Wet   PreFilter PreCut      PostFilter PostCut
    return {
        {"Init", "The starting point: every control at its default, the logarithmic curve.",
         {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, kOff, 0.5f, kOff, 0.5f}, initialCurve()},
        {"Soft Clip", "Smooth tanh saturation: warm drive that rounds peaks off gently.",
         {0.6f, 0.5f, 0.4f, 1.0f, 1.0f, kOff, 0.5f, kOff, 0.5f},
         designed([](double t) { return std::tanh(2.5 * t) / std::tanh(2.5); })},
        {"Hard Clip", "Clean up to a threshold, flat above it: bright, square-edged clipping.",
         {0.55f, 0.5f, 0.35f, 1.0f, 1.0f, kOff, 0.5f, kOff, 0.5f},
         designed([](double t) { return std::min(1.0, t / 0.6); })},
        {"Bit Crush", "A 16-step staircase: coarse amplitude quantisation, softened by a low-pass.",
         {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, kOff, 0.5f, kLowPass, kCut5500Hz},
         designed([](double t) { return std::round(16.0 * t) / 16.0; })},
        {"Square Fuzz", "Three steps that lift every quiet sample to a third: buzzing square-wave fuzz.",
         {0.5f, 0.5f, 0.3f, 1.0f, 1.0f, kHighPass, kCut150Hz, kLowPass, kCut2900Hz},
         designed([](double t) { return std::ceil(3.0 * t) / 3.0; })},
        {"Fold", "Rises to full level, folds back down and up again: metallic wavefolder overtones.",
         {0.6f, 0.5f, 0.4f, 1.0f, 1.0f, kOff, 0.5f, kOff, 0.5f},
         designed([](double t) {
             const double z = std::fmod(2.5 * t, 2.0);
             return 1.0 - std::fabs(1.0 - z);
         })},
        {"Gate", "Silences samples below about -30 dB and passes the rest: a sample-level noise gate.",
         {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, kOff, 0.5f, kOff, 0.5f},
         designed([](double t) { return t < 0.05 ? 0.0 : t; })},
        {"Dead Zone", "Takes a slice off every sample: quiet passages vanish, crossover distortion.",
         {0.55f, 0.5f, 0.6f, 1.0f, 1.0f, kOff, 0.5f, kOff, 0.5f},
         designed([](double t) { return std::max(0.0, t - 0.15) / 0.85; })},
        {"Squash", "A square-root curve mixed in parallel: lifts quiet detail, dense and compressed.",
         {0.45f, 0.5f, 0.35f, 1.0f, 0.7f, kOff, 0.5f, kOff, 0.5f},
         designed([](double t) { return std::sqrt(t); })},
        {"Chebyshev 3", "The third Chebyshev polynomial on low-passed input: adds the twelfth above.",
         {0.5f, 0.5f, 0.45f, 1.0f, 0.8f, kLowPass, kCut1500Hz, kOff, 0.5f},
         designed([](double t) { return std::fabs(4.0 * t * t * t - 3.0 * t); })},
    };
}

} // namespace

const std::vector<Preset>& all()
{
    static const std::vector<Preset> presets = build();
    return presets;
}

std::string slug(const std::string& name)
{
    std::string s;
    for (char c : name)
        s += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void apply(const Preset& preset, Vivuzudid& effect)
{
    for (int i = 0; i < kParameters; ++i)
        effect.setParameter(i, preset.parameters[static_cast<size_t>(i)]);
    effect.setCurve(preset.curve.data());
}

} // namespace FactoryPresets
