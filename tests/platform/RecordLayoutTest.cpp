// The published records keep their 64-bit sizes and field offsets, so code
// built against other headers of the same API exchanges them unchanged.
#include <AppKit/NSView.h>
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AUCocoaUIView.h>
#include <AudioUnit/AudioUnit.h>
#include <Carbon/Carbon.h>
#include <CoreServices/CoreServices.h>

#include <gtest/gtest.h>

#include <cstddef>

static_assert(sizeof(ComponentDescription) == 20);
static_assert(offsetof(ComponentParameters, what) == 2 && offsetof(ComponentParameters, params) == 8);
static_assert(sizeof(FSRef) == 80);
static_assert(sizeof(AudioStreamBasicDescription) == 40 && offsetof(AudioStreamBasicDescription, mFormatID) == 8 &&
              offsetof(AudioStreamBasicDescription, mReserved) == 36);
static_assert(sizeof(AudioBuffer) == 16 && offsetof(AudioBuffer, mData) == 8);
static_assert(offsetof(AudioBufferList, mBuffers) == 8 && sizeof(AudioBufferList) == 24);
static_assert(sizeof(SMPTETime) == 24 && offsetof(SMPTETime, mHours) == 16);
static_assert(sizeof(AudioTimeStamp) == 64 && offsetof(AudioTimeStamp, mSMPTETime) == 32 &&
              offsetof(AudioTimeStamp, mFlags) == 56);
static_assert(sizeof(AURenderCallbackStruct) == 16);
static_assert(sizeof(AudioUnitConnection) == 16 && offsetof(AudioUnitConnection, destInputNumber) == 12);
static_assert(sizeof(AUPreset) == 16 && offsetof(AUPreset, presetName) == 8);
static_assert(sizeof(AudioUnitParameterInfo) == 104 && offsetof(AudioUnitParameterInfo, unitName) == 56 &&
              offsetof(AudioUnitParameterInfo, clumpID) == 64 && offsetof(AudioUnitParameterInfo, cfNameString) == 72 &&
              offsetof(AudioUnitParameterInfo, unit) == 80 && offsetof(AudioUnitParameterInfo, flags) == 96);
static_assert(sizeof(HostCallbackInfo) == 32 && offsetof(HostCallbackInfo, transportStateProc) == 24);
static_assert(sizeof(AudioUnitParameterEvent) == 32 && offsetof(AudioUnitParameterEvent, eventValues) == 16);
static_assert(sizeof(AudioUnitParameter) == 24 && offsetof(AudioUnitParameter, mParameterID) == 8);
static_assert(sizeof(AudioUnitProperty) == 24);
static_assert(sizeof(AudioUnitEvent) == 32 && offsetof(AudioUnitEvent, mArgument) == 8);
static_assert(sizeof(AudioUnitCocoaViewInfo) == 16);
static_assert(sizeof(AudioUnitParameterStringFromValue) == 24 && sizeof(AudioUnitParameterValueFromString) == 24);
static_assert(sizeof(AUChannelInfo) == 4);
static_assert(sizeof(AUCocoaViewFactory) == 24);
static_assert(sizeof(Boolean) == 1 && sizeof(Size) == 8 && sizeof(CFIndex) == 8 && sizeof(OSErr) == 2);

TEST(PublishedValues, SelectorsAndCodesKeepTheirValues)
{
    EXPECT_EQ(kAudioUnitRemovePropertyListenerWithUserDataSelect, 18);
    EXPECT_EQ(kMusicDeviceMIDIEventSelect, 257);
    EXPECT_EQ(static_cast<UInt32>(badComponentSelector), 0x80008002u);
    EXPECT_EQ(kAudioUnitType_MusicEffect, 0x61756D66); // 'aumf'
    EXPECT_EQ(kAudioUnitProperty_CocoaUI, 31);
    EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue, -10851);
    EXPECT_EQ(kAudioFormatLinearPCM, 0x6C70636D);
    EXPECT_EQ(kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved, 0x29u);
    EXPECT_EQ(kAudioUnitParameterFlag_IsWritable, 0x80000000u);
    EXPECT_EQ(eventLoopTimedOutErr, -9875);
    EXPECT_EQ(kUserDomain, -32763);
    EXPECT_EQ(kLocalDomain, -32765);
    EXPECT_EQ(kCFStringEncodingUTF8, 0x08000100u);
    EXPECT_EQ(static_cast<UInt32>(kAUParameterListener_AnyParameter), 0xFFFFFFFFu);
}
