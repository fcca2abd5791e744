#include "OpsTestRig.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace tarsion::test {
namespace {

struct ConsoleCase {
    const char* line;
    bool recognised;
    const char* log;
};

// Lines the interpreter or the argument parsers refuse: nothing is recorded or sent.
TEST(Console, RejectedLinesLogOneReasonAndLeaveTheBoardAlone) {
    const ConsoleCase cases[] = {
        {"", false, "\r\n\tUnrecognized Command\r\n\ttype help for the list\r\n"},
        {"   ", false, "\r\n\tUnrecognized Command\r\n\ttype help for the list\r\n"},
        {"poke 0a 1 2 3", false, "\r\n\tToo Many Arguments\r\n"},
        {"poke 0a 1 2", false,
         "\r\n\tError: Incorrect Number of arguments\r\n\tUsage: poke <address> <data>\r\n"},
        {"peek", false, "\r\n\tError: Incorrect Number of arguments\r\n\tUsage: peek <address>\r\n"},
        {"reset now", false, "\r\n\tError: This function takes no arguments\r\n\tUsage: reset\r\n"},
        {"poke\t0a 1", false, "\r\n\tUnrecognized Command\r\n\ttype help for the list\r\n"},
        {"peek\t0a", false, "\r\n\tUnrecognized Command\r\n\ttype help for the list\r\n"},
        {"poke 0a 1\t2", true, "\r\n\tError: Invalid Hexadecimal Number\r\n\tError : Invalid Data \r\n"},
        {"peek 123", true,
         "\r\n\tError: The Hexadecimal address can't exceed 2 digits\r\n\tError : Invalid Address \r\n"},
        {"peek 0x", true, "\r\n\tError: Invalid Hexadecimal Number\r\n\tError : Invalid Address \r\n"},
        {"peek unknownreg", true,
         "\r\n\tError: The Hexadecimal address can't exceed 2 digits\r\n\tError : Invalid Address \r\n"},
        {"poke 0a 123456789", true,
         "\r\n\tError: The Hexadecimal data can't exceed 8 digits\r\n\tError : Invalid Data \r\n"},
        {"poke 0a 12g", true, "\r\n\tError: Invalid Hexadecimal Number\r\n\tError : Invalid Data \r\n"},
        {"setbits 09 x", true, "\r\n\tError: Invalid Hexadecimal Number\r\n\tError : Invalid Mask \r\n"},
        {"modifybits 09 1 -", true, "\r\n\tError: Invalid Hexadecimal Number\r\n\tError : Invalid Mask \r\n"},
        // The address is checked first, and the first error stops the parsing.
        {"modifybits zz yy xx", true,
         "\r\n\tError: Invalid Hexadecimal Number\r\n\tError : Invalid Address \r\n"},
        {"write 05 1ff", true,
         "\r\n\tError: The Hexadecimal address can't exceed 2 digits\r\n\tError : Invalid Data \r\n"},
    };
    for (const ConsoleCase& c : cases) {
        SCOPED_TRACE(c.line);
        OpsRig rig;
        TempFile file("rejected");
        ASSERT_TRUE(rig.doc.StartRecording(file.Path().string()));
        rig.board.ResetCounters();
        EXPECT_EQ(rig.ops.Console(c.line), c.recognised);
        EXPECT_EQ(rig.log.text, c.log);
        EXPECT_EQ(rig.board.PortAccesses(), 0u);
        EXPECT_EQ(file.Content(), kRecordingHeader);
    }
}

// help lists every command with as many arguments as the interpreter wants of it; a wrong count
// shows that command's usage. Neither touches the board.
TEST(Console, HelpListsEachCommandWithItsArgumentsAndWrongCountsShowTheUsage) {
    struct Command {
        const char* word;
        int arguments;
    };
    const Command commands[] = {{"poke", 2},    {"write", 2},     {"pldwrite", 2},   {"peek", 1},
                                {"read", 1},    {"pldread", 1},   {"softreset", 0},  {"reset", 0},
                                {"setbits", 2}, {"resetbits", 2}, {"modifybits", 3}, {"send", 0},
                                {"stop", 0}};
    for (const char* help : {"help", "?", "  HELP "}) {
        SCOPED_TRACE(help);
        OpsRig rig;
        rig.board.ResetCounters();
        EXPECT_TRUE(rig.ops.Console(help));
        EXPECT_EQ(rig.board.PortAccesses(), 0u);
        for (const Command& command : commands) {
            SCOPED_TRACE(command.word);
            // The listed line starts with the word and names one <argument> per slot.
            const std::string prefix = std::string("\r\n\t\t") + command.word;
            const std::size_t at = rig.log.text.find(prefix + " ");
            ASSERT_NE(at, std::string::npos);
            const std::string line = rig.log.text.substr(at + 2, rig.log.text.find('\r', at + 2) - at - 2);
            EXPECT_EQ(std::count(line.begin(), line.end(), '<'), command.arguments);
        }
    }
    for (const Command& command : commands) {
        SCOPED_TRACE(command.word);
        OpsRig rig;
        std::string line = command.word;
        // One too few, or one where none is wanted (a fifth word would be "Too Many Arguments").
        const int given = command.arguments == 0 ? 1 : command.arguments - 1;
        for (int i = 0; i < given; ++i)
            line += " 0a";
        EXPECT_FALSE(rig.ops.Console(line));
        const std::size_t usage = rig.log.text.find(std::string("\tUsage: ") + command.word);
        ASSERT_NE(usage, std::string::npos);
        EXPECT_LT(rig.log.text.find("Error: "), usage);
        EXPECT_EQ(rig.board.ChipRegister(0x0A), 0u);
    }
}

// help registers lists every chip register by address and name, each column starting at one place.
TEST(Console, HelpRegistersListsNamesAndAddressesInColumns) {
    OpsRig rig;
    rig.board.ResetCounters();
    EXPECT_TRUE(rig.ops.Console("help registers"));
    EXPECT_EQ(rig.board.PortAccesses(), 0u);
    std::vector<std::string> rows;
    std::istringstream lines(rig.log.text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("\t\t", 0) == 0)
            rows.push_back(line.substr(2, line.size() - 3));
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows.front().rfind("00  MemoryControl ", 0), 0u);
    EXPECT_EQ(rows[10].rfind("0a  CarrierFrequency ", 0), 0u);
    EXPECT_EQ(rows.back().rfind("1f  TestRegister ", 0), 0u);
    const std::size_t sizeColumn = rows.front().find("1 byte");
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        EXPECT_EQ(row.find_first_not_of(' ', 4), 4u);
        EXPECT_NE(row.find(" byte", sizeColumn), std::string::npos);
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(row[sizeColumn])));
        EXPECT_EQ(row[sizeColumn - 1], ' ');
    }
}

