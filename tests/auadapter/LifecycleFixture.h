// The fixture of the life-cycle tests: a unit wrapping the recording test
// effect, opened fresh for each test.
#pragma once

#include "ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace ComponentTest
{

class Lifecycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        effect().reset();
        prepare(effect());
        bundle = makeRecordingBundle();
        unit = open(bundle);
        ASSERT_NE(unit, nullptr);
        effect().calls.clear();
    }
    void TearDown() override
    {
        if (unit)
            CloseComponent(unit);
    }
    virtual void prepare(RecordingEffectControl&) {}
    static RecordingEffectControl& effect() { return recordingEffect(); }
    // Values of effMainsChanged calls since the last clear.
    static std::vector<VstIntPtr> mains()
    {
        std::vector<VstIntPtr> values;
        for (const auto& c : effect().calls)
            if (c.opcode == effMainsChanged)
                values.push_back(c.value);
        return values;
    }
    OSStatus render(Float64 time, UInt32 frames = 64)
    {
        StereoList list(nullptr, nullptr, frames);
        return renderCycle(unit, time, frames, list.list());
    }

    Bundle bundle;
    AudioUnit unit = nullptr;
};

} // namespace ComponentTest
