#include "app/mouse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/app/window_fixture.h"

namespace {

std::string Fmt(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

class MouseTest : public WindowTest {
 protected:
  // A page of few points across the panel, so a pixel falls between two samples.
  void OpenSparse(const std::string& labels = "Hx,Hy,Ex,Ey") {
    Open(SmallRecording(1, labels));
    s.AutoscaleAll = 0;
    s.XMin = 0.0;
    s.XMax = 0.010;  // ten samples at 1000 Hz
    Paint();
  }
  int PixelOf(double x) {
    return s.PlotLeft + static_cast<int>(std::trunc((x - s.XMin) * s.PlotWidth / (s.XMax - s.XMin)));
  }
  double XOf(int px) { return s.XMin + (px - s.PlotLeft) * (s.XMax - s.XMin) / s.PlotWidth; }
  std::vector<RecordedLine> BlueLines(const RecordingSurface& surface) {
    std::vector<RecordedLine> out;
    for (const auto& l : surface.lines)
      if (l.pen.color == kBlue && l.pen.width == 2) out.push_back(l);
    return out;
  }
  int Mid(int panel) { return s.PanelTop[panel] + s.PanelHeight / 2; }
};

TEST_F(MouseTest, ClickBeforeAnyFileDoesNothing) {
  MouseButtonDown(s, window, 500, 400);
  MouseButtonUp(s, 500, 400);
  EXPECT_EQ(s.LastClick[0], 0);
  EXPECT_EQ(host.invalidations, 0);
  EXPECT_TRUE(host.statusHistory.empty());
  EXPECT_TRUE(window.lines.empty());
}

TEST_F(MouseTest, ClickSnapsToTheLaterSampleAndShowsTheClickedTime) {
  OpenSparse();
  // A pixel strictly between samples 4 and 5.
  const int x = PixelOf(0.0045);
  const double X = XOf(x);
  ASSERT_GT(X, 0.004);
  ASSERT_LT(X, 0.005);
  window.Clear();
  s.RedrawAll = 1;
  MouseButtonDown(s, window, x, Mid(1));
  EXPECT_EQ(s.ZoomChannel, 1);
  EXPECT_EQ(s.CursorIndex, 5);
  EXPECT_EQ(s.RedrawAll, 0);  // the next paint only copies the image
  EXPECT_EQ(host.status[4], Fmt("%8.3f secs", X));
  EXPECT_EQ(host.status[5], Fmt("Y  %8.3f", s.yplotdata[1][5]));
  EXPECT_EQ(host.status[2], "12/07/2026");
  EXPECT_EQ(host.status[3], FormatTime(ShownTime(s, X)));
  // The cross stands on sample 5 of the second panel.
  auto cross = BlueLines(window);
  ASSERT_EQ(cross.size(), 2u);
  EXPECT_EQ(cross[0].x0, PixelOf(0.005));
  EXPECT_EQ(cross[0].x1, PixelOf(0.005));
  EXPECT_EQ(cross[0].y1 - cross[0].y0, 2 * (s.PanelHeight / 10));
  EXPECT_GE(cross[1].y0, s.PanelTop[1]);
  EXPECT_LE(cross[1].y0, s.PanelTop[1] + s.PanelHeight);
  // The paint after the click draws it again at the same place.
  Paint();
  EXPECT_EQ(BlueLines(window)[0].x0, PixelOf(0.005));
  EXPECT_EQ(s.CursorIndex, 5);
}

TEST_F(MouseTest, ClickLeftOfThePanelIsOnItsLeftEdge) {
  OpenSparse();
  MouseButtonDown(s, window, 3, Mid(0));
  EXPECT_EQ(s.ZoomChannel, 0);
  EXPECT_EQ(s.CursorIndex, 1);
  EXPECT_EQ(host.status[4], Fmt("%8.3f secs", 0.0));
}

TEST_F(MouseTest, ClickInTheFirstPanelWithChannelZeroDisabledSelectsChannelOne) {
  OpenSparse("-,Hy,Ex");
  MouseButtonDown(s, window, PixelOf(0.003), Mid(0));
  EXPECT_EQ(s.ZoomChannel, 1);
  EXPECT_EQ(host.status[5], Fmt("Y  %8.3f", s.yplotdata[1][3]));
  MouseButtonDown(s, window, PixelOf(0.003), Mid(1));
  EXPECT_EQ(s.ZoomChannel, 2);
}

TEST_F(MouseTest, ArrowKeysMoveOnePointPerRepaint) {
  OpenSparse();
  MouseButtonDown(s, window, PixelOf(0.0045), Mid(0));
  ASSERT_EQ(s.CursorIndex, 5);
  int invalidations = host.invalidations;
  KeyDown(s, kKeyRight);
  KeyDown(s, kKeyRight);  // a key repeat before the paint is ignored
  EXPECT_EQ(s.CursorIndex, 6);
  EXPECT_EQ(host.invalidations, invalidations + 1);
  Paint();
  EXPECT_EQ(s.CursorIndex, 6);
  // The sample's own time.
  EXPECT_EQ(host.status[4], Fmt("%8.3f secs", s.PlotX[6]));
  EXPECT_EQ(BlueLines(window)[0].x0, PixelOf(s.PlotX[6]));
  EXPECT_EQ(s.KeyHandled, 0);
  KeyDown(s, kKeyLeft);
  Paint();
  KeyDown(s, kKeyLeft);
  Paint();
  EXPECT_EQ(s.CursorIndex, 4);
  // Stops at the ends of the page.
  s.CursorIndex = s.PlotCount - 1;
  KeyDown(s, kKeyRight);
  EXPECT_EQ(s.CursorIndex, s.PlotCount - 1);
}

TEST_F(MouseTest, ZoomDragSetsTheLimitsAndLeavesZoomMode) {
  Open(SmallRecording(1));
  Paint();
  CmdToggleZoom(s);
  Paint();
  const double xmin = s.XMin, xmax = s.XMax, ymin = s.YMinChan[2], ymax = s.YMaxChan[2];
  const int T = s.PanelTop[2], H = s.PanelHeight, left = s.PlotLeft, W = s.PlotWidth;
  const int x1 = left + 100, x2 = left + 400, y1 = T + 10, y2 = T + H - 20;
  MouseButtonDown(s, window, x1, y1);
  EXPECT_EQ(s.ZoomDragging, 1);
  EXPECT_EQ(s.RedrawAll, 0);
  MouseMove(s, x2, y2);
  EXPECT_EQ(s.ZoomRect[2], x2);
  // While dragging the paint copies the image and draws the rubber band only.
  EXPECT_FALSE(RedrawImage(s, image));
  window.Clear();
  PaintWindow(s, window);
  EXPECT_FALSE(window.lines.empty());
  EXPECT_TRUE(BlueLines(window).empty());
  MouseButtonUp(s, x2, y2);
  EXPECT_EQ(s.ZoomChannel, 2);
  EXPECT_DOUBLE_EQ(s.XMin, xmin + 100 * (xmax - xmin) / W);
  EXPECT_DOUBLE_EQ(s.XMax, xmin + 400 * (xmax - xmin) / W);
  EXPECT_DOUBLE_EQ(s.YMinManual[2], ymin + 20 * (ymax - ymin) / H);
  EXPECT_DOUBLE_EQ(s.YMaxManual[2], ymin + (H - 10) * (ymax - ymin) / H);
  EXPECT_EQ(s.ZoomMode, 0);
  EXPECT_EQ(s.ZoomDragging, 0);
  EXPECT_EQ(s.Zoomed, 1);
  EXPECT_EQ(s.RedrawAll, 1);
  EXPECT_FALSE(host.pressed[kCmdZoom]);
  // The redraw keeps the zoomed X range.
  const double zx1 = s.XMin, zx2 = s.XMax;
  Paint();
  EXPECT_NEAR(s.XMin, zx1, 1e-12);
  EXPECT_NEAR(s.XMax, zx2, 1e-12);
}

TEST_F(MouseTest, BackwardDragIsNormalised) {
  Open(SmallRecording(1));
  Paint();
  const double xmin = s.XMin, xmax = s.XMax;
  const int T = s.PanelTop[0], left = s.PlotLeft;
  CmdToggleZoom(s);
  MouseButtonDown(s, window, left + 400, T + 90);
  MouseMove(s, left + 100, T + 10);
  MouseButtonUp(s, left + 100, T + 10);
  EXPECT_LT(s.ZoomX1, s.ZoomX2);
  EXPECT_LT(s.ZoomY1, s.ZoomY2);
  EXPECT_DOUBLE_EQ(s.XMin, xmin + 100 * (xmax - xmin) / s.PlotWidth);
  EXPECT_EQ(s.ZoomRect[0], left + 100);
  EXPECT_EQ(s.ZoomRect[3], T + 90);
}

TEST_F(MouseTest, ZeroSizeRectangleIsIgnored) {
  Open(SmallRecording(1));
  Paint();
  const double xmin = s.XMin, xmax = s.XMax;
  const int T = s.PanelTop[0], left = s.PlotLeft;
  CmdToggleZoom(s);
  // A click without a drag, then a drag of no height.
  MouseButtonDown(s, window, left + 200, T + 50);
  MouseButtonUp(s, left + 200, T + 50);
  MouseButtonDown(s, window, left + 200, T + 50);
  MouseMove(s, left + 300, T + 50);
  MouseButtonUp(s, left + 300, T + 50);
  EXPECT_EQ(s.ZoomMode, 1);
  EXPECT_EQ(s.ZoomDragging, 0);
  EXPECT_EQ(s.Zoomed, 0);
  EXPECT_EQ(s.XMin, xmin);
  EXPECT_EQ(s.XMax, xmax);
  EXPECT_TRUE(host.pressed[kCmdZoom]);
}

TEST_F(MouseTest, ControlClickInZoomModeAddsMarkersUpToAHundred) {
  OpenSparse();
  CmdToggleZoom(s);
  KeyDown(s, kKeyControl);
  MouseButtonDown(s, window, PixelOf(0.0025), Mid(0));
  MouseButtonUp(s, PixelOf(0.0025), Mid(0));
  ASSERT_EQ(s.MarkerCount, 1);
  EXPECT_EQ(s.Markers[0], 3);  // the later sample, as a click snaps
  EXPECT_EQ(s.ZoomMode, 1);    // no zoom from a click
  for (int i = 0; i < 120; ++i) {
    MouseButtonDown(s, window, PixelOf(0.0065), Mid(0));
    MouseButtonUp(s, PixelOf(0.0065), Mid(0));
  }
  EXPECT_EQ(s.MarkerCount, kMaxMarkers);
  EXPECT_EQ(s.Markers[kMaxMarkers - 1], 7);
  KeyUp(s, kKeyControl);
  EXPECT_EQ(s.CtrlDown, 0);
  // Without Control a zoom-mode click adds none.
  MouseButtonDown(s, window, PixelOf(0.0025), Mid(0));
  EXPECT_EQ(s.MarkerCount, kMaxMarkers);
}

TEST_F(MouseTest, MarkersAreDrawnAfterEveryPaintAndTheLastFollowsTheArrowKeys) {
  OpenSparse();
  CmdToggleZoom(s);
  s.CtrlDown = 1;
  for (double x : {0.0025, 0.0065}) {
    MouseButtonDown(s, window, PixelOf(x), Mid(2));
    MouseButtonUp(s, PixelOf(x), Mid(2));
  }
  s.CtrlDown = 0;
  ASSERT_EQ(s.MarkerCount, 2);
  // Markers are not drawn in zoom mode.
  Paint();
  EXPECT_TRUE(BlueLines(window).empty());
  CmdToggleZoom(s);
  s.AutoscaleAll = 0;
  s.XMin = 0.0;
  s.XMax = 0.010;
  Paint();
  // Both markers on the first panel; no cursor cross, since nothing was clicked in normal mode.
  auto lines = BlueLines(window);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].x0, PixelOf(s.PlotX[3]));
  EXPECT_EQ(lines[2].x0, PixelOf(s.PlotX[7]));
  EXPECT_GE(lines[2].y0, s.PanelTop[0] - s.PanelHeight / 10);
  EXPECT_LE(lines[2].y1, s.PanelTop[0] + s.PanelHeight + s.PanelHeight / 10);
  EXPECT_EQ(s.LastClick[0], PixelOf(s.PlotX[7]));
  EXPECT_EQ(host.status[4], Fmt("%8.3f secs", s.PlotX[7]));
  KeyDown(s, kKeyRight);
  EXPECT_EQ(s.Markers[0], 3);
  EXPECT_EQ(s.Markers[1], 8);
  Paint();
  EXPECT_EQ(host.status[4], Fmt("%8.3f secs", s.PlotX[8]));
}

