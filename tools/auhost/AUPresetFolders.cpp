#include "tools/auhost/AUPresetFolders.h"

#include "tools/auhost/AUCommandLine.h"
#include "tools/auhost/AUState.h"
#include "tools/kit/ToolMain.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>

#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

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

// The Library/Audio folder of a domain, whether or not it exists: the user
// domain's is under $HOME, the local one's under $TWINFOLD_LOCAL_DOMAIN.
fs::path audioFolder(short domain)
{
    FSRef ref{};
    UInt8 path[4096];
    if (FSFindFolder(domain, kAudioSupportFolderType, kDontCreateFolder, &ref) == noErr &&
        FSRefMakePath(&ref, path, sizeof(path)) == noErr)
        return fs::path(reinterpret_cast<const char*>(path));
    const char* root = std::getenv(domain == kUserDomain ? "HOME" : "TWINFOLD_LOCAL_DOMAIN");
    return fs::path(root && *root ? root : "/") / "Library" / "Audio";
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
        const std::string kind = presetFileKind(source);
        if (kind.empty())
            continue;
        const bool bank = kind == "bank";
        const bool program = !bank;
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

} // namespace

ConversionSettings readConversionSettings(const fs::path& bundle)
{
    const fs::path infoPlist = bundle / "Contents" / "Info.plist";
    CFPropertyListRef list = parsePropertyList(readWholeFile(infoPlist), infoPlist.string());
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


std::string presetFileKind(const fs::path& file)
{
    const std::string extension = lowered(file.extension().string());
    const uint32_t type = typeCodeOf(file);
    if (extension == ".fxb" || type == 0x41467842)
        return "bank";
    if (extension == ".fxp" || type == 0x41467850)
        return "program";
    return {};
}

bool invisible(const fs::path& file)
{
    uint8_t info[32] = {};
    const ssize_t size = ::getxattr(file.c_str(), "user.com.apple.FinderInfo", info, sizeof(info));
    return file.filename().string().starts_with(".") || (size >= 10 && (info[8] & 0x40));
}

fs::path presetSubfolder(const fs::path& audio, const std::string& name)
{
    fs::path folder = audio / "Presets";
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

int convertPresetFolders(const AUCommandLine& line, const ConversionSettings& settings)
{
    const char* const labels[] = {"user", "local"};
    const fs::path folders[] = {presetSubfolder(audioFolder(kUserDomain), settings.name),
                                presetSubfolder(audioFolder(kLocalDomain), settings.name)};
    std::set<fs::path> before[2];
    for (int d = 0; d < 2; ++d)
        before[d] = filesUnder(folders[d]);

    // The component converts while it opens; on a terminal a line shows how
    // many documents have appeared so far.
    std::atomic<bool> done{false};
    std::thread progress;
    if (!line.quiet && ::isatty(STDERR_FILENO))
        progress = std::thread([&]() {
            while (!done.load())
            {
                size_t count = 0;
                for (int d = 0; d < 2; ++d)
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
        std::error_code ec;
        const bool present = fs::is_directory(folders[d], ec);
        std::printf("%s: %s%s\n", labels[d], folders[d].c_str(), present ? "" : " (no such folder)");
        if (present)
            report(folders[d], before[d], filesUnder(folders[d]), settings.presetIsFXB, written, skipped);
    }
    std::printf("%zu written, %zu skipped\n", written, skipped);
    if (written + skipped == 0)
        std::printf("no VST presets (.fxp, .fxb) in these folders; to convert presets kept elsewhere:\n"
                    "  auhost convert BUNDLE FILE.fxp|FILE.fxb|FOLDER... [-o FOLDER]\n");
    return ExitStatus::success;
}
