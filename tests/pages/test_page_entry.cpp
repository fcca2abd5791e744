#include "PageBench.h"

namespace tarsion::test {
namespace {

constexpr int kNcoStatusPage = 0;
constexpr int kDataFlowPage = 2;
constexpr int kPllsPage = 3;
constexpr const char* kTooManyHexDigits =
    "Please enter a hexadecimal number of at most 8 significant digits.";

// A refused entry says why and keeps what was typed, selected for correction; nothing is written.
// The corrected text is then written as usual.
TEST_F(PageTest, RefusedEntryKeepsTheTypedTextUntilCorrected) {
    const struct {
        int page;
        const char* edit;
        std::uint8_t reg;
        const char* refused;
        const char* message;
        const char* corrected;
        std::uint32_t written;
    } cases[] = {
        {kDataFlowPage, "factorHalf", 0x01, "65537", "Please enter an integer between 1 and 65536.", "2",
         1u << 16},
        {kDataFlowPage, "factorHalf", 0x01, "ten", "Please enter an integer.", "3", 2u << 16},
        {kPllsPage, "refClkDivider", 0x05, "256", "Please enter an integer between 0 and 255.", "200", 200},
        {kPllsPage, "ncoDivider", 0x05, "-1", "Please enter an integer between 0 and 16383.", "3", 3u << 8},
        {kPllsPage, "ncoDivider", 0x05, "1.5", "Please enter an integer.", "16383", 16383u << 8},
        {kNcoStatusPage, "carrierHex", 0x0A, "123456789", kTooManyHexDigits, "0x00000001", 1},
        {kPllsPage, "upperLimitHex", 0x0C, "1fffffff0", kTooManyHexDigits, "1fffffff", 0x1fffffff},
    };
    for (const auto& c : cases) {
        Open(c.page);
        Preset(c.reg, 0);
        prompt_.messages.clear();
        log_.text.clear();
        Type(c.edit, QString::fromLatin1(c.refused));
        EXPECT_EQ(prompt_.messages, std::vector<std::string>{c.message}) << c.edit << " " << c.refused;
        EXPECT_EQ(Text(c.edit).toStdString(), c.refused) << c.edit;
        EXPECT_EQ(Edit(c.edit)->selectedText().toStdString(), c.refused) << c.edit;
        EXPECT_EQ(Chip(c.reg), 0u) << c.edit << " " << c.refused;
        EXPECT_EQ(log_.text, "") << c.edit << " " << c.refused;

        Type(c.edit, QString::fromLatin1(c.corrected));
        EXPECT_EQ(Chip(c.reg), c.written) << c.edit << " " << c.corrected;
        EXPECT_EQ(prompt_.messages.size(), 1u) << c.edit << " " << c.corrected;
    }
}

} // namespace
} // namespace tarsion::test
