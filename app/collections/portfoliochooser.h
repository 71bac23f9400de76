#pragma once
// Choosing portfolio files: an open dialog that takes only ".lrm" files
// ("Please select only Lorimo files !" and it stays open otherwise), with
// an optional "New" button under Cancel that opens an empty Portfolio
// Manager. GUI thread only.

#include <QFileDialog>
#include <functional>

#include "corekit/mystring.h"

class CPortfolioFileDialog : public QFileDialog {
 public:
  // filter: the dialog's label ("Lorimo portfolio (*.lrm)" or "Lorimo
  // Portfolio (*.lrm)"); onNew: null for no "New" button.
  CPortfolioFileDialog(QWidget* owner, const QString& filter, bool bSeveral,
                       std::function<void()> onNew = nullptr);

  // Whether every chosen name is a portfolio file.
  static bool AllPortfolios(const QStringList& files);

 protected:
  void accept() override;

 private:
  std::function<void()> m_onNew;
};

// The portfolio chooser of "Add Portfolio": several files; empty when the
// user cancels.
MyStringList ChoosePortfolios(QWidget* owner, std::function<void()> onNew);
