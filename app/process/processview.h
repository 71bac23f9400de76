#pragma once
// CProcessView: the content of the "Process" tool view. A drop-down of the
// filter catalogue chooses the panel shown; "Apply" runs the filter on the
// viewer's image on a worker (a bar and "Cancel" meanwhile), "Save As"
// saves the viewer's image, and buttons 441 and 442 swap the image from
// before the last application with the filtered one. While it is shown and
// holds an application, the viewer's Edit > Undo and Redo come here. GUI
// thread only.

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "process/filterpanel.h"
#include "process/processsession.h"

class CImageView;
class CPreviewOverlay;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QToolButton;

class CProcessView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kUndoButtonId = 441;
  static constexpr int kRedoButtonId = 442;
  static constexpr const char16_t* kNoFilter = u"No Filter selected ...";

  CProcessView(CImageView& viewer, QWidget* parent);
  ~CProcessView() override;

  // Shows the entry's panel (the menu's choice); the same one again does nothing.
  void ChooseFilter(int index);
  int ChosenFilter() const { return m_nChosen; }
  CFilterPanel* Panel() const;
  // Runs the shown filter; false when nothing was started.
  bool Apply();
  void Cancel();
  // Runs the shown filter on a downscaled copy on a worker; the viewer
  // draws the result over the image until parameters, image or Apply
  // change. A newer request drops and cancels the one before.
  void Preview();
  bool HasPreview() const;
  bool IsPreviewRunning() const { return m_previewRunner.IsRunning() || m_bPreviewWaiting; }
  // Ends a pending preview (another image, Apply, the panel changed).
  void EndPreview();
  int Undo() { return m_session.Undo(); }
  int Redo() { return m_session.Redo(); }

  CProcessSession& Session() { return m_session; }
  QToolButton* FilterButton() const { return m_pFilters; }
  QPushButton* ApplyButton() const { return m_pApply; }
  QPushButton* CancelButton() const { return m_pCancel; }
  QPushButton* SaveAsButton() const { return m_pSaveAs; }
  QPushButton* PreviewButton() const { return m_pPreview; }
  QToolButton* UndoButton() const { return m_pUndo; }
  QToolButton* RedoButton() const { return m_pRedo; }
  QProgressBar* Bar() const { return m_pBar; }

 protected:
  // A click on the image while a panel picks a colour.
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // A run ended with this FILTERRESULT.
  void ApplyFinished(int result);
  // A preview arrived and is drawn.
  void PreviewShown();

 private:
  void SetBusy(bool busy);
  void UpdateButtons();
  void OnTick();
  // The Red Eye region or the full arguments of the shown panel; false
  // when the filter has nothing to work on.
  bool ReadArgs(tagFILTERARGS* args);
  void OnPreview(tagFILTERRUN run);

  CImageView& m_viewer;
  // The viewer may go first when the main window closes.
  QPointer<CImageView> m_pViewerAlive;
  CProcessSession m_session;
  QToolButton* m_pFilters;
  QPushButton* m_pApply;
  QPushButton* m_pCancel;
  QPushButton* m_pSaveAs;
  QPushButton* m_pPreview;
  QToolButton* m_pUndo;
  QToolButton* m_pRedo;
  QProgressBar* m_pBar;
  QStackedWidget* m_pPanels;
  std::vector<CFilterPanel*> m_panels;  // made when first chosen
  int m_nChosen = -1;
  QTimer m_timer;
  bool m_bRedEyeRun = false;
  CPreviewOverlay* m_pOverlay;
  bool m_bPreviewWaiting = false;
  uint64_t m_nPreviewEdition = 0;
  uint64_t m_nPreviewWanted = 0;
  // Last: joined before the rest goes.
  CProcessRunner m_previewRunner;
};
