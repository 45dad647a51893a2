#include "pages/page_images.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kx {
namespace {

class PageImagesTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("kx_page_images_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void Touch(const char* name) { std::ofstream(folder_ / name) << "png"; }

  std::filesystem::path folder_;
};

TEST_F(PageImagesTest, NothingWithoutTheImageEvenWithItsBackground) {
  EXPECT_EQ(PageImageBlock(folder_, "headerIMG"), "");
  Touch("headerIMG_b.png");
  EXPECT_EQ(PageImageBlock(folder_, "headerIMG"), "");
}

TEST_F(PageImagesTest, ImageAloneHasNoDivision) {
  Touch("footerIMG.png");
  EXPECT_EQ(PageImageBlock(folder_, "footerIMG"),
            "<img border='0' src='/kxserver/img?footerIMG.png'></img>");
  EXPECT_EQ(PageImageBlock(folder_, "headerIMG"), "");
}

TEST_F(PageImagesTest, ImageWithBackgroundIsWrappedAndProbedAnew) {
  Touch("headerIMG.png");
  Touch("headerIMG_b.png");
  EXPECT_EQ(PageImageBlock(folder_, "headerIMG"),
            "<div style='background-image: url(/kxserver/img?headerIMG_b.png)' width='100%'>"
            "<img border='0' src='/kxserver/img?headerIMG.png'></img></div>");
  std::filesystem::remove(folder_ / "headerIMG.png");
  EXPECT_EQ(PageImageBlock(folder_, "headerIMG"), "");
}

}  // namespace
}  // namespace kx
