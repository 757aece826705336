// zorvan render: the page drawn by the paint pipeline into a PNG file.

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "app/file_commands.h"
#include "app/open_file.h"
#include "cli/commands.h"
#include "cli/front_end.h"
#include "cli/session.h"
#include "datafile/file_io.h"
#include "plot/paint.h"
#include "spectral/lowpass.h"

namespace {

// The display settings of the options, as the toolbar and dialogs would set them.
std::string ApplyRenderOptions(const Args& args, AppState& s, int& width, int& height) {
  if (auto t = args.Get("size")) {
    int w = 0, h = 0;
    char x = 0, rest = 0;
    if (std::sscanf(t->c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || x != 'x' || w < 100 || h < 100 || w > 20000 ||
        h > 20000)
      return "--size takes WIDTHxHEIGHT in pixels, each from 100 to 20000";
    width = w;
    height = h;
  }
  if (auto t = args.Get("filter")) {
    long long corner = 0;
    int index = 0;
    if (ParseInt(*t, corner))
      for (int i = 1; i <= 6; ++i)
        if (LowPassCornerSamples(i) == corner) index = i;
    if (!index) return "--filter takes a corner of 5, 10, 20, 50, 100 or 200 samples";
    s.LowPassCorner = index;
    s.FilterOn = 1;
  }
  if (auto t = args.Get("fit-order")) {
    long long order = 0;
    if (!ParseInt(*t, order) || order < 1 || order > 20) return "--fit-order takes a whole number from 1 to 20";
    s.FitOrder = static_cast<int>(order);
  }
  if (args.Has("subtract-poly")) s.SubtractPolyOn = 1;
  std::string mode = args.Get("mode").value_or("time");
  if (mode == "fourier") {
    s.FourierOn = 1;
    s.LogY = 1;
  } else if (mode == "mt") {
    s.FourierOn = 1;
    s.AppResOn = 1;
    s.LogY = 1;
  } else if (mode != "time") {
    return "--mode takes time, fourier or mt";
  }
  return {};
}

}  // namespace

int RunRender(const Args& args) {
  if (args.positional().size() != 1) return Fail("render: give one recorder file (see zorvan render --help)");
  auto out = args.Get("out");
  if (!out || out->empty()) return Fail("render: give the image file with --out PAGE.png");
  PageOptions page;
  if (std::string e = ReadPageOptions(args, page); !e.empty()) return Fail("render: " + e);
  const FrontEnd& front_end = InstalledFrontEnd();
  if (!front_end.render_png) return Fail("render: this build has no Qt, which draws the image");
  Session session;
  AppState& s = session.state;
  int width = 1600, height = 900;
  if (std::string e = ApplyRenderOptions(args, s, width, height); !e.empty()) return Fail("render: " + e);
  const std::string path = args.positional()[0];
  if (!session.Open(path, page)) return Fail("render: " + session.OpenFailure(path));
  if (page.record > 1 && !LoadPageAt(s, page.record - 1))
    return Fail("render: " + path + " has no record " + std::to_string(page.record));
  if (s.NumPlotPoints == 0) return Fail("render: " + path + " has no samples to draw on that page");
  const std::vector<uint8_t> png = front_end.render_png(s, width, height);
  if (png.empty()) return Fail("render: the page could not be encoded as PNG");
  if (std::string why = WriteCheckedFile(s, *out, png.data(), png.size()); !why.empty()) return Fail("render: " + why);
  std::cout << "Wrote " << *out << ": " << width << "x" << height << ", records " << s.CurrentRecord + 1 << " to "
            << s.CurrentRecord + s.NumPlotPoints / std::max(1, s.SampsPerBlock) << " of " << path << "\n";
  return 0;
}

const CliCommand kRenderCommand{
    "render",
    "draw a page of a recording into a PNG image",
    "Usage: zorvan render FILE --out PAGE.png [options]\n"
    "Draws the page as the window does (time series, spectra or MT estimates) into a PNG file.\n\nOptions:\n"
    "  --out PAGE.png        the image to write\n"
    "  --size WxH            image size in pixels (default 1600x900)\n"
    "  --mode MODE           time, fourier or mt (default time)\n"
    "  --filter CORNER       display low-pass filter with a corner of 5, 10, 20, 50, 100 or 200 samples\n"
    "  --subtract-poly       subtract a polynomial trend from each time series\n"
    "  --fit-order P         order of that polynomial, 1 to 20 (default 3)\n"
    "  --record N            first record of the page, 1-based (default 1)\n"
    "  --records-per-plot R  records joined into the page (default 1)\n"
    "  --lemi DIR            folder of the coil response files (default: LEMI beside FILE, then ./LEMI)\n",
    {"subtract-poly"},
    {"out", "size", "mode", "filter", "subtract-poly", "fit-order", "record", "records-per-plot", "lemi"},
    RunRender};
