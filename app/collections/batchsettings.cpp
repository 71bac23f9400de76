#include "collections/batchsettings.h"

#include <charconv>
#include <climits>
#include <string>

#include "corekit/datafile.h"

const char16_t kBatchSection[] = u"Batch";

namespace {

MyString Flag(bool b) { return b ? u"1" : u"0"; }

// Reads the file's keys, remembering the first that is bad.
class CReader {
 public:
  CReader(const CDataFile& file) : m_file(file) {}

  void Flag(const char16_t* key, bool* value) {
    if (!Has(key)) return;
    const MyString text = m_file.GetValue(key, kBatchSection);
    if (text == u"0" || text == u"1")
      *value = text == u"1";
    else
      Bad(key, u"0 or 1");
  }
  template <typename T>
  void Number(const char16_t* key, T* value, long long low, long long high) {
    if (!Has(key)) return;
    const std::string text = m_file.GetValue(key, kBatchSection).ToUtf8();
    long long n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < low ||
        n > high) {
      Bad(key, u"a whole number from " + Text(low) + u" to " + Text(high));
      return;
    }
    *value = T(n);
  }
  void String(const char16_t* key, MyString* value) {
    if (Has(key)) *value = m_file.GetValue(key, kBatchSection);
  }
  void Bad(const char16_t* key, const MyString& expected) {
    if (m_error.IsEmpty())
      m_error = u"The batch setting \"" + MyString(key) + u"\" is \"" +
                m_file.GetValue(key, kBatchSection) + u"\"; it should be " + expected + u".";
  }
  const MyString& Error() const { return m_error; }

 private:
  bool Has(const char16_t* key) const { return m_file.HasKey(key, kBatchSection); }
  static MyString Text(long long n) { return MyString::FromUtf8(std::to_string(n)); }

  const CDataFile& m_file;
  MyString m_error;
};

}  // namespace

void WriteBatchSettings(CDataFile& file, const tagBATCHSETTINGS& s) {
  file.CreateSection(kBatchSection, MyString());
  const auto set = [&file](const char16_t* key, const MyString& value) {
    file.SetValue(key, value, MyString(), kBatchSection);
  };
  const auto num = [&set](const char16_t* key, long long n) {
    set(key, MyString::FromUtf8(std::to_string(n)));
  };
  set(u"Rename", Flag(s.bRename));
  num(u"iCutF", s.rename.numbers.iCutF);
  num(u"iCutB", s.rename.numbers.iCutB);
  num(u"iNUMStart", s.rename.numbers.iNUMStart);
  num(u"iNUMInc", s.rename.numbers.iNUMInc);
  set(u"PreName", s.rename.preName);
  set(u"PostName", s.rename.postName);
  set(u"AppendTo", s.rename.bAppendEnd ? u"end" : u"front");
  set(u"Convert", Flag(s.bConvert));
  set(u"Format", s.format);
  set(u"Resize", Flag(s.bResize));
  set(u"Enlarge", Flag(s.resize.bEnlarge));
  set(u"Shrink", Flag(s.resize.bShrink));
  set(u"Constrain", Flag(s.resize.bConstrain));
  num(u"Width", s.resize.dwWidth);
  num(u"Height", s.resize.dwHeight);
  num(u"Filter", s.resize.nFilter);
  set(u"Rotate", Flag(s.bRotate));
  set(u"Angle", s.angle);
  set(u"Destination", s.destination);
  num(u"Workers", s.nWorkers);
}

int ReadBatchSettings(const CDataFile& file, tagBATCHSETTINGS* settings, MyString* error) {
  if (!file.HasSection(kBatchSection)) {
    *error = u"The settings have no \"Batch\" section.";
    return 0;
  }
  tagBATCHSETTINGS s = *settings;
  CReader r(file);
  r.Flag(u"Rename", &s.bRename);
  r.Number(u"iCutF", &s.rename.numbers.iCutF, 0, INT_MAX);
  r.Number(u"iCutB", &s.rename.numbers.iCutB, 0, INT_MAX);
  r.Number(u"iNUMStart", &s.rename.numbers.iNUMStart, -1, INT_MAX);
  r.Number(u"iNUMInc", &s.rename.numbers.iNUMInc, 1, INT_MAX);
  r.String(u"PreName", &s.rename.preName);
  r.String(u"PostName", &s.rename.postName);
  if (file.HasKey(u"AppendTo", kBatchSection)) {
    const MyString where = file.GetValue(u"AppendTo", kBatchSection);
    if (where == u"front" || where == u"end")
      s.rename.bAppendEnd = where == u"end";
    else
      r.Bad(u"AppendTo", u"\"front\" or \"end\"");
  }
  r.Flag(u"Convert", &s.bConvert);
  if (file.HasKey(u"Format", kBatchSection)) {
    const MyString format = file.GetValue(u"Format", kBatchSection);
    bool bKnown = false;
    for (const MyString& f : BatchFormats()) {
      if (f.EqualsNoCase(format)) {
        s.format = f;
        bKnown = true;
      }
    }
    if (!bKnown) r.Bad(u"Format", u"one of BMP, JPG, JPEG, PNG, PGM, PNM, PPM, TIF, JP2, GIF, HDF");
  }
  r.Flag(u"Resize", &s.bResize);
  r.Flag(u"Enlarge", &s.resize.bEnlarge);
  r.Flag(u"Shrink", &s.resize.bShrink);
  r.Flag(u"Constrain", &s.resize.bConstrain);
  // A bound far past any picture GraphicsMagick would make is a typing slip.
  r.Number(u"Width", &s.resize.dwWidth, 0, 1000000);
  r.Number(u"Height", &s.resize.dwHeight, 0, 1000000);
  r.Number(u"Filter", &s.resize.nFilter, 0, INT_MAX);
  if (r.Error().IsEmpty() && ResizeFilterIndex(s.resize.nFilter) < 0)
    r.Bad(u"Filter", u"a filter of the resize dialog");
  r.Flag(u"Rotate", &s.bRotate);
  r.String(u"Angle", &s.angle);
  r.String(u"Destination", &s.destination);
  r.Number(u"Workers", &s.nWorkers, 1, 256);
  if (!r.Error().IsEmpty()) {
    *error = r.Error();
    return 0;
  }
  *settings = s;
  return 1;
}
