// What the recording test component keeps in its instance storage.
#pragma once

constexpr int kMaxRecordedBlocks = 64;

struct RecordedBlock
{
    short what;
    unsigned char paramSize;
    long params[9];
};

struct RecordedCalls
{
    int count;
    RecordedBlock blocks[kMaxRecordedBlocks];
};
