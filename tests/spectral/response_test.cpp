// LoadResponse, ResponseAt and the correction: where the coil file is
// looked for, the default file and its message (once per name until the next
// open), the row format and its limits, interpolation and the end rows, and the
// identity response leaving a spectrum unchanged.

#include "spectral/response.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/state.h"
#include "datafile/header.h"
#include "platform/headless/headless_platform.h"
#include "tests/support/temp_dir.h"

namespace {

class ResponseFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir / "LEMI");
    s.host = &host;
    s.StartDir = dir.path() + "/";
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream out(dir / ("LEMI/" + name), std::ios::binary);
    out << text;
  }
  void SetSerial(int ch, const char* serial) {
    std::memset(s.OutHeader.SensorSerial[ch], 0, sizeof s.OutHeader.SensorSerial[ch]);
    std::strncpy(s.OutHeader.SensorSerial[ch], serial, 16);
  }
  TempDir dir;
  HeadlessPlatform host;
  AppState s;
};

TEST_F(ResponseFiles, ReadsTheCoilsFileFromTheLemiFolderOfTheStartUpDirectory) {
  Write("LEMI-120_0123.rsp", "0.1 150 80\n1 190 88\n10 200 90\n");
  SetSerial(0, "0123");
  EXPECT_EQ(LoadResponse(s, 0), 1);
  ASSERT_EQ(s.Response.rows, 3);
  EXPECT_EQ(s.Response.table[0][0], 0.1);
  EXPECT_EQ(s.Response.table[1][1], 190);
  EXPECT_EQ(s.Response.table[2][2], 90);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ResponseDirectories(s), std::vector<std::string>{dir.path() + "/LEMI/"});
}

// The LEMI folder beside the open data file comes first, then the start-up
// directory's; the coil's own file in either comes before a default file;
// a folder given by the tool's --lemi is the only one searched.
TEST_F(ResponseFiles, TheFolderBesideTheDataFileIsSearchedFirst) {
  std::filesystem::create_directories(dir / "site/LEMI");
  s.CurrentFilePath = dir / "site/a.bin";
  EXPECT_EQ(ResponseDirectories(s), (std::vector<std::string>{dir.path() + "/site/LEMI/", dir.path() + "/LEMI/"}));
  SetSerial(0, "0123");
  Write("LEMI-120_0123.rsp", "1 50 90\n");
  std::ofstream(dir / "site/LEMI/LEMI-120.rsp") << "1 60 90\n";
  EXPECT_EQ(LoadResponse(s, 0), 1);  // the coil's own file, in the start-up folder
  EXPECT_EQ(s.Response.table[0][1], 50);
  std::ofstream(dir / "site/LEMI/LEMI-120_0123.rsp") << "1 70 90\n";
  EXPECT_EQ(LoadResponse(s, 0), 1);
  EXPECT_EQ(s.Response.table[0][1], 70);
  EXPECT_TRUE(host.messages.empty());
  s.ResponseDir = dir / "coils";
  EXPECT_EQ(ResponseDirectories(s), std::vector<std::string>{dir.path() + "/coils/"});
}

TEST_F(ResponseFiles, AMissingCoilFileNamesItAndFallsBackToTheDefault) {
  Write("LEMI-120.rsp", "1 100 45\n2 200 90\n");
  SetSerial(1, "0123");
  EXPECT_EQ(LoadResponse(s, 1), 0);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "LEMI-120_0123.rsp not found, using default LEMI-120.rsp");
  EXPECT_EQ(host.messages[0].caption, "Zorvan");
  EXPECT_EQ(host.messages[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(s.Response.rows, 2);
  EXPECT_EQ(s.Response.table[1][1], 200);
}

TEST_F(ResponseFiles, TheMissingFileIsToldOncePerNameUntilAnotherRecordingIsOpened) {
  Write("LEMI-120.rsp", "1 100 45\n");
  SetSerial(0, "0123");
  SetSerial(1, "0456");
  for (int paint = 0; paint < 3; ++paint) {
    LoadResponse(s, 0);
    LoadResponse(s, 1);
  }
  EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{"LEMI-120_0123.rsp not found, using default LEMI-120.rsp",
                                                           "LEMI-120_0456.rsp not found, using default LEMI-120.rsp"}));
  ForgetResponseMessages(s);
  LoadResponse(s, 0);
  EXPECT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(s.Response.rows, 1);
}

