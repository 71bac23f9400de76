#include "viewer/edit/imageprint.h"

#include <QPainter>
#include <QPrinter>

#include "viewer/edit/savequestion.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"

namespace {

constexpr char16_t kCaption[] = u"Lorimo Print";

}  // namespace

bool PrintImage(const QImage& image, QPaintDevice* device) {
  if (image.isNull() || !device) return false;
  QPainter painter;
  if (!painter.begin(device)) return false;
  const QRect page = painter.viewport();
  QSize size = image.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  const QRect target(page.x() + (page.width() - size.width()) / 2,
                     page.y() + (page.height() - size.height()) / 2, size.width(), size.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
  return painter.end();
}

CPrintCommand::CPrintCommand(CImageDocument& document, CFileEditUi& ui, CSaveQuestion& question)
    : m_document(document), m_ui(ui), m_question(question) {}

int CPrintCommand::Run() {
  if (!m_document.HasImage()) {
    m_ui.Message(u"Please Open Image First.", kCaption, MK_WARNING);
    return 0;
  }
  if (!m_question.BeforePrint()) return 0;
  // The file is printed as it is on disk, at its full size (the viewer may
  // show a reduced read).
  const MyString path = m_document.GetPath();
  Magick::Image image;
  if (path.IsEmpty() || !LoadImage(nullptr, path, &image, 0)) {
    m_ui.Message(u"The image cannot be read for printing:\n" + path, kCaption, MK_ERROR);
    return 0;
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(path.GetStringTitleExt().ToQString());
  // The page starts turned the way the picture is; the dialog may change it.
  printer.setPageOrientation(image.columns() > image.rows() ? QPageLayout::Landscape
                                                            : QPageLayout::Portrait);
  if (!m_ui.SetUpPrinter(&printer)) return 0;
  if (!PrintImage(CImageDocument::ToQImage(image), &printer)) {
    m_ui.Message(u"The image could not be printed.", kCaption, MK_ERROR);
    return 0;
  }
  return 1;
}
