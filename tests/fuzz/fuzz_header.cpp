// The header decoder: any 1024 bytes decode, in bounded time, and the encoding
// of a decoded header is stable (encode, decode, encode gives the same bytes).

#include <cstdlib>
#include <cstring>

#include "datafile/header.h"
#include "datafile/record_time.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t raw[kHeaderBytes] = {};
  std::memcpy(raw, data, size < sizeof raw ? size : sizeof raw);

  RecorderHeader h{};
  DecodeHeader(raw, h);
  ComputeGains(h);
  (void)BlockBytes(h);
  (void)FormatDate(h.StartTime);
  (void)FormatTime(h.StartTime);
  (void)KnownRateCode(h.SampleRate);

  uint8_t once[kHeaderBytes];
  std::memcpy(once, raw, sizeof once);
  EncodeHeaderAsIs(once, h);
  RecorderHeader again{};
  DecodeHeader(once, again);
  uint8_t twice[kHeaderBytes];
  std::memcpy(twice, once, sizeof twice);
  EncodeHeaderAsIs(twice, again);
  if (std::memcmp(once, twice, sizeof once) != 0) std::abort();

  // The writers' compacting encoder with the header as its own output header.
  uint8_t compact[kHeaderBytes];
  std::memcpy(compact, raw, sizeof compact);
  RecorderHeader out = h;
  EncodeHeader(compact, h, out);
  RecorderHeader back{};
  DecodeHeader(compact, back);
  if (CountEnabled(back) != CountEnabled(h) || back.SampleRate != out.SampleRate) std::abort();

  // Calendar arithmetic on what the header holds: constant time, or refused.
  if (size >= kHeaderBytes + sizeof(double)) {
    double offset;
    std::memcpy(&offset, data + kHeaderBytes, sizeof offset);
    RecordTime t = h.StartTime;
    AddSeconds(t, offset);
    (void)FormatDate(t);
  }
  return 0;
}
