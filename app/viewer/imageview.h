#pragma once
// The central view: draws the document's image fitted into the window and
// centred, or the empty-viewer text. The document does the work; this
// widget only draws it and answers its window messages.

#include <QImage>
#include <QWidget>

#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "viewer/imagedocument.h"

// Private message of the viewer: show the images of a folder (wParam: a
// const char16_t* path, valid during the send).
constexpr UINT WM_LORIMO_SHOW_FOLDER = 1046;

class CImageView : public QWidget {
  Q_OBJECT
 public:
  explicit CImageView(QWidget* parent = nullptr);
  ~CImageView() override;

  // Loads and shows the file; 0 when it cannot be read (the view is then empty).
  int OpenFile(const MyString& path);
  // Shows the first image of the folder's sorted listing; 0 when it has none.
  int ShowFolder(const MyString& folder);
  // "Save As" with the real dialogs; 1 when the image was saved.
  int SaveAs();

  // Runs a document command of the menu (its numeric id); 1 when the viewer
  // knows the id, 0 otherwise (the main window then offers it to plug-ins).
  int OnCommand(int id);
  // Menu state of a viewer command: whether it can run now, and whether
  // its entry is checked.
  bool IsCommandEnabled(int id) const;
  bool IsCommandChecked(int id) const;

  // Shows an image that has no file (the document keeps no path).
  void SetImage(const QImage& image);
  const QImage& Image() const { return m_pDocument->GetDisplayImage(); }
  CImageDocument& Document() { return *m_pDocument; }
  HWND GetSafeHwnd() const { return m_hWnd; }
  // Where the image is drawn, in widget coordinates (empty without image).
  QRect ImageRect() const;
  // Actual size: one image pixel per screen pixel, large images not shrunk.
  void SetActualSize(bool actualSize);
  bool IsActualSize() const { return m_bActualSize; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  std::unique_ptr<CImageDocument> m_pDocument;
  HWND m_hWnd = nullptr;
  bool m_bActualSize = false;
};
