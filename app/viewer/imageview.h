#pragma once
// The viewer: the central widget that shows the current image of the
// current folder or portfolio at its zoom and scroll position, in the main
// window or alone over the whole screen, and runs the viewer's commands.
// The rules live in plain classes it only wires: the document (the image
// and its file), CViewGeometry (zoom, fit, scroll), CImageStepper (the
// folder position and the loads), CAutoplay (the slideshow); the widget
// measures, draws through CPaintweller and tells the main window what
// changed. GUI thread only.

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "shell/commandrouter.h"
#include "shell/vieweroperations.h"
#include "viewer/edit/imageedits.h"
#include "viewer/fullscreenhost.h"
#include "viewer/geometry.h"
#include "viewer/imagedocument.h"
#include "viewer/imagestepper.h"
#include "viewer/slideshow.h"

class CEditCommands;
class CFileEditCommands;
class CLorimoSettings;
class QPainter;
class QRubberBand;
class QScrollBar;

// Private messages of the viewer; wParam: a const char16_t* path, valid
// during the send.
constexpr UINT WM_LORIMO_SHOW_FOLDER = 1046;
constexpr UINT WM_LORIMO_OPEN_PORTFOLIO = 1047;
// Posted to itself when an image is shown while the viewer is not on view
// (the startup screen holds the centre): the startup screen gives way.
constexpr UINT WM_LORIMO_SHOW_VIEWER = 1049;

// The colour of the empty viewer's texts.
inline const QColor kEmptyViewerTextColor(119, 146, 170);

// A part that adds commands and mouse operations to the viewer (the
// editing). The viewer asks its parts, in the order they were added, before
// its own commands: the first that owns an id runs it and answers its menu
// state.
class CViewerPart : public CCommandTarget {
 public:
  virtual bool OwnsCommand(int id) const = 0;
  // An input-mapping operation the viewer leaves to its parts; 1 when run.
  virtual int RunViewerOperation(VIEWEROPERATION /*operation*/, const POINT& /*pt*/) { return 0; }
  // The mouse moved over the viewer while no zoom or hand drag runs; true
  // when the part followed it.
  virtual bool MouseMove(const QPoint& /*pt*/, Qt::MouseButtons /*buttons*/) { return false; }
  // Drawn over the image (client pixels).
  virtual void PaintOverlay(QPainter& /*painter*/) {}
  // The selection goes (a file rotation, another image).
  virtual void RemoveSelection() {}
  // Another image was loaded, or the viewer emptied.
  virtual void OnImageReplaced() {}
};

class CImageView : public QWidget, public CViewerOperations {
  Q_OBJECT
 public:
  explicit CImageView(QWidget* parent = nullptr);
  ~CImageView() override;

  // Where the recent files, the last displayed image, the portfolio slots
  // and the autoplay delay are kept (the program's settings by default).
  void SetSettings(CLorimoSettings* settings);

  // A file is opened: its folder becomes the list and the file is shown;
  // 0 when it cannot be read (the view is then empty) or the user kept
  // the modified image.
  int OpenFile(const MyString& path);
  // Shows the first image of the folder's sorted listing (1046); 0 when it
  // has none (the viewer then says so) or it cannot be read.
  int ShowFolder(const MyString& folder);
  // Opens a portfolio (1047): its slides become the list, their delays the
  // autoplay delays, the portfolio goes into the portfolio slots and its
  // first slide is shown. 0 when it cannot be read or shows nothing.
  int OpenPortfolio(const MyString& path);
  // Shows the list entry (a chosen thumbnail). 0 for a bad index.
  int ShowIndex(int index);
  // Combined browsing of favorites: a folder's images, or a portfolio's
  // slides, appended to the list as a group of their own; the shown image
  // stays. 0 for a portfolio that cannot be read.
  int AddToList(const MyString& path, bool bPortfolio);
  // The list keeps only the groups of these folders and portfolios (a
  // favorite deselected); nothing changes for an empty list of paths.
  // Returns how many groups went.
  int KeepListGroups(const std::vector<MyString>& paths);
  // A folder changed on disk: a list of several groups lists the groups of
  // that folder (and below) again, the shown image staying. Returns how
  // many groups were listed again.
  int RelistGroups(const MyString& folder);
  // Files dropped together: they are the list, in drop order, and the
  // first is shown. 0 when none can be shown.
  int ShowFiles(const std::vector<MyString>& files);
  // "Save As" with the real dialogs; 1 when the image was saved.
  int SaveAs();
  // The document's image was replaced (a turned file): fitted and drawn as
  // a new image, and the navigator views are told.
  void ShowAsNewImage();
  // The commands that rotate, hand on, copy or print the file.
  CFileEditCommands& FileEdits() { return *m_pFileEdits; }

