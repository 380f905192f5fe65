#include "tools/auhost/AUConvert.h"

#include "tools/auhost/AUCommandLine.h"
#include "tools/auhost/AUPresetFolders.h"
#include "tools/auhost/AUState.h"
#include "tools/kit/ReplacingFile.h"
#include "tools/kit/ToolMain.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace fs = std::filesystem;

namespace
{

// One preset file to convert and where its result goes.
struct Source
{
    fs::path file;
    std::vector<uint8_t> bytes;
    bool bank = false;
    fs::path target; // NAME.aupreset, or the folder NAME of a bank split into programs
};

struct Tally
{
    size_t written = 0, skipped = 0, failed = 0;
    void wrote(const fs::path& file)
    {
        std::printf("wrote    %s\n", file.c_str());
        ++written;
    }
    void skip(const fs::path& file, const std::string& reason)
    {
        std::printf("skipped  %s: %s\n", file.c_str(), reason.c_str());
        ++skipped;
    }
    void fail(const fs::path& file, const std::string& reason)
    {
        std::printf("failed   %s: %s\n", file.c_str(), reason.c_str());
        ++failed;
    }
};

// An environment variable set for a while, then as it was.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const std::string& value) : variable(name)
    {
        if (const char* old = std::getenv(name))
            before = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (before)
            setenv(variable, before->c_str(), 1);
        else
            unsetenv(variable);
    }

private:
    const char* variable;
    std::optional<std::string> before;
};

// A private home whose preset folder holds one source: opening the unit with
// it converts exactly that file, as the unit converts its users' presets.
class PrivateHome
{
public:
    explicit PrivateHome(const std::string& componentName)
    {
        std::string pattern = (fs::temp_directory_path() / "auhost-convert-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw FileError("cannot make a folder in " + fs::temp_directory_path().string() + ": " + std::strerror(errno));
        root = pattern;
        presets = presetSubfolder(root / "home" / "Library" / "Audio", componentName);
        fs::create_directories(presets);
        fs::create_directories(root / "local");
    }
    ~PrivateHome()
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root, presets;
};

// The sources named on the command line: files as they are, and the
// preset files directly in each folder.
std::vector<fs::path> expand(const std::vector<std::string>& arguments, Tally& tally)
{
    std::vector<fs::path> files;
    for (const std::string& argument : arguments)
    {
        std::error_code ec;
        if (!fs::is_directory(argument, ec))
        {
            files.emplace_back(argument);
            continue;
        }
        std::vector<fs::path> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(argument, ec))
            if (entry.is_regular_file(ec) && !invisible(entry.path()) && !presetFileKind(entry.path()).empty())
                found.push_back(entry.path());
        if (found.empty())
            tally.skip(argument, "no .fxp or .fxb files in this folder");
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

// Reads and checks one source before anything is made for it; empty when it
// is skipped or fails (the tally says why).
std::optional<Source> examine(const fs::path& file, const fs::path& outputFolder, const ConversionSettings& settings, Tally& tally)
{
    Source source;
    source.file = file;
    try
    {
        source.bytes = readWholeFile(file);
    }
    catch (const FileError& e)
    {
        tally.fail(file, e.what());
        return std::nullopt;
    }
    const std::string kind = vstPresetKind(source.bytes);
    if (source.bytes.empty())
        tally.fail(file, "the file is empty");
    else if (kind.empty())
        tally.fail(file, "not a VST preset (no FXP or FXB header)");
    else if (kind == "program" && settings.presetIsFXB)
        tally.skip(file, "program files are not converted while PresetIsFXB is true");
    else
    {
        source.bank = kind == "bank";
        const fs::path folder = outputFolder.empty() ? file.parent_path() : outputFolder;
        const std::string stem = file.stem().string();
        source.target = source.bank && !settings.presetIsFXB ? folder / stem : folder / (stem + ".aupreset");
        std::error_code ec;
        if (fs::exists(source.target, ec) || fs::is_symlink(source.target, ec))
            tally.skip(file, source.target.string() + " exists (converted before)");
        else
            return source;
    }
    return std::nullopt;
}

// True when the unit takes the document back as its state.
bool unitTakes(AUSession& session, const std::vector<uint8_t>& document)
{
    CFPropertyListRef list = nullptr;
    try
    {
        list = parsePropertyList(document, "document");
    }
    catch (const AUError&)
    {
        return false;
    }
    const OSStatus status =
        AudioUnitSetProperty(session.unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &list, sizeof(list));
    CFRelease(list);
    return status == noErr;
}

void writeNew(const fs::path& target, const std::vector<uint8_t>& bytes)
{
    ReplacingFile file(target);
    file.write(bytes.data(), bytes.size());
    file.commitAsNew();
}

void convertOne(const std::string& bundle, const ConversionSettings& settings, const Source& source, Tally& tally)
{
    const PrivateHome home(settings.name);
    const std::string stem = source.file.stem().string();
    {
        std::FILE* copy = std::fopen((home.presets / (stem + (source.bank ? ".fxb" : ".fxp"))).c_str(), "wb");
        if (!copy || std::fwrite(source.bytes.data(), 1, source.bytes.size(), copy) != source.bytes.size() || std::fclose(copy) != 0)
            throw FileError("cannot copy " + source.file.string() + " into " + home.presets.string());
    }
    const ScopedVariable user("HOME", (home.root / "home").string());
    const ScopedVariable local("TWINFOLD_LOCAL_DOMAIN", (home.root / "local").string());
    AUSession session(bundle); // converts the private preset folder

    // What the unit made: one document, or a folder of them for a split bank.
    const bool split = source.bank && !settings.presetIsFXB;
    std::vector<fs::path> made;
    std::error_code ec;
    if (split && fs::is_directory(home.presets / stem, ec))
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(home.presets / stem, ec))
            made.push_back(entry.path());
        std::sort(made.begin(), made.end());
    }
    else if (!split && fs::is_regular_file(home.presets / (stem + ".aupreset"), ec))
        made.push_back(home.presets / (stem + ".aupreset"));
    std::vector<std::vector<uint8_t>> documents;
    for (const fs::path& file : made)
        documents.push_back(readWholeFile(file));
    if (documents.empty() || !std::all_of(documents.begin(), documents.end(), [&](const auto& d) { return unitTakes(session, d); }))
    {
        tally.fail(source.file, "the unit cannot load it (made for another plug-in, or damaged)");
        return;
    }

