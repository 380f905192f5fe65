#include "gui/platform/linux/X11ScaleFactor.h"

#include "gui/platform/IPlatformFrame.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr double kBaseDpi = 96.0;

// The value of the resource line "Xft.dpi:" in an X resource text, or 0.
double xftDpi(const char* resources)
{
    static const char kName[] = "Xft.dpi:";
    for (const char* line = resources; line && *line;)
    {
        const char* end = std::strchr(line, '\n');
        if (std::strncmp(line, kName, sizeof kName - 1) == 0)
        {
            char* parsed = nullptr;
            const double dpi = std::strtod(line + sizeof kName - 1, &parsed);
            return parsed != line + sizeof kName - 1 && std::isfinite(dpi) ? dpi : 0.0;
        }
        line = end ? end + 1 : nullptr;
    }
    return 0.0;
}
}

double snapScaleFactor(double wanted)
{
    if (!(wanted >= 1.25) || !std::isfinite(wanted))
        return 1.0;
    return wanted < 1.75 ? 1.5 : 2.0;
}

double scaleFactorFromSettings(const char* resources, const char* gdkScale)
{
    if (gdkScale && *gdkScale)
    {
        char* parsed = nullptr;
        const double wanted = std::strtod(gdkScale, &parsed);
        if (parsed != gdkScale && wanted > 0.0)
            return snapScaleFactor(wanted);
    }
    const double dpi = xftDpi(resources);
    return dpi > kBaseDpi ? snapScaleFactor(dpi / kBaseDpi) : 1.0;
}

double queryNativeScaleFactor()
{
    const char* gdkScale = std::getenv("GDK_SCALE");
    const char* displayName = std::getenv("DISPLAY");
    if (!displayName || !*displayName)
        return scaleFactorFromSettings(nullptr, gdkScale);
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return scaleFactorFromSettings(nullptr, gdkScale);
    // Read from the root window when the connection opened; owned by Xlib.
    const double scale = scaleFactorFromSettings(XResourceManagerString(display), gdkScale);
    XCloseDisplay(display);
    return scale;
}
