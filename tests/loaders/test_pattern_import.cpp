#include "LoaderRig.h"
#include "ops/MemoryReadBack.h"
#include "ops/PatternImport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <zlib.h>

namespace tarsion::test {
namespace {

constexpr std::uint32_t kTop = 0x40000;

// Test files written here from the formats' own descriptions, not by the readers' code.
std::string Le(std::uint64_t value, int bytes) {
    std::string out;
    for (int b = 0; b < bytes; ++b)
        out.push_back(static_cast<char>((value >> (8 * b)) & 0xFF));
    return out;
}

// Format version 1 keeps the header length in two bytes, version 2 in four.
std::string Npy(const std::string& descr, const std::string& shape, const std::string& data,
                bool fortran = false, int version = 1) {
    const std::size_t prefix = version == 1 ? 10 : 12;
    std::string header = "{'descr': '" + descr + "', 'fortran_order': " + (fortran ? "True" : "False") +
                         ", 'shape': " + shape + ", }";
    while ((prefix + header.size() + 1) % 64 != 0)
        header += ' ';
    header += '\n';
    return std::string("\x93NUMPY", 6) + static_cast<char>(version) + '\0' +
           Le(header.size(), version == 1 ? 2 : 4) + header + data;
}

std::string Doubles(const std::vector<double>& values) {
    std::string out;
    for (const double value : values)
        out += Le(std::bit_cast<std::uint64_t>(value), 8);
    return out;
}

std::string Deflated(const std::string& data) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

struct ZipEntryFile {
    std::string name;
    std::string data;
    bool deflate = false;
    // Damage planted for the hostile cases.
    std::int64_t sizeDelta = 0;
    std::uint32_t crcXor = 0;
};

std::string Zip(const std::vector<ZipEntryFile>& entries) {
    std::string body;
    std::string directory;
    for (const ZipEntryFile& entry : entries) {
        const std::string packed = entry.deflate ? Deflated(entry.data) : entry.data;
        const std::uint32_t crc =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                             static_cast<uInt>(entry.data.size()))) ^
            entry.crcXor;
        const std::uint64_t size =
            static_cast<std::uint64_t>(static_cast<std::int64_t>(entry.data.size()) + entry.sizeDelta);
        const std::string common = Le(20, 2) + Le(0, 2) + Le(entry.deflate ? 8 : 0, 2) + Le(0, 4) +
                                   Le(crc, 4) + Le(packed.size(), 4) + Le(size, 4) +
                                   Le(entry.name.size(), 2) + Le(0, 2);
        directory += Le(0x02014b50, 4) + Le(20, 2) + common + Le(0, 2) + Le(0, 2) + Le(0, 2) + Le(0, 4) +
                     Le(body.size(), 4) + entry.name;
        body += Le(0x04034b50, 4) + common + entry.name + packed;
    }
    return body + directory + Le(0x06054b50, 4) + Le(0, 4) + Le(entries.size(), 2) + Le(entries.size(), 2) +
           Le(directory.size(), 4) + Le(body.size(), 4) + Le(0, 2);
}

std::string Wav(int tag, int channels, int bits, const std::string& data) {
    const int frame = channels * bits / 8;
    const std::string format =
        Le(tag, 2) + Le(channels, 2) + Le(48000, 4) + Le(48000 * frame, 4) + Le(frame, 2) + Le(bits, 2);
    // A LIST chunk of odd length before the data: the reader must skip it with its pad byte.
    const std::string list = "LIST" + Le(3, 4) + "abc" + std::string(1, '\0');
    const std::string chunks =
        "fmt " + Le(format.size(), 4) + format + list + "data" + Le(data.size(), 4) + data;
    return "RIFF" + Le(4 + chunks.size(), 4) + "WAVE" + chunks;
}

std::string Pcm16(const std::vector<int>& samples) {
    std::string out;
    for (const int sample : samples)
        out += Le(static_cast<std::uint16_t>(sample), 2);
    return out;
}

