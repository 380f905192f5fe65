// A chain kernel driven directly, beside the literal model: for settings the
// effect's bounded parameters cannot reach (a filter type whose output is not
// selected, curve points outside 0..128) and for sweeps of the shaper alone.
// The kernel's settings and coefficients are taken from the model.
#pragma once

#include "engine/ChainKernel.h"
#include "engine/ShaperIndex.h"
#include "tests/engine/ReferenceChain.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

class KernelHarness
{
public:
    explicit KernelHarness(const Chain::Kernel& k) : kernel(k)
    {
        for (int i = 0; i < 128; ++i)
            curve[i] = static_cast<int32_t>(model.curve[i]);
        table.build(curve, kernel.needsEntries);
        derive();
    }

    void set(int index, float v)
    {
        model.set(index, v);
        derive();
    }
    // A filter type the parameters cannot give (4: runs, output not selected).
    void setType(int pair, int32_t type)
    {
        (pair == 0 ? model.preType : model.postType) = type;
        derive();
    }
    void setPoint(int i, int32_t v)
    {
        model.curve[i] = v;
        curve[i] = v;
        table.build(curve, kernel.needsEntries);
    }
    void setGains(float left, float right)
    {
        model.gainL = left;
        model.gainR = right;
        derive();
    }

    // One block through both, in place for the kernel; every output bit and
    // the last curve indices must agree.
    void compare(const std::vector<float>& left, const std::vector<float>& right)
    {
        const int frames = static_cast<int>(left.size());
        std::vector<float> l = left, r = right, expL(left.size()), expR(right.size());
        model.block(left.data(), right.data(), expL.data(), expR.data(), frames);
        kernel.run(settings, table, filters, last, {l.data(), r.data(), l.data(), r.data(), frames});
        for (int i = 0; i < frames; ++i)
        {
            ASSERT_EQ(std::bit_cast<uint32_t>(expL[i]), std::bit_cast<uint32_t>(l[i])) << "left frame " << i << " of " << frames;
            ASSERT_EQ(std::bit_cast<uint32_t>(expR[i]), std::bit_cast<uint32_t>(r[i])) << "right frame " << i << " of " << frames;
        }
        ASSERT_EQ(ShaperIndex::indexOf(last.left + 1.0f), model.lastL) << frames << " frames";
        ASSERT_EQ(ShaperIndex::indexOf(last.right + 1.0f), model.lastR) << frames << " frames";
    }

    // Runs the kernel alone.
    void run(float* l, float* r, int frames) { kernel.run(settings, table, filters, last, {l, r, l, r, frames}); }

    const Chain::Kernel& kernel;
    reference::Chain model;

private:
    static Chain::FilterOutput outputOf(int32_t type)
    {
        return type == 3 ? Chain::FilterOutput::high
                         : type == 2 ? Chain::FilterOutput::band
                                     : (type == 0 || type == 1) ? Chain::FilterOutput::low : Chain::FilterOutput::none;
    }

    void derive()
    {
        settings.gainL = model.gainL;
        settings.gainR = model.gainR;
        settings.postGain = model.p[2];
        settings.shaperOn = model.p[3] == 1.0f;
        settings.wet = model.p[4];
        settings.dry = 1.0f - model.p[4];
        settings.mix = model.p[4] != 1.0f;
        settings.preOn = model.preType != 0;
        settings.postOn = model.postType != 0;
        settings.preOutput = outputOf(model.preType);
        settings.postOutput = outputOf(model.postType);
        for (int f = 0; f < 4; ++f)
        {
            filters[f].freq = model.f[f].freq;
            filters[f].damp = model.f[f].damp;
            filters[f].cutoff = model.f[f].cutoff;
        }
    }

    Chain::Settings settings{};
    ShaperTable table;
    DovanSVF filters[4];
    Chain::LastLevels last{0.0f, 0.0f};
    int32_t curve[128];
};
