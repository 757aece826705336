#pragma once
// A started state on the headless host with a recording opened and painted,
// as the window would have it.

#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/window.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/recording_surface.h"
#include "tests/support/recordings.h"
#include "tests/support/started_state.h"

class WindowTest : public StartedStateTest {
 protected:
  std::string Write(const SynthOptions& o, const std::string& name = "page.bin") {
    return WriteRecording(dir, name, o);
  }
  void Open(const SynthOptions& o, const std::string& recordsPerPlot = "1") {
    host.AnswerOpen(Write(o), recordsPerPlot);
    ASSERT_EQ(CmdOpenFile(s), 1);
  }
  /// A repaint as the window runs it: the redraw that is due, then the paint proper.
  void Paint() {
    RedrawImage(s, image);
    window.Clear();
    PaintWindow(s, window);
  }

  RecordingSurface image{1600, 900};
  RecordingSurface window{1600, 900};
};