TEST_F(MouseTest, MarkersBeyondAShorterPageAreNotDrawn) {
  OpenSparse();
  s.Markers[0] = s.PlotCount + 50;
  s.MarkerCount = 1;
  Paint();
  EXPECT_TRUE(BlueLines(window).empty());  // no cross before a click places one
  MouseButtonDown(s, window, PixelOf(0.0025), Mid(0));
  Paint();
  EXPECT_EQ(BlueLines(window).size(), 2u);  // the cursor only
}

TEST_F(MouseTest, ReadoutIsNotRedrawnWhileControlIsHeld) {
  OpenSparse();
  MouseButtonDown(s, window, PixelOf(0.0045), Mid(0));
  KeyDown(s, kKeyControl);
  Paint();
  EXPECT_TRUE(BlueLines(window).empty());
  KeyUp(s, kKeyControl);
  Paint();
  EXPECT_EQ(BlueLines(window).size(), 2u);
}

// ---- Readout of spectra and MT estimates -------------------------------

class SpectralReadoutTest : public MouseTest {
 protected:
  // The pixel column of frequency f on the log X axis as drawn.
  int LogPixelOf(double f) {
    return s.PlotLeft + static_cast<int>(std::trunc((std::log10(f) - std::log10(s.XMin)) * s.PlotWidth /
                                                    (std::log10(s.XMax) - std::log10(s.XMin))));
  }
};

