// Factory presets, VST preset conversion and the current AudioUnit preset.
// Stand-ins until the preset layer is in: no factory presets, nothing
// converted, and the current preset never changes.
#include "auadapter/TwinfoldComponent.h"

void TwinfoldComponent::loadOrCreateFactoryPresets()
{
}

void TwinfoldComponent::convertVSTPresets()
{
}

bool TwinfoldComponent::updateCurrentAUPreset()
{
    return false;
}
