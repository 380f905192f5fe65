#include "tools/auhost/AUStateCommands.h"

#include "tools/auhost/AUState.h"
#include "tools/kit/HostOptions.h"
#include "tools/kit/ReplacingFile.h"
#include "tools/kit/ToolMain.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

std::string utf8Of(CFStringRef text)
{
    if (!text)
        return {};
    char buffer[1024] = {};
    if (!CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingUTF8))
        return "?";
    return buffer;
}

std::vector<uint8_t> readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw AUError("cannot read " + file.string());
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw AUError("cannot read " + file.string());
    return bytes;
}

CFPropertyListRef parsePropertyList(const std::vector<uint8_t>& bytes, const std::string& what)
{
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size()));
    CFStringRef error = nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, &error);
    CFRelease(data);
    if (!list)
    {
        const std::string reason = error ? utf8Of(error) : "not a property list";
        if (error)
            CFRelease(error);
        throw AUError(what + " is not a property list (" + reason + ")");
    }
    if (error)
        CFRelease(error);
    return list;
}

struct StateCommandLine
{
    std::string command;
    std::string bundle;
    std::string output;
    std::string state;
    int32_t preset = -1;
    bool quiet = false;
    std::vector<std::pair<std::string, float>> settings;
};

StateCommandLine commandLineFrom(const ParsedArguments& arguments)
{
    StateCommandLine line;
    line.command = arguments.command;
    try
    {
        line.bundle = onePositional(arguments, "component bundle", "bundle");
        line.output = arguments.value("--output");
        line.state = arguments.value("--state");
        if (arguments.has("--preset"))
            line.preset = parseInteger(arguments.value("--preset"), "--preset", 0, 0x7FFFFFFF);
        line.quiet = arguments.has("--quiet");
        for (const std::string& text : arguments.values("--set"))
        {
            ParameterSetting setting = parseUnitSetting(text, "0=12.5 or PreGain=0.25");
            line.settings.emplace_back(std::move(setting.parameter), setting.value);
        }
        if (line.command == "save" && line.output.empty())
            throw UsageError("save needs -o NAME.aupreset");
    }
    catch (UsageError& e)
    {
        if (e.command.empty())
            e.command = arguments.command;
        throw;
    }
    return line;
}

int save(const StateCommandLine& line)
{
    AUSession session(line.bundle);
    if (!line.state.empty())
        restoreStateFile(session, line.state);
    if (line.preset >= 0)
        selectFactoryPreset(session, line.preset);
    for (const auto& [parameter, value] : line.settings)
        check(AudioUnitSetParameter(session.unit(), session.findParameter(parameter), kAudioUnitScope_Global, 0, value, 0),
              "setting " + parameter);
    const std::vector<uint8_t> bytes = stateDocumentBytes(session);
    writeFileSafely(line.output, bytes);
    std::printf("wrote  %s (%zu bytes)\n", line.output.c_str(), bytes.size());
    return ExitStatus::success;
}

int presets(const StateCommandLine& line)
{
    AUSession session(line.bundle);
    CFArrayRef list = nullptr;
    UInt32 size = sizeof(list);
    const OSStatus status =
        AudioUnitGetProperty(session.unit(), kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &list, &size);
    if (status == kAudioUnitErr_InvalidProperty)
    {
        std::printf("no factory presets\n");
        return 0;
    }
    check(status, "reading the factory presets");
    const CFIndex count = CFArrayGetCount(list);
    std::printf("%ld factory preset%s:\n", static_cast<long>(count), count == 1 ? "" : "s");
    for (CFIndex i = 0; i < count; ++i)
    {
        const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(list, i));
        std::printf("  %3d  %s\n", static_cast<int>(preset->presetNumber), utf8Of(preset->presetName).c_str());
    }
    CFRelease(list);
    return 0;
}

