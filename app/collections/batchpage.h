#pragma once
// "Batch Processing ...": the sheet with its one page "File batch
// processing", the modeless "Conversion Progress ..." dialog, and the
// command target of "&Batch Processing ..." that runs a batch on a thread
// of its own (greyed while one runs). The work itself is CBatchRun's; the
// page only gathers the settings and the files. GUI thread only.

#include <QObject>
#include <QWidget>
#include <functional>
#include <memory>
#include <thread>

#include "collections/batchrun.h"
#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"

class CMainFrame;
class CSlidePreview;
class CSortedListCtrl;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class CBatchPage : public QWidget {
  Q_OBJECT

 public:
  explicit CBatchPage(QWidget* parent = nullptr);
  ~CBatchPage() override;

  // Adds files as "Add" does: images in sorted name order, then the slides
  // of the portfolios among them. A file already listed is refused with
  // "File Name Error". Returns the number added.
  int AddFiles(const MyStringList& paths);
  // The files in processing order (the list's current order).
  MyStringList Sources() const;
  tagBATCHSETTINGS Settings() const;
  void SetSettings(const tagBATCHSETTINGS& settings);
  // The example box's three lines.
  QString ExampleText() const;
  CSortedListCtrl* List() const { return m_pList; }

  // Questions and messages, replaceable so the rules run without a display.
  std::function<void(const QString& text, const QString& caption)> showError;
  std::function<MyStringList()> askFiles;
  std::function<MyString()> askFolder;
  // Opens the resize options (true when accepted) and the angle question.
  std::function<bool(BATCHRESIZEOPTIONS* options)> askResize;
  std::function<bool(MyString* angle)> askAngle;

 private:
  void Build();
  void UpdateControls();
  void UpdateExample();
  void UpdatePreview();
  void OnAdd();
  void OnRemove();
  void OnResizeToggled(bool bOn);
  void OnRotateToggled(bool bOn);
  void OnSaveSettings();
  void OnLoadSettings();
  int AddRow(const MyString& path);

  CSortedListCtrl* m_pList = nullptr;
  CSlidePreview* m_pPreview = nullptr;
  QCheckBox* m_pPreviewCheck = nullptr;
  QCheckBox* m_pConvert = nullptr;
  QComboBox* m_pFormat = nullptr;
  QCheckBox* m_pRename = nullptr;
  QLineEdit* m_pCutFirst = nullptr;
  QLineEdit* m_pCutLast = nullptr;
  QRadioButton* m_pFront = nullptr;
  QRadioButton* m_pEnd = nullptr;
  QLineEdit* m_pPreName = nullptr;
  QLineEdit* m_pNumber = nullptr;
  QLineEdit* m_pIncrement = nullptr;
  QLineEdit* m_pPostName = nullptr;
  QCheckBox* m_pResize = nullptr;
  QPushButton* m_pResizeOptions = nullptr;
  QCheckBox* m_pRotate = nullptr;
  QLineEdit* m_pAngle = nullptr;
  QPushButton* m_pChangeDir = nullptr;
  QLineEdit* m_pDestination = nullptr;
  QLineEdit* m_pWorkers = nullptr;
  QLabel* m_pExample = nullptr;
  BATCHRESIZEOPTIONS m_resize;
  bool m_bResizeSet = false;
};

class CDlgConversionProgress : public CDialog {
  Q_OBJECT

 public:
  explicit CDlgConversionProgress(QWidget* parent = nullptr);
  void Show(const tagBATCHRECORD& record, size_t count);
  std::function<void()> cancelled;

 protected:
  int OnCommand(int id) override;
  int OnClose() override;

 private:
  QLabel* m_pFrom = nullptr;
  QLabel* m_pTo = nullptr;
  QProgressBar* m_pBar = nullptr;
};

// Runs one batch at a time on its own thread, its records shown in the
// progress dialog; Stop() (also at exit) ends it after the files in hand.
class CBatchRunner : public QObject {
  Q_OBJECT

 public:
  explicit CBatchRunner(QWidget* owner);
  ~CBatchRunner() override;
  bool IsRunning() const { return m_bRunning; }
  // Starts the run; false when one runs already or there is nothing to do.
  bool Start(const tagBATCHSETTINGS& settings, const MyStringList& sources);
  void Stop();
  // Waits for the thread (after Stop at exit).
  void Join();
  // Closes the progress dialog (at exit, with the other tool dialogs).
  void CloseProgress();

 signals:
  void Finished(const tagBATCHSUMMARY& summary);

 private:
  QWidget* m_pOwner;
  std::unique_ptr<CBatchRun> m_run;
  std::thread m_thread;
  CDlgConversionProgress* m_pProgress = nullptr;
  bool m_bRunning = false;
};

class CDlgBatchProcessing : public CDialog {
  Q_OBJECT

 public:
  CDlgBatchProcessing(QWidget* parent, CBatchRunner* runner);
  ~CDlgBatchProcessing() override;
  CBatchPage* Page() const { return m_pPage; }
  // OK and Apply: runs the page's batch. false when nothing ran.
  bool Apply();

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;
  void OnDestroy() override;

 private:
  CBatchPage* m_pPage = nullptr;
  CBatchRunner* m_pRunner;
};

// The main window's "&Batch Processing ..." (command 6).
void InstallBatchCommands(CMainFrame* frame);
