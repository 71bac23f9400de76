#pragma once
// The small panel of the rotation tool: the angle box (degrees clockwise)
// and "Apply". It only shows the angle and reports Apply; the rotation is
// CImageEdits'. GUI thread only.

#include <QWidget>

#include "corekit/mystring.h"

class QLineEdit;
class QPushButton;

class CRotationPanel : public QWidget {
  Q_OBJECT
 public:
  explicit CRotationPanel(QWidget* owner);

  MyString AngleText() const;
  void SetAngleText(const MyString& text);
  QLineEdit* AngleBox() const { return m_pAngle; }
  QPushButton* ApplyButton() const { return m_pApply; }

 signals:
  void ApplyClicked();
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLineEdit* m_pAngle;
  QPushButton* m_pApply;
};
