#pragma once
// Scanning into the viewer: "Select Source" (363) and "Acquire" (364) go to
// SANE through CTwain; each scanned page becomes the viewer's image
// "Acquired Image", which has no file until it is saved. GUI thread.

#include <memory>

#include <Magick++.h>

#include "shell/commandrouter.h"

class CMainFrame;
class CImageView;
class CTwain;

class CScanAcquire {
 public:
  explicit CScanAcquire(CMainFrame* frame);
  ~CScanAcquire();

  CCommandTarget* CommandTarget() { return &m_commands; }
  CTwain& Twain() { return *m_twain; }

  // A scanned page becomes the viewer's image (after the save question for
  // an unsaved one). false when the viewer kept its image.
  static bool TakeAcquiredImage(CImageView* view, const Magick::Image& image);

 private:
  CMainFrame* m_frame;
  std::unique_ptr<CTwain> m_twain;
  CCommandFunctions m_commands;
};

// Sets the start-up and shut-down hooks and the scanner commands' target.
void InstallScanner(CMainFrame* frame);
