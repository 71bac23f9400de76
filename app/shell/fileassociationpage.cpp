#include "shell/fileassociationpage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "pixwork/options.h"
#include "shell/fileassociations.h"

CFileAssociationPage::CFileAssociationPage(CFileAssociations& associations, QWidget* parent)
    : COptionsPage(parent), m_associations(associations) {
  setObjectName(QStringLiteral("FileAssociationPage"));
  auto* layout = new QVBoxLayout(this);
  auto* box = new QGroupBox(tr("Files Associated with Lorimo"), this);
  auto* grid = new QGridLayout(box);
  for (int i = 0; i < FA_COUNT; ++i) {
    // "BMP (.bmp)"
    const QString extension = QString::fromUtf16(gFA[i].pszExtension);
    auto* check = new QCheckBox(
        extension.mid(1).toUpper() + QStringLiteral(" (") + extension + QLatin1Char(')'), box);
    grid->addWidget(check, i / 2, i % 2);
    SetControl(gFA[i].nID, check);
  }
  layout->addWidget(box);

  auto* buttons = new QHBoxLayout;
  auto* selectAll = new QPushButton(tr("Select All"), this);
  auto* deselectAll = new QPushButton(tr("Deselect All"), this);
  auto* refresh = new QPushButton(tr("Refresh Icons"), this);
  buttons->addWidget(selectAll);
  buttons->addWidget(deselectAll);
  buttons->addStretch();
  buttons->addWidget(refresh);
  layout->addLayout(buttons);
  layout->addStretch();
  connect(selectAll, &QPushButton::clicked, this, [this] { SetAll(true); });
  connect(deselectAll, &QPushButton::clicked, this, [this] { SetAll(false); });
  connect(refresh, &QPushButton::clicked, this, [this] { m_associations.NotifyDesktop(); });

  m_associations.ReadFlags(gFA, FA_COUNT);
  ShowFlags();
}

void CFileAssociationPage::ShowFlags() {
  for (const FILEASSOCIATIONS& record : gFA)
    if (auto* check = qobject_cast<QCheckBox*>(GetControl(record.nID)))
      check->setChecked(record.bAssociated != 0);
}

void CFileAssociationPage::SetAll(bool checked) {
  for (const FILEASSOCIATIONS& record : gFA)
    if (auto* check = qobject_cast<QCheckBox*>(GetControl(record.nID))) check->setChecked(checked);
}

void CFileAssociationPage::Apply() {
  for (FILEASSOCIATIONS& record : gFA)
    if (auto* check = qobject_cast<QCheckBox*>(GetControl(record.nID)))
      record.bAssociated = check->isChecked() ? 1 : 0;
  m_nApplyResult = m_associations.Apply(gFA, FA_COUNT);
}

MyString CFileAssociationPage::GetLastError() const { return m_associations.GetLastError(); }
