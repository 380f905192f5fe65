#include "lv2/ui/RemoteEffect.h"

#include "editor/ADEditor.h"

#include <algorithm>
#include <cmath>

RemoteEffect::RemoteEffect(Link& link) : Vivuzudid(&RemoteEffect::hostCallback), link(link)
{
    cEffect.user = this;
    reportedCurveChanges = getCurveChangeCount();
    getCurve(knownCurve.data());
    // The editor registers itself as this effect's editor; the effect owns it.
    guiEditor = new ADEditor(this);
}

RemoteEffect::~RemoteEffect()
{
    // A window closed mid-gesture still releases the host's touch, while the
    // link can take it.
    if (guiEditor)
        guiEditor->close();
    guiEditor = nullptr;
    cEffect.user = nullptr;
}

VstIntPtr RemoteEffect::hostCallback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* /*ptr*/,
                                     float opt)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (!e || !e->user)
        return 0;
    return static_cast<RemoteEffect*>(e->user)->onHostRequest(opcode, index, value, opt);
}

VstIntPtr RemoteEffect::onHostRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt)
{
    const bool parameter = index >= 0 && index < kNumParams;
    switch (opcode)
    {
    case audioMasterAutomate:
        if (parameter)
            link.automate(index, opt);
        return 0;
    case audioMasterBeginEdit:
        if (parameter)
        {
            ++held[index];
            link.touch(index, true);
        }
        else if (index == kCurvePointSelect)
        {
            curveGesture = true;
            curveChangesAtGesture = getCurveChangeCount();
        }
        return 1;
    case audioMasterEndEdit:
        if (parameter)
        {
            held[index] = std::max(0, held[index] - 1);
            link.touch(index, false);
        }
        else if (index == kCurvePointSelect && curveGesture)
        {
            curveGesture = false;
            // What the plug-in reported meanwhile is older than a drawn
            // curve, which goes out next; without drawing it is the news.
            if (curvePending && getCurveChangeCount() == curveChangesAtGesture)
                applyCurve(pendingCurve.data());
            curvePending = false;
        }
        return 1;
    case audioMasterUpdateDisplay:
        link.curveEdited();
        return 1;
    case audioMasterSizeWindow:
        return link.resize(index, static_cast<VstInt32>(value)) ? 1 : 0;
    default:
        return 0;
    }
}

void RemoteEffect::setParameter(VstInt32 index, float value)
{
    Vivuzudid::setParameter(index, value);
    if (guiEditor)
        guiEditor->setParameter(index, value);
}

VstInt32 RemoteEffect::getLastCurveIndex(VstInt32 channel) const
{
    return channel == 1 ? remoteIndexR : remoteIndexL;
}

void RemoteEffect::showParameter(VstInt32 index, float value)
{
    if (index < 0 || index >= kNumParams || !std::isfinite(value) || held[index] > 0)
        return;
    setParameter(index, value);
}

void RemoteEffect::showCurve(const int32_t* points)
{
    if (!points)
        return;
    Curve incoming;
    std::transform(points, points + kCurvePoints, incoming.begin(), [](int32_t v) { return std::clamp(v, 0, 128); });
    // The plug-in reports every curve it is sent. The echo of the curve shown
    // changes nothing, and one of an earlier curve of a drawing (arriving
    // after later ones went out) would pull the drawing back: neither
    // refreshes the editor, which would also end its undo history.
    Curve shown;
    getCurve(shown.data());
    if (incoming == shown || std::find(sentCurves.begin(), sentCurves.begin() + sentCount, incoming) !=
                                 sentCurves.begin() + sentCount)
        return;
    if (curveGesture)
    {
        std::copy(points, points + kCurvePoints, pendingCurve.begin());
        curvePending = true;
        return;
    }
    applyCurve(points);
}

void RemoteEffect::applyCurve(const int32_t* points)
{
    setCurve(points);
    reportedCurveChanges = getCurveChangeCount();
    getCurve(knownCurve.data());
    // The editor re-reads every value and the curve.
    setParameter(kEditorRefresh, 1.0f);
}

void RemoteEffect::showLastIndices(int32_t left, int32_t right)
{
    remoteIndexL = left;
    remoteIndexR = right;
}

bool RemoteEffect::takeCurveEdit(int32_t* points)
{
    const uint32_t changes = getCurveChangeCount();
    if (changes == reportedCurveChanges || !points)
        return false;
    reportedCurveChanges = changes;
    // The release of a drag writes its last point once more: the same curve
    // needs no second message.
    getCurve(points);
    if (std::equal(points, points + kCurvePoints, knownCurve.begin()))
        return false;
    std::copy(points, points + kCurvePoints, knownCurve.begin());
    sentCurves[sentNext] = knownCurve;
    sentNext = (sentNext + 1) % kSentCurves;
    sentCount = std::min(sentCount + 1, kSentCurves);
    return true;
}

void RemoteEffect::forgetSentCurves()
{
    sentCount = 0;
    sentNext = 0;
}
