// Mouse buttons and keyboard modifiers of one mouse event.
#pragma once

#include <cstdint>

enum CButton : int32_t
{
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    // The Control key on Linux and Windows; Command on macOS.
    kControl = 1 << 5,
    kAlt = 1 << 6,
    // The Control key on macOS.
    kApple = 1 << 7,
    kDoubleClick = 1 << 10,
};

class CButtonState
{
public:
    CButtonState(int32_t state = 0) : state(state) {}

    int32_t getButtonState() const { return state & (kLButton | kMButton | kRButton); }
    int32_t getModifierState() const { return state & (kShift | kControl | kAlt | kApple); }
    bool isLeftButton() const { return (state & kLButton) != 0; }
    bool isRightButton() const { return (state & kRButton) != 0; }
    bool isDoubleClick() const { return (state & kDoubleClick) != 0; }
    int32_t operator()() const { return state; }
    CButtonState& operator&=(int32_t mask)
    {
        state &= mask;
        return *this;
    }
    bool operator==(const CButtonState&) const = default;
    bool operator==(int32_t s) const { return state == s; }

private:
    int32_t state;
};

// The modifier that, with the left button alone, restores a control's default value.
inline constexpr int32_t kDefaultValueModifier = kControl;
