#pragma once
// The settings of one channel as the header dialogs show and store them:
// five combos whose selected item is the code, five text fields, three boxes.

#include "datafile/header.h"
#include "dialogs/dialog.h"
#include "dialogs/field_check.h"

/// Characters the "Sensor SN" and "DA Offset, mV" fields show whole.
constexpr int kSensorSnChars = 16;
constexpr int kDaOffsetChars = 10;

/// Control ids of one channel's settings in a dialog.
struct ChannelControlIds {
  int label, gainMux, gainSel, lpFilter, sensorId;      // combos
  int sensorSn, orientation, angle, spacing, daOffset;  // edits
  int enabled, overRange, invert;                       // check boxes; "Over Range" is disabled
};

/// Fills the five combos with their items ("HX" …, "1", "1", "8", "40", …).
void FillChannelCombos(DialogView& view, const ChannelControlIds& ids);
/// Shows channel k (0-based) of h: combos selected by code, edits, boxes.
void ShowChannelSettings(DialogView& view, const RecorderHeader& h, int k, const ChannelControlIds& ids);
/// Stores the selection of combo id into its field of channel k. Returns false
/// when id is none of the channel's combos; a combo without a selection (a
/// code the list does not hold) leaves its field as it is.
bool StoreChannelCombo(DialogView& view, RecorderHeader& h, int k, const ChannelControlIds& ids, int id);
void StoreChannelCombos(DialogView& view, RecorderHeader& h, int k, const ChannelControlIds& ids);
/// Stores the five text fields of channel k, each replacing the whole field:
/// "Sensor SN" cut to 16 characters, "Orientation" to 1, angle and spacing as
/// whole numbers within 0 … 65535, "DA Offset, mV" as a decimal number; text
/// that is not a number stores 0.
void StoreChannelTexts(DialogView& view, RecorderHeader& h, int k, const ChannelControlIds& ids);

/// The numeric fields of one channel ("Sensor Angle", "Spacing, m", "DA Offset, mV")
/// as checked fields; owner (" of channel 3") follows each name in the messages.
void AddChannelFieldChecks(FieldChecks& checks, const ChannelControlIds& ids, const std::string& owner = "");

/// Copies text into a field of size bytes (terminator included), cut to whole
/// UTF-8 characters.
void StoreText(char* field, size_t size, const std::string& text);
