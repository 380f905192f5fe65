// The adapter's file and folder work: a small layer over std::filesystem and
// POSIX calls, keyed by FSRef (made with FSPathMakeRef and read back with
// FSRefMakePath of the platform library). Names are UTF-16, as the adapter
// hands them. Every operation returns a result code and never throws.
//
// Platform conventions kept here:
// - a symbolic link stands for an alias; makeRef and the folder iterator
//   give the link itself, resolveAlias follows it;
// - a file's type code and Finder flags come from the extended attribute
//   "user.com.apple.FinderInfo" (32 bytes: type code first, Finder flags at
//   offset 8, all big-endian);
// - an item is invisible when its name starts with "." or its Finder flags
//   carry kIsInvisible (0x4000).
#pragma once

#include "platform/ResultCodes.h"

#include <CoreServices/CoreServices.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Files
{

// The item `name` inside `folder`; fnfErr when missing.
OSStatus makeRef(const FSRef& folder, const std::u16string& name, FSRef& out); // [UI thread]
// A new empty file; dupFNErr when an item of that name exists.
OSStatus createFile(const FSRef& folder, const std::u16string& name, FSRef* out); // [UI thread]
// A new file holding `n` bytes of `data`; dupFNErr when an item of that
// name exists. A file that cannot be written whole is removed again.
OSStatus createFileWithContents(const FSRef& folder, const std::u16string& name, const void* data,
                                size_t n); // [UI thread]
// A new folder; dupFNErr when an item of that name exists.
OSStatus createFolder(const FSRef& folder, const std::u16string& name, FSRef* out); // [UI thread]
// Removes a file, a link or an empty folder (fBsyErr when not empty).
OSStatus deleteObject(const FSRef& item); // [UI thread]
OSStatus getNameAndParent(const FSRef& item, std::u16string& name, FSRef& parent); // [UI thread]
// The whole data fork.
OSStatus readAll(const FSRef& file, std::unique_ptr<uint8_t[]>& bytes, size_t& length); // [UI thread]

// A data fork open for writing at its current mark, which starts at 0. The
// fork is not truncated: callers write into newly created files.
class WriteFork
{
public:
    WriteFork() = default;
    WriteFork(const WriteFork&) = delete;
    WriteFork& operator=(const WriteFork&) = delete;
    ~WriteFork();

    OSStatus open(const FSRef& file); // [UI thread]
    OSStatus write(const void* data, size_t n); // [UI thread]
    OSStatus close(); // [UI thread]
    bool isOpen() const { return descriptor >= 0; }

private:
    int descriptor = -1;
};

struct ItemInfo
{
    bool plainFile = false; // a file (a link counts by what it points to)
    bool invisible = false;
    uint32_t typeCode = 0; // 0 when the item carries none
    std::u16string extension; // the text after the last dot, or empty
    bool alias = false; // a symbolic link
};
OSStatus getItemInfo(const FSRef& item, ItemInfo& info); // [UI thread]

// A flat folder listing, sorted by name. The caller calls next() until it
// answers errFSNoMoreItems, which comes with an empty batch.
class FolderIterator
{
public:
    OSStatus open(const FSRef& folder); // [UI thread]
    OSStatus next(std::vector<FSRef>& batch, size_t max = 64); // [UI thread]
    void close(); // [UI thread]

private:
    std::vector<std::filesystem::path> items;
    size_t position = 0;
    bool opened = false;
};

// The item an alias (symbolic link) points to, following chains; any other
// item resolves to itself. fnfErr for a link to nothing.
OSStatus resolveAlias(const FSRef& item, FSRef& target); // [UI thread]

// Helpers of this layer for the adapter.
// Where a name's extension begins (after its last dot, which must not be
// the first character), or std::u16string::npos when it has none.
size_t extensionStart(const std::u16string& name);
// The result code for a failed system call's errno.
OSStatus codeForErrno(int error);
OSStatus pathOf(const FSRef& item, std::filesystem::path& path);
OSStatus refOf(const std::filesystem::path& path, FSRef& out);
std::string toUtf8(const std::u16string& text);
// False for text that is not valid UTF-8.
bool fromUtf8(const std::string& text, std::u16string& out);

} // namespace Files
