#pragma once
// The small panel that floats over the viewer while autoplay runs: a
// backward and a forward button (the direction), play/pause, and the number
// of the slide on screen. It only shows the state and reports the buttons;
// the viewer runs the show. Its buttons never take the keyboard focus, so a
// key press always reaches the viewer (and stops the show).

#include <QWidget>

class QLineEdit;
class QToolButton;

class CAutoplayPanel : public QWidget {
  Q_OBJECT
 public:
  explicit CAutoplayPanel(QWidget* parent);

  // nSlide is 1-based; nCount the slides in the list.
  void SetSlide(int nSlide, int nCount);
  void SetPlaying(bool bPlaying);
  void SetBackward(bool bBackward);
  // Keeps the panel at the bottom centre of its parent.
  void Place();

  QToolButton* BackwardButton() const { return m_pBackward; }
  QToolButton* ForwardButton() const { return m_pForward; }
  QToolButton* PlayPauseButton() const { return m_pPlayPause; }
  QString SlideText() const;

 signals:
  void Backward();
  void Forward();
  void PlayPause();

 private:
  QToolButton* m_pBackward;
  QToolButton* m_pPlayPause;
  QToolButton* m_pForward;
  QLineEdit* m_pSlide;
};
