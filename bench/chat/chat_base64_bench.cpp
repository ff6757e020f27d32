// chat_base64_bench: throughput of the inbound base64 decoder (custom-element data to payload
// bytes) against a plain table-driven decoder written here, on 1 KB and 64 KB payloads, the two
// run alternately; the figure is the median of the per-pair ratios with its range.
//
//   chat_base64_bench [iterations-per-run [pairs]]      (--help for the usage)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "base64_decode.h"
#include "base64_encode.h"
#include "bench_args.h"
#include "paired_ratio.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The baseline: one 256-entry table, four characters to three bytes, stop at '=' or any
// character outside the alphabet.
std::string TableDecode(const std::string& text) {
  static const auto table = [] {
    struct T {
      int8_t v[256];
    } t{};
    for (int i = 0; i < 256; ++i) t.v[i] = -1;
    for (int i = 0; i < 64; ++i) t.v[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return t;
  }();
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    const int v = table.v[static_cast<uint8_t>(c)];
    if (v < 0) break;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return out;
}

template <typename Decode>
double MegabytesPerSecond(const std::string& text, int iterations, Decode decode, size_t* sink) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < iterations; ++i) *sink += decode(text).size();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return static_cast<double>(text.size()) * iterations / seconds / 1e6;
}

}  // namespace

constexpr char kUsage[] =
    "chat_base64_bench [iterations-per-run [pairs]]\n"
    "  iterations-per-run  1..100000000, default 20000 (a 64th of it for 64 KB payloads)\n"
    "  pairs               1..1000, default 9 (table and KuvoChat runs interleaved)\n"
    "Prints the MB/s of KuvoChat's inbound decoder and of a table-driven decoder for 1 KB and\n"
    "64 KB payloads, and KuvoChat / table as the median of the per-pair ratios with its range;\n"
    "exits 1 when the decoders disagree.\n";

int main(int argc, char** argv) {
  kuvo_bench::BenchArgs args(argc, argv, kUsage);
  kuvo_bench::NumberArg iterations_arg{"iterations-per-run", 20000, 1, 100000000};
  kuvo_bench::NumberArg pairs_arg{"pairs", 9, 1, 1000};
  args.Parse({&iterations_arg, &pairs_arg});
  const int iterations = static_cast<int>(iterations_arg.value);
  const int pairs = static_cast<int>(pairs_arg.value);
  std::mt19937 random(7);
  size_t sink = 0;
  std::printf("%-10s %14s %14s   %s\n", "payload", "table MB/s", "KuvoChat MB/s",
              "KuvoChat/table [range]");
  for (size_t size : {size_t{1024}, size_t{65536}}) {
    std::string payload(size, '\0');
    for (char& c : payload) c = static_cast<char>(random() & 0xFF);
    const std::string text = kuvochat::Base64Encode(payload);
    if (kuvochat::Base64Decode(text) != payload || TableDecode(text) != payload) {
      std::fprintf(stderr, "decoders disagree on a %zu-byte payload\n", size);
      return 1;
    }
    const int n = size > 4096 ? std::max(1, iterations / 64) : iterations;
    const kuvo_bench::PairedRatio r = kuvo_bench::Interleave(
        pairs, [&] { return MegabytesPerSecond(text, n, TableDecode, &sink); },
        [&] {
          return MegabytesPerSecond(
              text, n, [](const std::string& t) { return kuvochat::Base64Decode(t); }, &sink);
        });
    std::printf("%-10zu %14.1f %14.1f   %.2f [%.2f-%.2f]\n", size, r.baseline_rate, r.subject_rate,
                r.ratio.median, r.ratio.low, r.ratio.high);
  }
  return sink == 0 ? 1 : 0;
}
