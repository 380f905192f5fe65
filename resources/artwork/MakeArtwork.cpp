// Draws the editor images bmp00128.png ... bmp00133.png with cairo.
// Usage: dc_artwork <output folder>. The output depends only on this file,
// cairo and the DejaVu fonts, so the committed images can be made again.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace
{
// The window and control layout the editor uses.
constexpr int kWidth = 300;
constexpr int kHeight = 320;
constexpr int kSliderW = 250, kSliderH = 14;
constexpr int kHandleW = 12, kHandleH = 14;
constexpr int kButtonW = 60, kButtonH = 20;
constexpr int kSwitchW = 60, kSwitchH = 16;
constexpr int kKnob = 44, kKnobFrames = 120;
constexpr int kSliderX = 25;
constexpr int kSliderY[] = {18, 48, 78, 280};
constexpr int kCurveX = 70, kCurveY = 103, kCurveSize = 128;
constexpr int kPreKnobX = 16, kPostKnobX = 230, kKnobY = 173;
constexpr int kPreSwitchX = 6, kPostSwitchX = 222, kSwitchY = 153;
constexpr int kButtonX = 88, kButtonY = 242;

struct Rgb
{
    double r, g, b;
};
constexpr Rgb kPanelTop{0.17, 0.18, 0.20};
constexpr Rgb kPanelBottom{0.10, 0.11, 0.12};
constexpr Rgb kLabel{0.72, 0.74, 0.77};
constexpr Rgb kDim{0.45, 0.47, 0.50};
constexpr Rgb kAccent{1.00, 0.66, 0.22};
constexpr Rgb kWell{0.05, 0.06, 0.07};

void set(cairo_t* cr, Rgb c, double a = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, a);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -std::numbers::pi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, std::numbers::pi / 2);
    cairo_arc(cr, x + r, y + h - r, r, std::numbers::pi / 2, std::numbers::pi);
    cairo_arc(cr, x + r, y + r, r, std::numbers::pi, 3 * std::numbers::pi / 2);
    cairo_close_path(cr);
}

enum class Align
{
    Left,
    Centre,
    Right
};

void text(cairo_t* cr, const char* s, double x, double baseline, double size, Rgb c, Align align = Align::Left,
          bool bold = true, double alpha = 1.0)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, s, &ext);
    double left = x;
    if (align == Align::Centre)
        left = x - ext.x_advance / 2;
    else if (align == Align::Right)
        left = x - ext.x_advance;
    set(cr, c, alpha);
    cairo_move_to(cr, std::round(left), baseline);
    cairo_show_text(cr, s);
}

