#pragma once
// The numeric parameters of the process view's filters: the record each
// slider and edit-box pair is described by, and the rules of the edit box
// (what it shows at first and after a slider move, which keys it takes, and
// how a typed value is bounded). No widgets: the panels call these.

#include <cstdint>

#include "corekit/mystring.h"

struct tagFILTERPARAM {
  int nSliderId;  // control ids of the pair
  int nEditId;
  int16_t nMin;
  int16_t nMax;
  uint8_t bDecimal;  // a decimal value (smallest useful value 0.1)
  uint8_t bFlag2;    // always 0
};

// What a change of the edit box's text leads to.
struct tagEDITCHECK {
  bool bReplaceText = false;  // the box is to show strText instead
  MyString strText;
  bool bMoveSlider = false;  // the slider goes to nSliderPos
  int nSliderPos = 0;
};

class CParamEditRules {
 public:
  // bBounded false: a parameter without a slider, passed as typed.
  explicit CParamEditRules(const tagFILTERPARAM& param, bool bBounded = true)
      : m_param(param), m_bBounded(bBounded) {}

  // The smallest value the box holds: 0.1 for a decimal parameter at 0.
  double Minimum() const;
  // "0.1" for a decimal parameter at 0, else the whole number.
  MyString InitialText() const;
  MyString TextForSlider(int position) const;
  // A decimal box takes digits, backspace and one point; a whole-number box
  // digits and backspace. current: the text before the key.
  bool AcceptChar(char16_t ch, const MyString& current) const;
  // After each change: above the maximum becomes the maximum at once; the
  // minimum waits for the end of editing (so that "0.5" can be typed
  // through "0."), else the slider follows.
  tagEDITCHECK OnTextChanged(const MyString& text) const;
  // Editing ended: a value below the minimum (or no number) becomes it.
  tagEDITCHECK OnEditingFinished(const MyString& text) const;
  // The value the filter gets.
  double Value(const MyString& text) const;

 private:
  MyString Format(double value) const;
  static bool Parse(const MyString& text, double* value);

  tagFILTERPARAM m_param;
  bool m_bBounded;
};
