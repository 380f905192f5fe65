// Component Manager: registration from Info.plist, lookup, the home
// Components folder, instances and the parameter blocks of the host calls.
#include "PlatformTestSupport.h"
#include "RecordingComponent.h"

#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace fs = std::filesystem;
using namespace platformtest;

namespace
{

class ComponentManagerTest : public ::testing::Test
{
protected:
    void TearDown() override { fs::remove_all(folder); }

    // A bundle with a subtype of its own, registered.
    Component registered(const std::string& subtype, const std::string& factory = "RecordingEntry")
    {
        Registration r;
        r.subtype = subtype;
        r.factory = factory;
        EXPECT_EQ(registerBundle(makeBundle(folder, subtype + ".component", r)), noErr);
        ComponentDescription d{code("aumf"), 0, 0, 0, 0};
        d.componentSubType = (OSType(subtype[0]) << 24) | (OSType(subtype[1]) << 16) | (OSType(subtype[2]) << 8) |
                             OSType(subtype[3]);
        return FindNextComponent(nullptr, &d);
    }

    const fs::path folder = tempFolder("components");
};

TEST_F(ComponentManagerTest, RegistersFromInfoPlistOnceAndFindsByDescription)
{
    const fs::path bundle = makeBundle(folder, "One.component");
    ComponentDescription all{code("aumf"), code("Tst1"), code("Trnb"), 0, 0};
    const long before = CountComponents(&all);
    ASSERT_EQ(registerBundle(bundle), noErr);
    ASSERT_EQ(registerBundle(bundle), noErr);
    ASSERT_EQ(registerBundle(folder / "." / "One.component"), noErr) << "the same real path";
    EXPECT_EQ(CountComponents(&all), before + 1);

    Component c = FindNextComponent(nullptr, &all);
    ASSERT_TRUE(c);
    EXPECT_EQ(FindNextComponent(c, &all), nullptr);
    ComponentDescription wrongMaker{0, 0, code("Appl"), 0, 0};
    EXPECT_EQ(CountComponents(&wrongMaker), 0);

    ComponentDescription got{};
    Handle name = NewHandle(0);
    ASSERT_EQ(GetComponentInfo(c, &got, name, nullptr, nullptr), noErr);
    EXPECT_EQ(got.componentType, code("aumf"));
    EXPECT_EQ(got.componentSubType, code("Tst1"));
    EXPECT_EQ(got.componentManufacturer, code("Trnb"));
    // A Pascal string in MacRoman: the euro sign is 0xDB.
    ASSERT_EQ(GetHandleSize(name), 1 + 20);
    EXPECT_EQ(static_cast<unsigned char>((*name)[0]), 20);
    EXPECT_EQ(std::string(*name + 1, 20), "Tarnby Audio: Test \xDB");
    DisposeHandle(name);
    EXPECT_EQ(GetComponentInfo(nullptr, nullptr, nullptr, nullptr, nullptr), invalidComponentID);
}

TEST_F(ComponentManagerTest, BundlesWithoutUsableRegistrationAreRefused)
{
    EXPECT_EQ(registerBundle(folder / "Missing.component"), fnfErr);
    fs::create_directories(folder / "Empty.component" / "Contents");
    EXPECT_NE(registerBundle(folder / "Empty.component"), noErr);
    Registration badCode;
    badCode.subtype = "TooLong";
    EXPECT_NE(registerBundle(makeBundle(folder, "Bad.component", badCode)), noErr);
    EXPECT_EQ(RegisterComponentFileRef(nullptr, 0), paramErr);
}

// Run in a fresh process: the scan happens once, at the first lookup.
void findInstalledBundle(const fs::path& folder)
{
    const fs::path home = folder / "home";
    const fs::path installed = home / "Library" / "Audio" / "Plug-Ins" / "Components";
    fs::create_directories(installed);
    Registration r;
    r.subtype = "Home";
    const fs::path bundle = makeBundle(installed, "Home.component", r);
    setenv("HOME", home.c_str(), 1);
    ComponentDescription d{0, code("Home"), 0, 0, 0};
    const bool found = FindNextComponent(nullptr, &d) != nullptr;
    // Registering the installed bundle again does not add it twice.
    registerBundle(bundle);
    std::exit(found && CountComponents(&d) == 1 ? 0 : 1);
}

TEST_F(ComponentManagerTest, FirstLookupScansTheHomeComponentsFolder)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(findInstalledBundle(folder), ::testing::ExitedWithCode(0), "");
}

