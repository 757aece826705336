// EDI export: a small reader of the format reads the written file back; its
// sections, keywords, counts and number format follow the SEG layout, and its
// values equal the impedance tables to their printed precision. Also the GPS
// position, bands without an estimate, the remote's measurements, and outputs
// that would overwrite an input.

#include "mt/edi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/commands.h"
#include "app/edi_export.h"
#include "app/remote_reference.h"
#include "datafile/remote_samples.h"
#include "mt/impedance.h"
#include "mt/remote.h"
#include "platform/headless/headless_platform.h"
#include "plot/paint.h"
#include "tests/support/recordings.h"
#include "tests/support/tool_run.h"

namespace {

// What the reader keeps of an EDI file.
struct Edi {
  std::vector<std::string> sections;                  // every ">" keyword line's name, in order
  std::map<std::string, std::string> options;         // NAME=VALUE of the sections' option lines, by section
  std::map<std::string, std::vector<double>> blocks;  // data blocks by name
  std::map<std::string, size_t> declared;             // the //n of each block
  std::vector<std::string> measurements;              // the >HMEAS and >EMEAS lines
  std::vector<std::string> dataLines;                 // lines of numbers
  std::vector<std::string> info;                      // free lines of >INFO
  std::string error;
};

Edi ReadEdi(const std::string& path) {
  Edi edi;
  std::ifstream in(path);
  std::string line, section, block;
  while (std::getline(in, line)) {
    if (line.rfind(">!", 0) == 0) continue;  // comment
    if (!line.empty() && line[0] == '>') {
      std::istringstream words(line.substr(1));
      words >> section;
      edi.sections.push_back(section);
      block.clear();
      if (section == "HMEAS" || section == "EMEAS") {
        edi.measurements.push_back(line);
        continue;
      }
      const size_t slashes = line.find("//");
      if (slashes != std::string::npos) {
        block = section;
        edi.declared[block] = std::stoul(line.substr(slashes + 2));
        edi.blocks[block];
      }
      continue;
    }
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    if (!block.empty()) {
      edi.dataLines.push_back(line);
      std::istringstream values(line);
      double v;
      while (values >> v) edi.blocks[block].push_back(v);
      if (!values.eof()) edi.error = "not a number in " + block + ": " + line;
      continue;
    }
    const size_t eq = line.find('=');
    const size_t start = line.find_first_not_of(' ');
    if (eq != std::string::npos && line.find(' ', start) > eq)
      edi.options[section + "." + line.substr(start, eq - start)] = line.substr(eq + 1);
    else if (section == "INFO")
      edi.info.push_back(line.substr(start));
  }
  return edi;
}

struct TableRow {
  double f, value, err, phase, phaseErr;
};

std::vector<TableRow> ReadTable(const std::string& path) {
  std::vector<TableRow> rows;
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return rows;
  TableRow r;
  while (std::fscanf(f, "%lf %lf %lf %lf %lf", &r.f, &r.value, &r.err, &r.phase, &r.phaseErr) == 5) rows.push_back(r);
  std::fclose(f);
  return rows;
}

// a equals b as "%10.4e" shows b: within half a unit of its last printed digit.
void ExpectPrinted(double a, double b, const std::string& what) {
  char text[40];
  std::snprintf(text, sizeof text, "%10.4e", b);
  const double printed = std::atof(text);
  EXPECT_NEAR(a, printed, 0.5e-4 * std::pow(10.0, std::floor(std::log10(std::fabs(printed)))) * 1.0001) << what;
}

const char* const kElements[4] = {"XX", "XY", "YX", "YY"};

}  // namespace

