#include "coverage/thresholds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "export/kmz/levelconfig.h"
#include "platform/text.h"

namespace {

std::string Trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return std::string(t);
}

// Lower case, the micro sign (Latin-1) written "u".
std::string Folded(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == 0xB5) out += 'u';
        else out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return out;
}

// The name without a bracketed unit at its end.
std::string_view BareName(std::string_view name) {
    if (name.empty() || name.back() != ']') return name;
    const auto open = name.rfind('[');
    if (open == std::string_view::npos) return name;
    name = name.substr(0, open);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

// "10-6" -> 6 when the unit is a power of ten below one; -1 otherwise.
int TenPowerUnit(std::string_view unit) {
    std::string u = Folded(unit);
    if (u.rfind("x", 0) == 0) u.erase(0, 1);
    if (u.rfind("10-", 0) != 0) return -1;
    long long digits = 0;
    if (!Text_ParseInt(u.substr(3), digits) || digits < 1 || digits > 18) return -1;
    return static_cast<int>(digits);
}

std::string Utf8(std::string_view latin1) { return Text_Latin1ToUtf8(latin1); }

}  // namespace

bool Threshold_Parse(std::string_view typed, ThresholdEntry& entry, std::string& error) {
    const std::string text = Text_IsUtf8(typed) ? Text_Utf8ToLatin1(typed) : std::string(typed);
    entry = ThresholdEntry{};
    entry.text = text;
    const auto eq = text.rfind('=');
    if (eq == std::string::npos) {
        error = "The threshold '" + Utf8(text) + "' is not CHANNEL=VALUE [UNIT].";
        return false;
    }
    entry.channel = Trimmed(std::string_view(text).substr(0, eq));
    const std::string rest = Trimmed(std::string_view(text).substr(eq + 1));
    // The number ends at the first blank; what follows is the unit.
    const auto blank = rest.find_first_of(" \t");
    const std::string number = rest.substr(0, blank);
    entry.unit = blank == std::string::npos ? "" : Trimmed(std::string_view(rest).substr(blank));
    if (entry.unit.size() > 2 && entry.unit.front() == '[' && entry.unit.back() == ']')
        entry.unit = entry.unit.substr(1, entry.unit.size() - 2);
    if (entry.channel.empty() || !Text_ParseDouble(number, entry.value) || !std::isfinite(entry.value)) {
        error = "The threshold '" + Utf8(text) + "' is not CHANNEL=VALUE [UNIT].";
        return false;
    }
    return true;
}

bool Threshold_Names(std::string_view typed, std::string_view displayName) {
    const std::string t = Folded(Trimmed(typed));
    return t == Folded(displayName) || t == Folded(BareName(displayName));
}

std::string Threshold_BareName(std::string_view displayName) { return std::string(BareName(displayName)); }

std::string Threshold_UnitOf(std::string_view displayName) {
    const std::string_view bare = BareName(displayName);
    if (bare.size() == displayName.size()) return {};
    const auto open = displayName.rfind('[');
    return std::string(displayName.substr(open + 1, displayName.size() - open - 2));
}

std::string Threshold_BareUnit(std::string_view displayName) {
    const std::string own = Threshold_UnitOf(displayName);
    return TenPowerUnit(own) > 0 ? std::string("ratio") : own;
}

std::string Threshold_TypedValue(double stored, std::string_view displayName) {
    const int power = TenPowerUnit(Threshold_UnitOf(displayName));
    const double scale = power > 0 ? std::pow(10.0, power) : 1.0;
    const double typed = stored / scale;
    constexpr double kUlp = std::numeric_limits<double>::epsilon();
    // %g with 6 digits suffices for planning values; more only where they
    // would not read back. Read back means: scaled to the stored unit again,
    // equal but for the last bits that the scaling itself rounds (0.1 in
    // "[10-6]" is "1e-07", not "1.0000000000000001e-07").
    for (int digits = 6; digits <= 17; ++digits) {
        const std::string text = Text_Format("%.*g", digits, typed);
        double back = 0.0;
        if (Text_ParseDouble(text, back) && std::fabs(back * scale - stored) <= 4 * kUlp * std::fabs(stored))
            return text;
    }
    return Text_Format("%.17g", typed);
}

