// The factory presets, one table for every form: each preset's name, what it
// does, its nine parameter values and its 128 curve points. The LV2 presets
// and the FXP program files are both written from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Vivuzudid;

namespace FactoryPresets {

constexpr int kParameters = 9;
constexpr int kCurvePoints = 128;

struct Preset
{
    std::string name;
    std::string description; // one line
    std::array<float, kParameters> parameters;
    std::array<int32_t, kCurvePoints> curve;
};

// [any thread] Every preset, "Init" first.
const std::vector<Preset>& all();

// "Soft Clip" -> "soft-clip": lower case, '-' for spaces. The preset's URI and
// Turtle file take this form of the name.
std::string slug(const std::string& name);

// Sets the effect's nine parameters and its curve to the preset's.
void apply(const Preset& preset, Vivuzudid& effect);

} // namespace FactoryPresets
