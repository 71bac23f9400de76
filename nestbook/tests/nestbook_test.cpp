#include "nestbook/nestbook.h"

#include <cstdlib>

#include <gtest/gtest.h>

TEST(Nestbook, FavoritesFileLivesInTheConfigurationFolder) {
  const std::string expected =
      std::string(std::getenv("XDG_CONFIG_HOME")) + "/ZOKA/Lorimo/FAVORITES.TXT";
  EXPECT_EQ(NestbookFavoritesPath().ToUtf8(), expected);
}
