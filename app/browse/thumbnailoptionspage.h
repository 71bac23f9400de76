#pragma once
// "Thumbnail options": the cache switch, its thumbnail size, high quality,
// emptying the cache, and the thumbnails' tooltips with their delay. Apply
// stores the four values of gTO, hands the cache its options again and
// tells the thumbnails views the new tooltip delay.

#include <QObject>
#include <functional>

#include "pixwork/optionspages.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

enum : uint32_t {
  IDC_TO_CACHE_SIZE_BOX = 1329,
  IDC_TO_SHOW_TOOLTIPS = 1112,
  IDC_TO_ERASE_CACHE = 1330,
};

// What the thumbnails views hear of the options (GUI thread).
class CThumbnailViewSignals : public QObject {
  Q_OBJECT

 signals:
  void TooltipDelayChanged(int seconds);
};
CThumbnailViewSignals& ThumbnailViewSignals();

class CThumbnailOptionsPage : public COptionsPage {
 public:
  explicit CThumbnailOptionsPage(QWidget* parent = nullptr);
  void Apply() override;

  // Asks "Are you sure ...?"; true for Yes. Tests answer it themselves.
  void SetConfirmFunction(std::function<bool()> confirm) { m_confirm = std::move(confirm); }
  // The result of the last emptying (false before any).
  bool GetEraseResult() const { return m_bErased; }

 private:
  void UpdateSlider();
  void OnTooltipsToggled(bool checked);
  void OnDelayEdited();
  void OnDelayFinished();
  void Erase();

  QCheckBox* m_useCache;
  QSlider* m_size;
  QLineEdit* m_sizeBox;
  QCheckBox* m_highQuality;
  QPushButton* m_erase;
  QCheckBox* m_tooltips;
  QLineEdit* m_delay;
  std::function<bool()> m_confirm;
  bool m_bErased = false;
};
