#include "process/filterpanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QString Text(const char16_t* text) { return QString::fromUtf16(text); }

Magick::Color ToMagick(const QColor& color) {
  return Magick::ColorRGB(color.redF(), color.greenF(), color.blueF());
}

void PaintButton(QPushButton* button, const QColor& color) {
  button->setStyleSheet(QStringLiteral("background-color: %1").arg(color.name()));
}

}  // namespace

CFilterPanel* CFilterPanel::Make(const tagFILTERENTRY& entry, QWidget* parent) {
  switch (entry.kind) {
    case FK_WHITE_BALANCE:
      return new CWhiteBalancePanel(entry, parent);
    case FK_RED_EYE:
      return new CRedEyePanel(entry, parent);
    case FK_AQUA2:
      return new CAQua2Panel(entry, parent);
    case FK_MAGICK:
      break;
  }
  auto* panel = new CFilterPanel(entry, parent);
  auto* grid = new QGridLayout(panel);
  if (entry.makePanel) {
    // A plug-in's own panel: the filter reads it itself.
    if (QWidget* own = entry.makePanel(panel)) grid->addWidget(own, 0, 0);
    return panel;
  }
  int row = 0;
  // Colour pickers first: they say what the numbers act on.
  for (size_t i = 0; i < entry.colorLabels.size(); ++i, ++row) {
    grid->addWidget(new QLabel(Text(entry.colorLabels[i]), panel), row, 0);
    auto* button = new QPushButton(panel);
    button->setFixedWidth(48);
    panel->m_colorButtons.push_back(button);
    panel->m_colors.push_back(i == 0 ? QColor(Qt::white) : QColor(Qt::black));
    PaintButton(button, panel->m_colors.back());
    connect(button, &QPushButton::clicked, panel, [panel, i] {
      const QColor chosen = QColorDialog::getColor(panel->m_colors[i], panel);
      if (!chosen.isValid()) return;
      panel->m_colors[i] = chosen;
      PaintButton(panel->m_colorButtons[i], chosen);
      emit panel->Changed();
    });
    grid->addWidget(button, row, 1);
  }
  if (!entry.choices.empty()) {
    if (entry.pszChoiceLabel) {
      grid->addWidget(new QLabel(Text(entry.pszChoiceLabel), panel), row, 0);
      panel->m_pList = new QComboBox(panel);
      for (const char16_t* choice : entry.choices) panel->m_pList->addItem(Text(choice));
      connect(panel->m_pList, &QComboBox::currentIndexChanged, panel, &CFilterPanel::Changed);
      grid->addWidget(panel->m_pList, row++, 1, 1, 2);
    } else {
      panel->m_pRadios = new QButtonGroup(panel);
      for (size_t i = 0; i < entry.choices.size(); ++i) {
        auto* radio = new QRadioButton(Text(entry.choices[i]), panel);
        radio->setChecked(i == 0);
        panel->m_pRadios->addButton(radio, int(i));
        grid->addWidget(radio, row++, 0, 1, 3);
      }
      connect(panel->m_pRadios, &QButtonGroup::idToggled, panel, [panel](int, bool on) {
        if (!on) return;
        panel->ShowGroups();
        emit panel->Changed();
      });
    }
  }
  if (entry.pszCheck) {
    panel->m_pCheck = new QCheckBox(Text(entry.pszCheck), panel);
    if (entry.pszCheckTooltip) panel->m_pCheck->setToolTip(Text(entry.pszCheckTooltip));
    connect(panel->m_pCheck, &QCheckBox::toggled, panel, [panel] {
      panel->ShowGroups();
      emit panel->Changed();
    });
    grid->addWidget(panel->m_pCheck, row++, 0, 1, 3);
  }
  for (const tagCATALOGUEPARAM& param : entry.params) panel->AddParam(param, row++);
  grid->setRowStretch(row, 1);
  panel->ShowGroups();
  return panel;
}

CFilterPanel::CFilterPanel(const tagFILTERENTRY& entry, QWidget* parent)
    : QWidget(parent), m_entry(entry) {}

