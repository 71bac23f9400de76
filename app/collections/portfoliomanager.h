#pragma once
// "Portfolio Manager": makes and edits a portfolio (.lrm), the ordered
// slides with a delay each, and turns it into an animated GIF. The rows
// live in a CSortedListCtrl; the questions and file choices come through
// CPortfolioUi so that the rules run without a display. A failed save
// stays modified and says why; slides whose files are missing are kept
// (and saved again); a failed load leaves list and path as they were.
// GUI thread only.

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "collections/slideshowbuilder.h"
#include "corekit/mystring.h"
#include "corekit/slidesfile.h"
#include "corekit_ui/dialog.h"

class CSlidePreview;
class CSortedListCtrl;
class CDlgSlideshowBuilder;
class QCheckBox;
class QLabel;
class QProgressBar;

enum : int {
  IDC_PORTFOLIO_NEW = 1401,
  IDC_PORTFOLIO_LOAD = 1402,
  IDC_PORTFOLIO_SAVE = 1403,
  IDC_PORTFOLIO_SAVE_AS = 1404,
  IDC_PORTFOLIO_GIF = 1405,
  IDC_PORTFOLIO_ADD = 1406,
  IDC_PORTFOLIO_ADD_DIRECTORY = 1407,
  IDC_PORTFOLIO_REMOVE = 1408,
  IDC_PORTFOLIO_UP = 1409,
  IDC_PORTFOLIO_DOWN = 1410,
  IDC_PORTFOLIO_PREVIEW = 1411,
  IDC_PORTFOLIO_LIST = 1412,
};

// The manager's columns.
enum : int {
  PORTFOLIO_COL_NAME = 0,
  PORTFOLIO_COL_DELAY = 1,
  PORTFOLIO_COL_SIZE = 2,
  PORTFOLIO_COL_TYPE = 3,
  PORTFOLIO_COL_MODIFIED = 4,
};

// What the manager asks the user.
class CPortfolioUi {
 public:
  virtual ~CPortfolioUi() = default;
  // A Yes / No / Cancel question: IDYES, IDNO or IDCANCEL.
  virtual int Question(const MyString& text, const MyString& caption) = 0;
  // icon: 0 information, 1 warning, 2 error.
  virtual void Message(const MyString& text, const MyString& caption, int icon) = 0;
  // Empty when cancelled.
  virtual MyString AskSavePath() = 0;  // "Lorimo portfolio (*.lrm)", overwrite prompt
  virtual MyString AskLoadPath() = 0;  // "Lorimo Portfolio (*.lrm)", portfolios only
  virtual MyStringList AskImages() = 0;
  virtual MyString AskDirectory() = 0;
  virtual MyString AskGifPath() = 0;  // "Animated GIF (*.GIF)"
};

// The real dialogs and message boxes.
class CPortfolioDialogs : public CPortfolioUi {
 public:
  explicit CPortfolioDialogs(QWidget* owner) : m_pOwner(owner) {}
  int Question(const MyString& text, const MyString& caption) override;
  void Message(const MyString& text, const MyString& caption, int icon) override;
  MyString AskSavePath() override;
  MyString AskLoadPath() override;
  MyStringList AskImages() override;
  MyString AskDirectory() override;
  MyString AskGifPath() override;

 private:
  QWidget* m_pOwner;
};

class CDlgPortfolioManager : public CDialog {
  Q_OBJECT

 public:
  // portfolio: loaded when the dialog opens (empty: a new portfolio).
  // ui: null for the real dialogs; otherwise not owned.
  explicit CDlgPortfolioManager(QWidget* owner = nullptr, const MyString& portfolio = MyString(),
                                CPortfolioUi* ui = nullptr);
  ~CDlgPortfolioManager() override;

