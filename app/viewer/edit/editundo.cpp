#include "viewer/edit/editundo.h"

#include <utility>

CEditUndo::CEditUndo(Magick::Image& image, std::unique_ptr<Magick::Image>& undoImage,
                     bool& bUndoAvailable, bool& bRedoAvailable, bool& bModified)
    : m_image(image),
      m_undoImage(undoImage),
      m_bUndo(bUndoAvailable),
      m_bRedo(bRedoAvailable),
      m_bModified(bModified) {}

int CEditUndo::SaveUndoState() {
  std::unique_ptr<Magick::Image> copy;
  if (m_image.isValid()) {
    try {
      copy = std::make_unique<Magick::Image>(m_image);
      // A copy of its own: code that writes the pixels through the library's
      // C interface would otherwise change the shared undo image as well.
      copy->modifyImage();
    } catch (const std::exception&) {
      return 0;
    }
  }
  Discard();
  if (!copy) return 1;
  m_undoImage = std::move(copy);
  m_bUndo = true;
  return 1;
}

int CEditUndo::CommitEdit(const Magick::Image& edited) {
  if (!SaveUndoState()) return 0;
  m_image = edited;
  m_bModified = true;
  return 1;
}

int CEditUndo::Undo() { return Swap(m_bUndo, m_bRedo); }

int CEditUndo::Redo() { return Swap(m_bRedo, m_bUndo); }

int CEditUndo::Swap(bool& bFrom, bool& bTo) {
  if (!bFrom || !m_undoImage) return 0;
  bFrom = false;
  bTo = true;
  std::swap(m_image, *m_undoImage);
  return 1;
}

void CEditUndo::Discard() {
  m_undoImage.reset();
  m_bUndo = false;
  m_bRedo = false;
}
