#pragma once
// CEditUndo: the one level of undo and redo of the viewer's in-memory edits,
// kept in the fields of the geometry record it is given: the image, the
// undo image (the image as it was before the last edit, or none) and the
// undo, redo and modified flags. Undo and redo are never both available.
// GUI thread only.

#include <memory>

#include <Magick++.h>

class CEditUndo {
 public:
  // The fields must outlive this object.
  CEditUndo(Magick::Image& image, std::unique_ptr<Magick::Image>& undoImage, bool& bUndoAvailable,
            bool& bRedoAvailable, bool& bModified);

  // Before an edit: the previous undo image goes; a valid image is copied
  // as the new one and undo becomes available. 0 when the copy cannot be
  // made (out of memory): then nothing has changed.
  int SaveUndoState();
  // The usual edit: the undo state is saved, edited becomes the image and
  // the image is marked modified. Edits are made on a copy and handed in
  // here only when they succeeded, so a failed edit changes nothing. 0
  // (nothing changed) when the undo copy cannot be made.
  int CommitEdit(const Magick::Image& edited);
  // 1 when the image was swapped with the undo image, 0 when there was
  // nothing to undo. The modified flag stays as it is.
  int Undo();
  int Redo();
  // Drops the undo image and both flags (another image, a file rotation).
  void Discard();

  bool CanUndo() const { return m_bUndo && m_undoImage; }
  bool CanRedo() const { return m_bRedo && m_undoImage; }

 private:
  // Undo and redo are the same swap in opposite directions.
  int Swap(bool& bFrom, bool& bTo);

  Magick::Image& m_image;
  std::unique_ptr<Magick::Image>& m_undoImage;
  bool& m_bUndo;
  bool& m_bRedo;
  bool& m_bModified;
};