  // The portfolio the viewer shows (empty: none) and the request to open it
  // again after it was saved here.
  std::function<MyString()> shownPortfolio;
  std::function<void(const MyString& portfolio)> reopenPortfolio;
  // The autoplay delay that slides of delay 0 take in a GIF.
  std::function<uint32_t()> autoplayDelay;

  // The buttons' work, as the buttons run it. Results 1 done, 0 not.
  int NewPortfolio();
  // Asks for the file (with the save question first).
  int LoadPortfolio();
  // Loads path into the list; on failure tells the user and keeps all.
  int LoadFile(const MyString& path);
  int Save();
  int SaveAs();
  // Appends files as slides of delay 0 (files that cannot be read are
  // left out), then sorts by the current sort column. Returns how many.
  int AddFiles(const MyStringList& files);
  // The folder's images in the folder listing's order, appended.
  int AddDirectory(const MyString& folder);
  int RemoveSelected();
  // Stores "PreviewSlide", asks to save when modified; 0 when the user
  // cancelled (the dialog stays open).
  int CloseManager();
  // Builds the animated GIF; with output empty, asks for it. The build runs
  // on a worker; its end is reported (and the manager enabled again) by
  // the event loop.
  int BuildSlideshow(const MyString& output = MyString());

  const MyString& GetPath() const { return m_strPath; }
  bool IsModified() const;
  void SetModified(bool bModified);
  // The rows as slides, in list order (missing files included).
  std::vector<CSlide> GetSlides() const;
  CSortedListCtrl* List() const { return m_pList; }
  CSlidePreview* Preview() const { return m_pPreview; }
  CDlgSlideshowBuilder* Builder() const { return m_pBuilder.get(); }
  // Whether the row's file was missing when it was listed.
  bool IsRowMissing(int row) const;

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;
  int OnClose() override;
  void OnDestroy() override;

 private:
  // Adds a row; a missing file is added only when bKeepMissing. 1 when added.
  int AddRow(const MyString& path, int32_t delay, bool bKeepMissing);
  // Yes saves (1 goes on when saved), No goes on, Cancel stops: 1 to go on.
  int AskToSave();
  int SaveTo(const MyString& path);
  void UpdateTitle();
  void UpdatePreview();
  void OnSlideshowDone(SLIDESHOWRESULT result, const std::string& error);

  std::unique_ptr<CPortfolioUi> m_pOwnUi;
  CPortfolioUi* m_pUi;
  MyString m_strPath;
  MyString m_strOpenPath;  // loaded by OnInitDialog
  CSortedListCtrl* m_pList = nullptr;
  CSlidePreview* m_pPreview = nullptr;
  QCheckBox* m_pPreviewCheck = nullptr;
  std::unique_ptr<CDlgSlideshowBuilder> m_pBuilder;
};

// "Slideshow builder": the modeless progress of a GIF build, run on a
// worker thread ("Rendering, please wait ...", bar, status, "Cancel").
class CDlgSlideshowBuilder : public CDialog {
  Q_OBJECT

 public:
  explicit CDlgSlideshowBuilder(QWidget* owner = nullptr);
  // Aborts a build still running and waits for it.
  ~CDlgSlideshowBuilder() override;

  // Starts the build; done comes on the GUI thread when it has ended (the
  // dialog is closed by then). 0 when a build is running.
  int Start(std::vector<CSlide> slides, uint32_t autoplayMs, const MyString& output,
            std::function<void(SLIDESHOWRESULT, const std::string&)> done);
  bool IsRunning() const { return m_bRunning; }
  // The status line's text.
  QString GetStatus() const;
  int GetPercent() const;
  CSlideshowBuilder& Builder() { return m_builder; }

 protected:
  int OnCommand(int id) override;
  int OnClose() override;

 private:
  void Join();

  CSlideshowBuilder m_builder;
  std::thread m_thread;
  bool m_bRunning = false;
  QProgressBar* m_pBar = nullptr;
  QLabel* m_pStatus = nullptr;
  QWidget* m_pCancel = nullptr;
};
