#include "viewer/imageview.h"

#include <QPainter>

#include "pixwork/sortdir.h"
#include "viewer/saveas.h"

CImageView::CImageView(QWidget* parent)
    : QWidget(parent), m_pDocument(std::make_unique<CImageDocument>()) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  m_hWnd = CreateMessageReceiver(this, [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    return OnMessage(msg, wParam, lParam);
  });
  m_pDocument->SetWindow(m_hWnd);
  m_pDocument->SetChangedHandler([this] { update(); });
}

CImageView::~CImageView() {
  // The handler and the document use this object's members.
  DestroyMessageReceiver(m_hWnd);
  m_pDocument->SetChangedHandler(nullptr);
  m_pDocument->SetWindow(nullptr);
}

int CImageView::OpenFile(const MyString& path) { return m_pDocument->Open(path); }

int CImageView::ShowFolder(const MyString& folder) {
  SortDir list;
  list.InitializeSortDir(folder);
  list.CreateSortedImageList();
  for (int i = 0; i < list.GetLengthFileList(); ++i) {
    const MyString path = list.GetString(i);
    if (!path.IsEmpty()) return OpenFile(path);
  }
  return 0;
}

int CImageView::SaveAs() {
  CSaveAsDialogs dialogs(this);
  return CSaveAsCommand(*m_pDocument, dialogs).Run();
}

int CImageView::OnCommand(int id) {
  switch (id) {
    case 2:  // Save As
      SaveAs();
      return 1;
    case 193:  // Actual Size
      SetActualSize(true);
      return 1;
    default:
      return 0;
  }
}

bool CImageView::IsCommandEnabled(int id) const {
  switch (id) {
    case 2:
    case 193:
      return !Image().isNull();
    default:
      return true;
  }
}

bool CImageView::IsCommandChecked(int id) const { return id == 193 && m_bActualSize; }

void CImageView::SetImage(const QImage& image) {
  if (image.isNull()) {
    m_pDocument->Clear();
    return;
  }
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  Magick::Image replacement(size_t(argb.width()), size_t(argb.height()), "BGRA", Magick::CharPixel,
                            argb.constBits());
  m_pDocument->ReplaceImage(replacement);
}

LRESULT CImageView::OnMessage(UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_LORIMO_SHOW_FOLDER && wParam)
    return ShowFolder(MyString(reinterpret_cast<const char16_t*>(wParam)));
  return 0;
}

QRect CImageView::ImageRect() const {
  const QImage& image = Image();
  if (image.isNull()) return QRect();
  QSize size = image.size();
  // Large images shrink to the window unless shown at actual size; small
  // ones keep their size.
  if (!m_bActualSize && (size.width() > width() || size.height() > height()))
    size.scale(this->size(), Qt::KeepAspectRatio);
  return QRect((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
               size.height());
}

void CImageView::SetActualSize(bool actualSize) {
  m_bActualSize = actualSize;
  update();
}

void CImageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QImage& image = Image();
  if (image.isNull()) {
    painter.setPen(QColor(119, 146, 170));
    painter.drawText(rect(), Qt::AlignCenter, tr("No image loaded."));
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(ImageRect(), image);
}
