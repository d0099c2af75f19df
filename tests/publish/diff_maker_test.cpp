#include "publish/diff_maker.h"

#include <gtest/gtest.h>

#include <random>

#include "delta/patch_applier.h"
#include "support/zip/memory_stream.h"

namespace {

std::string RandomBytes(std::size_t size, unsigned variant) {
  std::mt19937 random(variant);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

// Text-like bytes: words from a small vocabulary, as in code or resources.
std::string Words(std::size_t count, unsigned variant) {
  static const char* const kWords[] = {"alpha ", "beta ", "gamma\n", "delta ", "报表 ", "0x1234 "};
  std::mt19937 random(variant);
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += kWords[random() % 6];
  return out;
}

std::string Applied(const std::string& oldBytes, const std::string& patch) {
  testing_support::MemoryStream base(oldBytes), patchStream(patch), out;
  delta::ApplyPatch(base, patchStream, out);
  return out.Data();
}

struct RoundTrip {
  const char* what;
  std::string oldBytes;
  std::string newBytes;
  // The patch must be smaller than this share of the new file (1: no limit).
  double mostOfNew;
};

std::vector<RoundTrip> RoundTrips() {
  const std::string big = RandomBytes(200 * 1024, 1);
  std::string edited = big;
  for (std::size_t i = 1000; i < edited.size(); i += 20011) edited[i] = static_cast<char>(edited[i] ^ 0x5a);
  const std::string inserted = big.substr(0, 5000) + RandomBytes(300, 2) + big.substr(5000);
  const std::string deleted = big.substr(0, 70000) + big.substr(71000);
  const std::string moved = big.substr(100000) + big.substr(0, 100000);
  std::string shifted = big;  // addresses changed every 64 bytes, as after a relink
  for (std::size_t i = 0; i < shifted.size(); i += 64) shifted[i] = static_cast<char>(shifted[i] + 1);
  const std::string text = Words(40000, 3);
  return {
      {"identical", big, big, 0.01},
      {"a few bytes changed", big, edited, 0.02},
      {"bytes inserted", big, inserted, 0.02},
      {"bytes deleted", big, deleted, 0.02},
      {"halves swapped", big, moved, 0.02},
      {"one byte in 64 changed", big, shifted, 0.1},
      {"text appended", text, text + Words(100, 4), 0.05},
      {"text edited", text, text.substr(0, 9000) + "新的一行\n" + text.substr(9100), 0.05},
      {"empty base", "", big, 1.01},
      {"empty result", big, "", 1},
      {"both empty", "", "", 1},
      {"one byte", "a", "b", 1},
      {"unrelated random data", RandomBytes(5000, 5), RandomBytes(7000, 6), 1.01},
      {"repetitive", std::string(100000, 'z'), std::string(50000, 'z') + "y" + std::string(50000, 'z'), 0.02},
  };
}

TEST(MakePatch, RoundTrips) {
  for (const RoundTrip& t : RoundTrips()) {
    const std::string patch = publish::MakePatch(t.oldBytes, t.newBytes);
    EXPECT_EQ(Applied(t.oldBytes, patch), t.newBytes) << t.what;
    if (t.mostOfNew < 1) {
      EXPECT_LT(patch.size(), t.newBytes.size() * t.mostOfNew) << t.what << ": " << patch.size();
    }
  }
}

TEST(MakePatch, RandomEditsRoundTrip) {
  std::mt19937 random(11);
  for (int round = 0; round < 30; ++round) {
    const std::string oldBytes = random() % 2 ? RandomBytes(random() % 20000, round) : Words(random() % 3000, round);
    std::string newBytes = oldBytes;
    for (int edit = 0, edits = static_cast<int>(random() % 6); edit < edits; ++edit) {
      const std::size_t at = newBytes.empty() ? 0 : random() % newBytes.size();
      const std::size_t length = random() % 500;
      switch (random() % 3) {
        case 0: newBytes.insert(at, RandomBytes(length, round * 7 + edit)); break;
        case 1: newBytes.erase(at, length); break;
        default: newBytes.replace(at, std::min(length, newBytes.size() - at), Words(length / 6, edit)); break;
      }
    }
    EXPECT_EQ(Applied(oldBytes, publish::MakePatch(oldBytes, newBytes)), newBytes) << "round " << round;
  }
}

}  // namespace
