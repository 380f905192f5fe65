// Reference-counted base of the widget layer, and the target of notifications.
#pragma once

#include <atomic>
#include <cstdint>

enum CMessageResult : int32_t
{
    kMessageUnknown = 0,
    kMessageNotified = 1,
};

class CBaseObject
{
public:
    CBaseObject() = default;
    virtual ~CBaseObject() = default;
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    // [any thread] A new object holds one reference; the last forget deletes
    // it. Images are shared by the editors of a process, hence the atomic count.
    void remember() { nbReference.fetch_add(1, std::memory_order_relaxed); }
    void forget()
    {
        if (nbReference.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    int32_t getNbReference() const { return nbReference.load(std::memory_order_relaxed); }

    // [UI thread] A message pointer identifies the message; its text is for people.
    virtual CMessageResult notify(CBaseObject* /*sender*/, const char* /*message*/) { return kMessageUnknown; }
    virtual bool isTypeOf(const char* s) const;
    // A new object of the same kind and state, or null where copying makes no sense.
    virtual CBaseObject* newCopy() const { return nullptr; }

private:
    std::atomic<int32_t> nbReference{1};
};
