#include "collections/collectionsetup.h"

#include <QObject>

#include "collections/portfoliomanager.h"
#include "shell/commandids.h"
#include "shell/commandrouter.h"
#include "shell/mainframe.h"
#include "viewer/imagestepper.h"
#include "viewer/imageview.h"

namespace {

// The portfolio commands; a child of the window, so it lives as long.
class CPortfolioCommands : public QObject, public CCommandTarget {
 public:
  explicit CPortfolioCommands(CMainFrame* frame) : QObject(frame), m_pFrame(frame) {}

  int OnCommand(int id) override {
    if (id != IDM_PORTFOLIO_MANAGER) return 0;
    OpenPortfolioManager(m_pFrame, MyString());
    return 1;
  }

 private:
  CMainFrame* m_pFrame;
};

}  // namespace

void InstallCollections(CMainFrame* frame) {
  frame->Router().SetTarget(CO_PORTFOLIOS, new CPortfolioCommands(frame));
}

int OpenPortfolioManager(CMainFrame* frame, const MyString& portfolio) {
  CDlgPortfolioManager manager(frame, portfolio);
  manager.shownPortfolio = [frame] {
    return frame->Viewer() ? frame->Viewer()->Stepper().GetPortfolioPath() : MyString();
  };
  manager.reopenPortfolio = [frame](const MyString& path) { frame->ShowPortfolio(path); };
  return manager.DoModal() >= 0 ? 1 : 0;
}
