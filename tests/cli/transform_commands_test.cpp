// zorvan spectra and zorvan mt: what they print, the tables mt writes (the
// same bytes as the window's), the coil files of --lemi, and bad input.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/open_file.h"
#include "cli/commands.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/recording_surface.h"
#include "plot/paint.h"
#include "tests/support/recordings.h"
#include "tests/support/tool_run.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<double> Fields(const std::string& line) {
  std::vector<double> values;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, ',');) values.push_back(cell.empty() ? NAN : std::stod(cell));
  return values;
}

TEST(SpectraCommand, PrintsOneRowPerBinWithTheEnabledChannels) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 2 --channels Hx,Hy,-,Ex,Ey", dir).status, 0);
  ToolRun run = Zorvan("spectra site.bin --records-per-plot 2 --window hamming --notch", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1u + 4096);
  EXPECT_EQ(lines[0], "frequency_Hz,HX_pT^2/Hz,HY_pT^2/Hz,EX_(mV/km)^2/Hz,EY_(mV/km)^2/Hz");
  std::vector<double> row = Fields(lines[1 + 100]);
  ASSERT_EQ(row.size(), 5u);
  EXPECT_NEAR(row[0], 100 * 1000.0 / 8192, 1e-6);
  for (int c = 1; c < 5; ++c) EXPECT_GT(row[c], 0.0);
  // Coloured noise: the magnetic power falls with frequency.
  EXPECT_GT(Fields(lines[1 + 100])[1], 10 * Fields(lines[1 + 3000])[1]);
}

// The rows are formatted in blocks on both cores: every row, in order, with
// printf's text, over several rounds of blocks and a last partial one.
TEST(SpectraCommand, RowsArePrintfsTextInOrderAcrossBlocks) {
  AppState s;
  const int rows = 3 * 32768 + 123;
  s.FftLength = 2 * rows;
  s.FreqStep = 1000.0 / (2.0 * s.FftLength);
  const int enabled[] = {0, 2, 3, 5};
  std::mt19937_64 random(7);
  for (int ch : enabled) {
    s.OutHeader.ChannelEnabled[ch] = 1;
    s.yplotdata[ch].resize(static_cast<size_t>(rows));
    for (double& v : s.yplotdata[ch]) v = std::pow(10.0, std::uniform_real_distribution<double>(-35, 5)(random));
  }
  s.yplotdata[3].assign(static_cast<size_t>(rows), 0.0);
  std::ostringstream out;
  WriteSpectraRows(s, out);
  std::string want;
  char cell[64];
  for (int b = 0; b < rows; ++b) {
    std::snprintf(cell, sizeof cell, "%.9g", b * 2 * s.FreqStep);
    want += cell;
    for (int ch : enabled) {
      std::snprintf(cell, sizeof cell, ",%.6e", s.yplotdata[ch][static_cast<size_t>(b)]);
      want += cell;
    }
    want += '\n';
  }
  EXPECT_TRUE(out.str() == want) << "the rows differ from printf's";
}

// Two rounds of row blocks and more: the same bytes on one thread as on two.
TEST(SpectraCommand, OneThreadPrintsTheSameBytes) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 30", dir).status, 0);
  ToolRun two = Zorvan("spectra site.bin --records-per-plot 30", dir);
  setenv("ZORVAN_THREADS", "1", 1);
  ToolRun one = Zorvan("spectra site.bin --records-per-plot 30", dir);
  unsetenv("ZORVAN_THREADS");
  ASSERT_EQ(two.status, 0) << two.err;
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_GT(std::count(two.out.begin(), two.out.end(), '\n'), 65536);
  EXPECT_TRUE(one.out == two.out);
}

// A full disk fails the command with its message.
TEST(SpectraCommand, OutputThatCannotBeWrittenFailsTheCommand) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 2", dir).status, 0);
  ToolRun run = Zorvan("spectra site.bin --records-per-plot 2 >/dev/full", dir);
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(Has(run.err, "spectra: writing the output failed")) << run.err;
}

