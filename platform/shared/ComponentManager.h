// Component and instance records and the parameter-block call into a
// component's entry, shared by the Component Manager and the host calls.
#pragma once

#include <CoreServices/Components.h>
#include <CoreServices/MacErrors.h>

#include <atomic>
#include <cstring>
#include <string>
#include <type_traits>

namespace platform
{

constexpr UInt32 kComponentMagic = 0x636f6d70; // 'comp'
constexpr UInt32 kInstanceMagic = 0x696e7374; // 'inst'
constexpr UInt32 kClosedInstanceMagic = 0x64656164; // 'dead'

struct ComponentRecordBase
{
    explicit ComponentRecordBase(UInt32 m) : magic(m) {}
    std::atomic<UInt32> magic;
};

} // namespace platform

struct ComponentRecord : platform::ComponentRecordBase
{
    ComponentRecord() : ComponentRecordBase(platform::kComponentMagic) {}
    ComponentDescription description{};
    std::string name; // UTF-8
    long version = 0;
    std::string bundlePath; // real path of the bundle folder
    std::string executablePath;
    std::string factoryFunction;
    void* library = nullptr; // dlopen handle while instances are open
    ComponentRoutineProcPtr entry = nullptr;
    int openInstances = 0;
};

// Instance records are never freed, so that a call on a closed instance
// finds a closed record rather than freed memory.
struct ComponentInstanceRecord : platform::ComponentRecordBase
{
    ComponentInstanceRecord() : ComponentRecordBase(platform::kInstanceMagic) {}
    ComponentRecord* component = nullptr;
    ComponentRoutineProcPtr entry = nullptr;
    std::atomic<Handle> storage{nullptr};
};

namespace platform
{

// The open instance, or null for a null, closed or foreign pointer.
inline ComponentInstanceRecord* openInstance(ComponentInstance ci)
{
    if (!ci || ci->magic.load(std::memory_order_acquire) != kInstanceMagic)
        return nullptr;
    return ci;
}

// The parameter block: instance, then up to 8 argument slots.
struct ParameterBlock
{
    UInt8 flags = 0;
    UInt8 paramSize = 0;
    SInt16 what = 0;
    UInt32 padding = 0;
    long params[9] = {};
};
static_assert(offsetof(ParameterBlock, params) == offsetof(ComponentParameters, params));

template <typename T>
void storeSlot(long& slot, T value)
{
    static_assert(sizeof(T) <= sizeof(long) && std::is_trivially_copyable_v<T>);
    std::memcpy(&slot, &value, sizeof value);
}

// Calls the instance's entry with the selector and arguments, in the
// published order, each in its own 8-byte slot. No allocation, no lock.
template <typename... Args>
ComponentResult callComponent(ComponentInstanceRecord* instance, SInt16 selector, Args... args) // [any thread]
{
    static_assert(sizeof...(Args) <= 8);
    ParameterBlock block;
    block.what = selector;
    block.paramSize = static_cast<UInt8>(8 * sizeof...(Args));
    storeSlot(block.params[0], instance);
    int i = 1;
    (storeSlot(block.params[i++], args), ...);
    (void)i;
    return instance->entry(reinterpret_cast<ComponentParameters*>(&block),
                           instance->storage.load(std::memory_order_acquire));
}

} // namespace platform
