#include "collections/favoritesoptionspage.h"

#include <QCheckBox>
#include <QVBoxLayout>

CFavoritesOptionsPage::CFavoritesOptionsPage(QWidget* parent) : COptionsPage(parent) {
  // The user reads these; the settings keep the short names.
  const QString labels[VFAV_COUNT] = {
      tr("Automatically update Favorite Directories from hard drive"),
      tr("Generate one set of thumbnails for all the selected directories in Favorites"),
      tr("Show pop-up description for directories and portfolio files"),
  };
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < VFAV_COUNT; ++i) {
    auto* box = new QCheckBox(labels[i], this);
    box->setChecked(gVFAV[i].bFlag != 0);
    SetControl(gVFAV[i].nID, box);
    layout->addWidget(box);
    m_boxes[size_t(i)] = box;
  }
  layout->addStretch();
}

void CFavoritesOptionsPage::Apply() {
  for (int i = 0; i < VFAV_COUNT; ++i) gVFAV[i].bFlag = m_boxes[size_t(i)]->isChecked() ? 1 : 0;
}
