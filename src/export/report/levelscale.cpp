#include "export/report/levelscale.h"

#include <algorithm>
#include <cmath>

#include "export/kmz/profiles.h"
#include "platform/text.h"

namespace {

std::string ProfileError(const std::string& profile) {
    return "Could not load the color profile '" + Text_Latin1ToUtf8(profile) + "'.";
}

}  // namespace

bool Report_CheckProfile(const std::string& profile, std::string& error) {
    ColorProfile p;
    if (profile.empty() || ColorProfile_Read(KmzProfile_Path(KmzProfileState{}, profile), p)) return true;
    error = ProfileError(profile);
    return false;
}

bool Report_LevelScale(const CoverageGroup& group, std::size_t levelChannel, int decimals, const std::string& profile,
                       ReportLevelScale& scale, std::string& error) {
    scale = ReportLevelScale{};
    KmzColourChannel row;
    row.channel = 1;  // a value channel (0 is the speed)
    row.tag = group.channels[levelChannel].name;
    row.ratingKind = kKmzRateHigherBetter;
    row.decimals = decimals;
    for (const CoverageCell& cell : group.cells) {
        const ChannelStatistics& s = cell.channels[levelChannel];
        if (s.n == 0) continue;
        CellStatistics& st = row.statistics;
        st.worst = st.validCount == 0 ? s.median : std::min(st.worst, s.median);
        st.best = st.validCount == 0 ? s.median : std::max(st.best, s.median);
        ++st.validCount;
        ++st.count;
    }
    KmzColourScope scope;
    scope.channelCount = 2;
    scope.rows = {row};
    KmzColourMemoryView view;
    autoAssignAnchors(scope, view);
    if (!profile.empty()) {
        KmzProfileState state;
        ColorProfile read;
        if (!ColorProfile_Read(KmzProfile_Path(state, profile), read) || !loadColorProfile(state, profile, scope, view)) {
            error = ProfileError(profile);
            return false;
        }
        scale.profile = profile;
        scale.fromProfile = std::any_of(read.entries.begin(), read.entries.end(),
                                        [&](const ColorProfileEntry& e) { return Text_View(e.tag) == row.tag; });
    }
    std::vector<KmzAnchors> anchors;
    if (!validateColourScales(scope, view, anchors)) {
        error = view.lastMessage;
        std::replace(error.begin(), error.end(), '\n', ' ');
        error = Text_Latin1ToUtf8(error);
        return false;
    }
    scale.anchors = anchors[1];
    scale.colours = view.colours();
    scale.row = row;
    return true;
}