// The memory word of a sample with chip register 0x02 at 0: TxEnable on both words, iStrobe on I,
// bits 23..18 clear.
std::uint32_t IWord(int sample) {
    return 0x30000u | (static_cast<std::uint32_t>(sample) & 0xFFFF);
}
std::uint32_t QWord(int sample) {
    return 0x20000u | (static_cast<std::uint32_t>(sample) & 0xFFFF);
}

struct PatternImport : ::testing::Test {
    LoaderRig rig;

    std::optional<ImportReport> Import(const std::string& name, const std::string& bytes,
                                       ImportScaling scaling = ImportScaling::AsIs) {
        const ImportPreview preview =
            PreviewImport(rig.doc.startDirectory, rig.WriteFile(name, bytes), scaling);
        if (!rig.ops.ImportPattern(preview))
            return std::nullopt;
        return preview.prepared->report;
    }
    std::string Refusal(const std::string& name, const std::string& bytes) {
        const ImportPreview preview =
            PreviewImport(rig.doc.startDirectory, rig.WriteFile(name, bytes), ImportScaling::AsIs);
        EXPECT_FALSE(preview.prepared);
        EXPECT_FALSE(rig.ops.ImportPattern(preview));
        return preview.refusal;
    }
    // The board's memory from the pattern start up, as (I, Q) sample words.
    void ExpectMemory(const std::vector<std::pair<int, int>>& samples) const {
        const std::uint32_t start = kTop - 2 * static_cast<std::uint32_t>(samples.size());
        EXPECT_EQ(rig.board.PatternStart(), start);
        for (std::size_t k = 0; k < samples.size(); ++k) {
            EXPECT_EQ(rig.board.PatternWord(start + 2 * static_cast<std::uint32_t>(k)),
                      IWord(samples[k].first))
                << "pair " << k;
            EXPECT_EQ(rig.board.PatternWord(start + 2 * static_cast<std::uint32_t>(k) + 1),
                      QWord(samples[k].second))
                << "pair " << k;
        }
    }
};

TEST_F(PatternImport, CsvFormsRoundTripIntoTheMemory) {
    // Two hexadecimal columns under a header: words keep their 16 bits, 0xffff and -0x1 are -1.
    auto report =
        Import("hex.csv", "I,Q\r\n0x7fff,0x8000\r\n0xffff;-0x1\n\n# note\n0x0001 0x1234\n-0x8000 +0x2\n");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->pairs, 4u);
    EXPECT_EQ(report->clipped, 0u);
    EXPECT_EQ(report->firstAddress, kTop - 8);
    EXPECT_EQ(report->layout, "CSV, 2 columns, hexadecimal, header line skipped");
    ExpectMemory({{0x7fff, -32768}, {-1, -1}, {1, 0x1234}, {-32768, 2}});

    // One column of floating point, as is: 1.0 and 2.0 clip to 32767, -3 to -32767 (as a pattern
    // file's real values do); Q is 0.
    report = Import("real.csv", "0.5\n-1.0\n1.0\n2.0\n-3\n0\n");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->clipped, 3u);
    EXPECT_EQ(report->scale, 32768.0);
    EXPECT_EQ(report->min, -3.0);
    EXPECT_EQ(report->max, 2.0);
    ExpectMemory({{0x4000, 0}, {-32768, 0}, {32767, 0}, {32767, 0}, {-32767, 0}, {0, 0}});

    // Decimal integers as is: samples; beyond 16 bits they clip.
    report = Import("int.csv", "100\t-100\n40000\t-40000\n-32768\t32767\n");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->clipped, 2u);
    EXPECT_EQ(report->scale, 1.0);
    ExpectMemory({{100, -100}, {32767, -32768}, {-32768, 32767}});
}

