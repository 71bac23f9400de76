#pragma once
// "Start Options": what the program shows when it starts without an image,
// with the path of the default image.

#include <functional>

#include "pixwork/optionspages.h"

class CLorimoSettings;
class QLineEdit;
class QRadioButton;

// Asks a Yes/No question; returns IDYES or IDNO.
using QuestionFunction = std::function<int(const QString& text, const QString& caption)>;

class CStartOptionsPage : public COptionsPage {
 public:
  explicit CStartOptionsPage(CLorimoSettings& settings, QWidget* parent = nullptr);

  // "The default image" needs an existing file: asks whether to enter one
  // (Yes keeps the sheet open) or to start blank (No).
  int Validate() override;
  void Apply() override;

  void SetQuestionFunction(QuestionFunction ask) { m_ask = std::move(ask); }
  QRadioButton* ChoiceButton(uint32_t choice) const { return m_choices[choice]; }
  QLineEdit* PathBox() const { return m_path; }

 private:
  void Browse();
  uint32_t SelectedChoice() const;

  CLorimoSettings& m_settings;
  QRadioButton* m_choices[4];
  QLineEdit* m_path;
  QuestionFunction m_ask;
};
