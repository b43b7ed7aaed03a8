// Reading one sample: attenuation before and after, the GPS position, every
// selected value, graph and read-out, and the attenuation-change check; and
// the live status queries between samples.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "measure/engine.h"
#include "measure/link.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kShortReply = 500;

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

bool ContainsQuery(const char* reply, const char* query) { return query[0] && std::strstr(reply, query) != nullptr; }

// A number at the start of a reply, as a plain decimal conversion reads it; 0 when none.
double LeadingNumber(const char* text) {
    double v = 0.0;
    return Text_ParseLeadingDouble(text, v) ? v : 0.0;
}

bool Query(ReceiverContext& ctx, const char* query, char* reply, std::size_t size) {
    return Link_Query(ctx, query, reply, size);
}

bool AttenuationInvalid(const char* reply, const char* query) {
    return !std::strcmp(reply, "---") || ContainsQuery(reply, query);
}

// GPS sub-steps 0 to 3 of the providesGps thread.
void GpsStep(ReceiverContext& ctx, int sub) {
    const AnalyzerFamily& family = ctx.analyzer.family;
    GpsFix& gps = ctx.sample.head.gps;
    char reply[kShortReply];
    switch (sub) {
    case 0:
        Engine_Describe(ctx, "GPS fix");
        gps.speed = -1.0;
        if (!Query(ctx, family.gpsValidQuery, reply, sizeof reply)) return;
        if (!std::strcmp(reply, "1")) {
            gps.gpsFix = 1;
            ctx.step += 1;
        } else {
            gps.gpsFix = 0;
            ctx.step += 4;
        }
        return;
    case 1:
        Engine_Describe(ctx, "GPS longitude");
        if (!Query(ctx, family.longitudeQuery, reply, sizeof reply)) return;
        if (!std::strcmp(reply, "---") || !std::strcmp(reply, "0,0,0.0")) {
            gps.gpsFix = 0;
            ctx.step += 3;
        } else {
            gps.longitude = Engine_ConvertCoordinate(reply);
            ctx.step += 1;
        }
        return;
    case 2:
        Engine_Describe(ctx, "GPS latitude");
        if (!Query(ctx, family.latitudeQuery, reply, sizeof reply)) return;
        if (!std::strcmp(reply, "---") || !std::strcmp(reply, "0,0,0.0"))
            gps.gpsFix = 0;
        else
            gps.latitude = Engine_ConvertCoordinate(reply);
        ctx.step += (!family.speedQuery[0] || gps.gpsFix == 0) ? 2 : 1;
        return;
    default:
        Engine_Describe(ctx, "GPS speed");
        if (!Query(ctx, family.speedQuery, reply, sizeof reply)) return;
        if (std::strcmp(reply, "---") != 0) gps.speed = 1.852 * LeadingNumber(reply);  // knots to km/h
        ctx.step += 1;
        return;
    }
}

void ReadValue(ReceiverContext& ctx, const MeasurementValue& v) {
    const BroadcastStandard& standard = ctx.standard();
    const char* query = v.query[0] ? v.query : standard.syncQuery;
    char reply[kShortReply];
    if (!Query(ctx, query, reply, sizeof reply)) return;
    double* slot = &ctx.sample.values[ctx.valueFill];
    if (Engine_ValueReplyInvalid(reply, query)) {
        slot[0] = 0.0;
    } else {
        slot[0] = 1.0;
        if (StartsWith(reply, "SYNC"))
            slot[1] = 1.0;
        else if (StartsWith(reply, "NSYN"))
            slot[1] = 0.0;
        else
            slot[1] = v.scale * LeadingNumber(reply);
    }
    ctx.valueFill += 2;
    ctx.step += 1;
}

