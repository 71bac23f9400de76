#pragma once
// "Favorites Options": the three switches of gVFAV (automatic update of the
// favorite directories, one set of thumbnails for all the selected
// directories, pop-up descriptions). Apply stores them; the pane reads them
// when it needs them.

#include <array>

#include "pixwork/options.h"
#include "pixwork/optionspages.h"

class QCheckBox;

class CFavoritesOptionsPage : public COptionsPage {
 public:
  explicit CFavoritesOptionsPage(QWidget* parent = nullptr);
  void Apply() override;

 private:
  std::array<QCheckBox*, VFAV_COUNT> m_boxes{};
};