TEST(Console, TextPokeRecordsWithABlankAfterTheCommaAndLogsNoFirstLine) {
    OpsRig rig;
    TempFile file("console_poke");
    ASSERT_TRUE(rig.doc.StartRecording(file.Path().string()));
    EXPECT_TRUE(rig.ops.Console("poke 0a 1234"));
    EXPECT_EQ(rig.log.text, "\r\n\tDone\r\n");
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) + "\nTarsion.Poke ( 0x0a, 0x00001234 );");
    EXPECT_EQ(rig.board.ChipRegister(0x0A), 0x1234u);

    EXPECT_TRUE(rig.ops.Console("  modifybits   0A ffff   00F0  "));
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) +
                                  "\nTarsion.Poke ( 0x0a, 0x00001234 );"
                                  "\nTarsion.ModifyBits ( 0x0a, 0x0000ffff, 0x000000f0 );");
    EXPECT_EQ(rig.board.ChipRegister(0x0A), (0xFFFFu & 0xF0u) | (0x1234u & ~0xF0u));
}

TEST(Console, CaseBlanksAndRegisterNamesSelectTheRegister) {
    OpsRig rig;
    rig.board.SetChipRegister(0x0A, 0xA);
    rig.board.SetChipRegister(0x0B, 0xB);
    EXPECT_TRUE(rig.ops.Console("PEEK 0A"));
    EXPECT_TRUE(rig.ops.Console("peek SymbolFrequency"));
    EXPECT_TRUE(rig.ops.Console("poke  0a   5"));
    EXPECT_EQ(rig.board.ChipRegister(0x0A), 5u);
    EXPECT_TRUE(rig.ops.Console("poke testregister +0x1f"));
    EXPECT_EQ(rig.board.ChipRegister(0x1F), 0x1Fu);
    EXPECT_EQ(rig.log.text,
              "\r\n\tReturned 0000000a\r\n\r\n\tReturned 0000000b\r\n\r\n\tDone\r\n\r\n\tDone\r\n");
}