void ReadGraph(ReceiverContext& ctx, const MeasurementGraph& g) {
    static thread_local char reply[kScpiRxBufferBytes];
    if (!Query(ctx, g.query, reply, sizeof reply)) return;
    float* slot = &ctx.sample.graphs[ctx.graphFill];
    if (Engine_GraphReplyInvalid(reply, g.query)) {
        slot[0] = 0.0f;
    } else {
        slot[0] = 1.0f;
        if (g.transferKind == 2)
            Engine_DecodePeakList(reply, g.xMin, g.xMax, slot + 1, g.points);
        else
            Engine_DecodeEchoList(reply, g.transferKind, g.xMin, g.xMax, slot + 1, g.points);
    }
    ctx.graphFill += 1 + static_cast<std::size_t>(g.points);
    ctx.step += 1;
}

void ReadItem(ReceiverContext& ctx, const StandardInfoItem& it) {
    char reply[kShortReply];
    if (!Query(ctx, it.query, reply, sizeof reply)) return;
    std::uint8_t* slot = &ctx.sample.items[ctx.itemFill];
    if (Engine_ValueReplyInvalid(reply, it.query)) {
        slot[0] = 0;
    } else {
        slot[0] = 1;
        // Cut to width - 1 characters, terminated inside the width.
        Text_CopyN(reinterpret_cast<char*>(slot + 1), static_cast<std::size_t>(it.width), reply);
    }
    ctx.itemFill += 1 + static_cast<std::size_t>(it.width);
    ctx.step += 1;
}

double ReadAttenuation(ReceiverContext& ctx, bool& done) {
    const char* query = ctx.analyzer.family.refLevelQuery;
    char reply[kShortReply];
    done = Query(ctx, query, reply, sizeof reply);
    if (!done) return -1.0;
    return AttenuationInvalid(reply, query) ? -1.0 : LeadingNumber(reply);
}

}  // namespace

double Engine_ConvertCoordinate(const char* reply) {
    if (!std::strchr(reply, ',')) return LeadingNumber(reply);
    double degrees = 0.0, minutes = 0.0, seconds = 0.0;
    std::string s = reply;
    std::size_t c1 = s.find(','), c2 = s.find(',', c1 + 1);
    Text_ParseDouble(s.substr(0, c1), degrees);
    Text_ParseDouble(s.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1), minutes);
    if (c2 != std::string::npos) Text_ParseDouble(s.substr(c2 + 1), seconds);
    // Degrees carry their sign; minutes and seconds take it from the first character ("-0,30,0.0" is -0.5).
    const double sign = reply[0] == '-' ? -1.0 : 1.0;
    return ((seconds / 60.0 + minutes) * sign) / 60.0 + degrees;
}

bool Engine_ValueReplyInvalid(const char* reply, const char* query) {
    return !std::strcmp(reply, "---") || StartsWith(reply, "99.1e+36") || ContainsQuery(reply, query);
}

bool Engine_GraphReplyInvalid(const char* reply, const char* query) {
    return StartsWith(reply, "---") || StartsWith(reply, "{}") || ContainsQuery(reply, query);
}

void Engine_DecodeEchoList(const char* reply, int transferKind, const char* xMinText, const char* xMaxText,
                           float* points, int count) {
    std::fill(points, points + count, -200.0f);
    double xMin = 0.0, xMax = 0.0;
    Text_ParseDouble(xMinText, xMin);
    Text_ParseDouble(xMaxText, xMax);
    if (count < 1 || xMax == xMin) return;
    const int fields = transferKind == 1 ? 2 : 3;
    std::vector<double> numbers;
    std::string s = reply;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t comma = s.find(',', start);
        double v = 0.0;
        Text_ParseDouble(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start), v);
        numbers.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    double reference = 0.0;
    for (std::size_t e = 0; e + static_cast<std::size_t>(fields) <= numbers.size(); e += static_cast<std::size_t>(fields)) {
        const double level = numbers[e], time = numbers[e + 1];
        if (e == 0) reference = level;  // the first entry is the main path
        if (fields == 3) {
            const double group = numbers[e + 2];
            const bool counts = group == 0.0 || (transferKind == 3 && group == 1.0) || (transferKind == 4 && group == 2.0);
            if (!counts) continue;
        }
        const double index = std::round((time - xMin) * (count - 1) / (xMax - xMin));
        if (!(index >= 0.0 && index <= count - 1)) continue;  // an entry outside the axis is ignored
        float& p = points[static_cast<int>(index)];
        p = std::max(p, static_cast<float>(level - reference));
    }
}

