#include "shell/commandline.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "shell/firstdisplay.h"
#include "shell/settings.h"

namespace {

MyStringList Args(std::initializer_list<const char16_t*> args) {
  MyStringList list;
  for (const char16_t* arg : args) list.Append(arg);
  return list;
}

struct ParseCase {
  const char* name;
  const char16_t* argument;
  COMMANDLINEKIND kind;
  const char16_t* path;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class CommandLineParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, FirstArgumentDecides) {
  const tagCOMMANDLINE line = ParseCommandLine(Args({GetParam().argument, u"/ignored.lrm"}));
  EXPECT_EQ(line.nKind, GetParam().kind);
  EXPECT_EQ(line.strPath, MyString(GetParam().path));
  EXPECT_EQ(line.strArgument, MyString(GetParam().argument));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CommandLineParse,
    ::testing::Values(
        ParseCase{"Image", u"/p/a.jpg", COMMANDLINE_IMAGE, u"/p/a.jpg"},
        ParseCase{"Portfolio", u"/p/show.lrm", COMMANDLINE_PORTFOLIO, u"/p/show.lrm"},
        ParseCase{"PortfolioUpperCase", u"/p/SHOW.Lrm", COMMANDLINE_PORTFOLIO, u"/p/SHOW.Lrm"},
        ParseCase{"PortfolioTrailingSeparator", u"/p/show.lrm/", COMMANDLINE_PORTFOLIO,
                  u"/p/show.lrm"},
        // Only one separator is dropped.
        ParseCase{"TwoSeparators", u"/p/show.lrm//", COMMANDLINE_IMAGE, u"/p/show.lrm//"},
        ParseCase{"Wia", u"/WIAAuto", COMMANDLINE_WIA, u""},
        // The switch is exact: anything else is a path.
        ParseCase{"WiaOtherCase", u"/wiaauto", COMMANDLINE_IMAGE, u"/wiaauto"},
        ParseCase{"LrmInFolderName", u"/p.lrm/a.png", COMMANDLINE_IMAGE, u"/p.lrm/a.png"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLine, NoArgumentAndRelativePath) {
  EXPECT_EQ(ParseCommandLine(MyStringList()).nKind, COMMANDLINE_NONE);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const tagCOMMANDLINE line = ParseCommandLine(Args({u"sub/../pic.png"}));
  EXPECT_EQ(line.nKind, COMMANDLINE_IMAGE);
  EXPECT_EQ(line.strPath.ToUtf8(), std::string(cwd) + "/pic.png");
}

struct DisplayCase {
  const char* name;
  const char16_t* argument;  // null: none
  uint32_t choice;
  bool fullScreen;
  bool filesExist;
  FIRSTDISPLAYKIND kind;
  const char16_t* path;
};

void PrintTo(const DisplayCase& c, std::ostream* os) { *os << c.name; }

class FirstDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(FirstDisplay, ChoosesByArgumentThenStartupChoice) {
  const DisplayCase& c = GetParam();
  tagFIRSTDISPLAYINPUT input;
  if (c.argument) input.commandLine = ParseCommandLine(Args({c.argument}));
  input.dwStartupChoice = c.choice;
  input.strDefaultImage = u"/default.png";
  input.strLastLoadedImage = u"/last.png";
  input.bStartFullScreen = c.fullScreen;
  const bool exist = c.filesExist;
  input.fileExists = [exist](const MyString&) { return exist; };
  const tagFIRSTDISPLAY display = ChooseFirstDisplay(input);
  EXPECT_EQ(display.nKind, c.kind);
  EXPECT_EQ(display.strPath, MyString(c.path));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, FirstDisplay,
    ::testing::Values(DisplayCase{"ImageArgument", u"/x.jpg", STARTUP_SCREEN, false, true,
                                  FIRST_DISPLAY_IMAGE, u"/x.jpg"},
                      DisplayCase{"PortfolioArgument", u"/x.lrm", STARTUP_BLANK, false, true,
                                  FIRST_DISPLAY_PORTFOLIO, u"/x.lrm"},
                      DisplayCase{"Wia", u"/WIAAuto", STARTUP_SCREEN, false, true,
                                  FIRST_DISPLAY_WIA_TRANSFER, u""},
                      DisplayCase{"DefaultImage", nullptr, STARTUP_DEFAULT_IMAGE, false, true,
                                  FIRST_DISPLAY_IMAGE, u"/default.png"},
                      DisplayCase{"DefaultImageMissing", nullptr, STARTUP_DEFAULT_IMAGE, false,
                                  false, FIRST_DISPLAY_EMPTY, u""},
                      DisplayCase{"LastImage", nullptr, STARTUP_LAST_IMAGE, false, true,
                                  FIRST_DISPLAY_IMAGE, u"/last.png"},
                      DisplayCase{"LastImageMissing", nullptr, STARTUP_LAST_IMAGE, false, false,
                                  FIRST_DISPLAY_EMPTY, u""},
                      DisplayCase{"StartupScreen", nullptr, STARTUP_SCREEN, false, true,
                                  FIRST_DISPLAY_STARTUP_SCREEN, u""},
                      // In full screen the startup screen has no place.
                      DisplayCase{"StartupScreenFullScreen", nullptr, STARTUP_SCREEN, true, true,
                                  FIRST_DISPLAY_EMPTY, u""},
                      DisplayCase{"Blank", nullptr, STARTUP_BLANK, false, true, FIRST_DISPLAY_EMPTY,
                                  u""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