// The tool writes the tables the window writes for the same page and settings.
TEST(MtCommand, WritesTheWindowsTablesAndOneLinePerBand) {
  TempDir tool, window;
  SynthOptions o = SmallRecording(4, "Hx,Hy,Hz,Ex,Ey");
  o.earth = {{300.0, 0}};
  o.realisticCoil = true;
  for (const TempDir* d : {&tool, &window}) {
    WriteRecording(*d, "site.bin", o);
    ASSERT_EQ(WriteResponseFiles(*d / "coils", o), "");
  }
  ToolRun run =
      Zorvan("mt site.bin --record 2 --records-per-plot 3 --lemi coils --coeffs 256 --quantity impedance", tool);
  ASSERT_EQ(run.status, 0) << run.err;

  HeadlessPlatform host;
  AppState s;
  StartupOptions options;
  options.startDir = window.path();
  options.useDirFile = false;
  options.changeToWorkDir = false;
  InitAppState(s, host, options);
  s.ResponseDir = window / "coils";
  host.AnswerOpen(window / "site.bin", "3");
  ASSERT_EQ(CmdOpenFile(s), 1);
  ASSERT_EQ(LoadPageAt(s, 1), 3);
  s.CoeffsSummed = 256;
  s.ResistivityOn = 0;
  s.ImpedanceOn = 1;
  s.FourierOn = s.AppResOn = s.LogY = 1;
  RecordingSurface surface;
  PaintPlotWindow(s, surface);
  ShutdownAppState(s);
  for (const char* name : {"site_ZXX.dat", "site_ZXY.dat", "site_ZYX.dat", "site_ZYY.dat"}) {
    EXPECT_FALSE(ReadBytes(tool / name).empty()) << name;
    EXPECT_EQ(ReadBytes(tool / name), ReadBytes(window / name)) << name;
  }

  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(static_cast<int>(lines.size()), 1 + s.PlotCount);
  EXPECT_EQ(lines[0], "frequency_Hz,rhoxy_ohm_m,phasexy_deg,rhoyx_ohm_m,phaseyx_deg,coherence_Ex,coherence_Ey");
  for (int b = 4; b < s.PlotCount; ++b) {
    std::vector<double> v = Fields(lines[static_cast<size_t>(1 + b)]);
    ASSERT_EQ(v.size(), 7u);
    EXPECT_NEAR(v[0], s.BandFreq[static_cast<size_t>(b)], 1e-5 * v[0]);
    EXPECT_NEAR(v[1], 300.0, 15.0);
    EXPECT_NEAR(v[2], 45.0, 2.0);
    EXPECT_NEAR(v[3], 300.0, 15.0);
    EXPECT_NEAR(v[4], 45.0, 2.0);
    EXPECT_GT(v[5], 0.9);
    EXPECT_LE(v[5], 1.0);
  }
  EXPECT_TRUE(Has(run.err, "Wrote " + std::to_string(s.PlotCount) + " bands")) << run.err;
}

// The page's channels, trends, bands and tables split over two threads give
// the bytes one thread gives.
TEST(SpectralCommands, OneThreadAndTwoGiveTheSameBytes) {
  TempDir dir;
  SynthOptions o = SmallRecording(8, "Hx,Hy,Hz,Ex,Ey");
  o.realisticCoil = true;
  WriteRecording(dir, "site.bin", o);
  ASSERT_EQ(WriteResponseFiles(dir / "coils", o), "");
  // Eight records: bands of 2 and 8 bins come in several pieces of 4096 bins.
  const std::string commands[] = {
      "spectra site.bin --records-per-plot 8 --window hanning --notch",
      "mt site.bin --records-per-plot 8 --lemi coils --coeffs 2 --window slepian",
      "mt site.bin --records-per-plot 8 --lemi coils --coeffs 8 --notch --quantity coherence"};
  const char* tables[] = {"site_ZXX.dat", "site_ZXY.dat", "site_ZYX.dat", "site_ZYY.dat"};
  for (const std::string& command : commands) {
    std::string out[2], table[2][4];
    for (int threads = 1; threads <= 2; ++threads) {
      if (threads == 1) setenv("ZORVAN_THREADS", "1", 1);
      ToolRun run = Zorvan(command, dir);
      unsetenv("ZORVAN_THREADS");
      ASSERT_EQ(run.status, 0) << command << ": " << run.err;
      out[threads - 1] = run.out;
      for (int t = 0; t < 4; ++t) {
        const auto bytes = ReadBytes(dir / tables[t]);
        table[threads - 1][t].assign(bytes.begin(), bytes.end());
      }
    }
    EXPECT_GT(out[0].size(), 1000u) << command;
    EXPECT_EQ(out[0], out[1]) << command;
    for (int t = 0; t < 4; ++t) EXPECT_EQ(table[0][t], table[1][t]) << command << " " << tables[t];
  }
}

