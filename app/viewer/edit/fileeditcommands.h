#pragma once
// The viewer's commands that change or hand on the shown file: rotating
// and mirroring it (13, 14, 15, 17, 18), the external editor (3050) and the
// edit options (3024), the desktop wallpaper (3076) and copy (3077), and
// printing (234, and 3181 from Ctrl+P). It also asks the save question
// before a modified image is left. The viewer owns it; the rules live in
// the plain classes it holds, the dialogs in CFileEditDialogs.

#include <memory>

#include "viewer/edit/desktopcopy.h"
#include "viewer/edit/externaleditor.h"
#include "viewer/edit/fileeditui.h"
#include "viewer/edit/savequestion.h"
#include "viewer/edit/wallpaper.h"
#include "viewer/imageview.h"

class QWidget;

// The real dialogs and message boxes.
class CFileEditDialogs : public CFileEditUi {
 public:
  explicit CFileEditDialogs(QWidget* owner) : m_pOwner(owner) {}
  void Message(const MyString& text, const MyString& caption, MESSAGEKIND kind) override;
  bool AskYesNo(const MyString& text, const MyString& caption) override;
  MyString AskSaveName(const MyString& proposed) override;
  bool ShowEditOptions(bool bNotSet) override;
  bool OfferEditorChoice() override;
  MyString ChooseEditorProgram(const MyString& current) override;
  bool SetUpPrinter(QPrinter* printer) override;

 private:
  QWidget* m_pOwner;
};

class CFileEditCommands : public CViewerPart {
 public:
  explicit CFileEditCommands(CImageView& view);
  ~CFileEditCommands() override;
  CFileEditCommands(const CFileEditCommands&) = delete;
  CFileEditCommands& operator=(const CFileEditCommands&) = delete;

  bool OwnsCommand(int id) const override;
  int OnCommand(int id) override;

  // Removes the selection window of the in-memory edits before a file is
  // turned; set by whoever owns that window.
  void SetSelectionRemover(std::function<void()> remove) {
    m_host.removeSelection = std::move(remove);
  }
  // Where the questions go; null restores the real dialogs (tests answer them).
  void SetUi(CFileEditUi* ui) { m_pUi = ui ? ui : &m_dialogs; }
  // The viewer's side, open for tests to watch or replace.
  tagFILEEDITHOST& Host() { return m_host; }
  CSaveQuestion& Question() { return m_question; }
  CExternalEditor& Editor() { return m_editor; }
  CDesktopWallpaper& Wallpaper() { return m_wallpaper; }
  // The desktop folder "As a copy" copies into (the user's by default).
  void SetDesktopFolder(const MyString& folder) { m_strDesktop = folder; }

 private:
  CImageView& m_view;
  CFileEditDialogs m_dialogs;
  CFileEditUi* m_pUi;
  // The classes below call the user through this, whichever it is.
  class CUiRelay;
  std::unique_ptr<CUiRelay> m_pRelay;
  tagFILEEDITHOST m_host;
  CSaveQuestion m_question;
  CExternalEditor m_editor;
  CDesktopWallpaper m_wallpaper;
  MyString m_strDesktop;
};
