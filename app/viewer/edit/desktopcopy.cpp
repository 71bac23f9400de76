#include "viewer/edit/desktopcopy.h"

#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "corekit/straw.h"
#include "viewer/imagedocument.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kCaption[] = u"Copy to desktop";

}  // namespace

CDesktopCopy::CDesktopCopy(CImageDocument& document, CFileEditUi& ui, const MyString& desktop)
    : m_document(document), m_ui(ui), m_strDesktop(desktop) {
  if (m_strDesktop.IsEmpty())
    m_strDesktop =
        MyString::FromQString(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

int CDesktopCopy::CopyInto(const MyString& file, const MyString& folder, MyString* copied) {
  if (file.IsEmpty() || folder.IsEmpty()) return 0;
  const fs::path source = CStrAW::ToPath(file);
  const fs::path target = CStrAW::ToPath(folder) / source.filename();
  std::error_code ec;
  fs::create_directories(CStrAW::ToPath(folder), ec);
  if (!fs::is_regular_file(source, ec)) return 0;
  // A name taken by anything, even a dangling link, is left alone.
  if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) return 0;
  // Without overwrite the target is created exclusively, so a file that
  // turns up meanwhile is not replaced either.
  if (!fs::copy_file(source, target, fs::copy_options::none, ec) || ec) {
    // A copy cut short (a full disk) leaves no partial file behind.
    if (ec != std::errc::file_exists) {
      std::error_code ignored;
      fs::remove(target, ignored);
    }
    return 0;
  }
  if (copied) *copied = CStrAW::FromPath(target);
  return 1;
}

int CDesktopCopy::Run() {
  if (!m_document.HasImage() || m_document.GetPath().IsEmpty()) {
    m_ui.Message(u"Please Open Image First.", u"Lorimo: Copy to desktop", MK_WARNING);
    return 0;
  }
  if (!CopyInto(m_document.GetPath(), m_strDesktop)) {
    m_ui.Message(
        u"Operation failed!\nPlease check if there is a file with the same name on the "
        u"desktop.",
        kCaption, MK_WARNING);
    return 0;
  }
  m_ui.Message(u"Operation completed successfully !", kCaption, MK_INFORMATION);
  return 1;
}
