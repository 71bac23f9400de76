#pragma once
// "Print ...": the shown file printed on one page, as large as the page's
// printable area allows without changing its proportions, centred. An
// edited image is saved first (the save question's print rule).

#include <QImage>

#include "viewer/edit/fileeditui.h"

class CImageDocument;
class CSaveQuestion;
class QPaintDevice;

// Draws image onto the device's page (a printer, a PDF), scaled to fit its
// area keeping the aspect ratio, centred. false when nothing could be
// drawn (an empty image, a device that cannot be painted on).
bool PrintImage(const QImage& image, QPaintDevice* device);

class CPrintCommand {
 public:
  CPrintCommand(CImageDocument& document, CFileEditUi& ui, CSaveQuestion& question);

  // 1 when the image was printed; 0 when there was nothing to print, the
  // user cancelled, or it failed (the user was told).
  int Run();

 private:
  CImageDocument& m_document;
  CFileEditUi& m_ui;
  CSaveQuestion& m_question;
};
