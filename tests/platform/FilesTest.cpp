#include "platform/Files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::remove_all(root);
        fs::create_directories(root);
        ASSERT_EQ(Files::refOf(root, rootRef), noErr);
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    static std::string read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void setFinderInfo(const fs::path& path, const char type[4], uint16_t flags)
    {
        uint8_t info[32] = {};
        std::memcpy(info, type, 4);
        info[8] = uint8_t(flags >> 8);
        info[9] = uint8_t(flags);
        ASSERT_EQ(::setxattr(path.c_str(), "user.com.apple.FinderInfo", info, sizeof(info), 0), 0);
    }
    fs::path pathOf(const FSRef& ref)
    {
        fs::path p;
        EXPECT_EQ(Files::pathOf(ref, p), noErr);
        return p;
    }

    const fs::path root = fs::temp_directory_path() / ("files-" + std::to_string(getpid()));
    FSRef rootRef;
};

TEST_F(FilesTest, CreatesLooksUpAndDeletesFilesAndFolders)
{
    FSRef missing;
    EXPECT_EQ(Files::makeRef(rootRef, u"Warm.fxp", missing), fnfErr);

    FSRef file, again;
    ASSERT_EQ(Files::createFile(rootRef, u"Warm.fxp", &file), noErr);
    EXPECT_EQ(Files::createFile(rootRef, u"Warm.fxp", &again), dupFNErr);
    EXPECT_EQ(Files::createFolder(rootRef, u"Warm.fxp", nullptr), dupFNErr);
    ASSERT_EQ(Files::makeRef(rootRef, u"Warm.fxp", again), noErr);
    EXPECT_EQ(pathOf(again), root / "Warm.fxp");

    FSRef folder, inner;
    ASSERT_EQ(Files::createFolder(rootRef, u"Presets", &folder), noErr);
    ASSERT_EQ(Files::createFile(folder, u"A.aupreset", &inner), noErr);
    EXPECT_EQ(Files::deleteObject(folder), fBsyErr) << "a folder with items stays";
    EXPECT_EQ(Files::deleteObject(inner), noErr);
    EXPECT_EQ(Files::deleteObject(folder), noErr);
    EXPECT_FALSE(fs::exists(root / "Presets"));
    EXPECT_EQ(Files::makeRef(file, u"child", missing), fnfErr) << "a file holds no items";
}

TEST_F(FilesTest, NamesAreUtf16AndBadNamesAreRefused)
{
    const std::u16string name = u"Caf\u00e9 \u2206 \U0001F3B5.aupreset";
    FSRef file, parent;
    ASSERT_EQ(Files::createFile(rootRef, name, &file), noErr);
    EXPECT_TRUE(fs::exists(root / u8"Caf\u00e9 \u2206 \U0001F3B5.aupreset"));
    std::u16string back;
    ASSERT_EQ(Files::getNameAndParent(file, back, parent), noErr);
    EXPECT_EQ(back, name);
    EXPECT_EQ(pathOf(parent), root);

    for (const std::u16string& bad : {std::u16string(), std::u16string(u"a/b"), std::u16string(u".."),
                                      std::u16string(u"."), std::u16string(1, char16_t(0xD800)),
                                      std::u16string(u"x\0y", 3), std::u16string(300, u'n')})
        EXPECT_EQ(Files::createFile(rootRef, bad, nullptr), bdNamErr);
}

TEST_F(FilesTest, ReadsWholeForkAndWritesAtTheMarkWithoutTruncating)
{
    write(root / "data.bin", std::string("\0\1\2\3\4\5\6\7", 8));
    FSRef file;
    ASSERT_EQ(Files::makeRef(rootRef, u"data.bin", file), noErr);
    {
        Files::WriteFork fork;
        ASSERT_EQ(fork.open(file), noErr);
        EXPECT_EQ(fork.write("ab", 2), noErr);
        EXPECT_EQ(fork.write("cd", 2), noErr);
        EXPECT_EQ(fork.close(), noErr);
        EXPECT_EQ(fork.write("x", 1), paramErr) << "closed";
    }
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
    ASSERT_EQ(Files::readAll(file, bytes, length), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.get()), length), std::string("abcd\4\5\6\7", 8));

    write(root / "empty", "");
    ASSERT_EQ(Files::makeRef(rootRef, u"empty", file), noErr);
    ASSERT_EQ(Files::readAll(file, bytes, length), noErr);
    EXPECT_EQ(length, 0u);

    FSRef folder;
    ASSERT_EQ(Files::createFolder(rootRef, u"dir", &folder), noErr);
    EXPECT_EQ(Files::readAll(folder, bytes, length), errFSNotAFile);
    Files::WriteFork fork;
    EXPECT_EQ(fork.open(folder), errFSNotAFile);
}

