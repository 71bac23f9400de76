#pragma once
// CProcessSession: the process view's applications of a filter to the
// viewer's image, without widgets. Apply copies the image, runs the filter
// on a worker and commits the result through the viewer's edit path (undo
// image, stopped animation, redraw) unless the image changed meanwhile;
// buttons 441 and 442 swap it with the image from before. GUI thread;
// results come back through the Qt event loop.

#include <QObject>
#include <functional>

#include "corekit/mystring.h"
#include "process/processrunner.h"

class CImageDocument;
class CImageEdits;

class CProcessSession : public QObject {
  Q_OBJECT
 public:
  // Both must outlive the session.
  CProcessSession(CImageDocument& document, CImageEdits& edits, QObject* parent = nullptr);
  ~CProcessSession() override;

  // Where messages go (text, caption).
  std::function<void(const MyString& text, const MyString& caption)> showMessage;

  // Starts the filter on a copy of the image; false when one runs already
  // or there is no image (then "Please Open Image First." was shown).
  bool Apply(const tagFILTERENTRY& entry, const tagFILTERARGS& args);
  void Cancel();
  // The viewer goes: the run is stopped and nothing touches its document
  // any more.
  void Detach();
  bool IsRunning() const { return m_runner.IsRunning() || m_bWaiting; }
  int Percent() const { return m_runner.Percent(); }
  // The image changed under a running filter (another image, an edit):
  // the run is cancelled. Called by the view's timer and on changes.
  void CheckDocument();

  // Button 441: the image from before the last application comes back,
  // with the modified flag it had; 442 puts the filtered one back as
  // modified. 1 when swapped, 0 when there is nothing to swap.
  int Undo();
  int Redo();
  // Whether the image shown is the last application (or its undo) and
  // nothing changed it since.
  bool HoldsApplication() const;
  bool CanUndo() const { return HoldsApplication() && !m_bUndone; }
  bool CanRedo() const { return HoldsApplication() && m_bUndone; }
  // "Save As" is disabled after an undo.
  bool CanSaveAs() const { return !(HoldsApplication() && m_bUndone); }

 signals:
  // A run ended (committed, dropped, failed or cancelled): the view leaves
  // its busy state.
  void Finished(int result);
  void StateChanged();

 private:
  void OnFinished(tagFILTERRUN run);

  CImageDocument& m_document;
  CImageEdits& m_edits;
  bool m_bWaiting = false;  // a run's result is on its way
  bool m_bDetached = false;
  uint64_t m_nStartEdition = 0;
  bool m_bApplied = false;
  bool m_bUndone = false;
  bool m_bModifiedBefore = false;
  uint64_t m_nAppliedEdition = 0;
  const tagFILTERENTRY* m_pEntry = nullptr;
  // Last: joined first, before the session goes.
  CProcessRunner m_runner;
};
