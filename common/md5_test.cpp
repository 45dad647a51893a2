#include "common/md5.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(Md5, Rfc1321Vectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
  };
  for (const auto& [input, digest] : vectors) EXPECT_EQ(Md5Hex(Md5Of(input)), digest) << input;
}

TEST(Md5, UpdatesSplitAtEveryOffsetGiveTheWholeDigest) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += static_cast<char>(i * 7);
  const Md5Digest whole = Md5Of(text);
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    Md5 md5;
    md5.Update(std::string_view(text).substr(0, cut));
    md5.Update(std::string_view(text).substr(cut));
    ASSERT_EQ(md5.Final(), whole) << cut;
  }
}

}  // namespace
}  // namespace kx
