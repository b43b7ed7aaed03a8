#include "progress.h"

#include <cstdio>

#include "args.h"

Progress::Progress(std::string label, std::int64_t total)
    : label_(std::move(label)), total_(total > 0 ? total : 1), enabled_(Cli_ProgressWanted()) {}

void Progress::update(std::int64_t done) {
    if (!enabled_) return;
    int percent = static_cast<int>(100 * done / total_);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    std::fprintf(stderr, "\r%s: %3d%%", label_.c_str(), percent);
    std::fflush(stderr);
}

void Progress::done() {
    if (enabled_ && lastPercent_ >= 0) std::fprintf(stderr, "\r%s: 100%%\n", label_.c_str());
}

void StepProgress::start(const std::string& label) {
    if (progress_) progress_->done();
    progress_ = std::make_unique<Progress>(label, 100);
}

void StepProgress::update(int percent) {
    if (progress_) progress_->update(percent);
}

void StepProgress::end(bool success) {
    if (progress_ && success) progress_->done();
    else if (progress_ && Cli_ProgressWanted()) std::fputc('\n', stderr);
    progress_.reset();
}
