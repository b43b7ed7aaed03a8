#pragma once
// State the GPS setup's requests (gpssetup.cpp) share with its thread
// (gpssetupthread.cpp). Everything below the lock is guarded by it.
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "measure/gpssetup.h"

struct GpsSetupInputLimit {
    int minimum = 0;
    int maximum = 0;
};

struct GpsSetupShared {
    GpsSetupView* view = nullptr;
    GpsSetupHost* host = nullptr;
    GpsSetupTiming timing;

    std::mutex lock;                 // the GPS setup lock
    std::condition_variable wake;    // stage, request or end changed
    int stage = kGpsStageIdle;
    int analyzer = -1;               // hardware table row; -1 when none
    // Counts the user's requests, so that choosing the receiver being set up,
    // or an input while inputs are sent, restarts the stage as well.
    unsigned request = 0;
    int receiver = 0;                // 0-based position in the ring
    int receiverCount = 0;           // entries of the ring once the thread filled it
    std::vector<int> inputValues;    // column 3 of each input row
    std::vector<GpsSetupInputLimit> inputLimits;
    unsigned run = 0;                // counts the setups opened
    unsigned endedRun = 0;           // the last setup whose thread has finished
    std::thread thread;
};

GpsSetupShared& GpsSetup_Shared();

// The setup thread of one opened setup.
void GpsSetup_Thread(int row, unsigned run, GpsSetupTiming timing);