TEST(Console, NegativeNumbersWrapAsTheUnsignedConversionDoes) {
    OpsRig rig;
    EXPECT_TRUE(rig.ops.Console("poke 0a -1"));
    EXPECT_EQ(rig.board.ChipRegister(0x0A), static_cast<std::uint32_t>(-1));
    EXPECT_TRUE(rig.ops.Console("poke 0a -0x10"));
    EXPECT_EQ(rig.board.ChipRegister(0x0A), static_cast<std::uint32_t>(-0x10));
    // -1 as an address is 0xff, which holds no chip register.
    EXPECT_TRUE(rig.ops.Console("poke -1 5"));
    EXPECT_EQ(rig.log.text, "\r\n\tDone\r\n\r\n\tDone\r\n"
                            "\r\n\tError : Invalid Address \r\n\tCouldn't Poke to Register 0xff\r\n");
}

TEST(Console, BridgeBytesUseTheAddressParserAndTextFailureLines) {
    OpsRig rig;
    TempFile file("console_write");
    ASSERT_TRUE(rig.doc.StartRecording(file.Path().string()));
    EXPECT_TRUE(rig.ops.Console("write 0a ff"));
    EXPECT_EQ(rig.board.BridgeRegister(0x0A), 0xFF);
    EXPECT_TRUE(rig.ops.Console("read 0a"));
    EXPECT_TRUE(rig.ops.Console("write 40 00"));
    EXPECT_TRUE(rig.ops.Console("read 40"));
    EXPECT_TRUE(rig.ops.Console("peek 20"));
    EXPECT_EQ(rig.log.text, "\r\n\tDone\r\n"
                            "\r\n\tReturned ff\r\n"
                            "\r\n\tError : Invalid Address \r\n\tCouldn't Write to 0x40\r\n"
                            "\r\n\tError : Invalid Address \r\n\tCouldn't Read from to 0x40\r\n"
                            "\r\n\tError : Invalid Address\r\n\tCouldn't Peek Register 0x20\r\n");
    EXPECT_EQ(file.Content(), std::string(kRecordingHeader) + "\nTarsion.Write ( 0x0a,0xff );"
                                                              "\nData = Tarsion.Read ( 0x0a );"
                                                              "\nTarsion.Write ( 0x40,0x00 );"
                                                              "\nData = Tarsion.Read ( 0x40 );"
                                                              "\nData=Tarsion.Peek(0x20);");
}

TEST(Console, ArgumentlessCommandsLogTheirOwnFirstLine) {
    OpsRig rig;
    rig.SetBridge(9, 0x00);
    EXPECT_TRUE(rig.ops.Console("send"));
    EXPECT_TRUE(rig.board.Sending());
    EXPECT_TRUE(rig.ops.Console("pldread 0c"));
    EXPECT_TRUE(rig.ops.Console("STOP"));
    EXPECT_FALSE(rig.board.Sending());
    EXPECT_EQ(rig.log.text, "\r\nSend\r\n\tDone\r\n\r\n\tReturned 01\r\n\r\nStop\r\n\tDone\r\n");
}

} // namespace
} // namespace tarsion::test