TEST_F(ResponseFiles, NoDefaultFileEitherGivesAnEmptyTableAndNoCorrection) {
  SetSerial(0, "9");
  s.Response.rows = 5;
  s.OutHeader.ChannelLabel[0] = kLabelHy;
  EXPECT_EQ(LoadResponse(s, 0), 0);
  EXPECT_EQ(s.Response.rows, 0);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"LEMI-120_9.rsp not found, nor the default LEMI-120.rsp, in " + dir.path() +
                                     "/LEMI/: Hy is shown without coil correction"});
  double amp = -1, phase = -1;
  EXPECT_EQ(ResponseAt(s.Response, 10.0, &amp, &phase), 0);
  EXPECT_EQ(amp, 0.0);
  std::vector<double> X = {0, 3, 4, -1, 2};
  std::vector<double> before = X;
  CorrectSpectrum(s.Response, X.data(), 4, 1.0);
  EXPECT_EQ(X, before);
}

TEST_F(ResponseFiles, AnEmptyDefaultFileGivesAnEmptyTable) {
  Write("LEMI-120.rsp", "");
  EXPECT_EQ(LoadResponse(s, 0), 0);
  EXPECT_EQ(s.Response.rows, 0);
}

TEST_F(ResponseFiles, TheSerialIsTakenUpToItsZeroAndAtMostSixteenCharacters) {
  std::memcpy(s.OutHeader.SensorSerial[2], "ABCDEFGHIJKLMNOPQ", 17);  // no terminator within 16
  Write("LEMI-120_ABCDEFGHIJKLMNOP.rsp", "5 5 5\n");
  EXPECT_EQ(LoadResponse(s, 2), 1);
  EXPECT_EQ(SensorSerialText(s.OutHeader.SensorSerial[2]), "ABCDEFGHIJKLMNOP");
}

TEST_F(ResponseFiles, TwoHundredAndFiftyLinesGiveTwoHundredRows) {
  std::string text;
  for (int i = 1; i <= 250; ++i) text += std::to_string(i) + " " + std::to_string(2 * i) + " 1\n";
  Write("LEMI-120_7.rsp", text);
  SetSerial(0, "7");
  LoadResponse(s, 0);
  EXPECT_EQ(s.Response.rows, 200);
  EXPECT_EQ(s.Response.table[199][0], 200);
  EXPECT_EQ(s.Response.table[199][1], 400);
}

TEST_F(ResponseFiles, ATrailingLineBreakAddsNoRowAndAMissingOneLosesNone) {
  Write("LEMI-120_7.rsp", "1 2 3\n4 5 6\n7 8 9\n");
  SetSerial(0, "7");
  LoadResponse(s, 0);
  EXPECT_EQ(s.Response.rows, 3);
  Write("LEMI-120_7.rsp", "1 2 3\n4 5 6\n7 8 9");
  LoadResponse(s, 0);
  EXPECT_EQ(s.Response.rows, 3);
  EXPECT_EQ(s.Response.table[2][2], 9);
}

TEST_F(ResponseFiles, CarriageReturnsBlanksAndShortOrBadFieldsAreReadAsThePartSays) {
  Write("LEMI-120_7.rsp",
        "  0.5   120.25  -3.5e1\r\n"  // leading and repeated blanks, exponent, CR LF
        "2 180\r\n"                   // missing phase
        "\r\n"                        // empty line: a row of zeros
        "x 7 +8\n"                    // not a number, explicit plus
        "3\t4 5\n"                    // a tab is not a separator: "3\t4" reads as 3
        "1e3 200 90 extra\n");
  SetSerial(0, "7");
  LoadResponse(s, 0);
  ASSERT_EQ(s.Response.rows, 6);
  const double expected[6][3] = {{0.5, 120.25, -35}, {2, 180, 0}, {0, 0, 0}, {0, 7, 8}, {3, 5, 0}, {1000, 200, 90}};
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(s.Response.table[r][c], expected[r][c]) << r << "," << c;
}

TEST_F(ResponseFiles, OnlyTheFirst1024CharactersOfALineAreRead) {
  std::string longLine = "1 2 3" + std::string(1100, ' ') + "99\n";
  Write("LEMI-120_7.rsp", longLine + "4 5 6\n");
  SetSerial(0, "7");
  LoadResponse(s, 0);
  EXPECT_EQ(s.Response.rows, 2);
  EXPECT_EQ(s.Response.table[1][0], 4);
}

TEST_F(ResponseFiles, AReadOnlyCoilFileIsFound) {
  Write("LEMI-120_7.rsp", "1 2 3\n");
  std::filesystem::permissions(dir / "LEMI/LEMI-120_7.rsp", std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::group_read |
                                                                std::filesystem::perms::others_read);
  SetSerial(0, "7");
  EXPECT_EQ(LoadResponse(s, 0), 1);
  EXPECT_TRUE(host.messages.empty());
}

AppState Table(std::vector<std::array<double, 3>> rows) {
  AppState s;
  for (size_t i = 0; i < rows.size(); ++i)
    for (int c = 0; c < 3; ++c) s.Response.table[i][c] = rows[i][static_cast<size_t>(c)];
  s.Response.rows = static_cast<int>(rows.size());
  return s;
}

