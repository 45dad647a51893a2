#include "common/request_pattern.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(RequestPattern, GroupsAndAnchors) {
  const RequestPattern signIn("^kx_login=([\\w\\d_-]+)&password=([^&]*)");
  const auto match = signIn.Match("kx_login=ann-1_x&password=a%20b+c&Submit=OK");
  ASSERT_TRUE(match);
  EXPECT_EQ(*match, (std::vector<std::string>{"ann-1_x", "a%20b+c"}));
  EXPECT_FALSE(signIn.Match("x&kx_login=a&password=b"));
  EXPECT_FALSE(signIn.Match("kx_login=&password=b"));
  EXPECT_FALSE(signIn.Match("kx_login=%D0%B0&password=b"));
  EXPECT_FALSE(signIn.Match("KX_LOGIN=a&password=b"));
  EXPECT_EQ(signIn.Match("kx_login=a&password=")->at(1), "");
}

TEST(RequestPattern, LongInputsDoNotExhaustASmallStack) {
  // A connection thread's stack is small; a megabyte-long field must still match.
  const std::string password(1 << 20, 'p');
  const RequestPattern signIn("^kx_login=([\\w\\d_-]+)&password=([^&]*)");
  std::optional<std::vector<std::string>> match;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  struct Job {
    const RequestPattern* pattern;
    std::string text;
    std::optional<std::vector<std::string>>* result;
  } job{&signIn, "kx_login=a&password=" + password, &match};
  ASSERT_EQ(pthread_create(
                &thread, &attributes,
                [](void* arg) -> void* {
                  auto* j = static_cast<Job*>(arg);
                  *j->result = j->pattern->Match(j->text);
                  return nullptr;
                },
                &job),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  ASSERT_TRUE(match);
  EXPECT_EQ(match->at(1).size(), password.size());
}

}  // namespace
}  // namespace kx
