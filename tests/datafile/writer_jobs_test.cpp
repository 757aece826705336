// The writers driven as jobs, without a state or a host: what they write, what
// they refuse, and what reaches the caller's WriterEvents.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "datafile/split.h"
#include "datafile/sync.h"
#include "datafile/writers.h"
#include "tests/datafile/writer_support.h"

namespace {

using Kind = WriterEvents::Kind;

// Everything a writer tells, in order.
struct ToldEvents : WriterEvents {
  std::vector<std::pair<Kind, std::string>> messages;
  std::vector<double> progress;
  std::vector<bool> busy;
  std::vector<int> written;
  std::vector<std::string> copying;

  void Tell(const std::string& text, Kind kind) override { messages.emplace_back(kind, text); }
  void ShowProgress(const std::string&, double fraction) override { progress.push_back(fraction); }
  void SetBusy(bool b) override { busy.push_back(b); }
  void RecordsWritten(int records) override { written.push_back(records); }
  void Copying(const std::string& path) override { copying.push_back(FileTitleOf(path)); }
};

RecorderHeader FirstHeader(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  RecorderHeader h{};
  DecodeHeader(bytes.data(), h);
  return h;
}

SaveJob CopyJob(const std::string& in, const std::string& out) {
  SaveJob job;
  job.inPath = in;
  job.outPath = out;
  job.outHeader = FirstHeader(in);
  return job;
}

TEST(SaveJob, CopiesARecordingWithProgressWhileBusy) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "site.bin", SmallRecording(3));
  SaveJob job = CopyJob(in, dir / "copy.bin");
  ToldEvents told;
  WriteReport report;
  ASSERT_EQ(WriteProcessedCopy(job, told, report), 1);
  EXPECT_EQ(ReadBytes(dir / "copy.bin"), ReadBytes(in));
  EXPECT_EQ(report.outputs, std::vector<std::string>{dir / "copy.bin"});
  EXPECT_EQ(report.records, std::vector<int>{3});
  EXPECT_TRUE(told.messages.empty());
  EXPECT_EQ(told.busy, (std::vector<bool>{true, false}));
  ASSERT_FALSE(told.progress.empty());
  EXPECT_EQ(told.progress.back(), 1.0);
}

// Every copy's filter starts at rest, so the same job writes the same bytes twice.
TEST(SaveJob, FilterStartsFromRestEveryTime) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "site.bin", SmallRecording(2));
  ToldEvents told;
  auto filtered = [&](const std::string& name) {
    SaveJob job = CopyJob(in, dir / name);
    job.samples.on = true;
    job.samples.corner = 3;
    WriteReport report;
    EXPECT_EQ(WriteProcessedCopy(job, told, report), 1) << name;
    return ReadBytes(dir / name);
  };
  const std::vector<uint8_t> first = filtered("first.bin");
  EXPECT_NE(first, ReadBytes(in));
  EXPECT_EQ(filtered("again.bin"), first);
  EXPECT_TRUE(told.messages.empty());
}

TEST(SaveJob, RefusesAnOutputThatIsAnInputOrAKeptFile) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "site.bin", SmallRecording(2));
  const std::string open = WriteRecording(dir, "open.bin", SmallRecording(1));
  ASSERT_EQ(link(in.c_str(), (dir / "alias.bin").c_str()), 0);
  const std::string inDigest = Sha256Of(in), openDigest = Sha256Of(open);

  for (const std::string& out : {in, dir / "alias.bin", open}) {
    SaveJob job = CopyJob(in, out);
    job.setup.keep = {IdOfPath(open)};
    ToldEvents told;
    WriteReport report;
    EXPECT_EQ(WriteProcessedCopy(job, told, report), 0) << out;
    EXPECT_EQ(told.messages, (std::vector<std::pair<Kind, std::string>>{
                                 {Kind::Error, out + " is one of the files being read; nothing was written."}}));
    EXPECT_EQ(report.err, EEXIST);
    EXPECT_TRUE(told.busy.empty());
  }
  EXPECT_EQ(Sha256Of(in), inDigest);
  EXPECT_EQ(Sha256Of(open), openDigest);
}

