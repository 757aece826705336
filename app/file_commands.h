#pragma once
// The file commands of the open recording: Save File, the split, Concatenate
// Files and Synchronize Files. They take their settings from the state, ask
// for names through the host, run the writers of datafile/ and show what
// those tell, then show the page that was shown before.

#include <cstddef>
#include <string>
#include <vector>

#include "app/state.h"
#include "datafile/file_io.h"
#include "datafile/split.h"
#include "datafile/sync.h"
#include "datafile/writers.h"

extern const char* const kNoDataMessage;  // "No data to save - read some first"

/// The writers' file system: s.WriteSystem when set, else the real one.
FileWriteSystem& WriteSystemOf(AppState& s);
/// The files a state reads: the open recording, by its stream and by its path.
std::vector<FileId> OpenInputsOf(const AppState& s);

/// Writes data as the whole of path unless path is the open recording or one
/// of moreInputs. Returns "" when written, else the reason.
std::string WriteCheckedFile(AppState& s, const std::string& path, const void* data, size_t n,
                             const std::vector<FileId>& moreInputs = {});

/// The directory outputs are offered in, ending in the separator.
std::string OutputDirectory(const AppState& s);
/// (SaveInDataDir ? DataDir : WorkDir) + the title's base + "_MOD.bin", or
/// "_DEC.bin" when DecimationFactor is 2 or more.
std::string DefaultSaveName(const AppState& s);
/// OutputDirectory + the base of the first path's file name + "_CONCAT.bin".
std::string ConcatenationName(const AppState& s, const std::string& firstPath);

/// "2 Records Filtered & Saved", with what a decimation left out ("; the last
/// 20 records were left out (fewer than a group of 40)").
std::string SavedMessage(const AppState& s, const WriteReport& report);

/// Reopens path as the open file (decoding its first record into Header and,
/// unless keepOutHeader, OutHeader) and shows the page that starts at record,
/// or the file's last page when it has fewer records. Returns 1 when opened.
int ReopenAtRecord(AppState& s, const std::string& path, int record, bool keepOutHeader);

/// The Save File command: asks for the output (offering DefaultSaveName),
/// writes it, offers to load it, and shows the page that was shown before.
/// Returns 1 when the file was written.
int SaveProcessedFile(AppState& s);

/// Writes the whole open recording to outPath: with DecimationFactor 2 or more
/// a decimated copy, else a processed one (OutHeader's channels and settings,
/// filtered with the display's filter when FilterOn). Shows the messages of a
/// failure and returns 0 then; 1 when written.
int WriteProcessedFile(AppState& s, const std::string& outPath, WriteReport* report = nullptr);

/// Splits the recording at path into files of blocksPerFile records each
/// (WriteSegments), then shows the page that was shown before. Returns 1 when
/// every segment was written.
int SplitFile(AppState& s, const std::string& path, unsigned blocksPerFile, WriteReport* report = nullptr);

/// Joins every record of paths, in the order given, into outPath
/// (WriteConcatenation, filtered when FilterOn). Returns the number of files
/// joined, or -1 after an error (shown).
int ConcatenateInto(AppState& s, const std::vector<std::string>& paths, const std::string& outPath,
                    WriteReport* report = nullptr);

/// The Concatenate Files command: the multiple-selection dialog, the order,
/// the output name, the join, "%d Files Concatenated", and the page shown
/// before.
void ConcatenateFiles(AppState& s);

/// Plans and writes the synchronized copies of paths, beside their inputs or
/// in WorkDir (SaveInDataDir). Returns the number of files written, 0 when
/// fewer than two can take part, or -1 after an error (shown).
int SynchronizeInto(AppState& s, const std::vector<std::string>& paths, WriteReport* report = nullptr,
                    SyncPlan* planOut = nullptr);

/// The Synchronize Files command: the multiple-selection dialog, the copies,
/// "%d Files Synchronized", and the page that was shown before.
void SynchronizeFiles(AppState& s);
