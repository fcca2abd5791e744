// The signal figures interface as a D-Bus client sees it, on a fresh virtual board: the figures of
// what was written, of what the board holds, and of the file, and how a changed word shows.

#include "AutomationBench.h"
#include "coefficient/CoefficientTestFiles.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tarsion {
namespace {

const QString kSignal1 = QStringLiteral("com.tessaric.Tarsion.Signal1");
using Figures = QMap<QString, double>;

QDBusMessage Call(const char* method, const QList<QVariant>& arguments) {
    return test::CallFromClient(QString::fromLatin1(method), arguments, kSignal1);
}

Figures FilterFigures(const char* which, const char* source, const QVariantMap& options = {}) {
    const QDBusMessage reply =
        Call("FilterFigures", {QString::fromLatin1(which), QString::fromLatin1(source), options});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    return qdbus_cast<Figures>(reply.arguments().value(0));
}

QVariantMap PatternFigures(const char* source, const QVariantMap& options = {}) {
    const QDBusMessage reply = Call("PatternFigures", {QString::fromLatin1(source), options});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    return qdbus_cast<QVariantMap>(reply.arguments().value(0));
}

QList<QPair<double, double>> Peaks(const QVariantMap& figures) {
    QList<QPair<double, double>> peaks;
    const QDBusArgument argument = figures.value(QStringLiteral("peaks")).value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        double frequency = 0;
        double dbfs = 0;
        argument.beginStructure();
        argument >> frequency >> dbfs;
        argument.endStructure();
        peaks.append({frequency, dbfs});
    }
    argument.endArray();
    return peaks;
}

double Number(const QVariantMap& figures, const char* key) {
    return figures.value(QString::fromLatin1(key)).toDouble();
}

std::pair<QString, QString> Error(const QDBusMessage& reply) {
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    return {reply.errorName(), reply.errorMessage()};
}

class SignalInterface : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qDBusRegisterMetaType<Figures>();
        qDBusRegisterMetaType<QList<double>>();
    }
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        bench.doc.startDirectory = folder.path().toStdString();
        bench.Serve();
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QTemporaryDir folder;
    QString previous;
    test::AutomationBench bench;
};

// 18-bit field `field` (1..4) of a RAM word, as the chip holds it.
std::int32_t Field(const CoefficientWord& word, int field) {
    std::uint32_t bits = 0;
    for (int bit = 17; bit >= 0; --bit) {
        const int position = (field - 1) * 18 + bit;
        bits = (bits << 1) | ((word[position / 8] >> (position % 8)) & 1u);
    }
    return static_cast<std::int32_t>(bits) - ((bits & 0x20000u) ? 0x40000 : 0);
}

void ClearField(CoefficientWord& word, int field) {
    for (int bit = 0; bit < 18; ++bit) {
        const int position = (field - 1) * 18 + bit;
        word[position / 8] = static_cast<std::uint8_t>(word[position / 8] & ~(1u << (position % 8)));
    }
}

// One tap cleared on the board behind the program's back: the board's figures lose that tap, the
// written ones stay those of the load.
TEST_F(SignalInterface, AFilterWordChangedOnTheBoardShowsInTheBoardsFiguresAlone) {
    test::WriteText(folder.filePath(QStringLiteral("rrc.coe")).toStdString(),
                    test::CoefficientText(test::RootRaisedCosine(96, 4, 0.35)));
    ASSERT_TRUE(bench.ops->LoadCoefficientRam(0, folder.filePath(QStringLiteral("rrc.coe")).toStdString(),
                                              true, 1.0, false, 0, false, false));
    const Figures written = FilterFigures("I", "written");
    const Figures file = FilterFigures("i", "FILE");
    for (const char* key : {"dc_gain_db", "ripple_db", "stopband_db", "f3db", "f6db", "group_delay",
                            "isi_evm_percent", "isi_evm_db", "passband_edge", "stopband_edge"})
        EXPECT_TRUE(written.contains(QString::fromLatin1(key))) << key;
    // The default edges of roll-off 0.35 at rate 4.
    EXPECT_DOUBLE_EQ(written.value(QStringLiteral("passband_edge")), 0.65 / 8);
    EXPECT_DOUBLE_EQ(written.value(QStringLiteral("stopband_edge")), 1.35 / 8);
    EXPECT_NEAR(written.value(QStringLiteral("group_delay")), 47.5, 1e-3);
    EXPECT_NE(written.value(QStringLiteral("stopband_db")), file.value(QStringLiteral("stopband_db")));
    EXPECT_EQ(FilterFigures("I", "board"), written);

    // The largest single tap: a word whose address has one input bit set holds taps alone.
    int address = 0;
    int field = 1;
    for (int bit = 0; bit < 6; ++bit)
        for (int f = 1; f <= 4; ++f)
            if (std::abs(Field(bench.board->CoefficientRam(0, 1 << bit), f)) >
                std::abs(Field(bench.board->CoefficientRam(0, static_cast<std::uint8_t>(address)), field)))
                address = 1 << bit, field = f;
    CoefficientWord word = bench.board->CoefficientRam(0, static_cast<std::uint8_t>(address));
    const double tap = Field(word, field) / 131072.0;
    ClearField(word, field);
    bench.board->SetCoefficientRam(0, static_cast<std::uint8_t>(address), word);

    const Figures board = FilterFigures("I", "board");
    const double sum = 4 * std::pow(10.0, written.value(QStringLiteral("dc_gain_db")) / 20);
    EXPECT_NEAR(board.value(QStringLiteral("dc_gain_db")), 20 * std::log10((sum - tap) / 4), 1e-9);
    // The pair is no longer matched as it was.
    EXPECT_GT(std::abs(board.value(QStringLiteral("isi_evm_percent")) -
                       written.value(QStringLiteral("isi_evm_percent"))),
              0.1 * written.value(QStringLiteral("isi_evm_percent")));
    EXPECT_EQ(FilterFigures("I", "written"), written);
}

