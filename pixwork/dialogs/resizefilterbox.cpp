#include "resizefilterbox.h"

#include <QComboBox>

#include "pixwork/resizemath.h"

int32_t FillResizeFilterBox(QComboBox* box, int32_t filter) {
  box->clear();
  for (const RESIZEFILTER& entry : gResizeFilters)
    box->addItem(QString::fromUtf16(entry.pszName), entry.nFilter);
  int index = ResizeFilterIndex(filter);
  if (index < 0) index = ResizeFilterIndex(kDefaultResizeFilter);
  box->setCurrentIndex(index);
  return gResizeFilters[index].nFilter;
}

int32_t SelectedResizeFilter(const QComboBox* box) {
  const int index = box->currentIndex();
  if (index < 0) return -1;
  return box->itemData(index).toInt();
}
