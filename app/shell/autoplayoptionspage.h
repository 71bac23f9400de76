#pragma once
// "Autoplay Options": the delay before autoplay moves to the next image.
// Confirming stores the delay at once.

#include "pixwork/optionspages.h"

class CLorimoSettings;
class QSpinBox;

class CAutoplayOptionsPage : public COptionsPage {
 public:
  explicit CAutoplayOptionsPage(CLorimoSettings& settings, QWidget* parent = nullptr);
  void Apply() override;
  QSpinBox* DelayBox() const { return m_delay; }

 private:
  CLorimoSettings& m_settings;
  QSpinBox* m_delay;
};