bool save(cairo_surface_t* s, const std::string& folder, int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "/bmp%05d.png", number);
    const std::string path = folder + name;
    if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS)
    {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Knob angle in radians (cairo: clockwise from 3 o'clock) for a value 0..1:
// from the lower left over the top to the lower right.
double knobAngle(double v)
{
    return (135.0 + 270.0 * v) * std::numbers::pi / 180.0;
}

void knobTicks(cairo_t* cr, double cx, double cy)
{
    cairo_set_line_width(cr, 1.0);
    for (int i = 0; i <= 10; ++i)
    {
        const double a = knobAngle(i / 10.0);
        const double r1 = 19.0, r2 = (i % 5 == 0) ? 22.0 : 21.0;
        set(cr, i % 5 == 0 ? kLabel : kDim, 0.9);
        cairo_move_to(cr, cx + r1 * std::cos(a), cy + r1 * std::sin(a));
        cairo_line_to(cr, cx + r2 * std::cos(a), cy + r2 * std::sin(a));
        cairo_stroke(cr);
    }
}

void panelGroup(cairo_t* cr, double x, double y, double w, double h)
{
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 5);
    set(cr, {0.0, 0.0, 0.0}, 0.22);
    cairo_fill_preserve(cr);
    set(cr, {1.0, 1.0, 1.0}, 0.06);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

bool background(const std::string& folder)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(s);

    cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 0, kHeight);
    cairo_pattern_add_color_stop_rgb(grad, 0, kPanelTop.r, kPanelTop.g, kPanelTop.b);
    cairo_pattern_add_color_stop_rgb(grad, 1, kPanelBottom.r, kPanelBottom.g, kPanelBottom.b);
    cairo_set_source(cr, grad);
    cairo_paint(cr);
    cairo_pattern_destroy(grad);

    // Brushed-metal grain from a fixed pseudo-random sequence.
    unsigned seed = 12345u;
    cairo_set_line_width(cr, 1.0);
    for (int y = 0; y < kHeight; ++y)
    {
        seed = seed * 1103515245u + 12345u;
        const double a = ((seed >> 16) & 0xff) / 255.0 * 0.035;
        set(cr, {1, 1, 1}, a);
        cairo_move_to(cr, 0, y + 0.5);
        cairo_line_to(cr, kWidth, y + 0.5);
        cairo_stroke(cr);
    }

    // Groups: gain sliders, the two filter columns, the curve and the footer.
    panelGroup(cr, 18, 3, 264, 93);
    panelGroup(cr, 1, 138, 67, 100);
    panelGroup(cr, 218, 138, 68, 100);
    panelGroup(cr, 18, 266, 264, 31);

    const char* sliderLabels[] = {"PRE GAIN", "PRE PAN", "POST GAIN", "DRY / WET"};
    const char* sliderRange[] = {"-50 \u2026 +50", "L \u2026 R", "-50 \u2026 +50", "DRY \u2026 WET"};
    for (int i = 0; i < 4; ++i)
    {
        const int y = kSliderY[i];
        text(cr, sliderLabels[i], kSliderX + 1, y - 3, 7.5, kLabel);
        text(cr, sliderRange[i], kSliderX + kSliderW - 1, y - 3, 6.5, kDim, Align::Right, false);
        // Centre mark.
        set(cr, kDim, 0.8);
        cairo_rectangle(cr, kSliderX + kSliderW / 2.0 - 0.5, y - 4, 1, 3);
        cairo_fill(cr);
    }

    // The curve area: recessed well with a grid and the reset diagonal.
    const double cx = kCurveX, cy = kCurveY, cs = kCurveSize;
    roundedRect(cr, cx - 1.5, cy - 1.5, cs + 3, cs + 3, 1.5);
    set(cr, {0, 0, 0}, 0.55);
    cairo_fill_preserve(cr);
    set(cr, {1, 1, 1}, 0.10);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    set(cr, kWell);
    cairo_rectangle(cr, cx, cy, cs, cs);
    cairo_fill(cr);
    for (int g = 16; g < kCurveSize; g += 16)
    {
        set(cr, {1, 1, 1}, g % 64 == 0 ? 0.10 : 0.05);
        cairo_move_to(cr, cx + g + 0.5, cy);
        cairo_line_to(cr, cx + g + 0.5, cy + cs);
        cairo_move_to(cr, cx, cy + g + 0.5);
        cairo_line_to(cr, cx + cs, cy + g + 0.5);
        cairo_stroke(cr);
    }
    set(cr, kAccent, 0.16);
    cairo_move_to(cr, cx, cy + cs);
    cairo_line_to(cr, cx + cs, cy);
    cairo_stroke(cr);
    // Axis hints.
    text(cr, "SHAPER CURVE", cx + cs / 2, cy + cs + 3 + 7, 6.5, kDim, Align::Centre);

    // How to draw: right of the curve.
    const double hx = cx + cs + 10;
    text(cr, "DRAG  draw", hx, cy + 6, 6.5, kDim, Align::Left, false);
    text(cr, "SHIFT  diagonal", hx, cy + 16, 6.5, kDim, Align::Left, false);
    text(cr, "ALT  reset all", hx, cy + 26, 6.5, kDim, Align::Left, false);
    // Legend of the signal markers.
    set(cr, {0, 0, 1});
    cairo_rectangle(cr, 8, cy + 4, 6, 2);
    cairo_fill(cr);
    text(cr, "L", 17, cy + 8, 6.5, kDim, Align::Left, false);
    set(cr, {0, 1, 0});
    cairo_rectangle(cr, 8, cy + 14, 6, 2);
    cairo_fill(cr);
    text(cr, "R", 17, cy + 18, 6.5, kDim, Align::Left, false);
    text(cr, "SIGNAL", 8, cy - 3, 6.5, kDim, Align::Left, true);

    // Filter columns.
    text(cr, "PRE FILTER", kPreSwitchX + kSwitchW / 2.0, kSwitchY - 5, 7, kLabel, Align::Centre);
    text(cr, "POST FILTER", kPostSwitchX + kSwitchW / 2.0, kSwitchY - 5, 7, kLabel, Align::Centre);
    knobTicks(cr, kPreKnobX + kKnob / 2.0, kKnobY + kKnob / 2.0);
    knobTicks(cr, kPostKnobX + kKnob / 2.0, kKnobY + kKnob / 2.0);
    text(cr, "CUTOFF", kPreKnobX + kKnob / 2.0, kKnobY + kKnob + 10, 7, kLabel, Align::Centre);
    text(cr, "CUTOFF", kPostKnobX + kKnob / 2.0, kKnobY + kKnob + 10, 7, kLabel, Align::Centre);

    // Shaper switch.
    text(cr, "SHAPER", kButtonX - 6, kButtonY + 13.5, 7.5, kLabel, Align::Right);

    // Footer with the product name.
    text(cr, "DITHERCRUNCH", 12, kHeight - 7, 11, kAccent, Align::Left);
    text(cr, "TARNBY AUDIO", kWidth - 12, kHeight - 7, 7, kDim, Align::Right);

    cairo_destroy(cr);
    const bool ok = save(s, folder, 128);
    cairo_surface_destroy(s);
    return ok;
}

