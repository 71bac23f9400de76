#pragma once
// The parameter panels of the process view: one per catalogue entry, made
// from the entry's description (sliders with edit boxes, a list or radio
// buttons, a check box, colour pickers), and the three panels of the
// corrections (White Balance, Red Eye, AQua2 Enlarge). A panel only maps its
// controls to the filter's arguments; the rules live in CParamEditRules.

#include <QColor>
#include <QWidget>
#include <vector>

#include "process/filtercatalogue.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

class CFilterPanel : public QWidget {
  Q_OBJECT
 public:
  static CFilterPanel* Make(const tagFILTERENTRY& entry, QWidget* parent);

  const tagFILTERENTRY& Entry() const { return m_entry; }
  // The arguments the controls hold now.
  virtual tagFILTERARGS Args() const;
  // A colour picked from the image (White Balance takes it as white point).
  virtual void SetPickedColor(const QColor&) {}

  // The edit box and slider of numeric parameter i (null without).
  QLineEdit* Edit(int i) const;
  QSlider* Slider(int i) const;
  QCheckBox* CheckBox() const { return m_pCheck; }

 signals:
  // Any parameter changed.
  void Changed();

 protected:
  CFilterPanel(const tagFILTERENTRY& entry, QWidget* parent);
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Adds a slider and edit row for the parameter (rules: its range).
  void AddParam(const tagCATALOGUEPARAM& param, int row);
  void ShowGroups();

  const tagFILTERENTRY& m_entry;
  struct tagPARAMROW {
    QLabel* pLabel = nullptr;
    QSlider* pSlider = nullptr;
    QLineEdit* pEdit = nullptr;
    CParamEditRules rules;
  };
  std::vector<tagPARAMROW> m_rows;
  QComboBox* m_pList = nullptr;
  QButtonGroup* m_pRadios = nullptr;
  QCheckBox* m_pCheck = nullptr;
  std::vector<QPushButton*> m_colorButtons;
  std::vector<QColor> m_colors;
};

class CWhiteBalancePanel : public CFilterPanel {
  Q_OBJECT
 public:
  CWhiteBalancePanel(const tagFILTERENTRY& entry, QWidget* parent);
  tagFILTERARGS Args() const override;
  void SetPickedColor(const QColor& color) override;
  QRadioButton* WhitePointButton() const { return m_pWhitePoint; }
  // Checked: the next click on the image picks the white point there.
  QPushButton* PickButton() const { return m_pPick; }
  QRadioButton* TemperatureButton() const { return m_pTemperature; }
  bool HasWhitePoint() const { return m_whitePoint.isValid(); }

 private:
  void ChooseWhitePoint();
  void UseTemperature();
  void PaintSwatch();

  QRadioButton* m_pWhitePoint;
  QRadioButton* m_pTemperature;
  QLabel* m_pSwatch;
  QPushButton* m_pPick;
  QColor m_whitePoint;
};

class CRedEyePanel : public CFilterPanel {
  Q_OBJECT
 public:
  static constexpr const char16_t* kPrompt = u"Please select a region then click Preview.";
  CRedEyePanel(const tagFILTERENTRY& entry, QWidget* parent);
};

class CAQua2Panel : public CFilterPanel {
  Q_OBJECT
 public:
  CAQua2Panel(const tagFILTERENTRY& entry, QWidget* parent);
  tagFILTERARGS Args() const override;

 private:
  void Constrain(int from);
  bool m_bCopying = false;
};
