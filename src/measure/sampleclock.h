#pragma once
// The barrier that makes every analyzer measure the same sample: a sample
// starts only when every thread is ready (or inactive) and at most once a
// second, and closes only when every thread has read its values. All
// functions are called under the drive-test lock.
#include <cstdint>

#include "records/recordtypes.h"

struct SampleClock {
    std::int32_t sampleInProgress = 0;
    std::uint32_t maskAll = 0;
    std::uint32_t maskInactive = 0;
    std::uint32_t maskReady = 0;
    std::uint32_t maskStored = 0;
    DtrTime sampleStart{};
    DtrTime sampleEnd{};
    GpsFix sharedGps{};
    std::uint32_t revision = 0;  // counts the changes of the masks and of the sample in progress
};

void SampleClock_Reset(SampleClock& clock, int threadCount);
// Every call that changes the masks or starts or closes a sample increments
// revision, so that callers wake the other threads only on a real change.
// Moves the thread's bit into one mask and out of the two others.
void SampleClock_SetInactive(SampleClock& clock, int number);
// Phase 3: may this thread measure? currentState is the thread's state; now the date-time value.
bool SampleClock_MayMeasure(SampleClock& clock, int number, int currentState, double now);
// Phase 5: is the sample this thread measured closed?
bool SampleClock_IsClosed(SampleClock& clock, int number, double now);
