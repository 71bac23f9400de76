#include "collections/portfoliochooser.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "shell/commandline.h"

CPortfolioFileDialog::CPortfolioFileDialog(QWidget* owner, const QString& filter, bool bSeveral,
                                           std::function<void()> onNew)
    : QFileDialog(owner), m_onNew(std::move(onNew)) {
  // Our own dialog: the "New" button and the refusal need its widgets.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(bSeveral ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  setNameFilter(filter);
  setDefaultSuffix(QStringLiteral("lrm"));
  if (!m_onNew) return;
  // The dialog's buttons stand in a column; "New" goes below Cancel.
  if (auto* box = findChild<QDialogButtonBox*>()) {
    QPushButton* button = box->addButton(tr("New"), QDialogButtonBox::ActionRole);
    connect(button, &QPushButton::clicked, this, [this] { m_onNew(); });
  }
}

bool CPortfolioFileDialog::AllPortfolios(const QStringList& files) {
  for (const QString& file : files)
    if (!IsPortfolioPath(MyString::FromQString(file))) return false;
  return !files.isEmpty();
}

void CPortfolioFileDialog::accept() {
  const QStringList files = selectedFiles();
  // Folders are entered as the dialog does it; only the files are checked.
  if (files.size() == 1 && QFileInfo(files[0]).isDir()) {
    QFileDialog::accept();
    return;
  }
  if (!AllPortfolios(files)) {
    QMessageBox::warning(this, tr("Lorimo Error"), tr("Please select only Lorimo files !"));
    return;
  }
  QFileDialog::accept();
}

MyStringList ChoosePortfolios(QWidget* owner, std::function<void()> onNew) {
  CPortfolioFileDialog dialog(owner, QObject::tr("Lorimo portfolio (*.lrm)"), true,
                              std::move(onNew));
  MyStringList chosen;
  if (dialog.exec() != QDialog::Accepted) return chosen;
  for (const QString& file : dialog.selectedFiles()) chosen.Append(MyString::FromQString(file));
  return chosen;
}
