#include "shell/autoplayoptionspage.h"

#include <QFormLayout>
#include <QSpinBox>

#include "shell/settings.h"

CAutoplayOptionsPage::CAutoplayOptionsPage(CLorimoSettings& settings, QWidget* parent)
    : COptionsPage(parent), m_settings(settings) {
  setObjectName(QStringLiteral("AutoplayOptionsPage"));
  auto* layout = new QFormLayout(this);
  m_delay = new QSpinBox(this);
  m_delay->setRange(int(kMinAutoPlayDelay), int(kMaxAutoPlayDelay));
  m_delay->setSingleStep(100);
  m_delay->setSuffix(tr(" ms"));
  m_delay->setValue(int(m_settings.dwAutoPlayMiliseconds));
  layout->addRow(tr("Slide advancement delay:"), m_delay);
}

void CAutoplayOptionsPage::Apply() {
  if (uint32_t(m_delay->value()) != m_settings.dwAutoPlayMiliseconds)
    m_settings.StoreAutoPlayDelay(uint32_t(m_delay->value()));
}