int Threshold_TenPower(std::string_view displayName) {
    return std::max(TenPowerUnit(Threshold_UnitOf(displayName)), 0);
}

std::optional<DefaultThreshold> Threshold_Default(std::string_view standard, std::string_view displayName,
                                                  int ratingKind) {
    const std::string bare = Folded(BareName(displayName));
    // A sync channel (0 or 1) is met when the receiver is in sync.
    if (ratingKind == 3 && bare.size() >= 4 && bare.compare(bare.size() - 4, 4, "sync") == 0)
        return DefaultThreshold{1.0, "in sync"};
    // DVB-T: quasi-error-free reception needs a BER of at most 2e-4 after the
    // Viterbi decoder, which is the BER before Reed-Solomon (ETSI EN 300 744).
    if (standard == "DVB-T / DVB-H" && bare == "ber before reed solomon") {
        const int power = TenPowerUnit(Threshold_UnitOf(displayName));
        const double scale = power > 0 ? std::pow(10.0, power) : 1.0;
        return DefaultThreshold{2e-4 * scale, "quasi-error-free after Viterbi (ETSI EN 300 744)"};
    }
    return std::nullopt;
}

bool Threshold_ToChannelUnit(const ThresholdEntry& entry, std::string_view displayName, double& value,
                             std::string& error) {
    const std::string own = Threshold_UnitOf(displayName);
    const int power = TenPowerUnit(own);
    if (entry.unit.empty()) {
        value = power > 0 ? entry.value * std::pow(10.0, power) : entry.value;
        return true;
    }
    if (!own.empty() && (Folded(entry.unit) == Folded(own) || (power > 0 && TenPowerUnit(entry.unit) == power))) {
        value = entry.value;
        return true;
    }
    error = "The threshold '" + Utf8(entry.text) + "' has the unit '" + Utf8(entry.unit) + "', but '" +
            Utf8(displayName) + "' is counted in " + (own.empty() ? std::string("no unit") : "'" + Utf8(own) + "'") +
            ".";
    return false;
}

bool Threshold_ToLevelUnit(const ThresholdEntry& entry, int commonUnit, const std::vector<LevelFacts>& files,
                           double& value, std::string& error) {
    if (entry.unit.empty()) {
        value = entry.value;
        return true;
    }
    const int given = KmzLevel_ParseUnit(entry.unit);
    if (given < 0) {
        error = "The threshold '" + Utf8(entry.text) + "' has the unit '" + Utf8(entry.unit) +
                "'; a level is given in dBuV/m, dBm, dBmV or dBuV.";
        return false;
    }
    if (given == commonUnit) {
        value = entry.value;
        return true;
    }
    bool first = true;
    for (const LevelFacts& f : files) {
        if ((given == kKmzUnitFieldStrength || commonUnit == kKmzUnitFieldStrength) && !f.hasKFactor) {
            error = "The threshold '" + Utf8(entry.text) + "' needs the K-factor of every file to convert to " +
                    Utf8(KmzLevel_UnitName(commonUnit)) + ", and a file has no antenna; give it in " +
                    Utf8(KmzLevel_UnitName(commonUnit)) + ".";
            return false;
        }
        const double v = entry.value + KmzLevel_OffsetToDbuV(given, f.inputImpedance, f.kFactor) -
                         KmzLevel_OffsetToDbuV(commonUnit, f.inputImpedance, f.kFactor);
        if (!first && std::abs(v - value) > 1e-9) {
            error = "The threshold '" + Utf8(entry.text) + "' converts differently for the files of one frequency " +
                    "(their K-factors or input impedances differ); give it in " +
                    Utf8(KmzLevel_UnitName(commonUnit)) + ".";
            return false;
        }
        value = v;
        first = false;
    }
    if (first) value = entry.value;
    return true;
}