  // Runs a document command of the menu (its numeric id); 1 when the viewer
  // knows the id, 0 otherwise (the main window then offers it to plug-ins).
  int OnCommand(int id);
  // Menu state of a viewer command: whether it can run now, and whether
  // its entry is checked.
  bool IsCommandEnabled(int id) const;
  bool IsCommandChecked(int id) const;
  // Adds a part; the viewer does not own it, and it must outlive the viewer
  // or be removed first.
  void AddPart(CViewerPart* part);
  void RemovePart(CViewerPart* part);

  // The input mapping's actions without a command id; points are in the
  // viewer's pixels (where the button was pressed, or the mouse is).
  void ScrollUp();
  void ScrollDown();
  void ScrollLeft();
  void ScrollRight();
  void ZoomInOnPixel(const QPoint& pt);
  void ZoomOutOnPixel(const QPoint& pt);
  // The drag tools: started on a press over the image, followed while the
  // mouse moves over the viewer, ended on the release.
  void ZoomInRegionStart(const QPoint& pt);
  void ZoomInRegionStop(const QPoint& pt);
  void HandStart(const QPoint& pt);
  void HandRelease();
  void DynamicZoomStart(const QPoint& pt);
  void DynamicZoomStop();
  void TerminateFullScreen();
  // The same actions by their input-mapping number (the edit region, the
  // measure and the anchor belong to the editing and do nothing here yet).
  int RunViewerOperation(VIEWEROPERATION operation, const POINT& pt) override;
  // A key, a menu or minimizing stops the slideshow.
  void StopAutoplay();

  // The edits: while held, document changes are not shown; ShowEditedImage
  // then shows the edited image as it says and ends the hold.
  void HoldImageChanges() { m_bHoldChanges = true; }
  void ShowEditedImage(EDITSHOW how);
  // Removes the edit selection, if any.
  void RemoveSelection();
  CEditCommands& EditCommands() { return *m_pEditCommands; }

  // Hooks other parts fill.
  // Asked before another image replaces a modified one: true goes on
  // (the image was saved or may be dropped), false cancels the step.
  std::function<bool()> askToSaveModified;
  // Next at the last image (or without one) and Previous at the first,
  // while autoplay is off: true when the favorites pane opened the next
  // (previous) selected folder instead.
  std::function<bool(bool bForward)> favoritesHandOver;
  // Whether the e-mail dialog is up: full screen and autoplay wait for it.
  std::function<bool()> isEmailDialogVisible;
  // Chooses a mouse tool (the rotation tool switches to Anchor); the main
  // window routes the id.
  std::function<int(int id)> selectMouseTool;
  // Where warnings go (text, caption); message boxes by default.
  std::function<void(const MyString& text, const MyString& caption)> showMessage;

  // The main window comes back maximized the first time full screen is
  // left (the program started in full screen with the window maximized).
  void SetMaximizeOnFirstLeave(bool bMaximize) { m_bMaximizeOnLeave = bMaximize; }