void Engine_DecodePeakList(const char* reply, const char* xMinText, const char* xMaxText, float* points, int count) {
    std::fill(points, points + count, -200.0f);
    double xMin = 0.0, xMax = 0.0;
    Text_ParseDouble(xMinText, xMin);
    Text_ParseDouble(xMaxText, xMax);
    if (count < 1 || xMax == xMin) return;
    // "{{level,x,index},{level,x,index}}": a group starts at the third character,
    // each further one two characters after the comma that ends a group's third field.
    const std::string s = reply;
    std::size_t pos = 2;
    while (pos < s.size()) {
        std::size_t c1 = s.find(',', pos);
        if (c1 == std::string::npos) break;
        std::size_t c2 = s.find(',', c1 + 1);
        if (c2 == std::string::npos) break;
        double level = 0.0, x = 0.0;
        bool ok = Text_ParseDouble(s.substr(pos, c1 - pos), level) && Text_ParseDouble(s.substr(c1 + 1, c2 - c1 - 1), x);
        if (ok) {
            const double index = std::round((count - 1) * (x * 1e6 - xMin) / (xMax - xMin));
            if (index >= 0.0 && index <= count - 1) {
                float& p = points[static_cast<int>(index)];
                p = std::max(p, static_cast<float>(level));
            }
        }
        std::size_t c3 = s.find(',', c2 + 1);
        if (c3 == std::string::npos) break;
        pos = c3 + 2;
    }
}

void Engine_MeasuringPhase(DriveTestState& dt, ReceiverContext& ctx) {
    const int a = static_cast<int>(ctx.selectedValues.size());
    const int b = static_cast<int>(ctx.selectedGraphs.size());
    const int c = static_cast<int>(ctx.selectedInfoItems.size());
    const int last = 5 * (a + b + c) + 5;
    if (ctx.step == 0) {
        ctx.lastPassStep = -1;
        ctx.stepCount = 5 * (a + b + c) + 10;
        Recording_ResetSample(ctx.recorder, ctx.sample);
        ctx.sample.head.gps = GpsFix{};
        ctx.sample.head.gps.speed = -1.0;
        ctx.valueFill = ctx.graphFill = ctx.itemFill = 0;
        ctx.attenuationChanged = 0;
        ctx.step = 1;
        return;
    }
    if (ctx.reinitReason[0]) {
        ctx.phase = kPhaseStoring;
        ctx.step = 0;
        return;
    }
    const AnalyzerFamily& family = ctx.analyzer.family;
    const int step = ctx.step;
    if (step == 1) {
        Engine_Describe(ctx, "Get attenuation state");
        bool done;
        double att = ReadAttenuation(ctx, done);
        if (!done) return;
        ctx.sample.head.attStart = att;
        ctx.step = 2;
    } else if (step >= 2 && step <= 5) {
        if (!ctx.providesGps) {
            ctx.step = 6;
            return;
        }
        GpsStep(ctx, step - 2);
        if (ctx.step >= 6) Engine_ShareGps(dt, ctx);
    } else if (step <= last) {
        const int k = (step - 6) / 5;
        const int sub = (step - 6) % 5;
        if (k < a) {
            const MeasurementValue& v = ctx.selectedValues[static_cast<std::size_t>(k)];
            if (sub < 4) {
                if (sub == 0) Engine_Describe(ctx, v.longName);
                Engine_ModeSwitch(dt, ctx, v.modeIndex, sub);
            } else {
                Engine_Describe(ctx, v.longName);
                ReadValue(ctx, v);
            }
        } else if (k < a + b) {
            const MeasurementGraph& g = ctx.selectedGraphs[static_cast<std::size_t>(k - a)];
            if (sub < 4) {
                if (sub == 0) Engine_Describe(ctx, g.longName);
                Engine_ModeSwitch(dt, ctx, g.modeIndex, sub);
            } else {
                Engine_Describe(ctx, g.longName);
                ReadGraph(ctx, g);
            }
        } else {
            const StandardInfoItem& it = ctx.selectedInfoItems[static_cast<std::size_t>(k - a - b)];
            if (sub < 4) {
                if (sub == 0) Engine_Describe(ctx, it.longName);
                Engine_ModeSwitch(dt, ctx, it.queryGroup, sub);  // -1 in every row: no mode switch
            } else {
                Engine_Describe(ctx, it.longName);
                ReadItem(ctx, it);
            }
        }
    } else if (step == last + 1) {
        Engine_Describe(ctx, "Get attenuation state");
        bool done;
        double att = ReadAttenuation(ctx, done);
        if (!done) return;
        ctx.sample.head.attStop = att;
        ctx.step += 1;
    } else if (step == last + 2) {
        Engine_Describe(ctx, "Check attenuation change");
        char reply[kShortReply];
        if (!Query(ctx, family.attChangeQuery, reply, sizeof reply)) return;
        ctx.attenuationChanged =
            AttenuationInvalid(reply, family.attChangeQuery) ? -1 : static_cast<int>(std::trunc(LeadingNumber(reply)));
        ctx.step += ctx.attenuationChanged == 0 ? 3 : 1;
    } else if (step == last + 3) {
        Engine_Describe(ctx, "Reset attenuation change");
        if (family.attChangeReset[0] && !Link_Write(ctx, family.attChangeReset)) return;
        ctx.step += 1;
    } else if (step == last + 4) {
        Engine_Describe(ctx, "Reset BER calculation");
        if (family.berResetCommand[0] && !Link_Write(ctx, family.berResetCommand)) return;
        ctx.step += 1;
    } else {
        ctx.phase = kPhaseStoring;
        ctx.step = 0;
    }
}

