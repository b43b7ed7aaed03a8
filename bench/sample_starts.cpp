// fieldtrace-sample-starts: how evenly the samples of a drive test start. Reads
// the cycleStart of every sample of the given record files (the analyzers of
// one drive test share their sample starts, so equal starts count once) and
// prints the number of samples and the median, smallest and largest spacing
// between consecutive starts, in seconds. With --list it prints instead one
// line per sample of the one file given, for scripts that judge the samples
// themselves: start, end (date-time values, seconds), fix, latitude,
// longitude and status, separated by tabs.
//
// usage: fieldtrace-sample-starts FILE.dtr...
//        fieldtrace-sample-starts --list FILE.dtr
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "records/recording.h"

namespace {

int List(const char* path) {
    FileContainer ctx;
    RecordFile file;
    std::string message;
    if (!Recording_OpenFile(ctx, file, path, message)) {
        std::fprintf(stderr, "fieldtrace-sample-starts: %s: %s\n", path, message.c_str());
        return 1;
    }
    RecordSample sample;
    while (Recording_ReadSample(ctx, file, sample)) {
        const DriveTestSample& h = sample.head;
        std::printf("%.6f\t%.6f\t%d\t%.9f\t%.9f\t%s\n", h.cycleStart.dateTime, h.cycleEnd.dateTime, h.gps.gpsFix,
                    h.gps.latitude, h.gps.longitude, std::string(h.status, strnlen(h.status, sizeof h.status)).c_str());
    }
    FileIO_CloseRead(ctx);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--list") return List(argv[2]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: fieldtrace-sample-starts FILE.dtr...\n       fieldtrace-sample-starts --list FILE.dtr\n");
        return 2;
    }
    std::vector<double> starts;
    for (int i = 1; i < argc; ++i) {
        FileContainer ctx;
        RecordFile file;
        std::string message;
        if (!Recording_OpenFile(ctx, file, argv[i], message)) {
            std::fprintf(stderr, "fieldtrace-sample-starts: %s: %s\n", argv[i], message.c_str());
            return 1;
        }
        RecordSample sample;
        while (Recording_ReadSample(ctx, file, sample)) starts.push_back(sample.head.cycleStart.dateTime);
        FileIO_CloseRead(ctx);
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    if (starts.size() < 2) {
        std::fprintf(stderr, "fieldtrace-sample-starts: fewer than two samples\n");
        return 1;
    }
    std::vector<double> spacing;
    for (std::size_t i = 1; i < starts.size(); ++i) spacing.push_back(starts[i] - starts[i - 1]);
    std::sort(spacing.begin(), spacing.end());
    const std::size_t n = spacing.size();
    const double median = n % 2 ? spacing[n / 2] : (spacing[n / 2 - 1] + spacing[n / 2]) / 2.0;
    std::printf("samples %zu  spacing median %.4f s  min %.4f s  max %.4f s\n", starts.size(), median, spacing.front(),
                spacing.back());
    return 0;
}
