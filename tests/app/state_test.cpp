#include "app/state.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless_platform.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Text(const std::string& path) {
  auto bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

void WriteText(const std::string& path, const std::string& text) { WriteBytes(path, {text.begin(), text.end()}); }

struct Started {
  HeadlessPlatform host;
  AppState s;
  explicit Started(const std::string& startDir, bool useDirFile = true) {
    StartupOptions options;
    options.startDir = startDir;
    options.useDirFile = useDirFile;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
  }
  ~Started() { ShutdownAppState(s); }
};

TEST(Startup, DefaultsOfTheSharedState) {
  TempDir dir;
  Started app(dir.path());
  const AppState& s = app.s;
  EXPECT_EQ(s.FileLoaded, 0);
  EXPECT_EQ(s.RecordsPerPlot, 1);
  EXPECT_EQ(s.AutoscaleAll, 1);
  for (int k = 0; k < kChannels; ++k) EXPECT_EQ(s.AutoscaleChan[k], 1);
  EXPECT_EQ(s.RedrawAll, 1);
  EXPECT_EQ(s.FourierOn + s.AppResOn + s.FilterOn + s.ZoomMode + s.LogX + s.LogY, 0);
  EXPECT_EQ(s.StandardLineWidth, 2);
  EXPECT_EQ(s.Tooltips[0], "File Open");
  EXPECT_EQ(s.Tooltips[12], "Apparent Resisivity On/Off");
  EXPECT_EQ(s.ProgramName, "Zorvan");
  // The page arrays grow on demand: nothing of the page is held before a file is opened.
  EXPECT_TRUE(s.xplotdata.empty());
  EXPECT_TRUE(s.yplotdata[0].empty());
  EXPECT_TRUE(app.host.messages.empty());
}

TEST(Startup, FirstRunCreatesLidarDirWithTheStartDirectoryTwice) {
  TempDir dir;
  Started app(dir.path());
  std::string start = dir.path() + "/";
  EXPECT_EQ(app.s.StartDir, start);
  EXPECT_EQ(app.s.DataDir, start);
  EXPECT_EQ(app.s.WorkDir, start);
  EXPECT_EQ(Text(dir / "lidar.dir"), start + "\n" + start + "\n");
}

TEST(Startup, ReadsBothDirectoriesAndAddsTheSeparatorToTheDataDirOnly) {
  TempDir dir;
  WriteText(dir / "lidar.dir", "/data/site7\n/work/tmp\n");
  Started app(dir.path());
  EXPECT_EQ(app.s.DataDir, "/data/site7/");
  EXPECT_EQ(app.s.WorkDir, "/work/tmp");
}

TEST(Startup, OddLidarDirFilesDoNotCrash) {
  TempDir dir;
  WriteText(dir / "lidar.dir", "/only/one/line\n");
  {
    Started app(dir.path());
    EXPECT_EQ(app.s.DataDir, "/only/one/line/");
    EXPECT_EQ(app.s.WorkDir, dir.path() + "/");
  }
  // Lines longer than 256 bytes are cut there; the rest reads as the next line.
  std::string longLine(300, 'x');
  WriteText(dir / "lidar.dir", "/" + longLine + "\n/w\n");
  {
    Started app(dir.path());
    EXPECT_EQ(app.s.DataDir, "/" + longLine.substr(0, 254) + "/");
    EXPECT_EQ(app.s.WorkDir, longLine.substr(0, 300 - 255));
  }
  WriteText(dir / "lidar.dir", "");
  {
    Started app(dir.path());
    EXPECT_EQ(app.s.DataDir, dir.path() + "/");
  }
  WriteText(dir / "lidar.dir", std::string("\0\0\n\xff\xfe", 5));
  Started app(dir.path());
  EXPECT_FALSE(app.s.DataDir.empty());
}

TEST(Startup, WithoutTheDirFileNothingIsReadOrWritten) {
  TempDir dir;
  WriteText(dir / "lidar.dir", "/elsewhere\n/else\n");
  Started app(dir.path(), false);
  EXPECT_EQ(app.s.DataDir, dir.path() + "/");
  RememberDirectories(app.s);
  EXPECT_EQ(Text(dir / "lidar.dir"), "/elsewhere\n/else\n");
}

TEST(Startup, UnwritableLidarDirIsNotFatal) {
  Started app("/proc/zorvan-no-such-dir");
  EXPECT_EQ(app.s.DataDir, "/proc/zorvan-no-such-dir/");
  EXPECT_EQ(WriteDirFile("/proc/zorvan-no-such-dir/lidar.dir", "a", "b"), 0);
}

TEST(PageArrays, GrowToThePageAndKeepTheirSize) {
  AppState s;
  EnsurePagePoints(s, 1000);
  EXPECT_GE(s.xplotdata.size(), 1000u);
  EXPECT_EQ(s.yplotdata[5].size(), s.xplotdata.size());
  EXPECT_EQ(s.yplotdata_orig[0].size(), s.xplotdata.size());
  size_t size = s.xplotdata.size();
  EnsurePagePoints(s, 10);
  EXPECT_EQ(s.xplotdata.size(), size);
}

}  // namespace

namespace {

TEST(ShownTime, HawaiiIsTenHoursBehindUtc) {
  AppState s;
  s.PlotFirstRecordTime = RecordTime{2026, 12, 7, 5, 0, 0.0};
  RecordTime utc = ShownTime(s, 90.5);
  EXPECT_EQ(utc.hour, 5);
  EXPECT_EQ(utc.minute, 1);
  EXPECT_DOUBLE_EQ(utc.second, 30.5);
  s.TimeFormatHST = 1;
  RecordTime hst = ShownTime(s, 90.5);
  EXPECT_EQ(hst.day, 6);
  EXPECT_EQ(hst.hour, 19);
  EXPECT_EQ(hst.minute, 1);
}

}  // namespace
