#pragma once
// What the viewer's file edits (rotating files, the save question, the
// external editor, the desktop and printing) ask of the user, and what they
// ask of the viewer that shows the result. The logic classes take both, so
// tests answer the dialogs and watch the viewer without windows.

#include <functional>

#include "corekit/mystring.h"

class QPrinter;

enum MESSAGEKIND : int { MK_WARNING, MK_ERROR, MK_INFORMATION };

class CFileEditUi {
 public:
  virtual ~CFileEditUi() = default;
  // A message box with an OK button; an empty caption is the program's name.
  virtual void Message(const MyString& text, const MyString& caption, MESSAGEKIND kind) = 0;
  // A question with Yes and No buttons: true for Yes.
  virtual bool AskYesNo(const MyString& text, const MyString& caption) = 0;
  // The save file dialog of the save list; empty when cancelled.
  virtual MyString AskSaveName(const MyString& proposed) = 0;
  // The edit options: the "Rotate and Flip Save Options" and the external
  // editor. bNotSet shows them as the "Rotate and Flip Save Options" with
  // the note that they have not been chosen yet. True when confirmed
  // (stored in the save options and the editor setting).
  virtual bool ShowEditOptions(bool bNotSet) = 0;
  // Offers to choose an external editor: true to go on and choose one.
  virtual bool OfferEditorChoice() = 0;
  // The program file to use as the editor; empty when cancelled.
  virtual MyString ChooseEditorProgram(const MyString& current) = 0;
  // The print dialog for printer; false when cancelled.
  virtual bool SetUpPrinter(QPrinter* printer) = 0;
};

// The viewer's side of the file edits.
struct tagFILEEDITHOST {
  // Removes the selection window over the image, when there is one.
  std::function<void()> removeSelection;
  // The document's image changed size or content: fit and draw it as a new
  // image and tell the navigator views.
  std::function<void()> showAsNewImage;
  // Lists the file's folder and shows the file; 1 when it was shown.
  std::function<int(const MyString& path)> openFile;
  // Whether a load into the viewer is running.
  std::function<bool()> isLoading;
  // "Save As" of the current image; 1 when it was saved.
  std::function<int()> saveAs;
};