TEST_F(ComponentManagerTest, InstancesKeepStorageVersionAndCanDo)
{
    Component c = registered("Inst");
    ASSERT_TRUE(c);
    ComponentInstance ci = nullptr;
    ASSERT_EQ(OpenAComponent(c, &ci), noErr);
    ASSERT_TRUE(ci);
    Handle storage = GetComponentInstanceStorage(ci);
    ASSERT_TRUE(storage) << "the component stored its record when opened";
    auto* calls = reinterpret_cast<RecordedCalls*>(*storage);
    ASSERT_EQ(calls->count, 1);
    EXPECT_EQ(calls->blocks[0].what, kComponentOpenSelect);
    EXPECT_EQ(calls->blocks[0].params[0], reinterpret_cast<long>(ci));

    EXPECT_EQ(GetComponentVersion(ci), 0x00020003);
    EXPECT_EQ(ComponentFunctionImplemented(ci, kAudioUnitGetParameterSelect), 1);
    EXPECT_EQ(ComponentFunctionImplemented(ci, kAudioUnitRenderSelect), 0);

    // An instance stands for its component in GetComponentInfo.
    ComponentDescription d{};
    ASSERT_EQ(GetComponentInfo(reinterpret_cast<Component>(ci), &d, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(d.componentSubType, code("Inst"));

    EXPECT_EQ(CloseComponent(ci), noErr);
    EXPECT_EQ(CloseComponent(ci), static_cast<OSErr>(badComponentInstance)) << "a closed instance is refused";
    EXPECT_EQ(AudioUnitInitialize(ci), badComponentInstance);
    EXPECT_EQ(GetComponentInstanceStorage(ci), nullptr);
}

TEST_F(ComponentManagerTest, FailedOpenIsClosedAndHandsOutNothing)
{
    Component c = registered("Fail", "FailingEntry");
    ASSERT_TRUE(c);
    ComponentInstance ci = reinterpret_cast<ComponentInstance>(1);
    EXPECT_EQ(OpenAComponent(c, &ci), -32767);
    EXPECT_EQ(ci, nullptr);
    Component missing = registered("Miss", "NoSuchEntry");
    EXPECT_EQ(OpenAComponent(missing, &ci), unresolvedComponentDLLErr);
    EXPECT_EQ(OpenAComponent(nullptr, &ci), invalidComponentID);
}

// One host call with the selector and slot values the component must see.
struct HostCall
{
    const char* name;
    std::function<OSStatus(AudioUnit)> call;
    SInt16 selector;
    std::vector<long> slots; // the argument slots after the instance
};

long bits(float f)
{
    UInt32 b;
    std::memcpy(&b, &f, 4);
    return static_cast<long>(b);
}

TEST_F(ComponentManagerTest, HostCallsBuildThePublishedParameterBlocks)
{
    Component c = registered("Call");
    ComponentInstance unit = nullptr;
    ASSERT_EQ(OpenAComponent(c, &unit), noErr);
    auto* calls = reinterpret_cast<RecordedCalls*>(*GetComponentInstanceStorage(unit));

    UInt32 size = 0;
    Boolean writable = 0;
    char data[8];
    float value = 0;
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    AudioBufferList list{};
    AudioUnitParameterEvent events[2]{};
    auto listener = reinterpret_cast<AudioUnitPropertyListenerProc>(0x1234);
    auto render = reinterpret_cast<AURenderCallback>(0x5678);
    void* user = reinterpret_cast<void*>(0x9abc);
    auto p = [](const void* q) { return reinterpret_cast<long>(q); };

    const std::vector<HostCall> table = {
        {"Initialize", [](AudioUnit u) { return AudioUnitInitialize(u); }, 1, {}},
        {"Uninitialize", [](AudioUnit u) { return AudioUnitUninitialize(u); }, 2, {}},
        {"GetPropertyInfo", [&](AudioUnit u) { return AudioUnitGetPropertyInfo(u, 31, 1, 7, &size, &writable); }, 3,
         {31, 1, 7, p(&size), p(&writable)}},
        {"GetProperty", [&](AudioUnit u) { return AudioUnitGetProperty(u, 8, 2, 0, data, &size); }, 4,
         {8, 2, 0, p(data), p(&size)}},
        {"SetProperty", [&](AudioUnit u) { return AudioUnitSetProperty(u, 14, 0, 3, data, 4); }, 5,
         {14, 0, 3, p(data), 4}},
        {"GetParameter", [&](AudioUnit u) { return AudioUnitGetParameter(u, 5, 0, 2, &value); }, 6,
         {5, 0, 2, p(&value)}},
        {"Reset", [](AudioUnit u) { return AudioUnitReset(u, 1, 9); }, 9, {1, 9}},
        {"AddPropertyListener", [&](AudioUnit u) { return AudioUnitAddPropertyListener(u, 28, listener, user); }, 10,
         {28, p(reinterpret_cast<void*>(listener)), p(user)}},
        {"RemovePropertyListener", [&](AudioUnit u) { return AudioUnitRemovePropertyListener(u, 28, listener); }, 11,
         {28, p(reinterpret_cast<void*>(listener))}},
        {"Render", [&](AudioUnit u) { return AudioUnitRender(u, &flags, &stamp, 0, 512, &list); }, 14,
         {p(&flags), p(&stamp), 0, 512, p(&list)}},
        {"AddRenderNotify", [&](AudioUnit u) { return AudioUnitAddRenderNotify(u, render, user); }, 15,
         {p(reinterpret_cast<void*>(render)), p(user)}},
        {"RemoveRenderNotify", [&](AudioUnit u) { return AudioUnitRemoveRenderNotify(u, render, user); }, 16,
         {p(reinterpret_cast<void*>(render)), p(user)}},
        {"ScheduleParameters", [&](AudioUnit u) { return AudioUnitScheduleParameters(u, events, 2); }, 17,
         {p(events), 2}},
        {"RemovePropertyListenerWithUserData",
         [&](AudioUnit u) { return AudioUnitRemovePropertyListenerWithUserData(u, 28, listener, user); }, 18,
         {28, p(reinterpret_cast<void*>(listener)), p(user)}},
        {"MIDIEvent", [](AudioUnit u) { return MusicDeviceMIDIEvent(u, 0xB0, 70, 127, 33); }, 257,
         {0xB0, 70, 127, 33}},
    };
    for (const HostCall& row : table)
    {
        const int before = calls->count;
        EXPECT_EQ(row.call(unit), noErr) << row.name;
        ASSERT_EQ(calls->count, before + 1) << row.name;
        const RecordedBlock& b = calls->blocks[before % kMaxRecordedBlocks];
        EXPECT_EQ(b.what, row.selector) << row.name;
        EXPECT_EQ(b.paramSize, 8 * row.slots.size()) << row.name;
        EXPECT_EQ(b.params[0], p(unit)) << row.name;
        for (size_t i = 0; i < row.slots.size(); ++i)
            EXPECT_EQ(b.params[i + 1], row.slots[i]) << row.name << " slot " << i + 1;
    }
    EXPECT_FLOAT_EQ(value, 50.2f) << "the component wrote through the out pointer";

    // A Float32 argument occupies the low four bytes of its slot.
    const int before = calls->count;
    EXPECT_EQ(AudioUnitSetParameter(unit, 3, 0, 0, 0.75f, 128), 75);
    const RecordedBlock& b = calls->blocks[before % kMaxRecordedBlocks];
    EXPECT_EQ(b.what, kAudioUnitSetParameterSelect);
    EXPECT_EQ(b.paramSize, 40);
    EXPECT_EQ(b.params[4] & 0xFFFFFFFFL, bits(0.75f));
    EXPECT_EQ(b.params[5] & 0xFFFFFFFFL, 128);
    EXPECT_EQ(CloseComponent(unit), noErr);
}

TEST(FileReferences, PathsRoundTripAndMissingItemsFail)
{
    const fs::path folder = tempFolder("fsref");
    std::ofstream(folder / "file.txt") << "x";
    fs::create_symlink(folder / "nowhere", folder / "alias");
    FSRef ref;
    Boolean isDirectory = true;
    const std::string path = (folder / "sub" / ".." / "file.txt").string();
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, &isDirectory), noErr);
    EXPECT_FALSE(isDirectory);
    UInt8 back[1024];
    ASSERT_EQ(FSRefMakePath(&ref, back, sizeof back), noErr);
    EXPECT_EQ(fs::path(reinterpret_cast<char*>(back)), fs::canonical(folder) / "file.txt");
    EXPECT_EQ(FSRefMakePath(&ref, back, 5), pathTooLongErr);
    const std::string alias = (folder / "alias").string();
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(alias.c_str()), &ref, nullptr), noErr)
        << "a link is an item of its own, even when its target is missing";
    const std::string missing = (folder / "missing").string();
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(missing.c_str()), &ref, nullptr), fnfErr);
    FSRef garbage{};
    EXPECT_EQ(FSRefMakePath(&garbage, back, sizeof back), errFSBadFSRef);
    fs::remove_all(folder);
}