TEST_F(SpectralReadoutTest, AClickOnASpectrumReadsTheNearestBinThroughTheLogAxis) {
  Open(SmallRecording(1));
  CmdToggleFourier(s);
  s.LogX = 1;
  Paint();
  ASSERT_TRUE(s.FourierOn);
  const double df = s.PlotX[1];
  ASSERT_GT(df, 0);
  // Between bins 1 and 2, nearer to 2 on the log axis (above the geometric
  // mean 1.414 df) but nearer to 1 on a linear one (below 1.5 df).
  const int x = LogPixelOf(1.46 * df);
  MouseButtonDown(s, window, x, Mid(0));
  EXPECT_EQ(s.CursorIndex, 2);
  EXPECT_EQ(host.status[4], Fmt("%.5g Hz", s.PlotX[2]));
  EXPECT_EQ(host.status[5], Fmt("Y  %.5g", s.yplotdata[0][2]));
  EXPECT_EQ(host.status[2], "");
  EXPECT_EQ(host.status[3], "");
  auto cross = BlueLines(window);
  ASSERT_EQ(cross.size(), 2u);
  EXPECT_NEAR(cross[0].x0, LogPixelOf(s.PlotX[2]), 1);
  // The cross stands on the value as the log Y axis draws it.
  const double y = s.yplotdata[0][2];
  const double lo = std::log10(s.YMinChan[0]), hi = std::log10(s.YMaxChan[0]);
  const int py = s.PanelTop[0] + s.PanelHeight - static_cast<int>((std::log10(y) - lo) * s.PanelHeight / (hi - lo));
  EXPECT_NEAR(cross[1].y0, py, 1);

  // The paint keeps the cross, and the arrow keys step bin by bin, never to 0 Hz.
  Paint();
  EXPECT_EQ(BlueLines(window).size(), 2u);
  KeyDown(s, kKeyLeft);
  Paint();
  EXPECT_EQ(s.CursorIndex, 1);
  KeyDown(s, kKeyLeft);
  Paint();
  EXPECT_EQ(s.CursorIndex, 1);
  EXPECT_EQ(host.status[4], Fmt("%.5g Hz", df));
  // A click left of the panel reads the lowest bin drawn.
  MouseButtonDown(s, window, 2, Mid(1));
  EXPECT_EQ(s.CursorIndex, 1);
}

