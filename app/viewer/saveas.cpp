#include "viewer/saveas.h"

#include <QMessageBox>

#include "codecs/exifcopy.h"
#include "codecs/losslessjpeg.h"
#include "corekit/platform.h"
#include "pixwork/dibfile.h"
#include "pixwork/imageformatoptions.h"
#include "pixwork/options.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"

namespace {

constexpr char16_t kCaption[] = u"Lorimo: SaveAs function";

bool IsJpegPath(const MyString& path) {
  const MyString ext = path.GetStringExtension();
  return ext.EqualsNoCase(u".jpg") || ext.EqualsNoCase(u".jpeg");
}

}  // namespace

MyString CSaveAsDialogs::AskTarget(const MyString& proposed) {
  DibFileInitialize(m_pOwner);
  MyString path = proposed;
  MyString title;
  if (!DibFileSaveDlg(m_pOwner, &path, &title)) return MyString();
  return path;
}

void CSaveAsDialogs::Message(const MyString& text, const MyString& caption, bool error) {
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Warning, caption.ToQString(),
                  text.ToQString(), QMessageBox::Ok, m_pOwner);
  box.exec();
}

int CSaveAsDialogs::ShowFormatOptions(Magick::Image* image, const MyString& extension) {
  return CImageFormatOptions::ShowFilterDialog(m_pOwner, image, extension);
}

CSaveAsCommand::CSaveAsCommand(CImageDocument& document, CSaveAsUi& ui)
    : losslessCopy([doc = &document](const MyString& source, const MyString& target, bool trim) {
        CLosslessJpeg copy;
        copy.expectedSource = doc->GetFileIdentity();
        // The copy carries the source's block; it is brought up to date
        // before the one write.
        copy.finish = [](std::string& jpeg, MyString* error) {
          return CExifCopy::Refresh(&jpeg, error);
        };
        return copy.Transform(source, target, LT_NONE, trim);
      }),
      m_document(document),
      m_ui(ui) {}

int CSaveAsCommand::Run() {
  if (!m_document.HasImage()) {
    m_ui.Message(u"Please Open Image First.", kCaption, false);
    return 0;
  }
  // A picture without a file (a scan) is offered under its name.
  const MyString proposal =
      !m_document.GetPath().IsEmpty() || m_document.GetName().IsEmpty()
          ? m_document.GetPath()
          : m_document.GetName() + u"." + MyString::FromUtf8(m_document.GetImage().magick());
  const MyString target = m_ui.AskTarget(proposal);
  if (target.IsEmpty()) return 0;
  CFileInfo info;
  if (GetFileInfo(target, &info) && IsFileReadOnly(target)) {
    m_ui.Message(u"The file is read only and cannot be saved.", kCaption, true);
    return 0;
  }
  const MyString extension = target.GetStringExtension();
  Magick::Image image = m_document.GetImage();
  image.modifyImage();  // a copy of its own, so Cancel leaves the document as it was
  if (m_ui.ShowFormatOptions(&image, extension.IsEmpty() ? extension : extension.Mid(1)) == 2)
    return 0;
  m_document.UpdateImage(image);

  const MyString source = m_document.GetPath();
  const bool jpegToJpeg = IsJpegPath(source) && IsJpegPath(target);
  const bool unmodified = !m_document.IsModified();
  bool saved;
  if (jpegToJpeg && unmodified && gSO[SO_JPG_LOSSLESS].nValue == 1 && losslessCopy) {
    saved = losslessCopy(source, target, gSO[SO_JPG_TRIM].nValue != 0) == 1;
    if (!saved) m_ui.Message(u"The JPEG file could not be copied.", kCaption, true);
  } else {
    if (gSO[SO_JPG_PROGRESSIVE].nValue != 0) image.interlaceType(Magick::LineInterlace);
    tagIMAGEWRITE write;
    // Over the document's own file: only while it is still the file shown.
    if (target == source) write.file.expected = m_document.GetFileIdentity();
    const bool upright = m_document.GetShownOrientation() >= 1;
    if (jpegToJpeg && unmodified) {
      const int width = int(image.columns()), height = int(image.rows());
      write.finish = [&source, width, height, upright](std::string& jpeg, MyString* error) {
        if (!CExifCopy::Copy(source, &jpeg, width, height, error)) return 0;
        // The pixels are written as shown: the source's tag no longer applies.
        if (upright && SetExifOrientation(jpeg, 1) < 0) {
          *error = u"The EXIF orientation cannot be updated";
          return 0;
        }
        return 1;
      };
    }
    saved = SaveImage(m_document.GetWindow(), target, image, write);
    if (saved && upright) m_document.SetShownOrientation(1);
  }
  if (!saved) return 0;
  if (updateCachedThumbnail) updateCachedThumbnail(target, image);
  if (updateFolderViews) updateFolderViews(target);
  m_document.SetModified(false);
  m_document.SetPath(target);
  return 1;
}
