#include "tools/HostOptions.h"

#include "tools/ArgumentParser.h"

#include <vector>

namespace
{

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;)
    {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

} // namespace

ParameterSetting parseSetting(const std::string& text)
{
    const size_t at = text.rfind('=');
    if (at == std::string::npos || at == 0)
        throw UsageError("bad --set \"" + text + "\" (expected PARAMETER=VALUE, e.g. 0=0.5 or \"PreGain=0.75\")");
    ParameterSetting setting{text.substr(0, at), 0.0f};
    const double value = parseNumber(text.substr(at + 1), "--set value");
    if (value < 0.0 || value > 1.0)
        throw UsageError("bad --set \"" + text + "\": values run from 0 to 1");
    setting.value = static_cast<float>(value);
    return setting;
}

ControlChange parseControlChange(const std::string& text)
{
    const std::vector<std::string> parts = split(text, ':');
    if (parts.size() < 3 || parts.size() > 4)
        throw UsageError("bad --cc \"" + text + "\" (expected SECONDS:CONTROLLER:VALUE[:CHANNEL], e.g. 1.5:70:100)");
    ControlChange change;
    change.seconds = parseNumber(parts[0], "--cc time");
    if (change.seconds < 0.0)
        throw UsageError("bad --cc \"" + text + "\": the time cannot be negative");
    change.controller = parseInteger(parts[1], "--cc controller", 0, 127);
    change.value = parseInteger(parts[2], "--cc value", 0, 127);
    if (parts.size() == 4)
        change.channel = parseInteger(parts[3], "--cc channel", 1, 16);
    return change;
}

