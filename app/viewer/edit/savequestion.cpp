#include "viewer/edit/savequestion.h"

#include "viewer/imagedocument.h"

namespace {

constexpr char16_t kQuestion[] = u"Save the modified image as a new image?";
constexpr char16_t kQuestionCaption[] = u"Lorimo: Save Edit function.";
constexpr char16_t kPrintText[] =
    u"You are trying to print an edited image that has not been saved yet.\n  In order to print "
    u"the edited image you must first save it.";

}  // namespace

CSaveQuestion::CSaveQuestion(CImageDocument& document, CFileEditUi& ui, const tagFILEEDITHOST& host)
    : m_document(document), m_ui(ui), m_host(host) {}

int CSaveQuestion::Ask() {
  if (!m_document.HasImage() || !m_document.IsModified()) return 2;
  if (!m_ui.AskYesNo(kQuestion, kQuestionCaption)) {
    m_document.SetModified(false);
    return 0;
  }
  return m_host.saveAs && m_host.saveAs() == 1 ? 1 : -1;
}

bool CSaveQuestion::BeforeStep() { return Ask() >= 0; }

void CSaveQuestion::BeforeClose() { Ask(); }

bool CSaveQuestion::BeforePrint() {
  if (!m_document.HasImage() || !m_document.IsModified()) return true;
  m_ui.Message(kPrintText, u"Lorimo Print", MK_INFORMATION);
  return m_host.saveAs && m_host.saveAs() == 1;
}
