// dc_write_bundle_resources BUNDLE: writes the files a component's first
// open puts into its bundle's Resources folder (the parameter mapping, the
// factory preset list and its documents) by opening the bundle once, the
// way a host does. The build runs it on the bundle it makes, so that an
// installed bundle is complete and opens from a folder nobody may write.
// Files an earlier run wrote are replaced.
#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

std::set<Component> registeredComponents()
{
    std::set<Component> all;
    ComponentDescription any{};
    for (Component c = FindNextComponent(nullptr, &any); c; c = FindNextComponent(c, &any))
        all.insert(c);
    return all;
}

// Removes the list, the documents it names and the mapping file.
void removeWrittenFiles(const fs::path& resources)
{
    std::error_code ec;
    std::ifstream list(resources / "TWFactoryPresets.txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(list)), std::istreambuf_iterator<char>());
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos && line[first] != ';' && line.find('/') == std::string::npos)
            fs::remove(resources / line.substr(first), ec);
        start = end + 1;
    }
    fs::remove(resources / "TWFactoryPresets.txt", ec);
    fs::remove(resources / "TWParameters.txt", ec);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s BUNDLE\n", argv[0]);
        return 2;
    }
    const fs::path bundle = fs::absolute(argv[1]);
    removeWrittenFiles(bundle / "Contents" / "Resources");

    // A home and a local domain of its own: opening converts none of the
    // user's presets.
    char pattern[] = "/tmp/dc-bundle-resources-XXXXXX";
    if (!mkdtemp(pattern))
    {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path scratch(pattern);
    fs::create_directories(scratch / "home" / "Library" / "Audio");
    fs::create_directories(scratch / "local" / "Library" / "Audio");
    setenv("HOME", (scratch / "home").c_str(), 1);
    setenv("TWINFOLD_LOCAL_DOMAIN", (scratch / "local").c_str(), 1);

    const std::set<Component> before = registeredComponents();
    FSRef ref{};
    OSStatus status = FSPathMakeRef(reinterpret_cast<const UInt8*>(bundle.c_str()), &ref, nullptr);
    if (status == noErr)
        status = RegisterComponentFileRef(&ref, 0);
    Component component = nullptr;
    for (Component c : registeredComponents())
        if (!before.count(c))
            component = c;
    AudioUnit unit = nullptr;
    if (status == noErr && !component)
        status = invalidComponentID;
    if (status == noErr)
        status = OpenAComponent(component, &unit);
    if (unit)
        CloseComponent(unit);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    if (status != noErr)
    {
        std::fprintf(stderr, "%s: cannot open %s: error %d\n", argv[0], bundle.c_str(), static_cast<int>(status));
        return 1;
    }
    return 0;
}