    if (!split)
    {
        writeNew(source.target, documents.front());
        tally.wrote(source.target);
        return;
    }
    if (!fs::create_directory(source.target, ec))
    {
        tally.skip(source.file, source.target.string() + " exists (converted before)");
        return;
    }
    // A bank is converted whole or not at all: a folder left half full
    // would pass for converted.
    try
    {
        for (size_t i = 0; i < made.size(); ++i)
            writeNew(source.target / made[i].filename(), documents[i]);
    }
    catch (...)
    {
        fs::remove_all(source.target, ec);
        throw;
    }
    for (const fs::path& file : made)
        tally.wrote(source.target / file.filename());
}

int convertFiles(const AUCommandLine& line, const ConversionSettings& settings)
{
    Tally tally;
    std::error_code ec;
    if (!line.output.empty() && !fs::is_directory(line.output, ec) && !fs::create_directories(line.output, ec))
        throw FileError("cannot make the folder " + line.output + ": " + ec.message());
    for (const fs::path& file : expand(line.sources, tally))
        if (const std::optional<Source> source = examine(file, line.output, settings, tally))
        {
            try
            {
                convertOne(line.bundle, settings, *source, tally);
            }
            catch (const FileError& e)
            {
                tally.fail(source->file, e.what());
            }
        }
    std::printf("%zu written, %zu skipped, %zu failed\n", tally.written, tally.skipped, tally.failed);
    return tally.failed > 0 ? ExitStatus::failure : ExitStatus::success;
}

} // namespace

int convertPresets(const AUCommandLine& line)
{
    const ConversionSettings settings = readConversionSettings(line.bundle);
    if (!settings.autoConvert)
        throw AUError("this bundle does not convert presets (TWConfig AutoConvertPresets is false)");
    return line.sources.empty() ? convertPresetFolders(line, settings) : convertFiles(line, settings);
}