TEST(SaveJob, FailuresWarningsAndCountsReachTheEvents) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "site.bin", SmallRecording(3));

  // A full disk of the job's file system: one error, the partial copy removed.
  FullDiskFileSystem full(3000);
  SaveJob job = CopyJob(in, dir / "full.bin");
  job.setup.system = &full;
  ToldEvents told;
  WriteReport report;
  EXPECT_EQ(WriteProcessedCopy(job, told, report), 0);
  EXPECT_EQ(told.messages, (std::vector<std::pair<Kind, std::string>>{
                               {Kind::Error, "SaveData Write error 28 (No space left on device) writing " +
                                                 dir / "full.bin" + "; the incomplete file was removed."}}));
  EXPECT_FALSE(std::filesystem::exists(dir / "full.bin"));
  EXPECT_EQ(told.busy, (std::vector<bool>{true, false}));

  // An input cut inside its last record: a warning, and the complete records are written.
  std::vector<uint8_t> bytes = ReadBytes(in);
  bytes.resize(bytes.size() - 100);
  WriteBytes(dir / "cut.bin", bytes);
  SaveJob cut = CopyJob(dir / "cut.bin", dir / "cut_MOD.bin");
  ToldEvents warned;
  WriteReport written;
  EXPECT_EQ(WriteProcessedCopy(cut, warned, written), 1);
  EXPECT_EQ(written.records, std::vector<int>{2});
  EXPECT_EQ(warned.messages, (std::vector<std::pair<Kind, std::string>>{
                                 {Kind::Warning, "The last record of cut.bin is incomplete; it was not copied."}}));

  // Decimation counts its output records through the events.
  const std::string many = WriteRecording(dir, "many.bin", SmallRecording(80));
  SaveJob dec = CopyJob(many, dir / "many_DEC.bin");
  dec.decimation = 40;
  ToldEvents counted;
  WriteReport decimated;
  EXPECT_EQ(WriteProcessedCopy(dec, counted, decimated), 1);
  EXPECT_EQ(counted.written, (std::vector<int>{1, 2}));
  EXPECT_EQ(decimated.records, std::vector<int>{2});
}

// The record pipeline one record at a time: what a filtered copy of in must write.
std::vector<uint8_t> RecordByRecord(const std::string& in, const std::string& out, RecorderHeader o,
                                    const SampleFilter& filter) {
  WriterEvents quiet;
  WriterInput input;
  EXPECT_TRUE(OpenWriterInput(quiet, in, input));
  std::unique_ptr<OutputFile> file = RealFileSystem().Create(out, {}).file;
  PipelineWork work;
  InputRecord rec;
  while (ReadNextRecord(quiet, input, rec) == NextRecord::Record)
    EXPECT_EQ(WriteThroughPipeline(rec, o, filter, *file, work, nullptr), PipelineResult::Written);
  EXPECT_TRUE(file->Close());
  CloseWriterInput(input);
  return ReadBytes(out);
}

// A filtered copy long enough to be read, filtered and written in several
// batches writes the bytes of the record-at-a-time pipeline, and fails, warns
// and reports its progress as that does.
// The filtered copy's three threads with the cores crowded by two spinning
// threads, so that any of them can stop at any point: every copy is whole
// and the same. (A writer that looked at a batch after handing it back once
// took the reader's next batch there for the last and ended the copy early.)
TEST(SaveJob, FilteredCopyIsWholeWhenTheCoresAreCrowded) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "site.bin", SmallRecording(60));
  SaveJob reference = CopyJob(in, dir / "ref.bin");
  reference.samples.on = true;
  const std::vector<uint8_t> expected = RecordByRecord(in, dir / "ref.bin", reference.outHeader, reference.samples);
  std::atomic<bool> spin{true};
  std::vector<std::thread> spinners;
  for (int t = 0; t < 2; ++t)
    spinners.emplace_back([&spin] {
      while (spin.load(std::memory_order_relaxed)) {
      }
    });
  int whole = 0;
  for (int round = 0; round < 40; ++round) {
    SaveJob job = CopyJob(in, dir / "f.bin");
    job.samples.on = true;
    ToldEvents told;
    WriteReport report;
    if (WriteProcessedCopy(job, told, report) == 1 && report.records == std::vector<int>{60} &&
        ReadBytes(dir / "f.bin") == expected)
      ++whole;
  }
  spin = false;
  for (std::thread& t : spinners) t.join();
  EXPECT_EQ(whole, 40);
}

