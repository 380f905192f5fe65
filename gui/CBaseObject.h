// Reference-counted base of the widget layer, and the target of notifications.
#pragma once

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

    // [UI thread] A new object holds one reference; the last forget deletes it.
    void remember() { ++nbReference; }
    void forget()
    {
        if (--nbReference == 0)
            delete this;
    }
    int32_t getNbReference() const { return nbReference; }

    // [UI thread] A message pointer identifies the message; its text is for people.
    virtual CMessageResult notify(CBaseObject* /*sender*/, const char* /*message*/) { return kMessageUnknown; }
    virtual bool isTypeOf(const char* s) const;
    // A new object of the same kind and state, or null where copying makes no sense.
    virtual CBaseObject* newCopy() const { return nullptr; }

private:
    int32_t nbReference = 1;
};
