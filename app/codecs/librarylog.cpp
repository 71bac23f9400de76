#include "codecs/librarylog.h"

#include <QLoggingCategory>
#include <deque>
#include <mutex>

#include <Magick++.h>
#include <exiv2/exiv2.hpp>

namespace {

Q_LOGGING_CATEGORY(lcLibrary, "lorimo.library", QtCriticalMsg)

constexpr size_t kKeptWarnings = 64;

std::mutex gMutex;
std::deque<std::string>& Kept() {
  static auto* kept = new std::deque<std::string>;
  return *kept;
}

void Report(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  qCWarning(lcLibrary, "%s", text.c_str());
  std::lock_guard<std::mutex> lock(gMutex);
  Kept().push_back(std::move(text));
  if (Kept().size() > kKeptWarnings) Kept().pop_front();
}

void OnExiv2Message(int level, const char* text) {
  Report(std::string("Exiv2: ") + (text ? text : ""));
}

void OnMagickMessage(const MagickLib::ExceptionType, const char* reason, const char* description) {
  std::string text = "GraphicsMagick: ";
  if (reason) text += reason;
  if (description) text += std::string(" (") + description + ")";
  Report(std::move(text));
}

}  // namespace

void InstallLibraryWarningHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setHandler(OnExiv2Message);
    MagickLib::SetWarningHandler(OnMagickMessage);
    MagickLib::SetErrorHandler(OnMagickMessage);
  });
}

void ReportLibraryWarning(const std::string& text) { Report(text); }

std::vector<std::string> RecentLibraryWarnings() {
  std::lock_guard<std::mutex> lock(gMutex);
  return {Kept().begin(), Kept().end()};
}