bool sliderTrack(const std::string& folder)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSliderW, kSliderH);
    cairo_t* cr = cairo_create(s);
    // Groove.
    roundedRect(cr, 0.5, 4.5, kSliderW - 1, kSliderH - 9, 2.5);
    set(cr, kWell);
    cairo_fill_preserve(cr);
    set(cr, {1, 1, 1}, 0.12);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    // Scale marks above and below the groove.
    for (int i = 0; i <= 10; ++i)
    {
        const double x = std::round(kHandleW / 2.0 + i * (kSliderW - kHandleW) / 10.0) + 0.5;
        set(cr, i % 5 == 0 ? kLabel : kDim, i % 5 == 0 ? 0.7 : 0.45);
        cairo_move_to(cr, x, 0);
        cairo_line_to(cr, x, 3);
        cairo_move_to(cr, x, kSliderH - 3);
        cairo_line_to(cr, x, kSliderH);
        cairo_stroke(cr);
    }
    cairo_destroy(cr);
    const bool ok = save(s, folder, 129);
    cairo_surface_destroy(s);
    return ok;
}

bool sliderHandle(const std::string& folder)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kHandleW, kHandleH);
    cairo_t* cr = cairo_create(s);
    roundedRect(cr, 0.5, 0.5, kHandleW - 1, kHandleH - 1, 2);
    cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 0, kHandleH);
    cairo_pattern_add_color_stop_rgb(grad, 0, 1.0, 0.80, 0.45);
    cairo_pattern_add_color_stop_rgb(grad, 1, 0.80, 0.45, 0.10);
    cairo_set_source(cr, grad);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(grad);
    set(cr, {0, 0, 0}, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    set(cr, {0.15, 0.08, 0.0}, 0.85);
    cairo_rectangle(cr, kHandleW / 2.0 - 0.5, 3, 1, kHandleH - 6);
    cairo_fill(cr);
    cairo_destroy(cr);
    const bool ok = save(s, folder, 130);
    cairo_surface_destroy(s);
    return ok;
}

bool onOffButton(const std::string& folder)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kButtonW, kButtonH * 2);
    cairo_t* cr = cairo_create(s);
    for (int state = 0; state < 2; ++state)
    {
        const double y = state * kButtonH;
        roundedRect(cr, 0.5, y + 0.5, kButtonW - 1, kButtonH - 1, 3);
        cairo_pattern_t* grad = cairo_pattern_create_linear(0, y, 0, y + kButtonH);
        cairo_pattern_add_color_stop_rgb(grad, 0, 0.27, 0.28, 0.31);
        cairo_pattern_add_color_stop_rgb(grad, 1, 0.16, 0.17, 0.19);
        cairo_set_source(cr, grad);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(grad);
        set(cr, {0, 0, 0}, 0.7);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        // LED.
        const double lx = 11, ly = y + kButtonH / 2.0;
        if (state == 1)
        {
            cairo_pattern_t* glow = cairo_pattern_create_radial(lx, ly, 0, lx, ly, 7);
            cairo_pattern_add_color_stop_rgba(glow, 0, kAccent.r, kAccent.g, kAccent.b, 0.7);
            cairo_pattern_add_color_stop_rgba(glow, 1, kAccent.r, kAccent.g, kAccent.b, 0.0);
            cairo_set_source(cr, glow);
            cairo_arc(cr, lx, ly, 7, 0, 2 * std::numbers::pi);
            cairo_fill(cr);
            cairo_pattern_destroy(glow);
        }
        cairo_arc(cr, lx, ly, 3, 0, 2 * std::numbers::pi);
        set(cr, state == 1 ? kAccent : Rgb{0.30, 0.22, 0.12});
        cairo_fill(cr);
        text(cr, state == 1 ? "ON" : "OFF", 37, y + 13.5, 8, state == 1 ? kAccent : kDim, Align::Centre);
    }
    cairo_destroy(cr);
    const bool ok = save(s, folder, 131);
    cairo_surface_destroy(s);
    return ok;
}