// The demo recording as the demo makes it, estimated by the tool: the EDI
// file reads back as the tables say, in the layout of the standard.
TEST(EdiExport, DemoRecordingReadsBackAsTheTables) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth demo.bin --records 40 --noise 0.01 --earth 100 --lemi LEMI", dir).status, 0);
  const ToolRun run = Zorvan("mt demo.bin --records-per-plot 10 --edi demo.edi", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const Edi edi = ReadEdi(dir / "demo.edi");
  ASSERT_EQ(edi.error, "");

  // Sections in the standard's order, the data blocks after the MT section.
  const std::vector<std::string> order = {"HEAD", "INFO", "=DEFINEMEAS", "=MTSECT", "FREQ", "ZROT", "ZXXR"};
  size_t at = 0;
  for (const std::string& name : order) {
    auto it = std::find(edi.sections.begin() + static_cast<long>(at), edi.sections.end(), name);
    ASSERT_NE(it, edi.sections.end()) << name;
    at = static_cast<size_t>(it - edi.sections.begin());
  }
  EXPECT_EQ(edi.sections.back(), "END");
  EXPECT_EQ(edi.options.at("HEAD.DATAID"), "\"demo\"");
  EXPECT_EQ(edi.options.at("HEAD.ACQDATE"), "12/07/26");
  EXPECT_EQ(edi.options.at("HEAD.LAT"), "64.856702");
  EXPECT_EQ(edi.options.at("HEAD.LONG"), "-147.719793");
  EXPECT_EQ(edi.options.at("HEAD.ELEV"), "132.5");
  EXPECT_EQ(edi.options.at("HEAD.PROGVERS"), "\"Zorvan 2.37\"");
  EXPECT_EQ(edi.options.at("HEAD.EMPTY"), "1.0E+32");
  EXPECT_EQ(edi.options.at("=DEFINEMEAS.MAXCHAN"), "5");
  EXPECT_EQ(edi.options.at("=MTSECT.EX"), "1004.001");
  EXPECT_TRUE(Has(edi.info[2], "least squares"));

  // The five channels with their angles; the dipoles as long as their spacing.
  ASSERT_EQ(edi.measurements.size(), 5u);
  EXPECT_EQ(edi.measurements[1], ">HMEAS ID=1002.001 CHTYPE=HY X=0.0 Y=0.0 Z=0.0 AZM=90.0 DIP=0.0 ACQCHAN=2");
  EXPECT_EQ(edi.measurements[3], ">EMEAS ID=1004.001 CHTYPE=EX X=-50.0 Y=0.0 Z=0.0 X2=50.0 Y2=0.0 Z2=0.0 ACQCHAN=4");
  EXPECT_EQ(edi.measurements[4], ">EMEAS ID=1005.001 CHTYPE=EY X=0.0 Y=-50.0 Z=0.0 X2=0.0 Y2=50.0 Z2=0.0 ACQCHAN=5");

  // Every block as long as NFREQ, numbers in the E format, five to a line.
  const size_t n = std::stoul(edi.options.at("=MTSECT.NFREQ"));
  const std::vector<std::string> names = {"FREQ",  "ZROT",      "ZXXR",  "ZXXI",      "ZXX.VAR", "ZXYR",
                                          "ZXYI",  "ZXY.VAR",   "ZYXR",  "ZYXI",      "ZYX.VAR", "ZYYR",
                                          "ZYYI",  "ZYY.VAR",   "RHOXY", "RHOXY.ERR", "PHSXY",   "PHSXY.ERR",
                                          "RHOYX", "RHOYX.ERR", "PHSYX", "PHSYX.ERR", "EXCOH",   "EYCOH"};
  for (const std::string& name : names) {
    ASSERT_EQ(edi.declared.count(name), 1u) << name;
    EXPECT_EQ(edi.declared.at(name), n) << name;
    EXPECT_EQ(edi.blocks.at(name).size(), n) << name;
  }
  const std::regex number(R"(( +-?\d\.\d{6}E[+-]\d{2}){1,5})");
  for (const std::string& line : edi.dataLines) EXPECT_TRUE(std::regex_match(line, number)) << line;

  // The values of the tables, band by band (the tables run upwards in frequency, the file downwards).
  const auto& freq = edi.blocks.at("FREQ");
  for (int p = 0; p < 4; ++p) {
    const std::vector<TableRow> table = ReadTable(ImpedanceTablePath(dir / "demo.bin", p));
    ASSERT_EQ(table.size(), n);
    const std::string el = kElements[p];
    for (size_t i = 0; i < n; ++i) {
      const TableRow& row = table[n - 1 - i];
      const std::string what = el + " band " + std::to_string(n - 1 - i);
      ExpectPrinted(freq[i], row.f, what + " frequency");
      const double rho = edi.blocks.at("RHO" + el)[i];
      ExpectPrinted(rho, row.value, what + " rho");
      ExpectPrinted(edi.blocks.at("RHO" + el + ".ERR")[i] / rho, row.err, what + " rho error");
      ExpectPrinted(std::fabs(edi.blocks.at("PHS" + el)[i]), row.phase, what + " phase");
      ExpectPrinted(edi.blocks.at("PHS" + el + ".ERR")[i], row.phaseErr, what + " phase error");
      // Z in (mV/km)/nT gives rho; its variance is that of the printed relative error.
      const double zr = edi.blocks.at("Z" + el + "R")[i], zi = edi.blocks.at("Z" + el + "I")[i];
      EXPECT_NEAR(0.2 * (zr * zr + zi * zi) / freq[i], rho, 1e-5 * rho) << what;
      EXPECT_NEAR(std::sqrt(edi.blocks.at("Z" + el + ".VAR")[i] / (zr * zr + zi * zi)), row.err / 2, 1e-4 * row.err)
          << what;
    }
  }
  // A half-space: Zxy in the first quadrant, Zyx in the third (exp(+iwt)).
  EXPECT_GT(edi.blocks.at("ZXYR")[5], 0);
  EXPECT_GT(edi.blocks.at("ZXYI")[5], 0);
  EXPECT_LT(edi.blocks.at("ZYXR")[5], 0);
  EXPECT_LT(edi.blocks.at("ZYXI")[5], 0);
  EXPECT_NEAR(edi.blocks.at("PHSXY")[5], 45.0, 2.0);
  EXPECT_NEAR(edi.blocks.at("PHSYX")[5], 45.0, 2.0);
}

