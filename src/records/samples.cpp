#include "records/recording.h"

// Buffered samples of a record file: the track works on the newest ones, the
// conversions hold a whole file's samples.

void Recording_CopySample(const RecordFile&, RecordSample& dst, const RecordSample& src) {
    dst = src;
}

bool Recording_SampleListAppend(RecordFile& file, const RecordSample& sample) {
    try {
        file.samples.push_back(sample);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void Recording_SampleListRemove(RecordFile& file, int position) {
    if (position < 1 || static_cast<std::size_t>(position) > file.samples.size()) return;
    file.samples.erase(file.samples.begin() + (position - 1));
}

void Recording_FreeSample(RecordSample& sample) {
    sample.values = {};
    sample.graphs = {};
    sample.items = {};
}
