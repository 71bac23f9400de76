#pragma once
// Making Lorimo the program that opens image files: a desktop entry
// "lorimo.desktop" in the user's applications folder, and per file type the
// default in the user's mimeapps.list. The default a type had before is
// kept in the settings store ("LorimoUndo" below Software\Classes\<type>)
// and put back when the type is given up again.
//
// ".jpg" and ".jpeg" are one file type here: it stays associated while
// either of the two is checked.

#include <string>
#include <vector>

#include "corekit/mystring.h"

class CRegistryStore;
struct FILEASSOCIATIONS;

inline constexpr char kDesktopFileName[] = "lorimo.desktop";
// Offered by the desktop when a camera card (DCF) is mounted: starts
// "lorimo /WIAAuto". Written with the main entry.
inline constexpr char kTransferDesktopFileName[] = "lorimo-transfer.desktop";

class CFileAssociations {
 public:
  // programPath: what the desktop entry starts (default: this program).
  // The folders follow XDG_DATA_HOME and XDG_CONFIG_HOME.
  explicit CFileAssociations(MyString programPath = MyString(), CRegistryStore* store = nullptr);

  // The MIME types of a record's extension (".bmp" -> image/bmp).
  static std::vector<std::string> MimeTypesFor(const char16_t* extension);
  // Quotes a path for a desktop entry's Exec key.
  static std::string QuoteExecArgument(const std::string& argument);

  MyString GetDesktopFilePath() const;
  MyString GetMimeAppsPath() const { return m_strMimeApps; }

  // Sets each record's flag, and the flag as it was on opening, from the
  // current defaults: associated when Lorimo opens the type.
  void ReadFlags(FILEASSOCIATIONS* records, int count) const;
  // Writes the desktop entry, then associates or gives up every type whose
  // flag changed since ReadFlags, then tells the desktop. 1 on success; 0
  // with GetLastError when a file could not be written (nothing half-done
  // is left in mimeapps.list: it is written once, at the end).
  int Apply(FILEASSOCIATIONS* records, int count);
  const MyString& GetLastError() const { return m_strLastError; }

  // Asks the desktop to read the associations again.
  void NotifyDesktop() const;

 private:
  int WriteDesktopEntry();

  MyString m_strProgram;
  MyString m_strApplications;
  MyString m_strMimeApps;
  CRegistryStore* m_pStore;
  MyString m_strLastError;
};