// The coil files are looked for in LEMI beside the data file, then in the
// current directory; a missing coil file falls back to the default, and
// without that either H is shown uncorrected, as the message says.
TEST(MtCommand, MissingCoilFilesAreReportedAndTheDefaultUsed) {
  TempDir dir;
  std::filesystem::create_directory(dir / "site");
  ASSERT_EQ(Zorvan("synth site/site.bin --records 1 --coil realistic", dir).status, 0);
  ToolRun run = Zorvan("mt site/site.bin", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "LEMI-120_1045.rsp not found, nor the default LEMI-120.rsp")) << run.err;
  EXPECT_TRUE(Has(run.err, "Hy is shown without coil correction")) << run.err;
  ASSERT_EQ(Zorvan("synth other.bin --records 1 --coil realistic --lemi site/LEMI", dir).status, 0);
  std::filesystem::remove(dir / "site/LEMI/LEMI-120_1046.rsp");
  run = Zorvan("mt site/site.bin", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(Has(run.err, "1045")) << run.err;
  EXPECT_TRUE(Has(run.err, "LEMI-120_1046.rsp not found, using default LEMI-120.rsp")) << run.err;
}

TEST(MtCommand, CoeffsTooLargeForThePageFailWithTheLargestThatGivesABand) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 1", dir).status, 0);
  ToolRun run = Zorvan("mt site.bin --coeffs 5000", dir);
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(Has(run.err, "mt: #Coeffs summed 5000 gives no band on this page: 2047 is the largest that gives one"))
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "site_ZXY.dat"));
}

TEST(MtCommand, SimsEstimatesLeaveTheTablesEmpty) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 2 --lemi LEMI", dir).status, 0);
  ToolRun run = Zorvan("mt site.bin --records-per-plot 2 --estimate zyx", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1u + 7);
  EXPECT_EQ(lines[0], "frequency_Hz,zyx_0,zyx_1,zyx_2,zyx_3");
  EXPECT_EQ(Fields(lines[4]).size(), 5u);
  EXPECT_TRUE(std::filesystem::exists(dir / "site_ZYX.dat"));
  EXPECT_TRUE(ReadBytes(dir / "site_ZYX.dat").empty());
}

TEST(SpectralCommands, BadInputGivesAOneLineMessageAndFailure) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 1", dir).status, 0);
  ASSERT_EQ(Zorvan("synth hz.bin --records 1 --channels Hx,Hz,Ex,Ey", dir).status, 0);
  WriteBytes(dir / "junk.bin", std::vector<uint8_t>(3000, 0x5A));
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"spectra", "give one recorder file"},
      {"spectra missing.bin", "Cannot open missing.bin"},
      {"spectra site.bin --window kaiser", "--window takes none, hanning, hamming or slepian"},
      {"spectra site.bin --fit-order 0", "--fit-order takes a whole number from 1 to 20"},
      {"spectra site.bin --record 9", "site.bin has no record 9"},
      {"mt site.bin --coeffs 0", "--coeffs takes a whole number from 1"},
      {"mt site.bin --coeffs many", "--coeffs takes a whole number from 1"},
      {"mt site.bin --estimate best", "--estimate takes ls, zxx, zxy, zyx or zyy"},
      {"mt site.bin --quantity phase", "--quantity takes resistivity, impedance or coherence"},
      {"mt hz.bin", "mt: Ex, Ey, Hx, Hy Labels not all present in header"},
      {"mt junk.bin", "mt: junk.bin is not a recorder file (unknown sample rate code "},
  };
  for (const Case& c : cases) {
    ToolRun run = Zorvan(c.args, dir);
    EXPECT_NE(run.status, 0) << c.args;
    EXPECT_TRUE(Has(run.err, c.message)) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
}

TEST(MtCommand, TablesThatCannotBeWrittenFailTheCommand) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 1 --lemi LEMI", dir).status, 0);
  std::filesystem::create_directory(dir / "site_ZXY.dat");  // a folder where a table should go
  ToolRun run = Zorvan("mt site.bin", dir);
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(Has(run.err, "mt: Cannot write site_ZXY.dat")) << run.err;
}

}  // namespace