void CFilterPanel::AddParam(const tagCATALOGUEPARAM& param, int row) {
  auto* grid = qobject_cast<QGridLayout*>(layout());
  tagPARAMROW r{nullptr, nullptr, nullptr, CParamEditRules(param.range, param.bSlider)};
  r.pLabel = new QLabel(Text(param.pszLabel), this);
  grid->addWidget(r.pLabel, row, 0);
  if (param.bSlider) {
    r.pSlider = new QSlider(Qt::Horizontal, this);
    r.pSlider->setRange(param.range.nMin, param.range.nMax);
    grid->addWidget(r.pSlider, row, 1);
  }
  r.pEdit = new QLineEdit(r.rules.InitialText().ToQString(), this);
  r.pEdit->setFixedWidth(64);
  if (param.pszTooltip) r.pEdit->setToolTip(Text(param.pszTooltip));
  r.pEdit->installEventFilter(this);
  grid->addWidget(r.pEdit, row, 2);
  const size_t index = m_rows.size();
  m_rows.push_back(r);
  const auto apply = [this, index](const tagEDITCHECK& check) {
    tagPARAMROW& row = m_rows[index];
    if (check.bReplaceText) row.pEdit->setText(check.strText.ToQString());
    if (check.bMoveSlider && row.pSlider) {
      const QSignalBlocker block(row.pSlider);
      row.pSlider->setValue(check.nSliderPos);
    }
  };
  connect(r.pEdit, &QLineEdit::textEdited, this, [this, index, apply](const QString& text) {
    apply(m_rows[index].rules.OnTextChanged(MyString::FromQString(text)));
    emit Changed();
  });
  connect(r.pEdit, &QLineEdit::editingFinished, this, [this, index, apply] {
    apply(
        m_rows[index].rules.OnEditingFinished(MyString::FromQString(m_rows[index].pEdit->text())));
  });
  if (r.pSlider)
    connect(r.pSlider, &QSlider::valueChanged, this, [this, index](int position) {
      m_rows[index].pEdit->setText(m_rows[index].rules.TextForSlider(position).ToQString());
      emit Changed();
    });
}