// What a component bundle's Info.plist says about converting.
struct ConversionSettings
{
    std::string name; // "Manufacturer: Product"
    bool autoConvert = false;
    bool presetIsFXB = false;
};

ConversionSettings readConversionSettings(const fs::path& bundle)
{
    const fs::path infoPlist = bundle / "Contents" / "Info.plist";
    CFPropertyListRef list = parsePropertyList(readFile(infoPlist), infoPlist.string());
    ConversionSettings settings;
    auto dictionary = static_cast<CFDictionaryRef>(list);
    if (CFGetTypeID(list) == CFDictionaryGetTypeID())
    {
        auto components = static_cast<CFArrayRef>(CFDictionaryGetValue(dictionary, CFSTR("AudioComponents")));
        if (components && CFGetTypeID(components) == CFArrayGetTypeID() && CFArrayGetCount(components) > 0)
        {
            auto first = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(components, 0));
            if (CFGetTypeID(first) == CFDictionaryGetTypeID())
            {
                auto name = static_cast<CFStringRef>(CFDictionaryGetValue(first, CFSTR("name")));
                if (name && CFGetTypeID(name) == CFStringGetTypeID())
                    settings.name = utf8Of(name);
            }
        }
        auto config = static_cast<CFDictionaryRef>(CFDictionaryGetValue(dictionary, CFSTR("TWConfig")));
        if (config && CFGetTypeID(config) == CFDictionaryGetTypeID())
        {
            auto flag = [&](const char* key) {
                CFTypeRef value = CFDictionaryGetValue(config, __CFStringMakeConstantString(key));
                return value && CFGetTypeID(value) == CFBooleanGetTypeID() &&
                       CFBooleanGetValue(static_cast<CFBooleanRef>(value));
            };
            settings.autoConvert = flag("AutoConvertPresets");
            settings.presetIsFXB = flag("PresetIsFXB");
        }
    }
    CFRelease(list);
    if (settings.name.empty())
        throw AUError(infoPlist.string() + " registers no component name");
    return settings;
}

// The preset folder of one domain, as the component derives it from its
// registered name; empty when the domain has no audio support folder.
fs::path presetFolder(short domain, const std::string& name)
{
    FSRef ref{};
    if (FSFindFolder(domain, kAudioSupportFolderType, kDontCreateFolder, &ref) != noErr)
        return {};
    UInt8 path[4096];
    if (FSRefMakePath(&ref, path, sizeof(path)) != noErr)
        return {};
    fs::path folder = fs::path(reinterpret_cast<const char*>(path)) / "Presets";
    size_t start = 0;
    while (start <= name.size())
    {
        size_t colon = name.find(':', start);
        if (colon == std::string::npos)
            colon = name.size();
        std::string part = name.substr(start, colon - start);
        part.erase(0, part.find_first_not_of(' '));
        part.erase(part.find_last_not_of(' ') + 1);
        if (!part.empty())
            folder /= part;
        start = colon + 1;
    }
    return folder;
}

std::set<fs::path> filesUnder(const fs::path& folder)
{
    std::set<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            files.insert(it->path());
    return files;
}

