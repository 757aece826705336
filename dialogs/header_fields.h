#pragma once
// The header's fields as the File Information dialog shows them: control id,
// label and formatted text, in the dialog's order.

#include <string>
#include <vector>

#include "datafile/header.h"
#include "util/text.h"

struct HeaderFieldText {
  int controlId;
  std::string label;
  std::string text;
};

/// Recorder-level fields ("Talvik SN" … "GPS Locked"; the check box reads "1" or "0").
std::vector<HeaderFieldText> RecorderFieldTexts(const RecorderHeader& h);

/// The settings of channel k (0-based) with the texts of the dialog's controls.
std::vector<HeaderFieldText> ChannelFieldTexts(const RecorderHeader& h, int k);

/// printf into a std::string.