TEST_F(SignalInterface, BandEdgesComeFromTheOptionsAndBadArgumentsAreRefusedByName) {
    const auto refused = [](const QDBusMessage& reply) { return Error(reply); };
    EXPECT_EQ(
        refused(Call("FilterFigures", {QStringLiteral("I"), QStringLiteral("written"), QVariantMap()})),
        std::make_pair(QStringLiteral("com.tessaric.Tarsion.Error.Failed"),
                       QStringLiteral("the I Coefficient RAM was not loaded since the program started")));
    test::WriteText(folder.filePath(QStringLiteral("rrc.coe")).toStdString(),
                    test::CoefficientText(test::RootRaisedCosine(96, 4, 0.35)));
    ASSERT_TRUE(bench.ops->LoadCoefficientRam(1, folder.filePath(QStringLiteral("rrc.coe")).toStdString(),
                                              true, 1.0, false, 0, false, false));
    const Figures edges = FilterFigures(
        "Q", "written", {{QStringLiteral("rolloff"), 0.5}, {QStringLiteral("stopband_edge"), 0.2}});
    EXPECT_DOUBLE_EQ(edges.value(QStringLiteral("passband_edge")), 0.5 / 8);
    EXPECT_DOUBLE_EQ(edges.value(QStringLiteral("stopband_edge")), 0.2);
    // Any number type will do.
    const Figures whole =
        FilterFigures("Q", "written", {{QStringLiteral("stopband_edge"), QVariant::fromValue<uint>(0)}});
    // From DC on, the stop band holds the passband's top: at or just above the DC gain.
    EXPECT_GE(whole.value(QStringLiteral("stopband_db")), 0.0);
    EXPECT_LT(whole.value(QStringLiteral("stopband_db")), 0.1);

    const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    const struct {
        QString which;
        QString source;
        QVariantMap options;
        const char* message;
    } cases[] = {
        {"X", "written", {}, "which must be \"I\" or \"Q\""},
        {"Q", "memory", {}, "source must be \"written\", \"board\" or \"file\""},
        {"Q", "written", {{"passband", 0.1}}, "unknown option \"passband\""},
        {"Q", "written", {{"stopband_edge", 0.7}}, "option \"stopband_edge\" must be a number from 0 to 0.5"},
        {"Q",
         "written",
         {{"rolloff", QStringLiteral("0.3")}},
         "option \"rolloff\" must be a number from 0 to 1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refused(Call("FilterFigures", {c.which, c.source, c.options})),
                  std::make_pair(invalid, QString::fromLatin1(c.message)));
    EXPECT_EQ(refused(Call("PatternFigures", {QStringLiteral("file"), QVariantMap()})).second,
              QStringLiteral("source must be \"written\" or \"board\""));
    EXPECT_EQ(
        refused(Call("PatternFigures", {QStringLiteral("written"), QVariantMap{{"channel", "IQQ"}}})).second,
        QStringLiteral("option \"channel\" must be \"I\", \"Q\" or \"IQ\""));
    EXPECT_EQ(
        refused(Call("PatternFigures",
                     {QStringLiteral("written"), QVariantMap{{"channel_offsets", QStringLiteral("0.1")}}}))
            .second,
        QStringLiteral("option \"channel_offsets\" must be an array of at most 64 numbers from -1 to 1"));
    EXPECT_EQ(
        refused(Call("PatternFigures", {QStringLiteral("written"), QVariantMap{{"peaks", 2.5}}})).second,
        QStringLiteral("option \"peaks\" must be a whole number"));
}

TEST_F(SignalInterface, InDemoModeTheBoardsFiguresFailWithTheLogsReason) {
    bench.link->EnterDemoMode();
    for (const auto& reply :
         {Call("FilterFigures", {QStringLiteral("Q"), QStringLiteral("board"), QVariantMap()}),
          Call("PatternFigures", {QStringLiteral("board"), QVariantMap()})}) {
        const auto [name, message] = Error(reply);
        EXPECT_EQ(name, QStringLiteral("com.tessaric.Tarsion.Error.Failed"));
        EXPECT_TRUE(message.endsWith(QStringLiteral("failed: Demo Mode: there is no board to read back")))
            << qPrintable(message);
    }
}

// One sample of a generated sine set to full scale on the board: an impulse whose power, under the
// window at its place, is all the board's noise.
TEST_F(SignalInterface, APatternWordChangedOnTheBoardShowsAsItsImpulsesNoise) {
    constexpr int kPairs = 4096;
    ASSERT_TRUE(bench.ops->LoadExternalMem(1, 2, 0.8, 0.8, 37.3, kPairs));
    QVariantMap options{{QStringLiteral("peaks"), 3},
                        {QStringLiteral("channel_width"), 0.1},
                        {QStringLiteral("channel_offsets"), QVariant::fromValue(QList<double>{0.2, -0.2})}};
    const QVariantMap written = PatternFigures("written", options);
    EXPECT_EQ(written.value(QStringLiteral("window")).toString(), QStringLiteral("Blackman-Harris 7-term"));
    EXPECT_EQ(written.value(QStringLiteral("pairs")).toUInt(), static_cast<uint>(kPairs));
    const QList<QPair<double, double>> peaks = Peaks(written);
    ASSERT_EQ(peaks.size(), 3);
    const double frequency = 3.1416 / (std::numbers::pi * 37.3);
    EXPECT_NEAR(peaks[0].first, frequency, 0.05 / kPairs);
    EXPECT_NEAR(peaks[0].second, 20 * std::log10(0.8), 0.01);
    EXPECT_NEAR(Number(written, "fundamental_frequency"), frequency, 0.05 / kPairs);
    EXPECT_GT(Number(written, "snr_db"), 90);
    EXPECT_EQ(written.value(QStringLiteral("aclr_db")).value<QDBusArgument>().currentSignature(),
              QStringLiteral("ad"));
    // A script's list of numbers arrives as variants each; the same offsets.
    QVariantMap listed = options;
    listed[QStringLiteral("channel_offsets")] = QVariantList{0.2, -0.2};
    EXPECT_EQ(qdbus_cast<QList<double>>(PatternFigures("written", listed).value(QStringLiteral("aclr_db"))),
              qdbus_cast<QList<double>>(written.value(QStringLiteral("aclr_db"))));
    const QVariantMap board = PatternFigures("board", options);
    for (const char* key : {"snr_db", "sfdr_db", "sinad_db", "thd_db", "enob", "channel_power_dbfs"})
        EXPECT_EQ(Number(board, key), Number(written, key)) << key;

    // Pair m sits at start + 2m; the I word first.
    const std::size_t m = kPairs / 2 + 100;
    const std::uint32_t address = 0x40000 - 2 * kPairs + 2 * m;
    const double before = static_cast<std::int16_t>(bench.board->PatternWord(address) & 0xFFFF) / 32768.0;
    bench.board->SetPatternWord(address, (bench.board->PatternWord(address) & ~0xFFFFu) | 0x7FFF);
    const double jump = 32767 / 32768.0 - before;
    double weight = 0;
    double power = 0;
    const auto window = [](double n) {
        const double a[] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                            0.01081174209837, 0.00077658482522, 0.00001388721735};
        double w = 0;
        for (int k = 0; k < 7; ++k)
            w += (k % 2 ? -a[k] : a[k]) * std::cos(2 * std::numbers::pi * k * n / kPairs);
        return w;
    };
    for (int n = 0; n < kPairs; ++n)
        power += window(n) * window(n);
    weight = window(static_cast<double>(m));
    const QVariantMap changed = PatternFigures("board", options);
    EXPECT_NEAR(Number(changed, "snr_db"),
                10 * std::log10(0.8 * 0.8 / 2 / (jump * jump * weight * weight / power)), 0.05);
    // The impulse adds to the tone's own bins too, a little.
    EXPECT_NEAR(Number(changed, "fundamental_dbfs"), Number(written, "fundamental_dbfs"), 0.05);
    EXPECT_EQ(Number(PatternFigures("written", options), "snr_db"), Number(written, "snr_db"));
    // Q was left alone.
    options[QStringLiteral("channel")] = QStringLiteral("q");
    EXPECT_EQ(Number(PatternFigures("board", options), "snr_db"),
              Number(PatternFigures("written", options), "snr_db"));
}

} // namespace
} // namespace tarsion
