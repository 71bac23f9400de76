#include "process/filterparams.h"

#include <cmath>
#include <string>

#include "corekit/straw.h"

namespace {
constexpr double kDecimalFloor = 0.1;
}  // namespace

double CParamEditRules::Minimum() const {
  if (!m_bBounded) return 0;
  return m_param.bDecimal && m_param.nMin <= 0 ? kDecimalFloor : double(m_param.nMin);
}

MyString CParamEditRules::Format(double value) const {
  if (m_param.bDecimal && value == kDecimalFloor) return u"0.1";
  // Bounds and slider positions are whole numbers in either kind of box.
  return CStrAW::a_toW(std::to_string(std::lround(value)).c_str());
}

MyString CParamEditRules::InitialText() const { return Format(Minimum()); }

MyString CParamEditRules::TextForSlider(int position) const {
  if (position < m_param.nMin) position = m_param.nMin;
  if (position > m_param.nMax) position = m_param.nMax;
  if (m_param.bDecimal && position <= 0) return u"0.1";
  return Format(position);
}

bool CParamEditRules::AcceptChar(char16_t ch, const MyString& current) const {
  if (ch >= u'0' && ch <= u'9') return true;
  if (ch == u'\b') return true;
  if (ch == u'.' && m_param.bDecimal) {
    for (size_t i = 0; i < current.GetLength(); ++i)
      if (current[i] == u'.') return false;
    return true;
  }
  return false;
}

bool CParamEditRules::Parse(const MyString& text, double* value) {
  if (text.IsEmpty()) return false;
  const std::string s = CStrAW::w_toA(text);
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

tagEDITCHECK CParamEditRules::OnTextChanged(const MyString& text) const {
  tagEDITCHECK check;
  double value = 0;
  if (!Parse(text, &value) || !m_bBounded) return check;
  if (value > m_param.nMax) {
    check.bReplaceText = true;
    check.strText = Format(m_param.nMax);
    value = m_param.nMax;
  }
  check.bMoveSlider = true;
  check.nSliderPos = int(std::lround(value < m_param.nMin ? m_param.nMin : std::floor(value)));
  return check;
}

tagEDITCHECK CParamEditRules::OnEditingFinished(const MyString& text) const {
  double value = 0;
  if (Parse(text, &value) && (value >= Minimum() || !m_bBounded)) return OnTextChanged(text);
  tagEDITCHECK check;
  check.bReplaceText = true;
  check.strText = Format(Minimum());
  check.bMoveSlider = true;
  check.nSliderPos = m_param.nMin;
  return check;
}

double CParamEditRules::Value(const MyString& text) const {
  double value = Minimum();
  Parse(text, &value);
  if (!m_param.bDecimal) value = std::trunc(value);
  if (!m_bBounded) return value;
  if (value < Minimum()) value = Minimum();
  if (value > m_param.nMax) value = m_param.nMax;
  return value;
}
