// The editor in a real X window: a parent window on a private Xvfb display,
// the module loaded through its entry point, real pointer and key events
// from xdotool, and the effect's state read back through the host.
#pragma once

#include "engine/StateChunk.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xlib.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

inline constexpr int kCurveLeft = 70;
inline constexpr int kCurveTop = 103;

class EditorWindow : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads Xft.dpi into the X server's resources (as xrdb does) for editors
    // made from now on; 0 removes the resources. SetUp starts with none.
    void setServerDpi(int dpi);
    // Makes the effect anew (a new editor asks the screen's scale again) and
    // sizes the parent window to its rectangle.
    void createEffect();

    bool openEditor();
    // Sends editor idle as a host does, about every 10 ms.
    void pump(int milliseconds);
    static void xdotool(const std::string& args);
    // A press at (x0, y0), moves along `path`, release; `keys` held throughout.
    // Coordinates are the artwork's: they are multiplied by the editor's scale.
    void drag(int x0, int y0, std::initializer_list<std::pair<int, int>> path, const std::string& keys = "");
    // Moves the pointer onto the artwork's (x, y) and clicks there.
    void click(int x, int y, const std::string& keys = "");
    // The pointer onto the artwork's (x, y), without clicking.
    void hover(int x, int y);
    // The window pixel at the middle of an artwork pixel.
    int px(double v) const { return static_cast<int>((v + 0.5) * scale); }

    static int32_t chunkCurvePoint(const std::vector<unsigned char>& chunk, int i)
    {
        return StateChunk::read<int32_t>(chunk.data(), StateChunk::kCurve + 4 * i);
    }
    // The parent window's pixels as 0xRRGGBB, row by row.
    std::vector<uint32_t> grab();
    // Saves the parent window into the build's artifact folder; returns its pixels.
    std::vector<uint32_t> screenshot(const std::string& name);
    // Pixels of `colour` in the curve area (artwork coordinates, window pixels counted).
    int countInCurveArea(const std::vector<uint32_t>& pixels, uint32_t colour) const;
    int countRequests(VstInt32 opcode, VstInt32 index) const;

    Display* display = nullptr;
    Window parent = 0;
    int width = 0;
    int height = 0;
    double scale = 1.0;
    std::unique_ptr<dc::TestHost> host;
};