TEST(EdiExport, GpsPositionInDecimalDegrees) {
  double lat = 0, lon = 0, elev = 0;
  ASSERT_TRUE(ParseGpsPosition("N6451.4021 W14743.1876 A0132.5", lat, lon, elev));
  EXPECT_NEAR(lat, 64 + 51.4021 / 60, 1e-9);
  EXPECT_NEAR(lon, -(147 + 43.1876 / 60), 1e-9);
  EXPECT_DOUBLE_EQ(elev, 132.5);
  ASSERT_TRUE(ParseGpsPosition("S3352.0000 E15112.6000", lat, lon, elev));
  EXPECT_NEAR(lat, -33.866666667, 1e-8);
  EXPECT_NEAR(lon, 151.21, 1e-9);
  EXPECT_TRUE(std::isnan(elev));
  EXPECT_FALSE(ParseGpsPosition("", lat, lon, elev));
  EXPECT_FALSE(ParseGpsPosition("N64xx W147", lat, lon, elev));
  EXPECT_FALSE(ParseGpsPosition("N6475.0000 W14743.1876", lat, lon, elev));  // 75 minutes
}

class EdiState : public ::testing::Test {
 protected:
  void Open(const SynthOptions& o, int recordsPerPlot) {
    StartupOptions options;
    options.startDir = dir.path();
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    started = true;
    ASSERT_EQ(WriteResponseFiles(dir / "LEMI", o), "");
    host.AnswerOpen(WriteRecording(dir, "site.bin", o), std::to_string(recordsPerPlot));
    ASSERT_EQ(CmdOpenFile(s), 1);
    s.FourierOn = s.AppResOn = 1;
  }
  void TearDown() override {
    if (started) ShutdownAppState(s);
  }
  TempDir dir;
  HeadlessPlatform host;
  AppState s;
  bool started = false;
};

// Bands whose bins the notch all replaced have no estimate and are left out.
TEST_F(EdiState, BandsWithoutAnEstimateAreLeftOut) {
  SynthOptions o = SmallRecording(10);
  Open(o, 10);
  s.NotchOn = 1;
  s.CoeffsSummed = 128;
  AnalysePage(s);
  int empty = 0;
  for (int b = 0; b < s.PlotCount; ++b) empty += s.BandBins[static_cast<size_t>(b)] == 0;
  ASSERT_GT(empty, 0);
  ASSERT_EQ(WriteEdi(s, dir / "site.edi"), "");
  const Edi edi = ReadEdi(dir / "site.edi");
  EXPECT_EQ(std::stoi(edi.options.at("=MTSECT.NFREQ")), s.PlotCount - empty);
  for (double v : edi.blocks.at("RHOXY")) EXPECT_LT(v, 1e30);
}

