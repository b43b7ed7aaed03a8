#include "measure/sampleclock.h"

#include <algorithm>

#include "measure/receivercontext.h"

namespace {

std::uint32_t Bit(int number) { return 1u << (number - 1); }

enum class Mask { Inactive, Ready, Stored };

void MoveBit(SampleClock& c, int number, Mask to) {
    const std::uint32_t b = Bit(number);
    const std::uint32_t before[3] = {c.maskInactive, c.maskReady, c.maskStored};
    c.maskInactive &= ~b;
    c.maskReady &= ~b;
    c.maskStored &= ~b;
    if (to == Mask::Inactive) c.maskInactive |= b;
    if (to == Mask::Ready) c.maskReady |= b;
    if (to == Mask::Stored) c.maskStored |= b;
    if (before[0] != c.maskInactive || before[1] != c.maskReady || before[2] != c.maskStored) c.revision += 1;
}

void Close(SampleClock& c, double now) {
    c.sampleInProgress = 0;
    c.maskReady = 0;
    c.revision += 1;
    Recording_StampTime(c.sampleEnd, now);
}

// Threads that take part in the current sample and have not read it yet.
std::uint32_t Reading(const SampleClock& c) { return c.sampleInProgress ? c.maskReady & c.maskAll : 0u; }

}  // namespace

void SampleClock_Reset(SampleClock& c, int threadCount) {
    c = SampleClock{};
    c.maskAll = threadCount >= 32 ? 0xFFFFFFFFu : (1u << threadCount) - 1u;
}

void SampleClock_SetInactive(SampleClock& c, int number) { MoveBit(c, number, Mask::Inactive); }

bool SampleClock_MayMeasure(SampleClock& c, int number, int currentState, double now) {
    if (c.sampleInProgress && (c.maskReady & Bit(number))) {
        if (currentState == kStateMonitoring) {
            MoveBit(c, number, Mask::Inactive);  // monitoring only: takes part in no sample
            return false;
        }
        c.maskLeft &= ~Bit(number);  // a sample left earlier is forgotten: this one counts
        return true;
    }
    if (!c.sampleInProgress) MoveBit(c, number, Mask::Ready);
    if (currentState == kStateRecording && !c.sampleInProgress && now - c.sampleStart.dateTime > 1.0 &&
        (c.maskReady | c.maskInactive) == c.maskAll) {
        c.sampleInProgress = 1;
        c.maskStored = 0;
        c.maskLeft &= ~Bit(number);
        c.revision += 1;
        c.sampleNumber += 1;
        c.maskTrouble = 0;
        c.sharedGps = GpsFix{};
        c.sharedGps.speed = -1.0;
        Recording_StampTime(c.sampleStart, now);
        // Waiting for the start was no silence of the analyzers: the stall time counts from here.
        c.lastStoredAt = now;
        for (double& t : c.answeredAt) t = std::max(t, now);
        return true;
    }
    return false;
}

bool SampleClock_IsClosed(SampleClock& c, int number, double now) {
    if (!c.sampleInProgress && (c.maskStored & Bit(number))) return true;
    if (c.sampleInProgress && !(c.maskStored & Bit(number))) {
        MoveBit(c, number, Mask::Stored);
        c.lastStoredAt = now;
    }
    if (c.sampleInProgress && (c.maskStored | c.maskInactive) == c.maskAll) {
        Close(c, now);
        return true;
    }
    return false;
}

void SampleClock_Answered(SampleClock& c, int number, double at) {
    if (number < 1 || number > kSampleClockThreads) return;
    double& t = c.answeredAt[number - 1];
    t = std::max(t, at);
}

void SampleClock_Trouble(SampleClock& c, int number) { c.maskTrouble |= Bit(number); }

double SampleClock_StallDeadline(const SampleClock& c) {
    const std::uint32_t reading = Reading(c);
    if (!reading) return 0.0;
    double latest = c.lastStoredAt;
    for (int i = 0; i < kSampleClockThreads; ++i)
        if ((reading & ~c.maskTrouble) & (1u << i)) latest = std::max(latest, c.answeredAt[i]);
    return latest + kStallSeconds;
}

bool SampleClock_LeaveStalled(SampleClock& c, double now) {
    const std::uint32_t reading = Reading(c);
    if (!reading || now < SampleClock_StallDeadline(c)) return false;
    for (int i = 0; i < kSampleClockThreads; ++i)
        if (reading & (1u << i)) MoveBit(c, i + 1, Mask::Inactive);
    Close(c, now);
    for (int i = 0; i < kSampleClockThreads; ++i) {
        if (!(reading & (1u << i))) continue;
        c.left[i] = LeftSample{c.sampleStart, c.sampleEnd, c.sharedGps};
        c.maskLeft |= 1u << i;
    }
    return true;
}

bool SampleClock_TakeLeft(SampleClock& c, int number, LeftSample& left) {
    const std::uint32_t b = Bit(number);
    if (!(c.maskLeft & b)) return false;
    c.maskLeft &= ~b;
    left = c.left[number - 1];
    return true;
}