std::string lowered(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// 'AFxP', 'AFxB' or 0 from the Finder info a file carries.
uint32_t typeCodeOf(const fs::path& file)
{
    uint8_t info[32] = {};
    if (::getxattr(file.c_str(), "user.com.apple.FinderInfo", info, sizeof(info)) < 4)
        return 0;
    return (uint32_t(info[0]) << 24) | (uint32_t(info[1]) << 16) | (uint32_t(info[2]) << 8) | info[3];
}

bool invisible(const fs::path& file)
{
    uint8_t info[32] = {};
    const ssize_t size = ::getxattr(file.c_str(), "user.com.apple.FinderInfo", info, sizeof(info));
    return file.filename().string().starts_with(".") || (size >= 10 && (info[8] & 0x40));
}

// What a run did to one preset folder: documents written, sources skipped.
void report(const fs::path& folder, const std::set<fs::path>& before, const std::set<fs::path>& after, bool presetIsFXB,
            size_t& written, size_t& skipped)
{
    for (const fs::path& file : after)
        if (!before.count(file))
        {
            std::printf("wrote    %s\n", file.lexically_relative(folder).c_str());
            ++written;
        }
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    {
        const fs::path source = it->path();
        if (!fs::is_regular_file(source, ec))
            continue;
        const std::string extension = lowered(source.extension().string());
        const uint32_t type = typeCodeOf(source);
        const bool bank = extension == ".fxb" || type == 0x41467842;
        const bool program = !bank && (extension == ".fxp" || type == 0x41467850);
        if (!bank && !program)
            continue;
        const std::string name = source.filename().string();
        const fs::path stem = source.extension().empty() || source.extension() == "."
                                  ? source
                                  : source.parent_path() / source.stem();
        const bool split = bank && !presetIsFXB;
        const fs::path target = split ? stem : fs::path(stem.string() + ".aupreset");
        auto madeNow = [&]() {
            for (const fs::path& file : after)
                if (!before.count(file) && (file == target || file.parent_path() == target))
                    return true;
            return false;
        };
        const char* reason = nullptr;
        if (invisible(source))
            reason = "invisible";
        else if (program && presetIsFXB)
            reason = "program files are not converted while PresetIsFXB is true";
        else if (madeNow())
            continue;
        else if (split && target == source)
            reason = "a bank without an extension has no folder name of its own";
        else if (fs::exists(target, ec) || fs::is_symlink(target, ec))
            reason = split ? "its folder exists (converted before)" : "the .aupreset exists (converted before)";
        else
            reason = "could not be converted";
        std::printf("skipped  %s: %s\n", name.c_str(), reason);
        ++skipped;
    }
}

int convert(const StateCommandLine& line)
{
    const ConversionSettings settings = readConversionSettings(line.bundle);
    if (!settings.autoConvert)
        throw AUError("this bundle does not convert presets (TWConfig AutoConvertPresets is false)");
    const fs::path folders[] = {presetFolder(kUserDomain, settings.name), presetFolder(kLocalDomain, settings.name)};
    std::set<fs::path> before[2];
    for (int d = 0; d < 2; ++d)
        if (!folders[d].empty())
            before[d] = filesUnder(folders[d]);

    // The component converts while it opens; on a terminal a line shows how
    // many documents have appeared so far.
    std::atomic<bool> done{false};
    const bool showProgress = !line.quiet && ::isatty(STDERR_FILENO);
    std::thread progress;
    if (showProgress)
        progress = std::thread([&]() {
            while (!done.load())
            {
                size_t count = 0;
                for (int d = 0; d < 2; ++d)
                    if (!folders[d].empty())
                        count += filesUnder(folders[d]).size() - before[d].size();
                std::fprintf(stderr, "\rconverting: %zu document%s written", count, count == 1 ? "" : "s");
                std::fflush(stderr);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
        });
    try
    {
        AUSession session(line.bundle);
    }
    catch (...)
    {
        done = true;
        if (progress.joinable())
            progress.join();
        throw;
    }
    done = true;
    if (progress.joinable())
        progress.join();

    size_t written = 0, skipped = 0;
    for (int d = 0; d < 2; ++d)
    {
        if (folders[d].empty())
            continue;
        std::printf("%s: %s\n", d == 0 ? "user" : "local", folders[d].c_str());
        report(folders[d], before[d], filesUnder(folders[d]), settings.presetIsFXB, written, skipped);
    }
    std::printf("%zu written, %zu skipped\n", written, skipped);
    return 0;
}

} // namespace

std::vector<CommandDescription> stateCommandDescriptions()
{
    const OptionDescription state{"--state", "", "FILE", "an .aupreset restored as the unit's state (ClassInfo) first"};
    const OptionDescription preset{"--preset", "", "N", "a factory preset selected next (see auhost presets)"};
    CommandDescription save{"save", "BUNDLE -o NAME.aupreset [--state FILE] [--preset N] [--set PARAM=VALUE]...",
                     "Writes the unit's state (ClassInfo) as an .aupreset property list, after the changes given.",
                     {{"--output", "-o", "FILE", "the .aupreset file to write"},
                      state,
                      preset,
                      {"--set", "", "PARAM=VALUE", "a parameter by ID or name, VALUE in its AudioUnit units (see auhost info)", true}},
                     "The file is written beside its name and moved into place only when complete.\n"
                     "Restore it with auhost render --state, or in any AudioUnit host as a preset of this component.\n"};
    CommandDescription presets{"presets", "BUNDLE", "Lists the factory presets with their numbers (for --preset).", {}, ""};
    CommandDescription convert{"convert", "BUNDLE [--quiet]",
                        "Converts the VST presets (.fxp, .fxb) in the user's and the local AudioUnit preset folders of the\n"
                        "component into .aupreset files beside them, and lists what was written and what was skipped.",
                        {{"--quiet", "-q", "", "no progress line"}},
                        "The folders are Library/Audio/Presets/MANUFACTURER/PRODUCT under $HOME and under\n"
                        "$TWINFOLD_LOCAL_DOMAIN (/ when unset). Existing files are never changed; a program file converted\n"
                        "before, or a bank whose folder exists, is skipped.\n"};
    return {save, presets, convert};
}

std::vector<OptionDescription> renderStateOptions()
{
    return {{"--state", "", "FILE", "an .aupreset restored as the unit's state (ClassInfo) before rendering"},
            {"--preset", "", "N", "a factory preset selected before rendering (after --state)"}};
}

bool isStateCommand(const std::string& command)
{
    return command == "save" || command == "presets" || command == "convert";
}

int runStateCommand(const ParsedArguments& arguments)
{
    const StateCommandLine line = commandLineFrom(arguments);
    if (line.command == "save")
        return save(line);
    if (line.command == "presets")
        return presets(line);
    return convert(line);
}

void restoreStateFile(AUSession& session, const fs::path& file)
{
    CFPropertyListRef document = parsePropertyList(readFile(file), file.string());
    const OSStatus status = AudioUnitSetProperty(session.unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                                 &document, sizeof(document));
    CFRelease(document);
    if (status == kAudioUnitErr_InvalidPropertyValue)
        throw AUError(file.string() + " is not a state of this component (" + describeStatus(status) + ")");
    check(status, "restoring " + file.string());
}

void selectFactoryPreset(AUSession& session, int32_t number)
{
    AUPreset preset{number, nullptr};
    const OSStatus status = AudioUnitSetProperty(session.unit(), kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global,
                                                 0, &preset, sizeof(preset));
    if (status == kAudioUnitErr_InvalidPropertyValue)
        throw AUError("no factory preset " + std::to_string(number) + " (see auhost presets)");
    check(status, "selecting factory preset " + std::to_string(number));
}

std::vector<uint8_t> stateDocumentBytes(AUSession& session)
{
    CFPropertyListRef document = nullptr;
    UInt32 size = sizeof(document);
    check(AudioUnitGetProperty(session.unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &document, &size),
          "reading the unit's state");
    CFDataRef xml = CFPropertyListCreateXMLData(kCFAllocatorDefault, document);
    CFRelease(document);
    if (!xml)
        throw AUError("the unit's state cannot be written as a property list");
    const UInt8* bytes = CFDataGetBytePtr(xml);
    std::vector<uint8_t> out(bytes, bytes + CFDataGetLength(xml));
    CFRelease(xml);
    return out;
}

void writeFileSafely(const fs::path& target, const std::vector<uint8_t>& bytes)
{
    ReplacingFile file(target);
    file.write(bytes.data(), bytes.size());
    file.commit();
}
