#include "shell/fileassociations.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "corekit/atomicfile.h"
#include "corekit/platform.h"
#include "corekit/registry.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/mimeappslist.h"

namespace {

constexpr char kDefaults[] = "Default Applications";
constexpr char kAdded[] = "Added Associations";
// Below "Software": the per-user classes key keeps the backups.
constexpr char16_t kClassesKey[] = u"Classes\\";

struct tagMIMEROW {
  const char16_t* pszExtension;
  const char* pszMimeType;
};

constexpr tagMIMEROW kMimeTypes[] = {
    {u".bmp", "image/bmp"},
    {u".jpg", "image/jpeg"},
    {u".jpeg", "image/jpeg"},
    {u".png", "image/png"},
    {u".pgm", "image/x-portable-graymap"},
    {u".pnm", "image/x-portable-anymap"},
    {u".ppm", "image/x-portable-pixmap"},
    {u".tif", "image/tiff"},
    {u".jp2", "image/jp2"},
    {u".gif", "image/gif"},
    {u".hdf", "application/x-hdf"},
    {u".dcm", "application/dicom"},
    {u".psd", "image/vnd.adobe.photoshop"},
    {u".j2c", "image/x-jp2-codestream"},
};

MyString DataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  return (data && *data == '/') ? CStrAW::a_toW(data) : GetHomeFolder() + u"/.local/share";
}

bool StartsWithLorimo(const std::string& value) {
  const std::vector<std::string> ids = CMimeAppsList::SplitList(value);
  return !ids.empty() && ids.front() == kDesktopFileName;
}

std::vector<std::string> WithoutLorimo(const std::string& value) {
  std::vector<std::string> ids = CMimeAppsList::SplitList(value);
  std::erase(ids, std::string(kDesktopFileName));
  return ids;
}

void Associate(CMimeAppsList& list, CRegistry& backup, const std::string& type) {
  std::string previous;
  const bool hadDefault = list.GetValue(kDefaults, type, &previous);
  if (hadDefault && StartsWithLorimo(previous)) return;
  // Keep what was there to give it back; an empty text means "none".
  if (backup.SetSubKey(MyString(kClassesKey) + CStrAW::a_toW(type)))
    backup.SetValue(u"LorimoUndo", hadDefault ? CStrAW::a_toW(previous) : MyString());
  std::vector<std::string> ids = WithoutLorimo(previous);
  ids.insert(ids.begin(), kDesktopFileName);
  list.SetValue(kDefaults, type, CMimeAppsList::JoinList(ids));

  std::string added;
  list.GetValue(kAdded, type, &added);
  std::vector<std::string> addedIds = CMimeAppsList::SplitList(added);
  if (std::find(addedIds.begin(), addedIds.end(), kDesktopFileName) == addedIds.end()) {
    addedIds.insert(addedIds.begin(), kDesktopFileName);
    list.SetValue(kAdded, type, CMimeAppsList::JoinList(addedIds));
  }
}

void Dissociate(CMimeAppsList& list, CRegistry& backup, const std::string& type) {
  MyString previous;
  const bool haveBackup = backup.SetSubKey(MyString(kClassesKey) + CStrAW::a_toW(type), false) &&
                          backup.GetValue(u"LorimoUndo", previous);
  if (haveBackup) {
    backup.DeleteValue(u"LorimoUndo");
    // The backup may name us too (associated twice by hand); never restore that.
    const std::vector<std::string> ids = WithoutLorimo(CStrAW::w_toA(previous));
    if (ids.empty())
      list.RemoveKey(kDefaults, type);
    else
      list.SetValue(kDefaults, type, CMimeAppsList::JoinList(ids));
    return;
  }
  std::string current;
  if (!list.GetValue(kDefaults, type, &current)) return;
  const std::vector<std::string> ids = WithoutLorimo(current);
  if (ids.empty())
    list.RemoveKey(kDefaults, type);
  else
    list.SetValue(kDefaults, type, CMimeAppsList::JoinList(ids));
}

}  // namespace

CFileAssociations::CFileAssociations(MyString programPath, CRegistryStore* store)
    : m_strProgram(std::move(programPath)),
      m_strApplications(DataHome() + u"/applications"),
      m_strMimeApps(CMimeAppsList::GetUserFilePath()),
      m_pStore(store ? store : &CRegistryStore::Instance()) {
  if (m_strProgram.IsEmpty())
    m_strProgram = MyString::FromQString(QCoreApplication::applicationFilePath());
}

