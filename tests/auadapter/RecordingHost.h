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
    bool canDo(VSTPlugIn&, const char* query) override { return note("canDo " + std::string(query)), std::string(query) == "sizeWindow"; }
    VstTimeInfo* getTimeInfo(VSTPlugIn&, int32_t flags) override { return note("time " + std::to_string(flags)), &timeInfo; }
    void beginEdit(VSTPlugIn&, int32_t index) override { note("begin " + std::to_string(index)); }
    void automate(VSTPlugIn&, int32_t index, float value) override
    {
        if (throwOnAutomate)
            throw std::runtime_error("host failure");
        note("automate " + std::to_string(index) + " " + std::to_string(value));
    }
    void endEdit(VSTPlugIn&, int32_t index) override { note("end " + std::to_string(index)); }
    bool isIOPinConnected(VSTPlugIn&, bool output, int32_t pin) override
    {
        return note(std::string(output ? "out " : "in ") + std::to_string(pin)), pinsConnected;
    }
    void idle(VSTPlugIn&) override { note("idle"); }
    void updateDisplay(VSTPlugIn&) override { note("display"); }
    void resizeWindow(VSTPlugIn&, int32_t w, int32_t h) override { note("resize " + std::to_string(w) + "x" + std::to_string(h)); }

    void note(const std::string& call) { calls.push_back(call); }
    std::vector<std::string> calls;
    VstTimeInfo timeInfo{};
    bool pinsConnected = true, throwOnAutomate = false;
};
