// Memory Manager handles: a Handle is the address of a record's master
// pointer; the record also keeps the block's size.
#include <CoreServices/MacMemory.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace
{

struct HandleRecord
{
    char* block; // what the Handle points at: *handle is the block
    Size size;
};

HandleRecord* recordOf(Handle h)
{
    // The handle is the address of the record's first member.
    return reinterpret_cast<HandleRecord*>(h);
}

} // namespace

extern "C" {

Handle NewHandle(Size byteCount)
{
    if (byteCount < 0)
        return nullptr;
    auto* record = new (std::nothrow) HandleRecord{nullptr, byteCount};
    if (!record)
        return nullptr;
    // calloc(0) may return null; keep a valid pointer for empty handles.
    record->block = static_cast<char*>(std::calloc(byteCount > 0 ? static_cast<size_t>(byteCount) : 1, 1));
    if (!record->block)
    {
        delete record;
        return nullptr;
    }
    return &record->block;
}

void DisposeHandle(Handle h)
{
    if (!h)
        return;
    HandleRecord* record = recordOf(h);
    std::free(record->block);
    delete record;
}

Size GetHandleSize(Handle h)
{
    return h ? recordOf(h)->size : 0;
}

void SetHandleSize(Handle h, Size newSize)
{
    if (!h || newSize < 0)
        return;
    HandleRecord* record = recordOf(h);
    auto* block = static_cast<char*>(std::realloc(record->block, newSize > 0 ? static_cast<size_t>(newSize) : 1));
    if (!block)
        return;
    if (newSize > record->size)
        std::memset(block + record->size, 0, static_cast<size_t>(newSize - record->size));
    record->block = block;
    record->size = newSize;
}

} // extern "C"