TEST(FileReferences, FindFolderMapsTheDomains)
{
    const fs::path folder = tempFolder("domains");
    setenv("HOME", (folder / "home").c_str(), 1);
    setenv("TWINFOLD_LOCAL_DOMAIN", (folder / "local").c_str(), 1);
    FSRef ref;
    EXPECT_EQ(FSFindFolder(kUserDomain, kAudioSupportFolderType, kDontCreateFolder, &ref), fnfErr);
    ASSERT_EQ(FSFindFolder(kUserDomain, kAudioSupportFolderType, kCreateFolder, &ref), noErr);
    UInt8 path[1024];
    ASSERT_EQ(FSRefMakePath(&ref, path, sizeof path), noErr);
    EXPECT_EQ(fs::path(reinterpret_cast<char*>(path)), fs::canonical(folder) / "home" / "Library" / "Audio");
    ASSERT_EQ(FSFindFolder(kLocalDomain, kAudioSupportFolderType, kCreateFolder, &ref), noErr);
    ASSERT_EQ(FSRefMakePath(&ref, path, sizeof path), noErr);
    EXPECT_EQ(fs::path(reinterpret_cast<char*>(path)), fs::canonical(folder) / "local" / "Library" / "Audio");
    unsetenv("TWINFOLD_LOCAL_DOMAIN");
    fs::remove_all(folder);
}

TEST(Handles, ResizeKeepsContentsAndZeroFills)
{
    Handle h = NewHandle(3);
    ASSERT_TRUE(h);
    EXPECT_EQ(GetHandleSize(h), 3);
    std::memcpy(*h, "abc", 3);
    SetHandleSize(h, 6);
    ASSERT_EQ(GetHandleSize(h), 6);
    EXPECT_EQ(std::string(*h, 6), std::string("abc\0\0\0", 6));
    SetHandleSize(h, 1);
    EXPECT_EQ(GetHandleSize(h), 1);
    EXPECT_EQ((*h)[0], 'a');
    SetHandleSize(h, -1);
    EXPECT_EQ(GetHandleSize(h), 1) << "a bad size changes nothing";
    DisposeHandle(h);
    EXPECT_EQ(NewHandle(-1), nullptr);
    EXPECT_EQ(GetHandleSize(nullptr), 0);
    DisposeHandle(nullptr);
}

} // namespace
