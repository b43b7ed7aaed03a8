#include "simresults.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/text.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The layer a query asks about: 'A', 'B', 'C' from "...:A?" or 0.
char LayerOf(const std::string& header) {
    for (char layer : {'A', 'B', 'C'})
        if (EndsWith(header, std::string(":") + layer + "?")) return layer;
    return 0;
}

// Margin above the sync threshold as a layer or sub-service sees it: layer A
// of ISDB-T and the mobile parades are modulated more robustly.
double EffectiveMargin(const SimQuery& q, double marginDb) {
    switch (LayerOf(q.header)) {
    case 'A': return marginDb + 8.0;
    case 'C': return marginDb - 2.0;
    default: break;
    }
    if (q.header.find(":ATSM:") != std::string::npos) return marginDb + 3.0;
    return marginDb;
}

// Error ratios fall by about a decade per 8 dB of margin.
double RateBeforeInner(double margin) { return std::clamp(std::pow(10.0, -(1.5 + margin / 8.0)), 1e-9, 0.2); }

std::string Rate(double r) { return Text_Format("%.2E", r); }
std::string Db(double v) { return Text_Format("%.2f", v); }

double Jitter(const SimSignalState& s, std::uint64_t salt, double scale) {
    return scale * Synth_SmoothNoise(s.seed * 7919u + salt, s.seconds / 1.3);
}

double MerRms(double margin, const SimSignalState& s) {
    return std::clamp(10.0 + 0.55 * margin, 0.0, 36.0) + Jitter(s, 1, 0.3);
}

}  // namespace

double SimResults_LevelInUnit(double dbuv, const std::string& unit, double impedanceOhm) {
    // P = U^2 / R: P[dBm] = U[dBuV] - 120 + 30 - 10 log10(R).
    const double dbm = dbuv - 90.0 - 10.0 * std::log10(impedanceOhm > 0 ? impedanceOhm : 50.0);
    if (unit == "DBUV") return dbuv;
    if (unit == "DBMV") return dbuv - 60.0;
    if (unit == "V") return std::pow(10.0, dbuv / 20.0) * 1e-6;
    if (unit == "W") return std::pow(10.0, (dbm - 30.0) / 10.0);
    return dbm;
}

bool SimResults_NeedsSync(const SimQuery& q) {
    return !(q.code == "LEV" || q.code == "VCP" || q.code == "MPOW" || q.code == "PDEV");
}

std::string SimResults_Value(const SimQuery& q, const SimSignalState& s) {
    const std::string& c = q.code;
    if (c == "LEV" || c == "VCP") {
        const double v = SimResults_LevelInUnit(s.levelDbuV, s.levelUnit, s.impedanceOhm);
        return s.levelUnit == "V" || s.levelUnit == "W" ? Text_Format("%.4E", v) : Db(v);
    }
    if (c == "MPOW") return Db(Jitter(s, 2, 1.5));
    if (c == "PDEV") return Text_Format("%.1f", 68000.0 + Jitter(s, 3, 6000.0));

    const double margin = EffectiveMargin(q, s.levelDbuV - kSimSyncThresholdDbuV);
    const double mer = MerRms(margin, s);
    if (c == "MERR" || c == "MRLO" || c == "MRPL" || c == "MPRM") return Db(mer);
    if (c == "MERP" || c == "MPP") return Db(std::max(0.0, mer - 9.0));
    if (c == "MTRM" || c == "MARM") return Db(std::min(40.0, mer + 2.0));
    if (c == "CNR") return Db(mer + 1.5);
    if (c == "SNR") return Db(std::clamp(20.0 + 0.9 * margin, 0.0, 58.0) + Jitter(s, 4, 0.3));
    if (c == "SNRN") return Db(std::clamp(19.0 + 0.9 * margin, 0.0, 58.0) + Jitter(s, 5, 0.3));

    const double bbv = RateBeforeInner(margin);
    const double bbrs = std::min(0.1, 20.0 * bbv * bbv);
    const double bars = bbrs < 2e-4 ? 0.0 : bbrs * 0.1;
    if (c == "BBV" || c == "BVM") return Rate(bbv);
    if (c == "BVF") return Rate(bbv * 0.5);
    if (c == "BBRS") return Rate(bbrs);
    if (c == "BARS") return Rate(bars);
    if (c == "PER") return Rate(bars > 0.0 ? std::min(1.0, bars * 1000.0) : 0.0);
    if (c == "RDSB") return Rate(std::clamp(std::pow(10.0, -(2.0 + margin / 8.0)), 0.0, 0.5));

    const double ldpc = std::clamp(std::pow(10.0, -(1.0 + margin / 12.0)), 1e-7, 0.2);
    const double bch = ldpc > 0.01 ? ldpc * ldpc * ldpc : 0.0;
    if (c == "BERL" || c == "BLDP") return Rate(ldpc);
    if (c == "BBCH") return Rate(bch);
    if (c == "ITLD" || c == "ILDP") return Text_Format("%.1f", std::clamp(50.0 - 1.5 * margin, 2.0, 50.0));
    if (c == "FER" || c == "BBFR") return Rate(bch > 0.0 ? std::min(1.0, bch * 100.0) : 0.0);
    // A result the simulator has no model for reads as undefined, as on an analyzer
    // whose measurement does not apply.
    return kSimUndefined;
}

