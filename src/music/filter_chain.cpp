#include "music/filter_chain.h"

#include <stdexcept>

#include "music/synthesis.h"

namespace {

struct Pole {
    double a, oneMinusA, wet, dry;
};

template <int N>
void RunPoles(float* x, std::uint32_t n, const Pole* poles)
{
    float state[N];
    // Each filter starts from the first sample it receives.
    {
        float v = x[0];
        for (int k = 0; k < N; ++k) {
            state[k] = v;
            const double in = v;
            state[k] = float(in * poles[k].a + poles[k].oneMinusA * double(state[k]));
            v = float(in * poles[k].dry + double(state[k]) * poles[k].wet);
        }
        x[0] = v;
    }
    for (std::uint32_t i = 1; i < n; ++i) {
        float v = x[i];
        for (int k = 0; k < N; ++k) {
            const double in = v;
            state[k] = float(in * poles[k].a + poles[k].oneMinusA * double(state[k]));
            v = float(in * poles[k].dry + double(state[k]) * poles[k].wet);
        }
        x[i] = v;
    }
}

}  // namespace

FilterChain& FilterChain::OnePoleFilter(const SampleBuffer& cutoffs, float wet, float dry)
{
    if (count_ == kMaxStages)
        throw std::logic_error("FilterChain: too many filters");
    stages_[count_++] = Stage{&cutoffs, wet, dry};
    return *this;
}

SampleBuffer& FilterChain::Apply()
{
    bool constant = true;
    for (int k = 0; k < count_; ++k)
        constant = constant && stages_[k].cutoffs->size == 1;
    if (!constant || buffer_.size == 0) {
        // Cutoffs that vary (or are missing): one filter after the other.
        for (int k = 0; k < count_; ++k)
            buffer_.OnePoleFilter(*stages_[k].cutoffs, stages_[k].wet, stages_[k].dry);
        return buffer_;
    }
    const float k = float(1.0 / double(float(g_sampleRate)));
    Pole poles[kMaxStages];
    for (int s = 0; s < count_; ++s) {
        const float a = stages_[s].cutoffs->data[0] * k;
        poles[s] = Pole{double(a), 1.0 - double(a), double(stages_[s].wet), double(stages_[s].dry)};
    }
    switch (count_) {
    case 1: RunPoles<1>(buffer_.data, buffer_.size, poles); break;
    case 2: RunPoles<2>(buffer_.data, buffer_.size, poles); break;
    case 3: RunPoles<3>(buffer_.data, buffer_.size, poles); break;
    case 4: RunPoles<4>(buffer_.data, buffer_.size, poles); break;
    default: break;
    }
    return buffer_;
}
