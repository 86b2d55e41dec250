// Each form a board prints, through the real program: kovra-devsim sends sets with gaps, the
// program records them, saves them with a header line, opens the recording again and saves
// the same file.
#include "ProgramDriver.h"
#include "SignalGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int kSets = 300;
constexpr auto kArrival = 60s;

// The rows the board's generator prints as CSV (the gaps fall on the same sets in every
// form), each value written by fnCell, a gap as an empty cell.
template <class Cell>
std::string Expected(int nGapEvery, const std::string& strSeparator, const std::string& strEnd,
                     Cell fnCell) {
    CGeneratorSettings settings;
    settings.eFormat = ESetFormat::Csv;
    settings.nGapEvery = nGapEvery;
    CSignalGenerator generator(settings);
    std::string strRows;
    for (int s = 0; s < kSets; ++s) {
        const std::string strSet = generator.NextSet();
        std::istringstream cells(strSet.substr(0, strSet.find('\r')) + ",");
        std::string strCell;
        for (int c = 0; std::getline(cells, strCell, ','); ++c) {
            const auto f = static_cast<float>(std::strtod(strCell.c_str(), nullptr));
            strRows += (c > 0 ? strSeparator : "") + (strCell.empty() ? "" : fnCell(f));
        }
        strRows += strEnd;
    }
    return strRows;
}

std::string WaitForLines(const CScratchDirectory& directory, const std::string& strName) {
    const auto deadline = std::chrono::steady_clock::now() + kArrival;
    std::string strText = directory.Read(strName);
    while (std::count(strText.begin(), strText.end(), '\n') <= kSets &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        strText = directory.Read(strName);
    }
    return strText;
}

TEST(BoardFormatTest, EveryValueAndGapOfEachFormIsRecordedSavedAndOpenedAgain) {
    const std::pair<const char*, const char*> forms[] = {{"spaces", "ch1,ch2,ch3"},
                                                         {"csv", "ch1,ch2,ch3"},
                                                         {"tsv", "ch1,ch2,ch3"},
                                                         {"labels", "sine,square,sawtooth"}};
    const std::string strRecorded = Expected(7, ",", "\n", [](float f) {
        char szText[32];
        return std::string(szText, std::to_chars(szText, szText + sizeof szText, f).ptr);
    });
    const std::string strSaved = Expected(7, ",\t", "\r\n", [](float f) {
        char szText[64];
        std::snprintf(szText, sizeof szText, "%0.2f", static_cast<double>(f));
        return std::string(szText);
    });
    for (const auto& [szForm, szNames] : forms) {
        SCOPED_TRACE(szForm);
        CScratchDirectory directory;
        CBoardProcess board(directory.Path(), {"--format", szForm, "--gap-every", "7", "--rate",
                                               "200", "--sets", "300", "--delay", "3"});
        CProgram program(directory.Path(), {"--format", "lines", board.Path()});
        program.Command("save-as " + directory.PathOf("rec.csv"));
        program.Command("command 32810");
        ASSERT_EQ(board.Counts().nSetsSent, 0u) << "the board began before the recording";
        ASSERT_TRUE(program.WaitForValues(kSets * 3, kArrival));
        program.Command("command 32811");

        // The recording without its times.
        std::istringstream lines(WaitForLines(directory, "rec.csv"));
        std::string strLine;
        std::getline(lines, strLine);
        EXPECT_EQ(strLine, std::string("time_s,") + szNames);
        std::string strRows;
        while (std::getline(lines, strLine)) {
            strRows += strLine.substr(strLine.find(',') + 1) + "\n";
        }
        EXPECT_EQ(strRows, strRecorded);

        std::string strHeader = szNames;
        for (std::size_t n = 0; (n = strHeader.find(',', n)) != std::string::npos; n += 2) {
            strHeader.replace(n, 1, ",\t");
        }
        program.Command("save-as " + directory.PathOf("saved.csv"));
        program.Command("save-check on");
        program.Command("command 57603");
        EXPECT_EQ(WaitForLines(directory, "saved.csv"), strHeader + "\r\n" + strSaved);
        const std::string strBefore = program.Status();
        program.Command("answer yes");
        program.Command("open " + directory.PathOf("rec.csv"));
        program.Command("command 57601");
        EXPECT_EQ(program.WaitForNewStatus(strBefore, kArrival),
                  "Loaded 300 rows from rec.csv (0 skipped)");
        program.Command("save-as " + directory.PathOf("again.csv"));
        program.Command("command 57603"); // the header line as last time
        EXPECT_EQ(WaitForLines(directory, "again.csv"), strHeader + "\r\n" + strSaved);
        EXPECT_EQ(program.Quit(), 0);
    }
}

} // namespace