TEST(SaveJob, FilteredCopyInBatchesIsTheRecordByRecordCopy) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "site.bin", SmallRecording(100));
  std::vector<uint8_t> bytes = ReadBytes(in);
  bytes.resize(bytes.size() - 100);  // the last record is cut
  WriteBytes(in, bytes);
  const size_t recordBytes = bytes.size() / 100 + 1;
  const std::string digest = Sha256Of(in);

  for (int corner : {1, 5}) {
    SaveJob job = CopyJob(in, dir / "f.bin");
    job.samples.on = true;
    job.samples.corner = corner;
    job.outHeader.ChannelInvert[1] = 1;
    const std::vector<uint8_t> expected = RecordByRecord(in, dir / "ref.bin", job.outHeader, job.samples);
    ToldEvents told;
    WriteReport report;
    ASSERT_EQ(WriteProcessedCopy(job, told, report), 1);
    EXPECT_EQ(report.records, std::vector<int>{99});
    EXPECT_EQ(ReadBytes(dir / "f.bin"), expected) << corner;
    EXPECT_EQ(told.messages, (std::vector<std::pair<Kind, std::string>>{
                                 {Kind::Warning, "The last record of site.bin is incomplete; it was not copied."}}));
    EXPECT_TRUE(std::is_sorted(told.progress.begin(), told.progress.end()));
    EXPECT_GT(told.progress.size(), 90u);  // each whole percent
    EXPECT_EQ(told.progress.back(), 1.0);
  }

  // A full disk in a later batch, at a header and inside a block: the records
  // before it were written and counted, the copy is removed, the warning about
  // the cut record (never reached) is not told.
  const std::pair<uint64_t, const char*> failures[] = {
      {70 * recordBytes + 10, "SaveData Header Write error 28"},
      {70 * recordBytes + kHeaderBytes + 10, "SaveData Write error 28"},
  };
  for (const auto& [room, message] : failures) {
    FullDiskFileSystem full(room);
    SaveJob job = CopyJob(in, dir / "full.bin");
    job.samples.on = true;
    job.setup.system = &full;
    ToldEvents told;
    WriteReport report;
    EXPECT_EQ(WriteProcessedCopy(job, told, report), 0) << message;
    EXPECT_EQ(told.messages, (std::vector<std::pair<Kind, std::string>>{
                                 {Kind::Error, std::string(message) + " (No space left on device) writing " +
                                                   dir / "full.bin" + "; the incomplete file was removed."}}));
    EXPECT_FALSE(std::filesystem::exists(dir / "full.bin"));
    ASSERT_FALSE(told.progress.empty());
    EXPECT_NEAR(told.progress.back(), 0.70, 0.011);
  }
  EXPECT_EQ(Sha256Of(in), digest);
}

TEST(SplitJob, RefusalBeforeReadingIsToldApartFromAFailureAfter) {
  TempDir dir;
  const std::string in = WriteRecording(dir, "a.bin", SmallRecording(5));
  SplitJob job;
  job.inPath = in;
  job.outHeader = FirstHeader(in);
  ToldEvents told;
  WriteReport refused;
  EXPECT_EQ(WriteSegments(job, told, refused), -1);  // no segment size
  EXPECT_EQ(told.messages.size(), 1u);

  job.recordsPerFile = 2;
  WriteReport report;
  ASSERT_EQ(WriteSegments(job, told, report), 1);
  EXPECT_EQ(report.outputs, (std::vector<std::string>{dir / "a_01.bin", dir / "a_02.bin", dir / "a_03.bin"}));
  EXPECT_EQ(report.records, (std::vector<int>{2, 2, 1}));

  FullDiskFileSystem full(3 * (kHeaderBytes + 4 * 2560 * 3));
  job.setup.system = &full;
  WriteReport failed;
  EXPECT_EQ(WriteSegments(job, told, failed), 0);
  EXPECT_EQ(failed.outputs, std::vector<std::string>{dir / "a_01.bin"});
}

TEST(SyncJob, CopiesGoIntoTheOutputFolderUnlessBesideTheirInputs) {
  TempDir dir, out;
  auto recording = [&](const std::string& name, double second, uint64_t seed) {
    SynthOptions o = SmallRecording(6);
    o.start.second = second;
    o.seed = seed;
    return WriteRecording(dir, name, o);
  };
  SyncJob job;
  job.inPaths = {recording("early.bin", 10.0, 1), recording("late.bin", 10.5, 2)};
  job.besideInputs = false;
  job.outDir = out.path();
  ToldEvents told;
  WriteReport report;
  ASSERT_EQ(WriteSynchronizedCopies(job, told, report), 2);
  EXPECT_EQ(report.outputs, (std::vector<std::string>{out / "early_SYNC.bin", out / "late_SYNC.bin"}));
  EXPECT_EQ(told.copying, (std::vector<std::string>{"early.bin", "late.bin"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "early_SYNC.bin"));

  job.besideInputs = true;
  WriteReport beside;
  ASSERT_EQ(WriteSynchronizedCopies(job, told, beside), 2);
  EXPECT_EQ(beside.outputs, (std::vector<std::string>{dir / "early_SYNC.bin", dir / "late_SYNC.bin"}));
  EXPECT_EQ(ReadBytes(dir / "late_SYNC.bin"), ReadBytes(out / "late_SYNC.bin"));
}

}  // namespace
