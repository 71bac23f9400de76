#pragma once
// "File Association": "Files Associated with Lorimo", one check box per
// file type of gFA, with "Select All", "Deselect All" and "Refresh Icons".

#include "pixwork/optionspages.h"

class CFileAssociations;
class MyString;

class CFileAssociationPage : public COptionsPage {
 public:
  // associations: where the page reads and applies (the caller keeps it).
  explicit CFileAssociationPage(CFileAssociations& associations, QWidget* parent = nullptr);
  void Apply() override;
  // 1 when the last Apply reached the files (or had nothing to do).
  int GetApplyResult() const { return m_nApplyResult; }
  MyString GetLastError() const;

 private:
  void SetAll(bool checked);
  void ShowFlags();

  CFileAssociations& m_associations;
  int m_nApplyResult = 1;
};
