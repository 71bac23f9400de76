#include "nestbook/nestbook.h"

#include <QDebug>
#include <mutex>

#include "corekit/platform.h"

namespace {

std::mutex gMessageMutex;
NestbookMessageFct& MessageFct() {
  static NestbookMessageFct fct;
  return fct;
}

}  // namespace

MyString NestbookFavoritesPath() { return GetConfigFolder() + u"/FAVORITES.TXT"; }

void NestbookSetMessageFct(NestbookMessageFct fct) {
  std::lock_guard<std::mutex> lock(gMessageMutex);
  MessageFct() = std::move(fct);
}

void NestbookShowMessage(const MyString& text) {
  NestbookMessageFct fct;
  {
    std::lock_guard<std::mutex> lock(gMessageMutex);
    fct = MessageFct();
  }
  if (fct)
    fct(text);
  else
    qWarning("%s", text.ToUtf8().c_str());
}