TEST(ResponseAt, InterpolatesLinearlyBetweenTheBracketingRows) {
  AppState s = Table({{1, 100, 10}, {3, 200, 30}, {7, 600, 50}});
  double a = 0, p = 0;
  ASSERT_EQ(ResponseAt(s.Response, 2, &a, &p), 1);
  EXPECT_DOUBLE_EQ(a, 150);
  EXPECT_DOUBLE_EQ(p, 20);
  ResponseAt(s.Response, 6, &a, &p);
  EXPECT_DOUBLE_EQ(a, 500);
  EXPECT_DOUBLE_EQ(p, 45);
}

TEST(ResponseAt, AFrequencyEqualToARowsGivesThatRowExactly) {
  AppState s = Table({{0.1, 100.3, 10.7}, {0.3, 200.1, 30.9}, {0.7, 600.7, 50.3}});
  for (int r = 0; r < 3; ++r) {
    double a = 0, p = 0;
    ResponseAt(s.Response, s.Response.table[r][0], &a, &p);
    EXPECT_EQ(a, s.Response.table[r][1]) << r;
    EXPECT_EQ(p, s.Response.table[r][2]) << r;
  }
}

TEST(ResponseAt, OutsideTheTableUsesTheNearestEndRow) {
  AppState s = Table({{1, 100, 10}, {3, 200, 30}, {7, 600, 50}});
  double a = 0, p = 0;
  ResponseAt(s.Response, 0.0, &a, &p);
  EXPECT_EQ(a, 100);
  EXPECT_EQ(p, 10);
  ResponseAt(s.Response, 1000.0, &a, &p);
  EXPECT_EQ(a, 600);
  EXPECT_EQ(p, 50);
}

TEST(ResponseAt, RowsInDescendingOrderWorkTheSameWay) {
  AppState s = Table({{7, 600, 50}, {3, 200, 30}, {1, 100, 10}});
  double a = 0, p = 0;
  ResponseAt(s.Response, 2, &a, &p);
  EXPECT_DOUBLE_EQ(a, 150);
  ResponseAt(s.Response, 0.5, &a, &p);
  EXPECT_EQ(a, 100);
  ResponseAt(s.Response, 9, &a, &p);
  EXPECT_EQ(a, 600);
}

TEST(ResponseAt, ASingleRowAnswersEveryFrequency) {
  AppState s = Table({{5, 42, 7}});
  double a = 0, p = 0;
  ResponseAt(s.Response, 0.01, &a, &p);
  EXPECT_EQ(a, 42);
  ResponseAt(s.Response, 500, &a, &p);
  EXPECT_EQ(p, 7);
}

TEST(CorrectSpectrum, TheIdentityResponseLeavesASpectrumUnchanged) {
  AppState s = Table({{0, 200, 90}, {1000, 200, 90}});
  const unsigned long N = 256;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-5, 5);
  std::vector<double> X(2 * N + 1);
  for (double& v : X) v = u(rng);
  std::vector<double> before = X;
  CorrectSpectrum(s.Response, X.data(), N, 1.0);
  for (unsigned long i = 1; i <= N; ++i) EXPECT_NEAR(X[i], before[i], 1e-14) << i;  // bins 0 … N/2−1
  for (unsigned long i = N + 1; i <= 2 * N; ++i) EXPECT_EQ(X[i], before[i]) << i;   // upper half untouched
}

TEST(CorrectSpectrum, DividesTheMagnitudeAndAddsThePhaseOfTheResponse) {
  // Amplitude 400 halves the magnitude (200·m/A); phase 120° turns a bin at
  // 30° (θ = atan2(re, im) = 60°) to 120° − 60° = 60°.
  double re = 2 * std::cos(M_PI / 6), im = 2 * std::sin(M_PI / 6);
  ASSERT_EQ(CorrectBin(&re, &im, 400, 120), 1);
  EXPECT_NEAR(std::hypot(re, im), 1.0, 1e-15);
  EXPECT_NEAR(std::atan2(im, re), M_PI / 3, 1e-15);
}

TEST(CorrectSpectrum, AZeroAmplitudeLeavesTheBinUncorrected) {
  double re = 1.5, im = -2.5;
  EXPECT_EQ(CorrectBin(&re, &im, 0.0, 90), 0);
  EXPECT_EQ(re, 1.5);
  EXPECT_EQ(im, -2.5);
  AppState s = Table({{0, 0, 90}, {10, 200, 90}});
  std::vector<double> X = {0, 1.5, -2.5, 3, 4};  // bins 0 and 1 of N = 4
  CorrectSpectrum(s.Response, X.data(), 4, 5.0);
  EXPECT_EQ(X[1], 1.5);  // f = 0: amplitude 0
  EXPECT_EQ(X[2], -2.5);
  EXPECT_NEAR(X[3], 3 * 200 / 100.0, 1e-12);  // f = 5: amplitude 100, phase 90: magnitude doubled
}

}  // namespace
