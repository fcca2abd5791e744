#pragma once

#include "ops/LoadedMemories.h"
#include "ops/PatternMemory.h"
#include "signal/PowerSpectrum.h"
#include "signal/SignalAnalysis.h"

#include <limits>
#include <optional>
#include <vector>

namespace tarsion {

// Figures of merit of a test pattern, per channel and for I + jQ. Frequencies are in cycles per
// sample pair (DataClk); a figure without a defined value (no tone) is NaN. Levels in dBFS: a real
// tone of amplitude A reads 20 log10 A, a complex tone of modulus A on I + jQ the same.

enum class PatternChannel { I, Q, IQ };

struct PatternMeritOptions {
    int peaks = 10;                     // rows of the peak table
    std::optional<double> channelWidth; // cycles per sample; empty: no channel power and ACLR
    std::vector<double> channelOffsets; // cycles per sample, signed; empty: -width and +width
    std::optional<double> sampleRateHz; // DataClk when known
};

struct SpectralPeak {
    double frequency = 0;              // cycles per sample; signed on I + jQ
    std::optional<double> frequencyHz; // frequency x DataClk, when known
    double dbfs = 0;                   // the power of the whole peak, its window lobe summed
};

struct PatternMerit {
    static constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
    // None when the pattern holds only tones that complete whole cycles (detected).
    SpectrumWindow window = SpectrumWindow::BlackmanHarris7;
    std::vector<SpectralPeak> peaks;          // largest first
    double fundamentalFrequency = kUndefined; // the largest component away from DC
    double fundamentalDbfs = kUndefined;
    double sfdrDb = kUndefined;  // fundamental over the largest other peak, DC left out
    double snrDb = kUndefined;   // fundamental over noise: all but DC, the tone and its harmonics
    double sinadDb = kUndefined; // fundamental over noise and distortion
    double thdDb = kUndefined;   // harmonics 2 to 6, aliased (both signs on I + jQ), over the fundamental
    double enob = kUndefined;    // (SINAD - 1.76 dB - fundamental dBFS) / 6.02 dB: bits at full scale
    std::optional<double> channelPowerDbfs; // within width / 2 of DC (a real channel: |f|)
    std::vector<double> aclrDb;             // each adjacent channel's power over the channel power
};

// The pairs the last pattern load and the writes since left in the memory: a written word that no
// sample form describes (other marker bits) still carries its sample in its low 16 bits.
std::vector<SamplePair> PairsAsWritten(const LoadedPattern& pattern);

// Figures of one channel of the pairs, each sample as SampleFraction takes it.
PatternMerit PatternMeritOf(const std::vector<SamplePair>& pairs, PatternChannel channel,
                            const PatternMeritOptions& options, IRealFourierTransform& fft);

// All three channels; the transforms of I and Q are shared.
struct PatternMeritSet {
    PatternMerit i;
    PatternMerit q;
    PatternMerit iq;
};
PatternMeritSet PatternMeritsOf(const std::vector<SamplePair>& pairs, const PatternMeritOptions& options,
                                IRealFourierTransform& fft);

} // namespace tarsion
