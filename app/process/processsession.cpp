#include "process/processsession.h"

#include <QPointer>

#include "corekit/queuedcall.h"
#include "corekit/straw.h"
#include "viewer/edit/imageedits.h"
#include "viewer/imagedocument.h"

namespace {
constexpr const char16_t* kCaption = u"Lorimo: Process";
}  // namespace

CProcessSession::CProcessSession(CImageDocument& document, CImageEdits& edits, QObject* parent)
    : QObject(parent), m_document(document), m_edits(edits) {}

CProcessSession::~CProcessSession() { m_runner.Stop(); }

bool CProcessSession::Apply(const tagFILTERENTRY& entry, const tagFILTERARGS& args) {
  if (IsRunning() || m_bDetached) return false;
  if (!m_document.HasPixels() || !m_document.GetImage().isValid()) {
    if (showMessage) showMessage(u"Please Open Image First.", kCaption);
    return false;
  }
  // The copy is made here, so that the worker's image is its own.
  Magick::Image copy = m_document.GetImage();
  try {
    copy.modifyImage();
  } catch (const std::exception& e) {
    if (showMessage) showMessage(CStrAW::a_toW(e.what()), kCaption);
    return false;
  }
  m_nStartEdition = m_document.GetEdition();
  m_pEntry = &entry;
  m_bWaiting = true;
  QPointer<CProcessSession> self(this);
  if (entry.bGuiThread) {
    // A plug-in's filter reads its own panel: it runs here, and its result
    // comes back the way a worker's does.
    tagFILTERRUN run;
    run.nRequest = m_runner.LastRequest();
    try {
      run.nResult = CFilterCatalogue::Apply(entry, copy, args);
      if (run.nResult == FR_DONE) run.image = copy;
    } catch (const std::exception& e) {
      run.nResult = FR_NOTHING;
      run.strError = e.what();
    }
    QueueCall(this, [self, run = std::move(run)]() mutable {
      if (self) self->OnFinished(std::move(run));
    });
    emit StateChanged();
    return true;
  }
  m_runner.Start(entry, std::move(copy), args, [self](tagFILTERRUN run) {
    // Queued to the GUI thread; dropped when the session is gone.
    QueueCall(self.data(), [self, run = std::move(run)]() mutable {
      if (self) self->OnFinished(std::move(run));
    });
  });
  emit StateChanged();
  return true;
}

void CProcessSession::Cancel() { m_runner.Cancel(); }

void CProcessSession::Detach() {
  m_runner.Stop();
  m_bDetached = true;
  m_bWaiting = false;
  m_bApplied = false;
}

void CProcessSession::CheckDocument() {
  if (m_bDetached) return;
  if (IsRunning() && m_document.GetEdition() != m_nStartEdition) m_runner.Cancel();
}

void CProcessSession::OnFinished(tagFILTERRUN run) {
  if (m_bDetached || run.nRequest != m_runner.LastRequest()) return;
  m_bWaiting = false;
  int result = run.nResult;
  if (m_document.GetEdition() != m_nStartEdition || !m_document.HasImage()) {
    // Another image or an edit came first: the result belongs to nothing.
    result = FR_CANCELLED;
  } else if (!run.strError.empty()) {
    if (showMessage) showMessage(CStrAW::a_toW(run.strError.c_str()), kCaption);
  } else if (result == FR_TOO_LARGE) {
    if (showMessage) showMessage(u"The result would be too large for an image.", kCaption);
  } else if (result == FR_DONE) {
    const Magick::Image& before = m_document.GetImage();
    const bool bSameSize =
        before.columns() == run.image.columns() && before.rows() == run.image.rows();
    const bool bModified = m_document.IsModified();
    if (m_edits.Commit(run.image, bSameSize ? ES_REDRAW : ES_NEW_KEEP_ZOOM) == ER_DONE) {
      m_bApplied = true;
      m_bUndone = false;
      m_bModifiedBefore = bModified;
      m_nAppliedEdition = m_document.GetEdition();
    } else {
      result = FR_NOTHING;
    }
  }
  emit Finished(result);
  emit StateChanged();
}

bool CProcessSession::HoldsApplication() const {
  return m_bApplied && m_document.GetEdition() == m_nAppliedEdition && !IsRunning();
}

int CProcessSession::Undo() {
  if (!CanUndo() || m_edits.Swap(true) != ER_DONE) return 0;
  // The flag from before the application: earlier unsaved edits still ask.
  m_document.SetModified(m_bModifiedBefore);
  m_bUndone = true;
  m_nAppliedEdition = m_document.GetEdition();
  emit StateChanged();
  return 1;
}

int CProcessSession::Redo() {
  if (!CanRedo() || m_edits.Swap(false) != ER_DONE) return 0;
  m_document.SetModified(true);
  m_bUndone = false;
  m_nAppliedEdition = m_document.GetEdition();
  emit StateChanged();
  return 1;
}