TEST_F(SpectralReadoutTest, MarkersOnASpectrumSnapTheSameWay) {
  Open(SmallRecording(1));
  CmdToggleFourier(s);
  s.LogX = 1;
  Paint();
  const double df = s.PlotX[1];
  CmdToggleZoom(s);
  s.CtrlDown = 1;
  MouseButtonDown(s, window, LogPixelOf(1.46 * df), Mid(0));
  MouseButtonUp(s, LogPixelOf(1.46 * df), Mid(0));
  s.CtrlDown = 0;
  ASSERT_EQ(s.MarkerCount, 1);
  EXPECT_EQ(s.Markers[0], 2);
  s.ZoomMode = 0;
  Paint();
  EXPECT_EQ(host.status[4], Fmt("%.5g Hz", s.PlotX[2]));
}

TEST_F(SpectralReadoutTest, MtPanelsReadFrequencyAndValue) {
  SynthOptions o = SmallRecording(4);
  Open(o, "4");
  CmdToggleAppRes(s);
  Paint();
  ASSERT_TRUE(s.AppResOn);
  ASSERT_GT(s.PlotCount, 2);
  const int band = s.PlotCount / 2;
  MouseButtonDown(s, window, LogPixelOf(s.PlotX[static_cast<size_t>(band)]) + 1, Mid(1));
  EXPECT_EQ(s.ZoomChannel, 1);
  EXPECT_EQ(s.CursorIndex, band);
  EXPECT_EQ(host.status[4], Fmt("%.5g Hz", s.PlotX[static_cast<size_t>(band)]));
  EXPECT_EQ(host.status[5], Fmt("Y  %.5g", s.ZZ[1][static_cast<size_t>(band)]));
  EXPECT_EQ(host.status[3], "");
}