bool CFilterPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.size() == 1 && text[0].isPrint()) {
      for (const tagPARAMROW& row : m_rows)
        if (row.pEdit == watched && !row.rules.AcceptChar(char16_t(text[0].unicode()),
                                                          MyString::FromQString(row.pEdit->text())))
          return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CFilterPanel::ShowGroups() {
  const int selector = m_entry.bGroupByCheck ? (m_pCheck && m_pCheck->isChecked() ? 1 : 0)
                                             : (m_pRadios ? m_pRadios->checkedId() : 0);
  for (size_t i = 0; i < m_rows.size() && i < m_entry.params.size(); ++i) {
    const bool show = m_entry.params[i].nGroup < 0 || m_entry.params[i].nGroup == selector;
    for (QWidget* w :
         {static_cast<QWidget*>(m_rows[i].pLabel), static_cast<QWidget*>(m_rows[i].pSlider),
          static_cast<QWidget*>(m_rows[i].pEdit)})
      if (w) w->setVisible(show);
  }
}

QLineEdit* CFilterPanel::Edit(int i) const {
  return i >= 0 && size_t(i) < m_rows.size() ? m_rows[size_t(i)].pEdit : nullptr;
}

QSlider* CFilterPanel::Slider(int i) const {
  return i >= 0 && size_t(i) < m_rows.size() ? m_rows[size_t(i)].pSlider : nullptr;
}

tagFILTERARGS CFilterPanel::Args() const {
  tagFILTERARGS args;
  for (size_t i = 0; i < m_rows.size() && i < args.dValues.size(); ++i)
    args.dValues[i] = m_rows[i].rules.Value(MyString::FromQString(m_rows[i].pEdit->text()));
  if (m_pList) args.nChoice = m_pList->currentIndex();
  if (m_pRadios) args.nChoice = m_pRadios->checkedId();
  if (m_pCheck) args.bCheck = m_pCheck->isChecked();
  for (size_t i = 0; i < m_colors.size() && i < args.colors.size(); ++i)
    args.colors[i] = ToMagick(m_colors[i]);
  return args;
}

// --- White Balance ---

CWhiteBalancePanel::CWhiteBalancePanel(const tagFILTERENTRY& entry, QWidget* parent)
    : CFilterPanel(entry, parent) {
  auto* grid = new QGridLayout(this);
  m_pWhitePoint = new QRadioButton(tr("White Point:"), this);
  m_pTemperature = new QRadioButton(tr("Temperatures:"), this);
  m_pSwatch = new QLabel(this);
  m_pSwatch->setFixedSize(32, 20);
  m_pSwatch->setAutoFillBackground(true);
  m_pSwatch->hide();
  auto* group = new QButtonGroup(this);
  group->addButton(m_pWhitePoint);
  group->addButton(m_pTemperature);
  m_pPick = new QPushButton(tr("Pick"), this);
  m_pPick->setCheckable(true);
  m_pPick->setToolTip(tr("Click the image where it should be white"));
  grid->addWidget(m_pWhitePoint, 0, 0);
  grid->addWidget(m_pSwatch, 0, 1);
  grid->addWidget(m_pPick, 0, 2);
  grid->addWidget(m_pTemperature, 1, 0, 1, 3);
  AddParam(entry.params[0], 2);
  m_rows[0].pLabel->hide();
  m_pCheck = new QCheckBox(QString::fromUtf16(entry.pszCheck), this);
  connect(m_pCheck, &QCheckBox::toggled, this, &CFilterPanel::Changed);
  grid->addWidget(m_pCheck, 3, 0, 1, 3);
  grid->setRowStretch(4, 1);
  m_pTemperature->setChecked(true);
  // clicked: only the user's choice opens the chooser.
  connect(m_pWhitePoint, &QRadioButton::clicked, this, [this] { ChooseWhitePoint(); });
  connect(m_pTemperature, &QRadioButton::clicked, this, [this] { UseTemperature(); });
}

void CWhiteBalancePanel::ChooseWhitePoint() {
  const QColor start = m_whitePoint.isValid() ? m_whitePoint : QColor(Qt::white);
  const QColor chosen = QColorDialog::getColor(start, this);
  if (!chosen.isValid()) {
    // Cancelled: the previous state stays.
    if (!m_whitePoint.isValid()) m_pTemperature->setChecked(true);
    return;
  }
  SetPickedColor(chosen);
}

void CWhiteBalancePanel::SetPickedColor(const QColor& color) {
  m_pPick->setChecked(false);
  m_whitePoint = color;
  m_pWhitePoint->setChecked(true);
  m_rows[0].pEdit->setEnabled(false);
  m_rows[0].pSlider->setEnabled(false);
  PaintSwatch();
  emit Changed();
}

void CWhiteBalancePanel::UseTemperature() {
  m_whitePoint = QColor();
  m_rows[0].pEdit->setEnabled(true);
  m_rows[0].pSlider->setEnabled(true);
  m_pSwatch->hide();
  emit Changed();
}

void CWhiteBalancePanel::PaintSwatch() {
  QPalette palette = m_pSwatch->palette();
  palette.setColor(QPalette::Window, m_whitePoint);
  m_pSwatch->setPalette(palette);
  m_pSwatch->show();
}

tagFILTERARGS CWhiteBalancePanel::Args() const {
  tagFILTERARGS args = CFilterPanel::Args();
  args.bWhitePoint = m_pWhitePoint->isChecked() && m_whitePoint.isValid();
  if (args.bWhitePoint) args.colors[0] = ToMagick(m_whitePoint);
  return args;
}

// --- Red Eye ---

CRedEyePanel::CRedEyePanel(const tagFILTERENTRY& entry, QWidget* parent)
    : CFilterPanel(entry, parent) {
  auto* box = new QVBoxLayout(this);
  auto* prompt = new QLabel(QString::fromUtf16(kPrompt), this);
  prompt->setAlignment(Qt::AlignCenter);
  QPalette palette = prompt->palette();
  palette.setColor(QPalette::WindowText, QColor(106, 134, 158));
  prompt->setPalette(palette);
  box->addWidget(prompt);
}

// --- AQua2 Enlarge ---

CAQua2Panel::CAQua2Panel(const tagFILTERENTRY& entry, QWidget* parent)
    : CFilterPanel(entry, parent) {
  auto* grid = new QGridLayout(this);
  AddParam(entry.params[0], 0);
  AddParam(entry.params[1], 1);
  m_pCheck = new QCheckBox(QString::fromUtf16(entry.pszCheck), this);
  grid->addWidget(m_pCheck, 2, 0, 1, 3);
  grid->setRowStretch(3, 1);
  for (int i = 0; i < 2; ++i) {
    QLineEdit* edit = m_rows[size_t(i)].pEdit;
    edit->setText(QStringLiteral("100"));
    // Leaving a box: below 100 becomes 100.
    connect(edit, &QLineEdit::editingFinished, this, [edit] {
      if (edit->text().toInt() < 100) edit->setText(QStringLiteral("100"));
    });
    connect(edit, &QLineEdit::textEdited, this, [this, i] { Constrain(i); });
  }
  connect(m_pCheck, &QCheckBox::toggled, this, [this](bool on) {
    if (!on) return;
    const int w = m_rows[0].pEdit->text().toInt(), h = m_rows[1].pEdit->text().toInt();
    if (w == h) return;
    const QString smaller = QString::number(std::min(w, h));
    m_rows[0].pEdit->setText(smaller);
    m_rows[1].pEdit->setText(smaller);
    emit Changed();
  });
}

void CAQua2Panel::Constrain(int from) {
  if (!m_pCheck->isChecked() || m_bCopying) return;
  m_bCopying = true;
  m_rows[size_t(1 - from)].pEdit->setText(m_rows[size_t(from)].pEdit->text());
  m_bCopying = false;
}

tagFILTERARGS CAQua2Panel::Args() const {
  tagFILTERARGS args = CFilterPanel::Args();
  for (int i = 0; i < 2; ++i)
    if (args.dValues[size_t(i)] < 100) args.dValues[size_t(i)] = 100;
  return args;
}
