#pragma once
// The "Filter Type :" combo box shared by the resize dialogs.

#include <cstdint>

class QComboBox;

// Lists the filters and selects filter, or "Lanczos" when it is none of
// them. Returns the filter now selected.
int32_t FillResizeFilterBox(QComboBox* box, int32_t filter);
// The selected filter's number, or -1 when none is selected.
int32_t SelectedResizeFilter(const QComboBox* box);