// ---- Zoom -------------------------------------------------------------------

TEST_F(MouseTest, ZoomHoldsWithAutoscaleOnAndEscapeOrResetUndoIt) {
  Open(SmallRecording(1));
  Paint();
  ASSERT_TRUE(AutoscaleFullyOn(s));
  const double xmax = s.XMax;
  const int T = s.PanelTop[1], left = s.PlotLeft;
  CmdToggleZoom(s);
  MouseButtonDown(s, window, left + 200, T + 20);
  MouseMove(s, left + 600, T + 80);
  MouseButtonUp(s, left + 600, T + 80);
  const double x1 = s.XMin, x2 = s.XMax, y1 = s.ZoomY1, y2 = s.ZoomY2;
  EXPECT_EQ(s.AutoscaleAll, 0);
  EXPECT_EQ(s.AutoscaleChan[1], 0);
  EXPECT_EQ(s.AutoscaleChan[0], 1);
  EXPECT_FALSE(host.pressed[kCmdAutoscale]);
  Paint();
  // Every panel takes the X range; the panel of the drag its Y range too.
  EXPECT_DOUBLE_EQ(s.XMin, x1);
  EXPECT_DOUBLE_EQ(s.XMax, x2);
  EXPECT_DOUBLE_EQ(s.YMinChan[1], y1);
  EXPECT_DOUBLE_EQ(s.YMaxChan[1], y2);

  KeyDown(s, kKeyEscape);
  Paint();
  EXPECT_EQ(s.Zoomed, 0);
  EXPECT_TRUE(AutoscaleFullyOn(s));
  EXPECT_TRUE(host.pressed[kCmdAutoscale]);
  EXPECT_DOUBLE_EQ(s.XMax, xmax);

  CmdToggleZoom(s);
  MouseButtonDown(s, window, left + 200, T + 20);
  MouseMove(s, left + 600, T + 80);
  MouseButtonUp(s, left + 600, T + 80);
  Paint();
  ASSERT_LT(s.XMax, xmax);
  RunCommand(s, kCmdReset, window);
  Paint();
  EXPECT_DOUBLE_EQ(s.XMax, xmax);
  EXPECT_TRUE(host.pressed[kCmdAutoscale]);
}

