#include "shell/commandline.h"

#include <filesystem>
#include <system_error>

#include "corekit/straw.h"

namespace {

MyString WithoutTrailingSeparator(const MyString& path) {
  MyString result = path;
  if (result.GetLength() > 1 && result[result.GetLength() - 1] == u'/') result.tShaveLastChar();
  return result;
}

// A path given relative to the folder the program was started in; the
// recent lists keep it, so it must not depend on that folder later.
MyString Absolute(const MyString& path) {
  if (path.IsEmpty() || path[0] == u'/') return path;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(CStrAW::ToPath(path), ec);
  return ec ? path : CStrAW::FromPath(absolute.lexically_normal());
}

}  // namespace

bool IsPortfolioPath(const MyString& path) {
  return WithoutTrailingSeparator(path).GetStringExtension().EqualsNoCase(u".lrm");
}

tagCOMMANDLINE ParseCommandLine(const MyStringList& arguments) {
  tagCOMMANDLINE line;
  if (arguments.GetListLength() == 0 || arguments[0].IsEmpty()) return line;
  line.strArgument = arguments[0];
  if (line.strArgument == kWiaAutoSwitch) {
    line.nKind = COMMANDLINE_WIA;
  } else if (IsPortfolioPath(line.strArgument)) {
    line.nKind = COMMANDLINE_PORTFOLIO;
    line.strPath = Absolute(WithoutTrailingSeparator(line.strArgument));
  } else {
    line.nKind = COMMANDLINE_IMAGE;
    line.strPath = Absolute(line.strArgument);
  }
  return line;
}
