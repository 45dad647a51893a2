// Listing errors injected into the sweep: this test binary's readdir fails on request, and every
// other caller in the binary gets the system's readdir.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fstream>

#include "common/testing/scratch_folder.h"
#include "service/file_cleanup.h"

namespace {

// Entries still read successfully before readdir fails with EIO; negative: never fails.
std::atomic<int> entriesBeforeFailure{-1};

}  // namespace

extern "C" struct dirent* readdir(DIR* folder) {
  using Readdir = struct dirent* (*)(DIR*);
  static const auto systemReaddir = reinterpret_cast<Readdir>(::dlsym(RTLD_NEXT, "readdir"));
  if (entriesBeforeFailure.load() == 0) {
    errno = EIO;
    return nullptr;
  }
  if (entriesBeforeFailure.load() > 0) --entriesBeforeFailure;
  return systemReaddir(folder);
}

namespace kx {
namespace {

namespace fs = std::filesystem;

class FailingListing : public ::testing::Test {
 protected:
  FailingListing() {
    for (const char* name : {"a.kml", "b.kmz", "c.kml", "d.kmz"}) {
      std::ofstream(folder_ / name) << "x";
      fs::last_write_time(folder_ / name, now_ - std::chrono::hours(5));
    }
  }
  ~FailingListing() override { entriesBeforeFailure = -1; }

  [[nodiscard]] int Remaining() const {
    return static_cast<int>(std::distance(fs::directory_iterator(folder_), {}));
  }

  kx::testing::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
  const fs::file_time_type now_ = fs::file_time_type::clock::now();
};

TEST_F(FailingListing, FailureAtTheFirstEntryEndsTheSweepQuietly) {
  entriesBeforeFailure = 0;
  DeleteOldFiles(folder_, std::chrono::hours(1), now_);
  entriesBeforeFailure = -1;
  EXPECT_EQ(Remaining(), 4);
}

TEST_F(FailingListing, FailureHalfWayKeepsWhatWasSweptAndTheNextSweepFinishes) {
  entriesBeforeFailure = 3;  // ".", ".." and one file in some order, then the error
  DeleteOldFiles(folder_, std::chrono::hours(1), now_);
  entriesBeforeFailure = -1;
  EXPECT_GE(Remaining(), 2);
  DeleteOldFiles(folder_, std::chrono::hours(1), now_);
  EXPECT_EQ(Remaining(), 0);
}

}  // namespace
}  // namespace kx