std::vector<std::string> CFileAssociations::MimeTypesFor(const char16_t* extension) {
  std::vector<std::string> types;
  for (const tagMIMEROW& row : kMimeTypes)
    if (MyString(row.pszExtension).EqualsNoCase(extension)) types.push_back(row.pszMimeType);
  return types;
}

std::string CFileAssociations::QuoteExecArgument(const std::string& argument) {
  // Inside quotes '"', '`', '$' and '\' take a backslash; the key's own
  // string escaping then doubles every backslash; '%' is written "%%".
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$')
      quoted += "\\\\";
    else if (c == '\\')
      quoted += "\\\\\\";
    if (c == '%')
      quoted += "%%";
    else
      quoted += c;
  }
  return quoted + "\"";
}

MyString CFileAssociations::GetDesktopFilePath() const {
  return m_strApplications + u"/" + CStrAW::a_toW(kDesktopFileName);
}

void CFileAssociations::ReadFlags(FILEASSOCIATIONS* records, int count) const {
  CMimeAppsList list;
  list.Load(m_strMimeApps);
  for (int i = 0; i < count; ++i) {
    const std::vector<std::string> types = MimeTypesFor(records[i].pszExtension);
    bool associated = !types.empty();
    for (const std::string& type : types) {
      std::string value;
      if (!list.GetValue(kDefaults, type, &value) || !StartsWithLorimo(value)) associated = false;
    }
    records[i].bAssociated = associated ? 1 : 0;
    records[i].bAssociatedWhenOpened = records[i].bAssociated;
  }
}

int CFileAssociations::WriteDesktopEntry() {
  std::set<std::string> types;
  for (const tagMIMEROW& row : kMimeTypes) types.insert(row.pszMimeType);
  std::string mimeTypes;
  for (const std::string& type : types) mimeTypes += type + ';';
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Lorimo\n"
      "GenericName=Image Viewer\n"
      "Comment=View, organise and edit images\n"
      "Exec=" +
      QuoteExecArgument(CStrAW::w_toA(m_strProgram)) +
      " %f\n"
      "Icon=image-x-generic\n"
      "Terminal=false\n"
      "Categories=Graphics;Viewer;\n"
      "MimeType=" +
      mimeTypes + "\n";
  const std::string transfer =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Lorimo Image Transfer\n"
      "Comment=Copy the pictures of a camera or memory card\n"
      "Exec=" +
      QuoteExecArgument(CStrAW::w_toA(m_strProgram)) +
      " /WIAAuto\n"
      "Icon=camera-photo\n"
      "Terminal=false\n"
      "NoDisplay=true\n"
      "MimeType=x-content/image-dcf;\n";
  std::error_code ec;
  std::filesystem::create_directories(CStrAW::ToPath(m_strApplications), ec);
  return WriteFileAtomically(GetDesktopFilePath(), entry, &m_strLastError) &&
         WriteFileAtomically(m_strApplications + u"/" + CStrAW::a_toW(kTransferDesktopFileName),
                             transfer, &m_strLastError);
}

int CFileAssociations::Apply(FILEASSOCIATIONS* records, int count) {
  if (!WriteDesktopEntry()) return 0;

  // One decision per type: wanted while any of its extensions is checked.
  std::map<std::string, bool> wanted;
  std::set<std::string> changed;
  for (int i = 0; i < count; ++i) {
    for (const std::string& type : MimeTypesFor(records[i].pszExtension)) {
      wanted[type] = wanted[type] || records[i].bAssociated;
      if (records[i].bAssociated != records[i].bAssociatedWhenOpened) changed.insert(type);
    }
  }
  if (changed.empty()) return 1;

  CMimeAppsList list;
  if (!list.Load(m_strMimeApps)) {
    m_strLastError = list.GetLastError();
    return 0;
  }
  {
    CRegistry backup(HKEY_CURRENT_USER, u"Software", true, m_pStore);
    for (const std::string& type : changed) {
      if (wanted[type])
        Associate(list, backup, type);
      else
        Dissociate(list, backup, type);
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(CStrAW::ToPath(m_strMimeApps).parent_path(), ec);
  if (!list.Save()) {
    m_strLastError = list.GetLastError();
    return 0;
  }
  m_pStore->Flush();
  for (int i = 0; i < count; ++i) records[i].bAssociatedWhenOpened = records[i].bAssociated;
  NotifyDesktop();
  return 1;
}

void CFileAssociations::NotifyDesktop() const {
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
  if (tool.isEmpty()) return;
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.start(tool, {m_strApplications.ToQString()});
  if (!process.waitForFinished(5000)) {
    process.kill();
    process.waitForFinished(1000);
  }
}
