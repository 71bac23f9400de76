#include "browse/thumbnailoptionspage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

#include "browse/thumbnailcache.h"
#include "pixwork/options.h"

namespace {

constexpr int kMaxTooltipDelay = 10;

}  // namespace

CThumbnailViewSignals& ThumbnailViewSignals() {
  static CThumbnailViewSignals viewSignals;
  return viewSignals;
}

CThumbnailOptionsPage::CThumbnailOptionsPage(QWidget* parent) : COptionsPage(parent) {
  auto* layout = new QGridLayout(this);
  m_useCache = new QCheckBox(tr("Use cache thumbnails"), this);
  m_highQuality = new QCheckBox(tr("High quality thumbnails"), this);
  m_size = new QSlider(Qt::Horizontal, this);
  m_size->setRange(100, 300);
  m_sizeBox = new QLineEdit(this);
  m_sizeBox->setReadOnly(true);
  m_sizeBox->setMaximumWidth(60);
  m_erase = new QPushButton(tr("Erase thumbnail cache ..."), this);
  m_tooltips = new QCheckBox(tr("Show tooltips"), this);
  m_delay = new QLineEdit(this);
  m_delay->setValidator(new QIntValidator(0, 99, m_delay));
  m_delay->setMaximumWidth(40);

  layout->addWidget(m_useCache, 0, 0, 1, 3);
  layout->addWidget(new QLabel(tr("Thumbnail cache size:"), this), 1, 0);
  layout->addWidget(m_size, 1, 1);
  layout->addWidget(m_sizeBox, 1, 2);
  layout->addWidget(m_highQuality, 2, 0, 1, 3);
  layout->addWidget(m_erase, 3, 0);
  auto* tooltipRow = new QHBoxLayout;
  tooltipRow->addWidget(m_tooltips);
  tooltipRow->addWidget(new QLabel(tr("Delay:"), this));
  tooltipRow->addWidget(m_delay);
  tooltipRow->addWidget(new QLabel(tr("sec."), this));
  tooltipRow->addStretch();
  layout->addLayout(tooltipRow, 4, 0, 1, 3);
  layout->setRowStretch(5, 1);

  SetControl(IDC_TO_CACHE_DIRECTORY, m_useCache);
  SetControl(IDC_TO_CACHE_SIZE, m_size);
  SetControl(IDC_TO_CACHE_SIZE_BOX, m_sizeBox);
  SetControl(IDC_TO_THUMB_QUALITY, m_highQuality);
  SetControl(IDC_TO_ERASE_CACHE, m_erase);
  SetControl(IDC_TO_SHOW_TOOLTIPS, m_tooltips);
  SetControl(IDC_TO_TOOLTIP_DELAY, m_delay);

  m_useCache->setChecked(gTO[TO_CACHE_DIRECTORY].dwValue != 0);
  m_highQuality->setChecked(gTO[TO_THUMB_QUALITY].dwValue != 0);
  m_size->setValue(int(std::clamp<uint32_t>(gTO[TO_CACHE_SIZE].dwValue, 100, 300)));
  m_sizeBox->setText(QString::number(m_size->value()));
  const uint32_t delay = std::min<uint32_t>(gTO[TO_TOOLTIP_DELAY].dwValue, kMaxTooltipDelay);
  m_tooltips->setChecked(delay != 0);
  m_delay->setText(QString::number(delay));
  m_delay->setReadOnly(delay == 0);
  UpdateSlider();

  connect(m_size, &QSlider::valueChanged, this,
          [this](int value) { m_sizeBox->setText(QString::number(value)); });
  connect(m_useCache, &QCheckBox::toggled, this, [this] { UpdateSlider(); });
  connect(m_highQuality, &QCheckBox::toggled, this, [this](bool checked) {
    if (checked) m_size->setValue(300);
    UpdateSlider();
  });
  connect(m_tooltips, &QCheckBox::toggled, this,
          [this](bool checked) { OnTooltipsToggled(checked); });
  connect(m_delay, &QLineEdit::textEdited, this, [this] { OnDelayEdited(); });
  connect(m_delay, &QLineEdit::editingFinished, this, [this] { OnDelayFinished(); });
  connect(m_erase, &QPushButton::clicked, this, [this] { Erase(); });
}

void CThumbnailOptionsPage::UpdateSlider() {
  m_size->setEnabled(m_useCache->isChecked() && !m_highQuality->isChecked());
}

void CThumbnailOptionsPage::OnTooltipsToggled(bool checked) {
  m_delay->setText(checked ? QStringLiteral("1") : QStringLiteral("0"));
  m_delay->setReadOnly(!checked);
}

void CThumbnailOptionsPage::OnDelayEdited() {
  if (m_delay->text().toInt() > kMaxTooltipDelay)
    m_delay->setText(QString::number(kMaxTooltipDelay));
}

void CThumbnailOptionsPage::OnDelayFinished() {
  if (m_tooltips->isChecked() && m_delay->text().toInt() == 0)
    m_delay->setText(QStringLiteral("1"));
}

void CThumbnailOptionsPage::Erase() {
  const bool yes = m_confirm ? m_confirm() : [this] {
    QMessageBox box(QMessageBox::Question, tr("Confirm cache deletion"),
                    tr("Are you sure you want to empty the thumbnail cache ?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  }();
  if (!yes) return;
  ThumbnailCache* cache = GetThumbnailCache();
  m_bErased = cache && cache->EmptyCache();
}

void CThumbnailOptionsPage::Apply() {
  OnDelayFinished();
  gTO[TO_CACHE_DIRECTORY].dwValue = m_useCache->isChecked() ? 1 : 0;
  gTO[TO_CACHE_SIZE].dwValue = uint32_t(m_size->value());
  gTO[TO_THUMB_QUALITY].dwValue = m_highQuality->isChecked() ? 1 : 0;
  const int delay =
      m_tooltips->isChecked() ? std::clamp(m_delay->text().toInt(), 1, kMaxTooltipDelay) : 0;
  gTO[TO_TOOLTIP_DELAY].dwValue = uint32_t(delay);
  if (ThumbnailCache* cache = GetThumbnailCache()) cache->ApplySettings();
  emit ThumbnailViewSignals().TooltipDelayChanged(delay);
}