bool Engine_LiveQueryDue(const ReceiverContext& ctx, double now) {
    if (ctx.currentState != kStateMonitoring && ctx.currentState != kStatePaused) return false;
    if (now < ctx.liveRetryAt) return false;
    return (ctx.providesGps && ctx.liveGpsFix == -1) || (ctx.levelSlot >= 0 && ctx.liveLevelValid == 0) ||
           (ctx.syncSlot >= 0 && ctx.liveSync == -1);
}

// A live query that gets no answer is left to the link, as any other
// exchange: asked again, or on a new connection. It used to re-initialise the
// analyzer at once, which turned a single lost reply into a preparation of
// many seconds.
void Engine_LiveQuery(DriveTestState& dt, ReceiverContext& ctx) {
    (void)dt;
    char reply[kShortReply];
    const AnalyzerFamily& family = ctx.analyzer.family;
    if (ctx.providesGps && ctx.liveGpsFix == -1) {
        Engine_Describe(ctx, "Update GPS fix status");
        if (!Link_Query(ctx, family.gpsValidQuery, reply, sizeof reply)) return;
        ctx.liveGpsFix = !std::strcmp(reply, "1") ? 1 : 0;
    } else if (ctx.levelSlot >= 0 && ctx.liveLevelValid == 0) {
        Engine_Describe(ctx, "Update level");
        if (!Link_Query(ctx, ctx.levelQuery, reply, sizeof reply)) return;
        if (!Engine_ValueReplyInvalid(reply, ctx.levelQuery)) {
            ctx.liveLevelValid = 1;
            ctx.liveLevel = LeadingNumber(reply);
        } else {
            ctx.liveRetryAt = DateTime_Now() + kLiveRetrySeconds;
        }
    } else if (ctx.syncSlot >= 0 && ctx.liveSync == -1) {
        const char* query = ctx.standard().syncQuery;
        Engine_Describe(ctx, "Update sync status");
        if (!Link_Query(ctx, query, reply, sizeof reply)) return;
        if (!Engine_ValueReplyInvalid(reply, query)) {
            if (StartsWith(reply, "SYNC"))
                ctx.liveSync = 1;
            else if (StartsWith(reply, "NSYN"))
                ctx.liveSync = 0;
            else
                ctx.liveSync = static_cast<int>(LeadingNumber(reply));
        } else {
            ctx.liveRetryAt = DateTime_Now() + kLiveRetrySeconds;
        }
    }
}
