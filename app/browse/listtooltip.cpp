#include "browse/listtooltip.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QScreen>
#include <QTextStream>
#include <cstring>
#include <sys/stat.h>

#include <libexif/exif-data.h>

#include "browse/thumbnailcache.h"
#include "browse/thumbnailmaker.h"
#include "browse/thumbnailsetup.h"
#include "browse/thumbnailworkers.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "viewer/imageio.h"

namespace {

constexpr int kPreviewSide = 100;
constexpr int kPadding = 4;

MyString Trimmed(const char* text) {
  return MyString::FromQString(QString::fromUtf8(text).trimmed());
}

// Make, model, shutter speed and focal length, each once, in the order met.
MyString CameraLines(const MyString& path) {
  ExifData* data = exif_data_new_from_file(CStrAW::w_toA(path).c_str());
  if (!data) return MyString();
  struct tagWANTED {
    ExifTag tag;
    const char16_t* label;
    bool bDone;
  } wanted[] = {{EXIF_TAG_MAKE, u"\nCamera           : ", false},
                {EXIF_TAG_MODEL, u"\nModel              : ", false},
                {EXIF_TAG_SHUTTER_SPEED_VALUE, u"\nShutter speed: ", false},
                {EXIF_TAG_FOCAL_LENGTH, u"\nFocal length    :", false}};
  MyString lines;
  for (int ifd = 0; ifd < EXIF_IFD_COUNT; ++ifd) {
    ExifContent* content = data->ifd[ifd];
    for (unsigned i = 0; content && i < content->count; ++i) {
      ExifEntry* entry = content->entries[i];
      for (tagWANTED& w : wanted) {
        if (w.bDone || entry->tag != w.tag) continue;
        char value[256] = {};
        exif_entry_get_value(entry, value, sizeof value - 1);
        w.bDone = true;
        lines += MyString(w.label) + Trimmed(value);
      }
    }
  }
  exif_data_unref(data);
  return lines;
}

}  // namespace

MyString BuildItemTooltip(const MyString& path) {
  if (path.IsEmpty()) return MyString();
  MyString text = CStrAW::printf(u"File name        : %s\n", path.GetStringTitleExt().c_str());
  text += CStrAW::printf(u"Directory        : %s\n", path.GetStringPath().c_str());
  struct stat st {};
  const bool known = stat(CStrAW::w_toA(path).c_str(), &st) == 0;
  if (known) {
    const QDateTime written = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec).toLocalTime();
    const QLocale locale;
    text += MyString(u"Date/time       : ") +
            MyString::FromQString(locale.toString(written.date(), QLocale::ShortFormat) + u' ' +
                                  locale.toString(written.time(), QLocale::ShortFormat)) +
            u"\n";
  }
  SIZE size{};
  if (ReadImageHeader(path, &size))
    text += CStrAW::printf(u"Dimensions     : %d X %d Pixels\n", int(size.cx), int(size.cy));
  if (known)
    text += MyString(u"Size on disk     : ") +
            MyString::FromQString(QLocale().formattedDataSize(qint64(st.st_size)));
  return text + CameraLines(path);
}

CListTooltip::CListTooltip(bool withPreview, QWidget* parent)
    : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint), m_bPreview(withPreview) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setPalette(QPalette(QColor(255, 255, 225)));
  setAutoFillBackground(true);
}

CListTooltip::~CListTooltip() = default;

void CListTooltip::DropWorker() {
  m_workers.reset();
  m_bDropped = true;
}

QSize CListTooltip::TextSize() const {
  const QFontMetrics metrics(font());
  int width = 0;
  const QStringList lines = m_strText.split(u'\n');
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  return QSize(width, int(lines.size()) * metrics.lineSpacing());
}

void CListTooltip::ShowItem(int index, const MyString& path, const QPoint& global) {
  if (path.IsEmpty()) {
    HideTip();
    return;
  }
  m_nIndex = index;
  m_strText = BuildItemTooltip(path).ToQString();
  m_preview = QImage();
  // Made on first use: the view may come before the thumbnail cache.
  if (m_bPreview && !m_workers && !m_bDropped) {
    m_workers = std::make_unique<CThumbnailWorkers>(GetThumbnailCache(), 1);
    m_workers->ConfigureMakers(ConfigureThumbnailMaker);
    connect(m_workers.get(), &CThumbnailWorkers::ThumbnailReady, this,
            [this](uint64_t, int index, const QImage& image) {
              if (index != m_nIndex) return;
              m_preview = image;
              m_bFailed = image.isNull();
              update();
            });
  }
  m_bFailed = false;
  if (m_workers) {
    tagTHUMBCELL cell;
    cell.nIndex = index;
    cell.path = path;
    cell.box = SIZE{kPreviewSide, kPreviewSide};
    cell.bAllowCache = true;
    m_workers->SetCells({cell}, index);
  }
  QSize size = TextSize() + QSize(2 * kPadding, 2 * kPadding);
  if (m_bPreview) {
    size.setHeight(size.height() + kPreviewSide + kPadding);
    size.setWidth(std::max(size.width(), kPreviewSide + 2 * kPadding));
  }
  resize(size);
  QPoint at = global + QPoint(16, 16);
  if (const QScreen* screen = QGuiApplication::screenAt(global)) {
    const QRect area = screen->availableGeometry();
    at.setX(std::min(at.x(), area.right() - size.width()));
    at.setY(std::min(at.y(), area.bottom() - size.height()));
  }
  move(at);
  show();
  update();
}

void CListTooltip::HideTip() {
  m_nIndex = -1;
  if (m_workers) m_workers->Clear();
  hide();
}

void CListTooltip::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QSize text = TextSize();
  painter.drawText(QRect(kPadding, kPadding, text.width(), text.height()),
                   Qt::AlignLeft | Qt::AlignTop, m_strText);
  if (!m_bPreview) return;
  const QRect box(kPadding, kPadding * 2 + text.height(), kPreviewSide, kPreviewSide);
  painter.fillRect(box, Qt::black);
  if (m_preview.isNull()) {
    painter.setPen(Qt::white);
    painter.drawText(
        box, Qt::AlignCenter,
        m_bFailed ? QStringLiteral("Error loading ...") : QStringLiteral("Loading ..."));
    return;
  }
  const QSize fit = m_preview.size().scaled(box.size(), Qt::KeepAspectRatio);
  const QRect target(box.x() + (box.width() - fit.width()) / 2,
                     box.y() + (box.height() - fit.height()) / 2, fit.width(), fit.height());
  painter.drawImage(target, m_preview);
}
