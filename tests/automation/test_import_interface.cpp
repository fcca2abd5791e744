// ImportPattern of the signal interface as a D-Bus client sees it, on a fresh virtual board: the
// report, a preview that writes nothing, the words on the board, refusals that leave them.

#include "AutomationBench.h"

#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

const QString kSignal1 = QStringLiteral("com.tessaric.Tarsion.Signal1");
const QString kFailed = QStringLiteral("com.tessaric.Tarsion.Error.Failed");
const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
constexpr std::uint32_t kTop = 0x40000;

class ImportInterface : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        bench.doc.startDirectory = folder.path().toStdString();
        bench.Serve();
    }
    void Write(const QString& name, const QByteArray& content) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QDBusMessage Import(const QString& file, const QVariantMap& options = {}) {
        return test::CallFromClient(QStringLiteral("ImportPattern"), {file, options}, kSignal1);
    }
    QVariantMap Report(const QString& file, const QVariantMap& options = {}) {
        const QDBusMessage reply = Import(file, options);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }
    // The I and Q sample words of the top `pairs` pairs, markers included (register 0x02 at 0).
    void ExpectPairs(const std::vector<std::pair<int, int>>& pairs) const {
        const std::uint32_t start = kTop - 2 * static_cast<std::uint32_t>(pairs.size());
        EXPECT_EQ(bench.board->PatternStart(), start);
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            const std::uint32_t at = start + 2 * static_cast<std::uint32_t>(k);
            EXPECT_EQ(bench.board->PatternWord(at),
                      0x30000u | (static_cast<unsigned>(pairs[k].first) & 0xFFFF))
                << k;
            EXPECT_EQ(bench.board->PatternWord(at + 1),
                      0x20000u | (static_cast<unsigned>(pairs[k].second) & 0xFFFF))
                << k;
        }
    }

    QTemporaryDir folder;
    test::AutomationBench bench;
};

TEST_F(ImportInterface, APreviewReportsAndWritesNothingAnImportWritesTheWords) {
    Write(QStringLiteral("tone.csv"), "I,Q\n0.5,-0.5\n2.0,0.25\n-1,0\n");
    const QVariantMap preview = Report(QStringLiteral("tone.csv"), {{QStringLiteral("preview"), true}});
    EXPECT_EQ(preview.value(QStringLiteral("pairs")).toUInt(), 3u);
    EXPECT_EQ(preview.value(QStringLiteral("clipped")).toUInt(), 1u);
    EXPECT_EQ(preview.value(QStringLiteral("scale")).toDouble(), 32768.0);
    EXPECT_EQ(preview.value(QStringLiteral("min")).toDouble(), -1.0);
    EXPECT_EQ(preview.value(QStringLiteral("max")).toDouble(), 2.0);
    EXPECT_EQ(preview.value(QStringLiteral("first_address")).toUInt(), kTop - 6);
    EXPECT_EQ(preview.value(QStringLiteral("scaling")).toString(), QStringLiteral("as is"));
    EXPECT_EQ(preview.value(QStringLiteral("layout")).toString(),
              QStringLiteral("CSV, 2 columns, floating point, header line skipped"));
    EXPECT_FALSE(preview.value(QStringLiteral("written")).toBool());
    EXPECT_EQ(bench.board->PatternStart(), 0u);
    EXPECT_EQ(bench.board->PatternWord(kTop - 1), 0u);

    // Full scale: 2.0 becomes 32767, the rest follow it.
    const QVariantMap written =
        Report(QStringLiteral("tone.csv"), {{QStringLiteral("scaling"), QStringLiteral("Full Scale")}});
    EXPECT_TRUE(written.value(QStringLiteral("written")).toBool());
    EXPECT_EQ(written.value(QStringLiteral("clipped")).toUInt(), 0u);
    EXPECT_EQ(written.value(QStringLiteral("sample_max")).toInt(), 32767);
    ExpectPairs({{8192, -8192}, {32767, 4096}, {-16384, 0}});
    EXPECT_EQ(bench.doc.pattern.fileName, "tone.csv");
}

TEST_F(ImportInterface, RefusalsSayWhyAndLeaveTheMemory) {
    Write(QStringLiteral("first.csv"), "0x0102,0x0304\n");
    ASSERT_EQ(Import(QStringLiteral("first.csv")).type(), QDBusMessage::ReplyMessage);
    Write(QStringLiteral("nan.csv"), "0.5\nnan\n");
    for (const bool preview : {true, false}) {
        const QDBusMessage reply = Import(QStringLiteral("nan.csv"), {{QStringLiteral("preview"), preview}});
        EXPECT_EQ(reply.errorName(), kFailed);
        EXPECT_EQ(reply.errorMessage(), QStringLiteral("Refused nan.csv: it holds NaN at line 2"));
    }
    Write(QStringLiteral("data.bin"), "1\n");
    EXPECT_EQ(
        Import(QStringLiteral("data.bin")).errorMessage(),
        QStringLiteral("Refused data.bin: unknown layout: neither CSV (.csv), NumPy (.npy, .npz) nor WAV"));
    EXPECT_EQ(Import(QStringLiteral("first.csv"), {{QStringLiteral("scaling"), QStringLiteral("loud")}})
                  .errorName(),
              kInvalidArgs);
    const QDBusMessage unknown = Import(QStringLiteral("first.csv"), {{QStringLiteral("gain"), 2.0}});
    EXPECT_EQ(unknown.errorName(), kInvalidArgs);
    EXPECT_TRUE(unknown.errorMessage().contains(QStringLiteral("gain")))
        << qPrintable(unknown.errorMessage());
    ExpectPairs({{0x0102, 0x0304}});
    EXPECT_EQ(bench.doc.pattern.fileName, "first.csv");
}

} // namespace
} // namespace tarsion
