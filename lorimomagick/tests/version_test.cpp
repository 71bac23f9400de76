#include "lorimomagick/version.h"

#include <string>

#include <gtest/gtest.h>

TEST(LorimoMagickVersion, NamesTheEngine) {
  EXPECT_NE(std::string(LorimoMagickEngineVersion()).find("GraphicsMagick"), std::string::npos);
}
