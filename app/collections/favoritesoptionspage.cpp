#include "collections/favoritesoptionspage.h"

#include <QCheckBox>
#include <QVBoxLayout>

CFavoritesOptionsPage::CFavoritesOptionsPage(QWidget* parent) : COptionsPage(parent) {
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < VFAV_COUNT; ++i) {
    auto* box = new QCheckBox(QString::fromUtf16(gVFAV[i].szName), this);
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