  // --- State ---
  const QImage& Image() const;
  CImageDocument& Document() { return *m_pDocument; }
  const CViewGeometry& Geometry() const { return m_geometry; }
  const CImageStepper& Stepper() const { return *m_pStepper; }
  // Folders are listed on a worker: an opened file shows at once, and
  // ListChanged follows when its folder's list is swapped in.
  void ListFoldersOnWorker(bool bOn) { m_pStepper->SetListOnWorker(bOn); }
  // The list and its position, for the views that change it in place (a
  // deleted or renamed file); they call NotifyListChanged afterwards.
  CListPosition& ListPosition() { return m_pStepper->Position(); }
  void NotifyListChanged() { emit ListChanged(); }
  const CSlideshow& Slideshow() const { return m_slideshow; }
  HWND GetSafeHwnd() const { return m_hWnd; }
  // Where the image is drawn, in widget coordinates (empty without image).
  QRect ImageRect() const;
  // The area the image is drawn in: the widget less its scroll bars.
  QSize ClientSize() const;
  QScrollBar* HorizontalBar() const { return m_pHBar; }
  QScrollBar* VerticalBar() const { return m_pVBar; }
  QString TitleText() const { return m_strTitle; }
  bool IsFullScreen() const { return m_geometry.IsFullScreen(); }
  bool IsMaximizeView() const { return m_bMaximizeView; }
  // Actual size: one image pixel per screen pixel (off: Best Fit).
  void SetActualSize(bool actualSize);
  bool IsActualSize() const { return m_geometry.IsActualSize(); }

 signals:
  // The main window's title.
  void TitleChanged(const QString& title);
  void FullScreenChanged(bool bFullScreen);
  // The panes are to be hidden (true) or shown again.
  void MaximizeViewChanged(bool bMaximized);
  void AutoplayChanged(bool bRunning);
  // An image is shown while the viewer is not on view: the startup screen
  // gives way and the viewer takes the centre.
  void ShowViewerRequested();
  // The image at this list position is shown (the thumbnails selection).
  void CurrentImageChanged(const QString& path, int index);
  // The list was built again or changed (another folder or portfolio, a
  // rescan, a sort, a file taken out or renamed).
  void ListChanged();
  // The sizes and times of a list shown before they were read came in; the
  // list and its order are unchanged.
  void ListFactsRead();
  // A load failed; text is the decoder's short message.
  void LoadFailed(const QString& path, const QString& text);
  // The navigator views: 1027 after a zoom, 3 after a hand scroll.
  void NavigatorNotify(int code);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  CViewerPart* PartOf(int id) const;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  tagSTEPOPTIONS StepOptions() const;
  void SyncOptions();
  bool AskToSave();

  // Stepping and showing.
  int Step(STEPCOMMAND command);
  void OnLoaded(const tagLOADEDIMAGE& loaded);
  void ShowEmpty();
  void OnDocumentChanged();
  int Rescan(bool bSortChanged);

  // Geometry results.
  void Warn(ZOOMTOOL tool);
  void AfterZoom(int result, ZOOMTOOL tool);
  void UpdateLayout();
  void SyncBars();
  QSize FullSize() const;
  void PlaceFrame(const tagFRAMEREQUEST& request);
  tagWINDOWMETRICS MeasureWindow() const;
  QWidget* FrameWindow() const;
  void UpdateTitle();
  void UpdateCursor();

  // Full screen, Maximize View, Always on top.
  void EnterFullScreen();
  void LeaveFullScreen();
  void ToggleMaximizeView();
  void ToggleOnTop();

  void ToggleAutoplay();
  int SlideDelay() const;

  CLorimoSettings* m_pSettings;
  // Declared before the stepper: its worker loads into the document.
  std::unique_ptr<CImageDocument> m_pDocument;
  CViewGeometry m_geometry;
  std::unique_ptr<CImageStepper> m_pStepper;
  CSlideshow m_slideshow;
  CFullScreenHost m_fullScreen;
  bool m_bMaximizeOnLeave = false;
  bool m_bMaximizeView = false;
  QScrollBar* m_pHBar;
  QScrollBar* m_pVBar;
  QRubberBand* m_pRubberBand;
  QPoint m_ptPress;
  HWND m_hWnd = nullptr;
  QString m_strTitle;
  // The file of a failed load: the title still names it, as it names a shown one.
  MyString m_strFailedName;
  bool m_bTakingLoad = false;
  bool m_bLayingOut = false;
  std::vector<CViewerPart*> m_parts;
  bool m_bHoldChanges = false;
  // Last: they use the members above and are gone before them.
  std::unique_ptr<CEditCommands> m_pEditCommands;
  std::unique_ptr<CFileEditCommands> m_pFileEdits;
};