TEST_F(MouseTest, ZoomWithAutoscaleOffAndADragBeyondThePanel) {
  Open(SmallRecording(1));
  CmdToggleAutoscale(s);  // off: the first redraw's limits stay fixed
  s.AutoscaleAll = 1;
  Paint();
  s.AutoscaleAll = 0;
  const double xmin = s.XMin, xmax = s.XMax, ymin = s.YMinChan[0], ymax = s.YMaxChan[0];
  const int T = s.PanelTop[0], H = s.PanelHeight, left = s.PlotLeft, W = s.PlotWidth;
  CmdToggleZoom(s);
  // From inside the first panel to beyond its bottom and past the right edge.
  MouseButtonDown(s, window, left + W / 2, T + H / 2);
  MouseMove(s, left + W + 50, T + H + 300);
  MouseButtonUp(s, left + W + 50, T + H + 300);
  EXPECT_EQ(s.ZoomChannel, 0);
  EXPECT_NEAR(s.XMin, xmin + 0.5 * (xmax - xmin), (xmax - xmin) / W);
  EXPECT_DOUBLE_EQ(s.XMax, xmax);
  EXPECT_DOUBLE_EQ(s.YMinManual[0], ymin);
  Paint();
  EXPECT_DOUBLE_EQ(s.YMinChan[0], ymin);
  EXPECT_NEAR(s.YMaxChan[0], ymin + 0.5 * (ymax - ymin), (ymax - ymin) / H);

  // A drag that starts outside every panel zooms nothing.
  CmdToggleZoom(s);
  MouseButtonDown(s, window, left + 100, 2);
  MouseMove(s, left + 300, T + 50);
  MouseButtonUp(s, left + 300, T + 50);
  EXPECT_EQ(s.Zoomed, 0);
  EXPECT_EQ(s.ZoomMode, 1);
}

TEST_F(MouseTest, ZoomOnALogFrequencyAxisAndAModeChangeEndsIt) {
  Open(SmallRecording(1));
  CmdToggleFourier(s);
  s.LogX = 1;
  Paint();
  const double lo = std::log10(s.XMin), hi = std::log10(s.XMax);
  const int T = s.PanelTop[0], left = s.PlotLeft, W = s.PlotWidth;
  CmdToggleZoom(s);
  MouseButtonDown(s, window, left + W / 4, T + 10);
  MouseMove(s, left + W / 2, T + 60);
  MouseButtonUp(s, left + W / 2, T + 60);
  EXPECT_NEAR(std::log10(s.XMin), lo + (W / 4) * (hi - lo) / W, 1e-9);
  EXPECT_NEAR(std::log10(s.XMax), lo + (W / 2) * (hi - lo) / W, 1e-9);
  EXPECT_GT(s.YMinManual[0], 0);  // read through the log Y axis
  Paint();
  EXPECT_NEAR(std::log10(s.XMin), lo + (W / 4) * (hi - lo) / W, 1e-9);

  CmdToggleFourier(s);
  EXPECT_EQ(s.Zoomed, 0);
  EXPECT_TRUE(AutoscaleFullyOn(s));
  Paint();
  EXPECT_DOUBLE_EQ(s.XMin, 0.0);  // the page's own time range
}

TEST_F(MouseTest, AZoomBetweenTwoSamplesDrawsTheSegmentAcrossIt) {
  OpenSparse();
  s.XMin = 0.0041;
  s.XMax = 0.0049;
  image.Clear();
  s.RedrawAll = 1;
  Paint();
  const int T = s.PanelTop[0], B = T + s.PanelHeight;
  int inside = 0;
  for (const auto& l : image.lines)
    if (l.pen.color == kBlack && l.pen.width <= 1 && l.x0 == s.PlotLeft && l.x1 == s.PlotLeft + s.PlotWidth &&
        l.y0 >= T && l.y0 <= B)
      ++inside;
  EXPECT_EQ(inside, 1);  // samples 4 and 5 of the first panel, joined across it
}

// ---- Another file -----------------------------------------------------------

TEST_F(MouseTest, OpeningAnotherFileClearsTheCrossAndTheMarkers) {
  OpenSparse();
  MouseButtonDown(s, window, PixelOf(0.0045), Mid(0));
  s.Markers[0] = 3;
  s.MarkerCount = 1;
  Paint();
  ASSERT_EQ(BlueLines(window).size(), 4u);
  Open(SmallRecording(2), "1");
  Paint();
  EXPECT_TRUE(BlueLines(window).empty());
  EXPECT_EQ(s.MarkerCount, 0);
  EXPECT_EQ(s.CursorShown, 0);
}

}  // namespace
