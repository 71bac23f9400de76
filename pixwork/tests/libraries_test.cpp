#include "pixwork/libraries.h"

#include <gtest/gtest.h>

TEST(PixworkLibraries, ReportsEveryLinkedLibrary) {
  const std::string text = PixworkLibraryVersions().ToUtf8();
  EXPECT_NE(text.find("GraphicsMagick"), std::string::npos);
  EXPECT_NE(text.find("libzip 1."), std::string::npos);
  EXPECT_NE(text.find("SANE 1."), std::string::npos);
}
