#pragma once
// A run of one-pole filters over one buffer, made in a single pass: sample i
// goes through every filter before sample i + 1 does. Each filter keeps its
// own state, started from the first sample it is given, so the samples are
// exactly those of calling the filters one after the other; the pass only
// lets their state chains overlap in time.
#include "music/sample_buffer.h"

class FilterChain {
public:
    explicit FilterChain(SampleBuffer& buffer) : buffer_(buffer) {}
    FilterChain& OnePoleFilter(const SampleBuffer& cutoffs, float wet, float dry);
    FilterChain& LowPass(const SampleBuffer& cutoffs) { return OnePoleFilter(cutoffs, 1.0f, 0.0f); }
    FilterChain& HighPass(const SampleBuffer& cutoffs) { return OnePoleFilter(cutoffs, -1.0f, 1.0f); }
    // Filters the buffer and returns it.
    SampleBuffer& Apply();

    static constexpr int kMaxStages = 4;

private:
    struct Stage {
        const SampleBuffer* cutoffs;
        float wet, dry;
    };
    SampleBuffer& buffer_;
    Stage stages_[kMaxStages] = {};
    int count_ = 0;
};
