// Every form a board prints, through the real program: kovra-devsim sends sets with gaps, the
// program records them and saves them with a header line, opens the recording again and saves
// the same file; every value and every gap is where the board put it.
#include "ProgramDriver.h"
#include "SignalGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
// A value per channel of a set; none for a gap.
using Set = std::vector<std::optional<float>>;

constexpr int kSets = 300;
constexpr int kChannels = 3;
constexpr int kGapEvery = 7;
constexpr auto kArrival = 60s;

std::vector<std::string> Split(const std::string& strText, char cSeparator) {
    std::vector<std::string> vParts;
    std::istringstream parts(strText);
    for (std::string strPart; std::getline(parts, strPart, cSeparator);) {
        vParts.push_back(strPart);
    }
    // getline drops an empty last part.
    if (!strText.empty() && strText.back() == cSeparator) {
        vParts.emplace_back();
    }
    return vParts;
}

// A number as the program reads it: strtod, narrowed to float.
float Read(const std::string& strText) {
    return static_cast<float>(std::strtod(strText.c_str(), nullptr));
}

// The sets the board sends, from the board's own generator: its text taken apart by the form's
// simple rules, not by the program's reader.
std::vector<Set> SentSets(ESetFormat eFormat, int nGapEvery) {
    CGeneratorSettings settings;
    settings.nChannels = kChannels;
    settings.eFormat = eFormat;
    settings.nGapEvery = nGapEvery;
    CSignalGenerator generator(settings);
    std::vector<Set> vSets;
    for (int s = 0; s < kSets; ++s) {
        std::string strLine = generator.NextSet();
        strLine = strLine.substr(0, strLine.find_first_of("#\r"));
        Set& set = vSets.emplace_back(kChannels);
        const char cSeparator = eFormat == ESetFormat::Csv   ? ','
                                : eFormat == ESetFormat::Tsv ? '\t'
                                                             : ' ';
        const std::vector<std::string> vFields = Split(strLine, cSeparator);
        for (std::size_t k = 0; k < vFields.size(); ++k) {
            std::string strField = vFields[k];
            std::size_t nChannel = k;
            if (eFormat == ESetFormat::Labels) {
                const std::size_t nColon = strField.find(':');
                for (nChannel = 0; generator.GetChannelName(static_cast<int>(nChannel)) !=
                                   strField.substr(0, nColon);
                     ++nChannel) {
                }
                strField = strField.substr(nColon + 1);
            }
            if (!strField.empty() && strField != "nan") {
                set[nChannel] = Read(strField);
            }
        }
    }
    return vSets;
}

// A file's rows after its header, as cells; the recording's time column left out.
std::vector<std::vector<std::string>> Rows(const std::string& strText, bool bTimeColumn) {
    std::vector<std::vector<std::string>> vRows;
    std::istringstream lines(strText);
    std::string strLine;
    std::getline(lines, strLine);
    while (std::getline(lines, strLine)) {
        if (!strLine.empty() && strLine.back() == '\r') {
            strLine.pop_back();
        }
        std::vector<std::string> vCells = Split(strLine, ',');
        for (std::string& strCell : vCells) {
            strCell.erase(0, strCell.find_first_not_of('\t'));
        }
        if (bTimeColumn) {
            vCells.erase(vCells.begin());
        }
        vRows.push_back(vCells);
    }
    return vRows;
}

std::string Fixed2(float f) {
    char szText[64];
    std::snprintf(szText, sizeof szText, "%0.2f", static_cast<double>(f));
    return szText;
}

// Waits until the file holds nLines lines; its text.
std::string WaitForLines(const CScratchDirectory& directory, const std::string& strName,
                         std::size_t nLines) {
    const auto deadline = std::chrono::steady_clock::now() + kArrival;
    std::string strText = directory.Read(strName);
    while (static_cast<std::size_t>(std::count(strText.begin(), strText.end(), '\n')) < nLines &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        strText = directory.Read(strName);
    }
    return strText;
}

