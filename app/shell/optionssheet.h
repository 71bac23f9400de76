#pragma once
// The "View Options" sheet: the pages that edit the view, performance,
// start, autoplay and file-association settings. OK checks every page,
// writes them all back and saves all settings at once; Cancel changes
// nothing (the autoplay delay and the associations are applied at OK only).

#include <memory>
#include <vector>

#include "corekit_ui/dialog.h"

class CAutoplayOptionsPage;
class CFileAssociationPage;
class CFileAssociations;
class CLorimoSettings;
class COptionsPage;
class CPerformanceOptionsPage;
class CStartOptionsPage;
class CViewOptionsPage;
class QTabWidget;

class CViewOptionsSheet : public CDialog {
  Q_OBJECT

 public:
  // associations: null for the user's desktop files.
  explicit CViewOptionsSheet(CLorimoSettings& settings, QWidget* parent = nullptr,
                             CFileAssociations* associations = nullptr);
  ~CViewOptionsSheet() override;

  QTabWidget* Tabs() const { return m_tabs; }
  CViewOptionsPage* ViewPage() const { return m_view; }
  CPerformanceOptionsPage* PerformancePage() const { return m_performance; }
  CStartOptionsPage* StartPage() const { return m_start; }
  CAutoplayOptionsPage* AutoplayPage() const { return m_autoplay; }
  CFileAssociationPage* AssociationPage() const { return m_association; }
  // What the save at OK returned (1 saved).
  int GetSaveResult() const { return m_nSaveResult; }

 protected:
  int OnCommand(int id) override;

 private:
  int Confirm();

  CLorimoSettings& m_settings;
  std::unique_ptr<CFileAssociations> m_ownAssociations;
  QTabWidget* m_tabs;
  CViewOptionsPage* m_view;
  CPerformanceOptionsPage* m_performance;
  CStartOptionsPage* m_start;
  CAutoplayOptionsPage* m_autoplay;
  CFileAssociationPage* m_association;
  std::vector<COptionsPage*> m_pages;
  int m_nSaveResult = 0;
};