TEST_F(PatternImport, FullScaleMakesTheLargestMagnitude32767) {
    const auto report = Import("int.csv", "200,-100\n-400,1\n", ImportScaling::FullScale);
    ASSERT_TRUE(report);
    EXPECT_DOUBLE_EQ(report->scale, 32767.0 / 400.0);
    EXPECT_EQ(report->clipped, 0u);
    EXPECT_EQ(report->sampleMin, -32767);
    EXPECT_EQ(report->sampleMax, 16384);
    // 200 x 32767/400 = 16383.5 rounds away from zero; -100 gives -8191.75.
    ExpectMemory({{16384, -8192}, {-32767, 82}});

    // Values so small that 32767 over the largest overflows still scale to full scale.
    ASSERT_TRUE(Import("tiny.csv", "1e-310,-5e-311\n0,2.5e-311\n", ImportScaling::FullScale));
    ExpectMemory({{32767, -16384}, {0, 8192}});
}

TEST_F(PatternImport, NumpyArraysRoundTrip) {
    // N x 2 float64: columns I and Q.
    auto report = Import("a.npy", Npy("<f8", "(2, 2)", Doubles({0.5, -0.5, 0.25, -1.0})));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->layout, "NumPy, (2, 2) float64");
    ExpectMemory({{0x4000, -0x4000}, {0x2000, -32768}});

    // The same in Fortran order: all of I, then all of Q.
    report = Import("f.npy", Npy("<f8", "(2, 2)", Doubles({0.5, 0.25, -0.5, -1.0}), true));
    ASSERT_TRUE(report);
    ExpectMemory({{0x4000, -0x4000}, {0x2000, -32768}});

    // Complex64: real part I, imaginary part Q.
    std::string complex;
    for (const float value : {0.5f, -0.25f, 1.5f, 0.0f})
        complex += Le(std::bit_cast<std::uint32_t>(value), 4);
    report = Import("c.npy", Npy("<c8", "(2,)", complex));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->clipped, 1u);
    ExpectMemory({{0x4000, -0x2000}, {32767, 0}});

    // Format version 2 keeps the header length in four bytes.
    report = Import("v2.npy", Npy("<u2", "(2,)", Le(5, 2) + Le(40000, 2), false, 2));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->clipped, 1u);
    ExpectMemory({{5, 0}, {32767, 0}});

    // Big-endian int16, one column: samples as they are.
    report = Import("i.npy", Npy(">i2", "(3,)", std::string("\x80\x00\xff\xfe\x12\x34", 6)));
    ASSERT_TRUE(report);
    ExpectMemory({{-32768, 0}, {-2, 0}, {0x1234, 0}});
}

TEST_F(PatternImport, NumpyArchivesOfStoredAndDeflatedMembers) {
    const std::string iq = Npy("<f8", "(3, 2)", Doubles({0.5, 0.0, -0.5, 0.125, 0.0, -0.125}));
    auto report = Import("one.npz", Zip({{"iq.npy", iq, true}}));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->layout, "NumPy archive, iq.npy (3, 2) float64");
    ExpectMemory({{0x4000, 0}, {-0x4000, 0x1000}, {0, -0x1000}});

    // Two real arrays named i and q, q first in the archive and stored.
    report = Import("two.npz", Zip({{"q.npy", Npy("<i4", "(2,)", Le(7, 4) + Le(0xFFFFFFF0u, 4))},
                                    {"i.npy", Npy("<i4", "(2,)", Le(1, 4) + Le(2, 4)), true}}));
    ASSERT_TRUE(report);
    ExpectMemory({{1, 7}, {2, -16}});
}

