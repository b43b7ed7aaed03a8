#pragma once
// Track state kept in memory with every open record file: fix share, track
// length, speeds, the speed estimate and the live 60 x 60 track map.
#include <string>
#include <vector>

#include "records/recordtypes.h"
#include "records/trackmap.h"

struct TrackState {
    char distanceUnit[100] = {};  // "kilometers [km]" or "miles [mi]"
    std::int32_t fixCount = 0;
    std::int32_t sampleCount = 0;
    double trackLengthKm = 0.0;
    double lastLongitude = 0.0;
    double lastLatitude = 0.0;
    double maxSpeedKmh = 0.0;
    double maxReportedSpeedKmh = 0.0;
    MapImage trackImage{};
    MapImage displayImage{};
    double scaleKm = 0.0;  // km per 20-pixel grid cell; 0.0 until the first fix
    double offsetX = 0.0;
    double offsetY = 0.0;
    double refLongitude = 0.0;  // position of the map centre (30, 30)
    double refLatitude = 0.0;
    double startLongitude = 0.0;
    double startLatitude = 0.0;
    std::int32_t consecutiveFixes = 0;
    // Fixes since the last sample without one or the last pause; the speed
    // estimate needs five of them, so a pause restarts it without cutting the track.
    std::int32_t speedFixes = 0;
};

// Zeroes the counters and positions, paints the track white and composes the display.
// distanceUnit is kept: the owner sets it, before or after.
void Track_Init(TrackState& track);
// Counts the last sample of samples into the track; may fill its speed estimate.
void Track_Update(TrackState& track, std::vector<RecordSample>& samples);
// Highest receiver-reported speed, for the last sample.
void Track_UpdateReportedSpeed(TrackState& track, const RecordSample& last);
// Clears the speed state when recording pauses: the estimate waits for five new
// fixes, because the buffered samples before the pause would span the pause.
// Track length and map carry on across the pause.
void Track_ResetSpeed(TrackState& track);
// displayImage = trackImage with start dot, grid and frame.
void Map_Compose(TrackState& track);

// The four status numbers shown beside the map.
struct TrackStatusTexts {
    std::string fixShare;     // "%.1lf" percent, "---" before the first sample
    std::string gridSpacing;  // "%.2lf", "---" before the first sample
    std::string trackLength;  // "%.2lf"
    std::string speed;        // "%.1lf", "---" while unknown
};
TrackStatusTexts Track_StatusTexts(const TrackState& track, const RecordSample* last);

// Where the track map and its numbers are shown; the UI implements it.
class TrackView {
public:
    virtual ~TrackView() = default;
    virtual void showTrackImage(const MapImage& rgb) = 0;
    virtual void showTrackStatus(const TrackStatusTexts& texts) = 0;
};
void Track_Show(const TrackState& track, const RecordSample* last, TrackView& view);