// With a remote reference the file says so and defines the remote channels.
TEST_F(EdiState, RemoteReferenceIsDefined) {
  SynthOptions o = SmallRecording(4);
  o.remotePath = dir / "remote.bin";
  Open(o, 2);
  ASSERT_EQ(SetRemoteReference(s, o.remotePath), "");
  AnalysePage(s);
  ASSERT_GT(s.RemoteBands, 0);
  ASSERT_EQ(WriteEdi(s, dir / "site.edi"), "");
  const Edi edi = ReadEdi(dir / "site.edi");
  EXPECT_EQ(edi.options.at("=MTSECT.RX"), "2001.001");
  EXPECT_EQ(edi.options.at("=MTSECT.RY"), "2002.001");
  ASSERT_EQ(edi.measurements.size(), 6u);  // Hx, Hy, Ex, Ey and the remote's two
  EXPECT_TRUE(Has(edi.measurements[4], "CHTYPE=RX X=2034.7 Y=1722.6"));
  EXPECT_TRUE(Has(edi.info[2], "remote reference remote.bin"));
}

// The open recording and the remote are never overwritten; the Sims estimates are no tensor to export.
TEST_F(EdiState, RefusesToOverwriteAnInputOrExportSims) {
  SynthOptions o = SmallRecording(2);
  o.remotePath = dir / "remote.bin";
  Open(o, 2);
  ASSERT_EQ(SetRemoteReference(s, o.remotePath), "");
  AnalysePage(s);
  const auto local = ReadBytes(dir / "site.bin"), remote = ReadBytes(dir / "remote.bin");
  EXPECT_EQ(WriteEdi(s, dir / "site.bin"), dir / "site.bin" + " is one of the files being read; nothing was written.");
  EXPECT_EQ(WriteEdi(s, dir / "remote.bin"),
            dir / "remote.bin" + " is one of the files being read; nothing was written.");
  EXPECT_EQ(ReadBytes(dir / "site.bin"), local);
  EXPECT_EQ(ReadBytes(dir / "remote.bin"), remote);

  s.LeastSquaresOn = 0;
  AnalysePage(s);
  EXPECT_NE(WriteEdi(s, dir / "sims.edi"), "");
  EXPECT_FALSE(std::ifstream(dir / "sims.edi").good());
}

// File, Export EDI...: the save dialog offers base + ".edi" beside the recording.
TEST_F(EdiState, MenuCommandOffersTheBaseNameAndWrites) {
  SynthOptions o = SmallRecording(2);
  Open(o, 2);
  host.saveAnswers.push_back(dir / "chosen.edi");
  EXPECT_EQ(ExportEdi(s), 1);
  EXPECT_EQ(EdiFileName(s.CurrentFilePath), "site.edi");
  EXPECT_TRUE(ReadEdi(dir / "chosen.edi").sections.size() > 10);

  s.AppResOn = 0;
  EXPECT_EQ(ExportEdi(s), 0);
  EXPECT_EQ(host.MessageTexts().back(),
            "EDI export writes the impedance estimates: turn Apparent Resistivity on first.");
}

TEST(EdiExport, ToolRefusesAnOutputThatIsTheRecording) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth a.bin --records 2 --remote b.bin", dir).status, 0);
  const auto before = ReadBytes(dir / "b.bin");
  const ToolRun run = Zorvan("mt a.bin --remote b.bin --edi b.bin", dir);
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(Has(run.err, "is one of the files being read")) << run.err;
  EXPECT_EQ(ReadBytes(dir / "b.bin"), before);
  const ToolRun missing = Zorvan("mt a.bin --remote nothing.bin", dir);
  EXPECT_NE(missing.status, 0);
  EXPECT_TRUE(Has(missing.err, "Cannot open nothing.bin")) << missing.err;
}
