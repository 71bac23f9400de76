#pragma once
// Pages of the "View Options" sheet that edit Pixwork's option records:
// "View Options" (gVO) and "Performance Options" (gVSO with the format for
// files without an extension). Each control carries its record's control
// id; a page shows the records when it is made and writes them back in
// Apply, which the sheet calls when it is confirmed. GUI thread only.

#include <QHash>
#include <QWidget>
#include <cstdint>

class QComboBox;

// No Q_OBJECT here: the pages need no signals of their own, and this
// header is not next to its source for the meta-object compiler.
class COptionsPage : public QWidget {
 public:
  using QWidget::QWidget;

  // Called for every page before any is applied; 0 keeps the sheet open
  // (on this page).
  virtual int Validate() { return 1; }
  // Writes the controls into what the page edits.
  virtual void Apply() = 0;

  // The control with a record's control id, or null.
  QWidget* GetControl(uint32_t id) const { return m_controls.value(id); }

 protected:
  void SetControl(uint32_t id, QWidget* control) { m_controls.insert(id, control); }

 private:
  QHash<uint32_t, QWidget*> m_controls;
};

class CViewOptionsPage : public COptionsPage {
 public:
  explicit CViewOptionsPage(QWidget* parent = nullptr);
  void Apply() override;
};

class CPerformanceOptionsPage : public COptionsPage {
 public:
  explicit CPerformanceOptionsPage(QWidget* parent = nullptr);
  void Apply() override;

  QComboBox* FormatBox() const { return m_formats; }

 private:
  QComboBox* m_formats;
};