TEST(BoardFormatTest, EveryValueAndGapOfEachFormIsRecordedSavedAndOpenedAgain) {
    struct SForm {
        const char* m_szBoard;
        ESetFormat m_eFormat;
        const char* m_szProgram;
        int m_nGapEvery;
        const char* m_szNames;
    };
    const SForm forms[] = {
        {"hash", ESetFormat::Hash, "hash", 0, "ch1,ch2,ch3"},
        {"spaces", ESetFormat::Spaces, "lines", kGapEvery, "ch1,ch2,ch3"},
        {"csv", ESetFormat::Csv, "lines", kGapEvery, "ch1,ch2,ch3"},
        {"tsv", ESetFormat::Tsv, "lines", kGapEvery, "ch1,ch2,ch3"},
        {"labels", ESetFormat::Labels, "lines", kGapEvery, "sine,square,sawtooth"},
    };
    for (const SForm& form : forms) {
        SCOPED_TRACE(form.m_szBoard);
        CScratchDirectory directory;
        std::vector<std::string> vBoard = {"--format", form.m_szBoard, "--rate",  "200",
                                           "--sets",   "300",          "--delay", "3"};
        if (form.m_nGapEvery > 0) {
            vBoard.insert(vBoard.end(), {"--gap-every", std::to_string(form.m_nGapEvery)});
        }
        CBoardProcess board(directory.Path(), vBoard);
        CProgram program(directory.Path(), {"--format", form.m_szProgram, board.Path()});
        ASSERT_EQ(program.Status(), "Connected..");
        program.Command("save-as " + directory.PathOf("rec.csv"));
        program.Command("command 32810");
        ASSERT_EQ(board.Counts().nSetsSent, 0u) << "the board began before the recording";
        ASSERT_TRUE(program.WaitForValues(kSets * kChannels, kArrival));
        program.Command("command 32811");
        EXPECT_EQ(program.Status(), "Recording stopped: 300 sets in rec.csv");

        const std::vector<Set> vSent = SentSets(form.m_eFormat, form.m_nGapEvery);
        const std::string strRecording = WaitForLines(directory, "rec.csv", kSets + 1);
        EXPECT_EQ(strRecording.substr(0, strRecording.find('\n')),
                  std::string("time_s,") + form.m_szNames);
        const auto vRecorded = Rows(strRecording, true);
        ASSERT_EQ(vRecorded.size(), vSent.size());
        int nGaps = 0;
        for (std::size_t s = 0; s < vSent.size(); ++s) {
            // A gap in the last channel is an empty last cell.
            ASSERT_EQ(vRecorded[s].size(), std::size_t{kChannels}) << "set " << s;
            for (std::size_t c = 0; c < kChannels; ++c) {
                const std::string& strCell = vRecorded[s][c];
                nGaps += strCell.empty() ? 1 : 0;
                EXPECT_EQ(strCell.empty() ? std::nullopt : std::optional(Read(strCell)),
                          vSent[s][c])
                    << "set " << s << " channel " << c;
            }
        }
        EXPECT_EQ(nGaps, form.m_nGapEvery > 0 ? kSets / kGapEvery : 0);

        // Saved with its header line, and the same after the recording is opened again.
        program.Command("save-as " + directory.PathOf("saved.csv"));
        program.Command("save-check on");
        program.Command("command 57603");
        const std::string strSaved = WaitForLines(directory, "saved.csv", kSets + 1);
        std::string strHeader;
        for (const std::string& strName : Split(form.m_szNames, ',')) {
            strHeader += (strHeader.empty() ? "" : ",\t") + strName;
        }
        EXPECT_EQ(strSaved.substr(0, strSaved.find('\n')), strHeader + "\r");
        const auto vSaved = Rows(strSaved, false);
        ASSERT_EQ(vSaved.size(), vSent.size());
        for (std::size_t s = 0; s < vSent.size(); ++s) {
            for (std::size_t c = 0; c < kChannels; ++c) {
                EXPECT_EQ(vSaved[s][c], vSent[s][c] ? Fixed2(*vSent[s][c]) : std::string())
                    << "set " << s << " channel " << c;
            }
        }
        const std::string strBefore = program.Status();
        program.Command("answer yes");
        program.Command("open " + directory.PathOf("rec.csv"));
        program.Command("command 57601");
        EXPECT_EQ(program.WaitForNewStatus(strBefore, kArrival),
                  "Loaded 300 rows from rec.csv (0 skipped)");
        program.Command("save-as " + directory.PathOf("again.csv"));
        const std::vector<std::string> vAsked = program.Command("command 57603");
        EXPECT_NE(std::find(vAsked.begin(), vAsked.end(), "save-check Write a header line = on"),
                  vAsked.end());
        EXPECT_EQ(WaitForLines(directory, "again.csv", kSets + 1), strSaved);
        EXPECT_EQ(program.Quit(), 0);
    }
}

} // namespace
