#pragma once
// CRegistry: the per-user settings, kept as keys holding typed values (32-bit
// numbers and texts) below HKEY_CURRENT_USER, as the program's settings code
// expects them. All CRegistry objects of a process share one CRegistryStore,
// which keeps the tree in memory and persists it in one text file,
// $XDG_CONFIG_HOME/ZOKA/Lorimo/registry.reg:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\ZOKA\Lorimo\WinPos]
//   "Maximized"=dword:00000001
//   "LastLoadedImage"="/home/ann/a \"b\".jpg"
//
// Texts are UTF-8 between quotes with "\\" and "\"" escaped, line breaks as
// "\n" and "\r", a tab as "\t" and other control characters as "\xHH"; "@"
// names a key's unnamed value. Lines that cannot be read are skipped, as are
// keys of other roots, so a damaged file never keeps the program from
// starting and loses only what was damaged.
//
// Key and value names match without regard to letter case and keep the
// spelling they were first written with. Values keep their type: reading a
// text as a number, or a number as a text, fails.

#include <cstdint>
#include <memory>

#include "corekit/mystring.h"

// Opaque root handles. Only HKEY_CURRENT_USER is backed by the store; keys
// of the other roots cannot be opened.
struct HKEY__;
using HKEY = HKEY__*;
inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(uintptr_t{0x80000003});

// Value types, as GetValueType reports them.
enum : uint32_t { REG_NONE = 0, REG_SZ = 1, REG_DWORD = 4 };

// The typed tree behind every CRegistry and its file. Key paths are relative
// to HKEY_CURRENT_USER, with '\' between names; empty names between
// separators are ignored. Thread-safe.
//
// Persistence: changes are kept as pending operations until Flush(), which,
// under an advisory lock on "<file>.lock", reads the file again, applies this
// store's pending sets and deletes to what it read, and replaces the file
// atomically. So several running programs never lose each other's values;
// for the same value, the last flush wins.
class CRegistryStore {
 public:
  explicit CRegistryStore(const MyString& filePath);
  // Flushes what is still pending.
  ~CRegistryStore();
  CRegistryStore(const CRegistryStore&) = delete;
  CRegistryStore& operator=(const CRegistryStore&) = delete;

  // The store of this process: registry.reg in the configuration folder.
  static CRegistryStore& Instance();

  const MyString& GetFilePath() const;
  MyString GetLastError() const;

  // Reads the file again when it changed on disk since it was last read or
  // written here (another program flushed); pending changes stay applied.
  // Every operation below does this first.
  void Refresh();
  // 1 when everything pending reached the disk (or nothing was pending);
  // 0 when it could not be written: the changes stay pending for the next try.
  int Flush();

  // Names must not hold control characters; 0 for such a path.
  int KeyExists(const MyString& key);
  int CreateKey(const MyString& key);  // with the keys above it
  int DeleteKey(const MyString& key);  // with every key below it; 0 when missing
  int GetDword(const MyString& key, const MyString& name, uint32_t* value);
  int GetString(const MyString& key, const MyString& name, MyString* value);
  uint32_t GetValueType(const MyString& key, const MyString& name);
  // Creates the key when missing. A value of the other type is replaced.
  int SetDword(const MyString& key, const MyString& name, uint32_t value);
  int SetString(const MyString& key, const MyString& name, const MyString& value);
  int DeleteValue(const MyString& key, const MyString& name);  // 0 when missing
  // Names in stored order (values) or by name (sub-keys, direct ones only).
  int EnumValueNames(const MyString& key, MyStringList* names);
  int EnumSubKeys(const MyString& key, MyStringList* names);

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

// A handle on one key. Results are 1 for success and 0 for failure.
//
//   CRegistry reg(HKEY_CURRENT_USER, u"Software");
//   reg.SetSubKey(u"ZOKA\\Lorimo");  // the same key as opening Software\ZOKA\Lorimo
//
// What an object changed reaches the disk at the latest when it is destroyed
// (or at Flush()). Reads see what other programs have flushed.
class CRegistry {
 public:
  // Opens root\path, creating it (and the keys above it) when missing and
  // bCreate is set. IsOpen() tells whether it worked; every operation of an
  // object that is not open fails.
  CRegistry(HKEY root, const MyString& path, bool bCreate = true, CRegistryStore* store = nullptr);
  ~CRegistry();
  CRegistry(const CRegistry&) = delete;
  CRegistry& operator=(const CRegistry&) = delete;

  bool IsOpen() const { return m_bOpen; }
  // The open key's path below the root.
  const MyString& GetKeyPath() const { return m_strKey; }

  // Moves this object to path\subKey, path being the one given at
  // construction; an empty subKey returns to that key. Creates the key when
  // missing and bCreate is set.
  int SetSubKey(const MyString& subKey, bool bCreate = true);

  int GetValue(const MyString& name, uint32_t& value) const;
  int GetValue(const MyString& name, int32_t& value) const;
  int GetValue(const MyString& name, MyString& value) const;
  int SetValue(const MyString& name, uint32_t value);
  int SetValue(const MyString& name, int32_t value);
  int SetValue(const MyString& name, const MyString& value);
  int SetValue(const MyString& name, const char16_t* value) {
    return SetValue(name, MyString(value));
  }
  // The caller puts the default into value; afterwards it holds the stored
  // value, or still the default when none of that type is stored (nothing is
  // written). 1 when a stored value was read, 0 when the default stays.
  int GetSetValue(const MyString& name, uint32_t& value) const { return GetValue(name, value); }
  int GetSetValue(const MyString& name, int32_t& value) const { return GetValue(name, value); }
  int GetSetValue(const MyString& name, MyString& value) const { return GetValue(name, value); }
  int DeleteValue(const MyString& name);
  // REG_DWORD, REG_SZ, or REG_NONE when there is no such value.
  uint32_t GetValueType(const MyString& name) const;

  // Deletes the key subKey below the open key, with everything below it.
  int DeleteKey(const MyString& subKey);
  int EnumValueNames(MyStringList& names) const;
  int EnumSubKeys(MyStringList& names) const;

  int Flush();

 private:
  int Open(const MyString& path, bool bCreate);

  CRegistryStore* m_pStore;
  MyString m_strBase;
  MyString m_strKey;
  bool m_bValidRoot = false;
  bool m_bOpen = false;
  bool m_bChanged = false;
};