bool filterSwitch(const std::string& folder)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSwitchW, kSwitchH * 4);
    cairo_t* cr = cairo_create(s);
    const char* names[] = {"LP", "BP", "HP"};
    const double seg = kSwitchW / 3.0;
    for (int state = 0; state < 4; ++state)
    {
        const double y = state * kSwitchH;
        roundedRect(cr, 0.5, y + 0.5, kSwitchW - 1, kSwitchH - 1, 3);
        set(cr, {0.08, 0.09, 0.10});
        cairo_fill_preserve(cr);
        set(cr, {0, 0, 0}, 0.8);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        for (int k = 0; k < 3; ++k)
        {
            const double x = k * seg;
            const bool lit = state == k + 1;
            if (lit)
            {
                roundedRect(cr, x + 1.5, y + 1.5, seg - 3, kSwitchH - 3, 2);
                set(cr, kAccent, 0.9);
                cairo_fill(cr);
            }
            if (k > 0)
            {
                set(cr, {1, 1, 1}, 0.08);
                cairo_rectangle(cr, std::round(x), y + 3, 1, kSwitchH - 6);
                cairo_fill(cr);
            }
            text(cr, names[k], x + seg / 2, y + 11, 7, lit ? Rgb{0.10, 0.06, 0.0} : kDim, Align::Centre);
        }
    }
    cairo_destroy(cr);
    const bool ok = save(s, folder, 132);
    cairo_surface_destroy(s);
    return ok;
}

bool knobStrip(const std::string& folder)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kKnob, kKnob * kKnobFrames);
    cairo_t* cr = cairo_create(s);
    for (int f = 0; f < kKnobFrames; ++f)
    {
        const double v = f / double(kKnobFrames - 1);
        const double cx = kKnob / 2.0, cy = f * kKnob + kKnob / 2.0;
        // Value arc.
        cairo_set_line_width(cr, 2.0);
        set(cr, kWell);
        cairo_arc(cr, cx, cy, 17, knobAngle(0), knobAngle(1));
        cairo_stroke(cr);
        if (f > 0)
        {
            set(cr, kAccent);
            cairo_arc(cr, cx, cy, 17, knobAngle(0), knobAngle(v));
            cairo_stroke(cr);
        }
        // Shadow and body.
        cairo_arc(cr, cx, cy + 1.5, 13.5, 0, 2 * std::numbers::pi);
        set(cr, {0, 0, 0}, 0.45);
        cairo_fill(cr);
        cairo_arc(cr, cx, cy, 13, 0, 2 * std::numbers::pi);
        cairo_pattern_t* grad = cairo_pattern_create_linear(cx, cy - 13, cx, cy + 13);
        cairo_pattern_add_color_stop_rgb(grad, 0, 0.36, 0.37, 0.40);
        cairo_pattern_add_color_stop_rgb(grad, 1, 0.14, 0.15, 0.17);
        cairo_set_source(cr, grad);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(grad);
        set(cr, {0, 0, 0}, 0.8);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        cairo_arc(cr, cx, cy, 10, 0, 2 * std::numbers::pi);
        set(cr, {1, 1, 1}, 0.05);
        cairo_fill(cr);
        // Pointer.
        const double a = knobAngle(v);
        cairo_set_line_width(cr, 2.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        set(cr, {0.95, 0.95, 0.95});
        cairo_move_to(cr, cx + 4 * std::cos(a), cy + 4 * std::sin(a));
        cairo_line_to(cr, cx + 11 * std::cos(a), cy + 11 * std::sin(a));
        cairo_stroke(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    }
    cairo_destroy(cr);
    const bool ok = save(s, folder, 133);
    cairo_surface_destroy(s);
    return ok;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = background(folder) && sliderTrack(folder) && sliderHandle(folder) && onOffButton(folder) &&
                    filterSwitch(folder) && knobStrip(folder);
    return ok ? 0 : 1;
}
