#include "pixwork/imageformatoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "corekit_ui/dialog.h"
#include "pixwork/options.h"

namespace {

enum class Format { Jpeg, Png, Tiff, Bmp, Gif, Jp2, Other };

Format FormatOf(const MyString& extension) {
  const MyString ext = extension.ToUpper();
  if (ext == u"JPG" || ext == u"JPEG") return Format::Jpeg;
  if (ext == u"PNG") return Format::Png;
  if (ext == u"TIF" || ext == u"TIFF") return Format::Tiff;
  if (ext == u"BMP") return Format::Bmp;
  if (ext == u"GIF") return Format::Gif;
  if (ext == u"JP2") return Format::Jp2;
  return Format::Other;
}

// PNG filter radio buttons, in the order of GraphicsMagick's filter digit.
constexpr uint32_t kPngFilters[] = {IDC_SO_PNG_FILTER_NONE,  IDC_SO_PNG_FILTER_SUB,
                                    IDC_SO_PNG_FILTER_UP,    IDC_SO_PNG_FILTER_AVERAGE,
                                    IDC_SO_PNG_FILTER_PAETH, IDC_SO_PNG_FILTER_ADAPTIVE};

int PngFilterDigit() {
  for (int i = 0; i < 6; ++i)
    if (uint32_t(gSO[SO_PNG_FILTER].nValue) == kPngFilters[i]) return i;
  return 0;
}

class CFormatOptionsDialog : public CDialog {
 public:
  CFormatOptionsDialog(QWidget* parent, const CFormatOptionSet& set, const CFormatChoice& choice,
                       const MyString& extension)
      : CDialog(parent), m_set(set) {
    setWindowTitle(tr("%1 Options").arg(extension.ToUpper().ToQString()));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    if (set.bQuality) {
      auto* row = new QHBoxLayout;
      m_slider = new QSlider(Qt::Horizontal, this);
      m_spin = new QSpinBox(this);
      m_slider->setRange(set.nQualityMin, set.nQualityMax);
      m_spin->setRange(set.nQualityMin, set.nQualityMax);
      m_slider->setValue(choice.nQuality);
      m_spin->setValue(choice.nQuality);
      connect(m_slider, &QSlider::valueChanged, m_spin, &QSpinBox::setValue);
      connect(m_spin, &QSpinBox::valueChanged, m_slider, &QSlider::setValue);
      row->addWidget(m_slider);
      row->addWidget(m_spin);
      form->addRow(set.strQualityLabel.ToQString(), row);
    }
    if (!set.compressionNames.empty()) {
      m_compression = new QComboBox(this);
      for (const MyString& name : set.compressionNames) m_compression->addItem(name.ToQString());
      m_compression->setCurrentIndex(
          std::clamp(choice.nCompression, 0, int(set.compressionNames.size()) - 1));
      form->addRow(tr("Compression:"), m_compression);
    }
    if (set.bInterlace) {
      m_interlace = new QCheckBox(set.strInterlaceLabel.ToQString(), this);
      m_interlace->setChecked(choice.bInterlace);
      form->addRow(m_interlace);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    SetDlgItem(IDOK, buttons->button(QDialogButtonBox::Ok));
    SetDlgItem(IDCANCEL, buttons->button(QDialogButtonBox::Cancel));
    layout->addWidget(buttons);
  }

  CFormatChoice Choice() const {
    CFormatChoice choice;
    if (m_spin) choice.nQuality = m_spin->value();
    if (m_compression) choice.nCompression = m_compression->currentIndex();
    if (m_interlace) choice.bInterlace = m_interlace->isChecked();
    return choice;
  }

 private:
  CFormatOptionSet m_set;
  QSlider* m_slider = nullptr;
  QSpinBox* m_spin = nullptr;
  QComboBox* m_compression = nullptr;
  QCheckBox* m_interlace = nullptr;
};

}  // namespace

CFormatOptionSet CImageFormatOptions::OptionsFor(const MyString& extension) {
  CFormatOptionSet set;
  switch (FormatOf(extension)) {
    case Format::Jpeg:
      set.bQuality = true;
      set.nQualityMin = 0;
      set.nQualityMax = 100;
      set.strQualityLabel = u"Quality:";
      set.bInterlace = true;
      set.strInterlaceLabel = u"Save as progressive JPG";
      break;
    case Format::Png:
      set.bQuality = true;
      set.nQualityMin = 0;
      set.nQualityMax = 9;
      set.strQualityLabel = u"Compression level:";
      set.bInterlace = true;
      set.strInterlaceLabel = u"Interlaced (Adam-7)";
      break;
    case Format::Tiff:
      set.compressionNames = {u"None", u"LZW", u"ZIP", u"JPEG", u"PackBits"};
      set.compressions = {Magick::NoCompression, Magick::LZWCompression, Magick::ZipCompression,
                          Magick::JPEGCompression, Magick::RLECompression};
      break;
    case Format::Bmp:
      set.compressionNames = {u"None", u"RLE"};
      set.compressions = {Magick::NoCompression, Magick::RLECompression};
      break;
    case Format::Gif:
      set.bInterlace = true;
      set.strInterlaceLabel = u"Interlaced";
      break;
    case Format::Jp2:
      set.bQuality = true;
      set.nQualityMin = 1;
      set.nQualityMax = 100;
      set.strQualityLabel = u"Quality (100 = lossless):";
      break;
    case Format::Other:
      break;
  }
  return set;
}

CFormatChoice CImageFormatOptions::DefaultChoice(const MyString& extension) {
  CFormatChoice choice;
  switch (FormatOf(extension)) {
    case Format::Jpeg:
      choice.nQuality = std::clamp<int>(gSO[SO_JPG_QUALITY].nValue, 0, 100);
      choice.bInterlace = gSO[SO_JPG_PROGRESSIVE].nValue != 0;
      break;
    case Format::Png:
      choice.nQuality = std::clamp<int>(gSO[SO_PNG_QUALITY].nValue, 0, 9);
      choice.bInterlace = gSO[SO_PNG_INTERLACED].nValue == int32_t(IDC_SO_PNG_INTERLACE_ADAM7);
      break;
    case Format::Tiff:
      choice.nCompression = 1;  // LZW: lossless and widely read
      break;
    case Format::Jp2:
      choice.nQuality = 100;
      break;
    default:
      break;
  }
  return choice;
}

void CImageFormatOptions::Apply(const CFormatChoice& choice, const MyString& extension,
                                Magick::Image* image) {
  const CFormatOptionSet set = OptionsFor(extension);
  switch (FormatOf(extension)) {
    case Format::Jpeg:
      gSO[SO_JPG_QUALITY].nValue = std::clamp(choice.nQuality, 0, 100);
      gSO[SO_JPG_PROGRESSIVE].nValue = choice.bInterlace ? 1 : 0;
      image->quality(unsigned(gSO[SO_JPG_QUALITY].nValue));
      break;
    case Format::Png:
      gSO[SO_PNG_QUALITY].nValue = std::clamp(choice.nQuality, 0, 9);
      gSO[SO_PNG_INTERLACED].nValue =
          int32_t(choice.bInterlace ? IDC_SO_PNG_INTERLACE_ADAM7 : IDC_SO_PNG_INTERLACE_NONE);
      // GraphicsMagick reads the tens as the zlib level and the units as the filter.
      image->quality(unsigned(gSO[SO_PNG_QUALITY].nValue * 10 + PngFilterDigit()));
      break;
    case Format::Jp2:
      image->defineValue("jp2", "quality", std::to_string(std::clamp(choice.nQuality, 1, 100)));
      break;
    default:
      break;
  }
  if (!set.compressions.empty())
    image->compressType(set.compressions[size_t(
        std::clamp(choice.nCompression, 0, int(set.compressions.size()) - 1))]);
  if (set.bInterlace)
    image->interlaceType(choice.bInterlace ? Magick::LineInterlace : Magick::NoInterlace);
}

int CImageFormatOptions::ShowFilterDialog(QWidget* parent, Magick::Image* image,
                                          const MyString& extension) {
  if (!image) return IDCANCEL;
  const CFormatOptionSet set = OptionsFor(extension);
  if (set.IsEmpty()) return IDOK;
  CFormatOptionsDialog dialog(parent, set, DefaultChoice(extension), extension);
  if (dialog.DoModal() != IDOK) return IDCANCEL;
  Apply(dialog.Choice(), extension, image);
  return IDOK;
}
