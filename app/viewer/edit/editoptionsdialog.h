#pragma once
// The "Edit Options" dialog: the rotate-and-flip save choices and the
// external editor, over tagEDITOPTIONS. Shown as the "Rotate and Flip
// Save Options" with a note when a rotation finds them not chosen yet.

#include "corekit_ui/dialog.h"
#include "viewer/edit/editoptions.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CDlgEditOptions : public CDialog {
  Q_OBJECT
 public:
  CDlgEditOptions(QWidget* parent, const tagEDITOPTIONS& options, bool bNotSet);

  tagEDITOPTIONS Options() const;
  QLabel* Notice() const { return m_pNotice; }

 protected:
  int OnCommand(int id) override;

 private:
  void BrowseEditor();

  bool m_bNotSet;
  QLabel* m_pNotice;
  QButtonGroup* m_pSaveAfter;
  QLineEdit* m_pSuffix;
  QCheckBox* m_pKeepDateTime;
  QButtonGroup* m_pLossless;
  QCheckBox* m_pTrim;
  QRadioButton* m_pPasteFit;
  QLineEdit* m_pEditor;
};

// The file dialog that asks for the editor program: only files the user
// may run are listed. Empty when cancelled.
MyString ChooseEditorFile(QWidget* parent, const MyString& current);