TEST_F(PatternImport, WavPcmAndFloatRoundTrip) {
    auto report = Import("s.wav", Wav(1, 2, 16, Pcm16({1000, -1000, -32768, 32767})));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->layout, "WAV, stereo, 16-bit PCM");
    ExpectMemory({{1000, -1000}, {-32768, 32767}});

    // WAVE_FORMAT_EXTENSIBLE names PCM in its subformat.
    std::string extensible = Wav(0xFFFE, 1, 16, Pcm16({-7, 7}));
    const std::string extension = Le(22, 2) + Le(16, 2) + Le(4, 4) + Le(1, 2) + std::string(14, '\x01');
    extensible.replace(16, 4, Le(40, 4));
    extensible.insert(36, extension);
    extensible.replace(4, 4, Le(extensible.size() - 8, 4));
    report = Import("x.wav", extensible);
    ASSERT_TRUE(report) << rig.LastLogLine();
    ExpectMemory({{-7, 0}, {7, 0}});

    std::string floats;
    for (const float value : {0.5f, -0.75f, 1.25f})
        floats += Le(std::bit_cast<std::uint32_t>(value), 4);
    report = Import("m.wav", Wav(3, 1, 32, floats));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->clipped, 1u);
    ExpectMemory({{0x4000, 0}, {-0x6000, 0}, {32767, 0}});
}

// What an earlier load left: each refusal must leave it, and the settings, as they were.
struct RefusedImport : PatternImport {
    RefusedImport() {
        EXPECT_TRUE(Import("before.csv", "0x0101,0x0202\n0x0303,0x0404\n"));
        rig.spy->strobes.clear();
    }
    void ExpectUnchanged() const {
        EXPECT_TRUE(rig.spy->strobes.empty()) << "the board was written to";
        ExpectMemory({{0x0101, 0x0202}, {0x0303, 0x0404}});
        EXPECT_EQ(rig.doc.pattern.fileName, "before.csv");
        ASSERT_TRUE(rig.doc.loaded.Pattern());
        EXPECT_EQ(rig.doc.loaded.Pattern()->pairs.size(), 2u);
    }
};

TEST_F(RefusedImport, NanAndInfinityAreRefusedWithWhere) {
    EXPECT_EQ(Refusal("n.csv", "0.5,0.5\n0.1,nan\n"), "Refused n.csv: it holds NaN at line 2");
    EXPECT_EQ(rig.LastLogLine(), "\tRefused n.csv: it holds NaN at line 2");
    EXPECT_EQ(Refusal("n.npy", Npy("<f8", "(2,)", Doubles({0.0, std::nan("")}))),
              "Refused n.npy: it holds NaN at sample 1");
    std::string floats = Le(0, 4) + Le(0, 4) +
                         Le(std::bit_cast<std::uint32_t>(std::numeric_limits<float>::infinity()), 4) +
                         Le(0, 4);
    EXPECT_EQ(Refusal("n.wav", Wav(3, 2, 32, floats)),
              "Refused n.wav: it holds an infinite value at frame 1");
    ExpectUnchanged();
}

TEST_F(RefusedImport, TooLargeForTheMemory) {
    // The shape says it before any data is read.
    EXPECT_EQ(
        Refusal("big.npy", Npy("<i2", "(131073,)", "")),
        "Refused big.npy: too large for the memory: 131073 sample pairs, the pattern memory holds 131072");
    std::string lines;
    for (int k = 0; k < 131073; ++k)
        lines += "1\n";
    EXPECT_EQ(Refusal("big.csv", lines),
              "Refused big.csv: too large for the memory: more than 131072 sample pairs");
    EXPECT_EQ(
        Refusal("big.wav", Wav(1, 1, 16, std::string(2 * 131073, '\0'))),
        "Refused big.wav: too large for the memory: 131073 sample pairs, the pattern memory holds 131072");
    ExpectUnchanged();
}

