#include <gtest/gtest.h>
#include <sys/stat.h>

#include <system_error>

#include "common/testing/scratch_folder.h"
#include "web/body_file.h"

namespace kx::web {
namespace {

TEST(BodyFilePosix, NamedPipesAreRefusedWithoutBlocking) {
  kx::testing::ScratchFolder scratch;
  const std::filesystem::path fifo = scratch.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW((void)BodyFile::Open(fifo), std::system_error);
}

}  // namespace
}  // namespace kx::web