long SimResults_Tag(const std::string& normalisedQuery) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : normalisedQuery) hash = (hash ^ c) * 16777619u;
    return 100000 + static_cast<long>(hash % 900000u);
}

std::string SimResults_Info(const SimQuery& q, std::uint64_t seed) {
    const char layer = LayerOf(q.header);
    const std::string key = q.code.empty() ? q.header.substr(0, q.header.size() - (layer ? 3 : 1)) : q.code;
    const bool tmcc = q.header.find(":TMCC") != std::string::npos || q.header.rfind("DDEM:", 0) == 0;
    const bool l1 = q.header.find(":L1PR") != std::string::npos;

    if (key == "CID") return Text_Format("%u", static_cast<unsigned>(1000 + seed % 9000));
    if (key == "SID") return l1 ? Text_Format("%u", static_cast<unsigned>(8193 + seed % 100)) : "ISDBT";
    if (key == "NID") return Text_Format("%u", static_cast<unsigned>(12288 + seed % 100));
    if (key == "CONS") return l1 ? "256QAM" : (layer == 'A' ? "QPSK" : "64QAM");
    if (key == "CRAT" || key == "DDEM:CRAT") return layer == 'A' ? "2/3" : "3/4";
    if (key == "SEGM" || key == "DDEM:SEGM") return layer == 'A' ? "1" : (layer == 'B' ? "12" : "0");
    if (key == "TDE" || key == "DDEM:TDE") return layer == 'C' ? "0" : "2";
    if (key == "GINT") return l1 ? "1/16" : (tmcc ? "1/8" : "1/4");

    static const std::map<std::string, std::string> texts = {
        {"SBP", "NORM"},      {"FFTM", "8K"},      {"TPSR", "0"},       {"RESF", "0"},
        {"RES", "0"},         {"MFEC", "OFF"},     {"FECL", "OFF"},     {"FECH", "OFF"},
        {"TSL", "OFF"},       {"TSH", "OFF"},      {"LIND", "31"},      {"INT", "NATIVE"},
        {"CRLP", "2/3"},      {"CRHP", "2/3"},     {"TMOD", "MODE3"},   {"PSIN", "15"},
        {"EMER", "OFF"},      {"PREC", "ON"},      {"NPR", "ON"},       {"PSH", "1"},
        {"DEIN", "720"},      {"CARR", "MULTI"},   {"PNPH", "VAR"},     {"BWEX", "NORM"},
        {"PPAT", "PP7"},      {"TSYS", "SISO"},    {"LDAT", "59"},      {"LPS", "1734"},
        {"LPEX", "0"},        {"LREP", "0"},       {"LPCR", "1/2"},     {"LPF", "16K"},
        {"PAPR", "NONE"},     {"STYP", "TS"},      {"T2V", "1.2.1"},    {"NT2", "2"},
        {"TID", "0"},         {"LPIS", "1734"},    {"RFL", "0"},        {"DDEM:TRAN:MODE", "3"},
        {"DDEM:PREC:STAT", "1"},
    };
    auto it = texts.find(key);
    return it != texts.end() ? it->second : std::string("0");
}

std::string SimResults_EchoList(int transferKind, const std::vector<SimEcho>& echoes) {
    std::string out;
    if (transferKind == 2) {
        if (echoes.empty()) return "{}";
        out = "{";
        int index = 1;
        for (const auto& e : echoes) {
            if (index > 1) out += ",";
            out += Text_Format("{%.2f,%.6e,%d}", e.levelDb, e.timeUs * 1e-6, index);
            ++index;
        }
        return out + "}";
    }
    for (const auto& e : echoes) {
        if (!out.empty()) out += ",";
        out += Text_Format("%.2f,%.3f", e.levelDb, e.timeUs);
        if (transferKind == 3 || transferKind == 4) out += Text_Format(",%d", e.group);
    }
    return out.empty() ? std::string("---") : out;
}