TEST_F(RefusedImport, UnknownLayoutsSayWhich) {
    EXPECT_EQ(
        Refusal("3.csv", "1,2,3\n"),
        "Refused 3.csv: unknown layout: line 1 has more than two columns; one (I) or two (I and Q) expected");
    EXPECT_EQ(Refusal("r.csv", "1,2\n3\n"),
              "Refused r.csv: unknown layout: line 2 has 1 columns, line 1 had 2");
    EXPECT_EQ(
        Refusal("5.csv", "1\n2 3 4 5 6\n"),
        "Refused 5.csv: unknown layout: line 2 has more than two columns; one (I) or two (I and Q) expected");
    EXPECT_EQ(Refusal("m.csv", "0x10,1\n"),
              "Refused m.csv: unknown layout: line 1 mixes hexadecimal and decimal numbers");
    // Only the first line can be a header.
    EXPECT_EQ(Refusal("h.csv", "name\nvalue\n"), "Refused h.csv: line 2: \"value\" is not a number");
    EXPECT_EQ(Refusal("l.csv", "0.5\nI\n"), "Refused l.csv: line 2: \"I\" is not a number");
    EXPECT_EQ(Refusal("w.csv", "0x10000\n"), "Refused w.csv: line 1: 0x10000 is wider than 16 bits");
    EXPECT_EQ(Refusal("e.csv", "I,Q\n"), "Refused e.csv: unknown layout: no samples found");
    EXPECT_EQ(Refusal("3d.npy", Npy("<f8", "(2, 3)", Doubles({0, 0, 0, 0, 0, 0}))),
              "Refused 3d.npy: unknown layout: NumPy array of shape (2, 3) and type float64; N values, N x 2 "
              "values or N complex values expected");
    EXPECT_EQ(
        Refusal("s.npy", Npy("<U8", "(2,)", std::string(64, 'a'))),
        "Refused s.npy: unknown layout: NumPy element type '<U8'; integers, float32, float64, complex64 or "
        "complex128 expected");
    EXPECT_EQ(Refusal("t.npy", Npy("<f8", "(4,)", Doubles({0, 0}))),
              "Refused t.npy: NumPy array ends after 16 of its 32 data bytes");
    EXPECT_EQ(
        Refusal("24.wav", Wav(1, 2, 24, std::string(12, '\0'))),
        "Refused 24.wav: unknown layout: WAV of 24-bit PCM samples; 16-bit PCM or 32/64-bit floating point "
        "expected");
    EXPECT_EQ(Refusal("6.wav", Wav(1, 6, 16, std::string(12, '\0'))),
              "Refused 6.wav: unknown layout: WAV with 6 channels; mono (I) or stereo (I and Q) expected");
    const std::string a = Npy("<f8", "(1,)", Doubles({0}));
    EXPECT_EQ(
        Refusal("3.npz", Zip({{"a.npy", a}, {"b.npy", a}, {"c.npy", a}})),
        "Refused 3.npz: unknown layout: the archive holds 3 arrays (a.npy, b.npy, c.npy); one array, or two "
        "named i and q, expected");
    EXPECT_EQ(Refusal("x.dat", "1\n"),
              "Refused x.dat: unknown layout: neither CSV (.csv), NumPy (.npy, .npz) nor WAV");
    ExpectUnchanged();
}

TEST_F(RefusedImport, DamagedArchivesAreRefused) {
    const std::string array = Npy("<f8", "(64,)", Doubles(std::vector<double>(64, 0.25)));
    // A member that inflates to more than it declares, one whose CRC is wrong, one cut short.
    EXPECT_EQ(Refusal("bomb.npz", Zip({{"a.npy", array, true, -100}})),
              "Refused bomb.npz: unknown layout: member a.npy: its compressed data is damaged");
    EXPECT_EQ(
        Refusal("claim.npz", Zip({{"a.npy", array, true, 40 << 20}})),
        "Refused claim.npz: unknown layout: member a.npy claims more than its compressed data can hold");
    EXPECT_EQ(Refusal("crc.npz", Zip({{"a.npy", array, true, 0, 1}})),
              "Refused crc.npz: unknown layout: member a.npy fails its CRC check");
    const std::string whole = Zip({{"a.npy", array}});
    EXPECT_EQ(Refusal("cut.npz", whole.substr(0, whole.size() / 2)),
              "Refused cut.npz: unknown layout: it has no zip directory");
    ExpectUnchanged();
}

