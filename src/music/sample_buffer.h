#pragma once
// SampleBuffer: the music's one data type, a growable array of 32-bit float
// samples at 44100 per second with value semantics. Arithmetic between two
// buffers is cyclic (the left operand keeps its length), mixing at an offset
// grows the target, and a buffer mixed into itself becomes a recursive echo.
//
// Sound arithmetic: every stated expression is evaluated in double and rounded
// once to float where it is stored; float-to-integer conversions truncate.
#include <atomic>
#include <cstdint>

// Counts destroyed buffers; the song-progress query reads it. Atomic because
// the song's independent parts may be rendered on several threads.
extern std::atomic<std::uint32_t> g_sampleBuffersDestroyed;

struct SampleBuffer {
    std::uint32_t capacity = 0;
    float inlineSample = 0.0f;
    std::uint32_t size = 0;
    float* data = nullptr;

    SampleBuffer() = default;
    explicit SampleBuffer(std::uint32_t count);
    explicit SampleBuffer(float value);
    // Helps literals such as SampleBuffer(2.0) pick the one-value form.
    explicit SampleBuffer(double value) : SampleBuffer(static_cast<float>(value)) {}
    SampleBuffer(const SampleBuffer& other);
    SampleBuffer(SampleBuffer&& other) noexcept;
    SampleBuffer(const SampleBuffer& other, std::uint32_t start, std::uint32_t count);
    ~SampleBuffer();

    SampleBuffer& operator=(const SampleBuffer& other);
    SampleBuffer& operator=(SampleBuffer&& other) noexcept;

    // Storage.
    void Allocate(std::uint32_t count);
    void CopySamples(const SampleBuffer& other);
    void Free();
    void Reallocate(std::uint32_t count);
    void Reserve(std::uint32_t count);
    void TakeStorage(SampleBuffer& other);
    // Lowers size to count (no-op when not lower), zeroing the samples past it.
    void Truncate(std::uint32_t count);

    // Element access; indices are not checked.
    float& operator[](std::uint32_t i) { return data[i]; }
    const float& operator[](std::uint32_t i) const { return data[i]; }
    float Get(std::uint32_t i) const { return data[i]; }
    float At(std::uint32_t i) const { return data[i]; }
    // Sample i mod size; 0.0 for an empty buffer.
    float AtCyclic(std::uint32_t i) const;

    // Arithmetic and growth.
    SampleBuffer& MultiplyCyclic(const SampleBuffer& other);
    SampleBuffer& operator*=(const SampleBuffer& other) { return MultiplyCyclic(other); }
    SampleBuffer& AddCyclic(const SampleBuffer& other);
    SampleBuffer& MixAt(const SampleBuffer& other, std::uint32_t offset, float gain, float ownGain);
    SampleBuffer& MixAt(const SampleBuffer& other, std::uint32_t offset, float gain)
    {
        return MixAt(other, offset, gain, 1.0f);
    }
    SampleBuffer& MixAt(const SampleBuffer& other, std::uint32_t offset) { return MixAt(other, offset, 1.0f, 1.0f); }
    SampleBuffer& Mix(const SampleBuffer& other) { return MixAt(other, 0, 1.0f, 1.0f); }
    SampleBuffer& Append(const SampleBuffer& other) { return MixAt(other, size, 1.0f, 1.0f); }
    SampleBuffer& AppendConstant(std::uint32_t count, float value);
    SampleBuffer& AppendRamp(std::uint32_t count, float a, float b);
    SampleBuffer& AppendRampFromLast(std::uint32_t count, float b);

    // Synthesis members (filters, shapers, table readers), in place.
    SampleBuffer& OnePoleFilter(const SampleBuffer& cutoffs, float wet, float dry);
    SampleBuffer& LowPass(const SampleBuffer& cutoffs) { return OnePoleFilter(cutoffs, 1.0f, 0.0f); }
    SampleBuffer& HighPass(const SampleBuffer& cutoffs) { return OnePoleFilter(cutoffs, -1.0f, 1.0f); }
    SampleBuffer& HighPassed(const SampleBuffer& cutoffs) { return HighPass(cutoffs); }
    SampleBuffer& LowPassed(const SampleBuffer& cutoffs) { return LowPass(cutoffs); }
    SampleBuffer& BoxFilter(const SampleBuffer& cutoffs, float wet, float dry);
    SampleBuffer& BoxLowPass(const SampleBuffer& cutoffs) { return BoxFilter(cutoffs, 1.0f, 0.0f); }
    SampleBuffer& BoxHighPass(const SampleBuffer& cutoffs) { return BoxFilter(cutoffs, -1.0f, 1.0f); }
    SampleBuffer& Saturate(float amount);
    SampleBuffer& ClipTop(float amount);
    SampleBuffer& AddAwayFromZero(float amount);
    SampleBuffer& Waveshape(const SampleBuffer& table);
    SampleBuffer& ReadWavetable(const SampleBuffer& table, float startPhase = 0.0f);
    SampleBuffer& ReadByDoubleIntegration(const SampleBuffer& table, float velocity = 0.0f, float position = 0.0f);

    // Reads.
    float Integrate(float a, float b) const;
    float AverageOver(float a, float b) const;
    float Sum(std::uint32_t from, std::uint32_t to) const;
    float Average(std::uint32_t from, std::uint32_t to) const;
    float InterpolateClamped(float p) const;
    float InterpolateCyclic(float p) const;
};

SampleBuffer operator*(const SampleBuffer& a, const SampleBuffer& b);
SampleBuffer operator+(const SampleBuffer& a, const SampleBuffer& b);
SampleBuffer operator-(const SampleBuffer& a);
SampleBuffer operator-(const SampleBuffer& a, const SampleBuffer& b);
SampleBuffer Concatenate(const SampleBuffer& a, const SampleBuffer& b);
