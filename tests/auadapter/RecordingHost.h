// A VSTHost that writes down what the effect asked and answers from fields.
#pragma once

#include "auadapter/VSTHost.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

class RecordingHost : public VSTHost
{
public:
    void getVendor(VSTPlugIn&, char* text) override { std::strcpy(text, "Test Vendor"); }
    void getProduct(VSTPlugIn&, char* text) override { std::strcpy(text, "Test Product"); }
    int32_t getVersion(VSTPlugIn&) override { return 4242; }
    bool canDo(VSTPlugIn&, const char* query) override
    {
        queries.emplace_back(query);
        return std::string(query) == "sizeWindow";
    }
    VstTimeInfo* getTimeInfo(VSTPlugIn&, int32_t flags) override
    {
        timeFlags = flags;
        return &timeInfo;
    }
    void beginEdit(VSTPlugIn&, int32_t index) override { calls.push_back("begin " + std::to_string(index)); }
    void automate(VSTPlugIn&, int32_t index, float value) override
    {
        if (throwOnAutomate)
            throw std::runtime_error("host failure");
        calls.push_back("automate " + std::to_string(index) + " " + std::to_string(value));
    }
    void endEdit(VSTPlugIn&, int32_t index) override { calls.push_back("end " + std::to_string(index)); }
    bool isIOPinConnected(VSTPlugIn&, bool output, int32_t pin) override
    {
        calls.push_back(std::string(output ? "out " : "in ") + std::to_string(pin));
        return pinsConnected;
    }
    void idle(VSTPlugIn&) override { calls.push_back("idle"); }
    void updateDisplay(VSTPlugIn&) override { calls.push_back("display"); }
    void resizeWindow(VSTPlugIn&, int32_t width, int32_t height) override
    {
        calls.push_back("resize " + std::to_string(width) + "x" + std::to_string(height));
    }

    std::vector<std::string> calls;
    std::vector<std::string> queries;
    VstTimeInfo timeInfo{};
    int32_t timeFlags = -1;
    bool pinsConnected = true;
    bool throwOnAutomate = false;
};