TEST_F(FilesTest, ItemInfoCarriesTypeCodeVisibilityAndExtension)
{
    struct Case
    {
        const char* name;
        const char* type; // null: no Finder info
        uint16_t flags;
        bool invisible;
        uint32_t typeCode;
        std::u16string extension;
    };
    const Case cases[] = {
        {"Warm.fxp", nullptr, 0, false, 0, u"fxp"},
        {"preset.FXP", nullptr, 0, false, 0, u"FXP"},
        {".hidden.fxp", nullptr, 0, true, 0, u"fxp"},
        {"Flagged.fxb", "AFxB", 0x4000, true, 0x41467842u, u"fxb"},
        {"NoExtension", "AFxP", 0, false, 0x41467850u, u""},
        {"Trailing.", nullptr, 0, false, 0, u""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        write(root / c.name, "x");
        if (c.type)
            setFinderInfo(root / c.name, c.type, c.flags);
        FSRef ref;
        ASSERT_EQ(Files::makeRef(rootRef, std::u16string(c.name, c.name + std::strlen(c.name)), ref), noErr);
        Files::ItemInfo info;
        ASSERT_EQ(Files::getItemInfo(ref, info), noErr);
        EXPECT_TRUE(info.plainFile);
        EXPECT_FALSE(info.alias);
        EXPECT_EQ(info.invisible, c.invisible);
        EXPECT_EQ(info.typeCode, c.typeCode);
        EXPECT_EQ(info.extension, c.extension);
    }
    FSRef folder;
    ASSERT_EQ(Files::createFolder(rootRef, u"Folder.fxb", &folder), noErr);
    Files::ItemInfo info;
    ASSERT_EQ(Files::getItemInfo(folder, info), noErr);
    EXPECT_FALSE(info.plainFile);
}

TEST_F(FilesTest, IteratesFlatInBatchesUntilNoMoreItems)
{
    for (int i = 0; i < 150; ++i)
        write(root / ("item" + std::to_string(1000 + i)), "");
    fs::create_directories(root / "sub" / "deeper");
    Files::FolderIterator iterator;
    ASSERT_EQ(iterator.open(rootRef), noErr);
    std::vector<FSRef> batch;
    std::vector<size_t> sizes;
    std::vector<fs::path> seen;
    OSStatus status;
    while ((status = iterator.next(batch)) == noErr)
    {
        sizes.push_back(batch.size());
        for (const FSRef& ref : batch)
            seen.push_back(pathOf(ref));
    }
    EXPECT_EQ(status, errFSNoMoreItems);
    EXPECT_TRUE(batch.empty());
    EXPECT_EQ(sizes, (std::vector<size_t>{64, 64, 23}));
    ASSERT_EQ(seen.size(), 151u);
    EXPECT_EQ(seen.front(), root / "item1000");
    EXPECT_EQ(seen.back(), root / "sub");
    iterator.close();
    EXPECT_EQ(iterator.next(batch), paramErr);

    FSRef file;
    ASSERT_EQ(Files::makeRef(rootRef, u"item1000", file), noErr);
    EXPECT_NE(iterator.open(file), noErr) << "a file is no folder";
}

TEST_F(FilesTest, SymbolicLinksStandForAliases)
{
    write(root / "real.fxb", "bank");
    fs::create_symlink(root / "real.fxb", root / "first");
    fs::create_symlink("first", root / "second");
    fs::create_symlink(root / "nowhere", root / "dangling");

    FSRef second, target;
    ASSERT_EQ(Files::makeRef(rootRef, u"second", second), noErr);
    EXPECT_EQ(pathOf(second), root / "second") << "the link itself";
    Files::ItemInfo info;
    ASSERT_EQ(Files::getItemInfo(second, info), noErr);
    EXPECT_TRUE(info.alias);
    EXPECT_TRUE(info.plainFile);
    ASSERT_EQ(Files::resolveAlias(second, target), noErr);
    EXPECT_EQ(pathOf(target), root / "real.fxb");

    FSRef plain;
    ASSERT_EQ(Files::makeRef(rootRef, u"real.fxb", plain), noErr);
    ASSERT_EQ(Files::resolveAlias(plain, target), noErr);
    EXPECT_EQ(pathOf(target), root / "real.fxb");

    FSRef dangling;
    ASSERT_EQ(Files::makeRef(rootRef, u"dangling", dangling), noErr);
    EXPECT_EQ(Files::resolveAlias(dangling, target), fnfErr);
    ASSERT_EQ(Files::getItemInfo(dangling, info), noErr);
    EXPECT_FALSE(info.plainFile);
    EXPECT_EQ(Files::deleteObject(dangling), noErr);
    EXPECT_TRUE(fs::exists(root / "real.fxb"));
}

TEST(FilesNames, ExtensionStartsAfterTheLastDotUnlessLeading)
{
    EXPECT_EQ(Files::extensionStart(u"Live.fxb"), 5u);
    EXPECT_EQ(Files::extensionStart(u"a.b.fxp"), 4u);
    EXPECT_EQ(Files::extensionStart(u"NoExtension"), std::u16string::npos);
    EXPECT_EQ(Files::extensionStart(u".hidden"), std::u16string::npos);
    EXPECT_EQ(Files::extensionStart(u"Trailing."), 9u);
    std::u16string out;
    EXPECT_FALSE(Files::fromUtf8("\xC3", out));
    EXPECT_FALSE(Files::fromUtf8("\xED\xA0\x80", out)) << "an encoded surrogate";
    EXPECT_FALSE(Files::fromUtf8("\xC0\xAF", out)) << "an overlong form";
    EXPECT_TRUE(Files::fromUtf8("\xF0\x9F\x8E\xB5", out));
    EXPECT_EQ(out, u"\U0001F3B5");
}

} // namespace
