#pragma once
// Splitting the open recording into numbered segments, and joining several
// recordings into one, both through the record pipeline of the writers.

#include <string>
#include <vector>

#include "app/state.h"
#include "datafile/writers.h"

/// The segment base of a path: the path without the last extension of its
/// file name (the whole path when the file name has none).
std::string SegmentBase(const std::string& path);
/// base + "_%02d" + ".bin" for segment number (1-based).
std::string SegmentName(const std::string& base, int number);

/// Splits the recording at path into files of blocksPerFile records each,
/// named SegmentName(SegmentBase(path), 1, 2, …); a new file is started as
/// soon as one is full. Then shows the page that was shown before. Returns 1
/// when every segment was written.
int SplitFile(AppState& s, const std::string& path, unsigned blocksPerFile, WriteReport* report = nullptr);

/// The key that orders files for concatenation: the file name from three
/// characters before its first ".b" (X_007.bin gives 007.bin); the whole name
/// when it has no ".b" at or after its fourth character.
std::string ConcatenationKey(const std::string& path);
/// Paths in ascending order of their keys (by character code), equal keys in
/// the order given.
std::vector<std::string> SortForConcatenation(std::vector<std::string> paths);
/// OutputDirectory + the base of the first path's file name + "_CONCAT.bin".
std::string ConcatenationName(const AppState& s, const std::string& firstPath);

/// Joins every record of paths, in the order given, into outPath, each record
/// with its own header as output header (filtered when FilterOn). An input
/// that cannot be opened is left out with a message; a write error stops the
/// join. Returns the number of files joined, or -1 after an error (shown).
int ConcatenateInto(AppState& s, const std::vector<std::string>& paths, const std::string& outPath,
                    WriteReport* report = nullptr);

/// The Concatenate Files command: the multiple-selection dialog, the order,
/// the output name, the join, "%d Files Concatenated", and the page shown
/// before.
void ConcatenateFiles(AppState& s);