TEST_F(RefusedImport, SymbolicLinksAreNotFollowed) {
    const std::string target = rig.WriteFile("real.csv", "0.5\n");
    std::filesystem::create_symlink(target, rig.dir / "link.csv");
    const ImportPreview preview = PreviewImport(rig.doc.startDirectory, "link.csv", ImportScaling::AsIs);
    EXPECT_EQ(preview.refusal,
              "Could not read " + (rig.dir / "link.csv").string() + ": it is a symbolic link");
    EXPECT_FALSE(rig.ops.ImportPattern(preview));
    ExpectUnchanged();
}

TEST_F(PatternImport, ANewImportReplacesTheOldAndIsLogged) {
    ASSERT_TRUE(Import("a.csv", "1\n2\n3\n4\n"));
    ASSERT_TRUE(Import("b.csv", "-5,6\n"));
    ExpectMemory({{-5, 6}});
    EXPECT_EQ(rig.doc.pattern.fileName, "b.csv");
    const std::optional<LoadedPattern>& loaded = rig.doc.loaded.Pattern();
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->imported);
    ASSERT_EQ(loaded->pairs.size(), 1u);
    EXPECT_EQ(loaded->pairs[0].i, 0xFFFB);
    const std::vector<std::string> lines = rig.LogLines();
    ASSERT_GE(lines.size(), 7u);
    const std::vector<std::string> last(lines.end() - 7, lines.end());
    EXPECT_EQ(last, (std::vector<std::string>{
                        "ImportPattern   " + (rig.dir / "b.csv").string(), "\t2 Vectors Found",
                        "\tCSV, 2 columns, decimal integers, as is, scale 1, 0 samples clipped",
                        "\tLoading RAM....", "\t I = fffb", "\t Q = 0006", "\tLoaded  2  vectors"}));
    // The program's own read-back finds the board holding what the import wrote.
    const VerifyReport verified = CMemoryVerifier(rig.ops).Verify(ChipMemory::Pattern);
    EXPECT_TRUE(verified.completed);
    EXPECT_EQ(verified.words, 2);
    EXPECT_TRUE(verified.mismatches.empty());
}

TEST_F(PatternImport, AConfigurationRestoresTheImportedWordsFromAPatternFile) {
    ASSERT_TRUE(Import("tone.wav", Wav(1, 2, 16, Pcm16({-2, 3, 32767, -32768}))));
    const std::string config = (rig.dir / "config.js").string();
    ASSERT_TRUE(rig.ops.SaveSettings(config));
    const std::string companion = (rig.dir / "config_pattern.pat").string();
    EXPECT_NE(ReadWholeFile(config).find("\nTarsion.write(9,0);\nTarsion.LoadExternalMemory ('" + companion +
                                         " ' );"),
              std::string::npos);
    // Something else in the memory, then the configuration's load: the imported words are back.
    ASSERT_TRUE(Import("other.csv", "0.5\n0.5\n0.5\n"));
    ASSERT_TRUE(rig.ops.LoadExternalMemory(companion));
    ExpectMemory({{-2, 3}, {32767, -32768}});
}

TEST_F(PatternImport, TheRecordingLoadsAPatternFileOfTheImport) {
    const std::string recording = (rig.dir / "rec.js").string();
    ASSERT_TRUE(rig.doc.StartRecording(recording));
    ASSERT_TRUE(Import("q.npy", Npy("<i2", "(2, 2)", Pcm16({9, -9, 300, -300}))));
    rig.doc.StopRecording();
    const std::string companion = (rig.dir / "rec_1.pat").string();
    EXPECT_NE(ReadWholeFile(recording).find("\nTarsion.LoadExternalMemory ('" + companion + " ' );"),
              std::string::npos);
    ASSERT_TRUE(Import("other.csv", "0.5\n"));
    ASSERT_TRUE(rig.ops.LoadExternalMemory(companion));
    ExpectMemory({{9, -9}, {300, -300}});
}

} // namespace
} // namespace tarsion::test
