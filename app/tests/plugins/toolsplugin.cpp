// A plug-in built from the kit that uses every kind of registration: a
// tool, a toolbox button for the image, a dock window, a filter with its own
// panel and a codec for the invented ".tqf" format ("TQF1 <w> <h>\n" and
// then the rows as B, G, R, A bytes). What it heard is kept for the tests
// (ToolsPluginLog).
#include <QLabel>
#include <QLineEdit>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "frameloom/lorimoplugin.h"

namespace {

struct tagLOG {
  int nToolId = 0, nButtonId = 0, nDockId = 0, nFilterResult = 0, nCodecResult = 0;
  int nCommands = 0, nShutdowns = 0, nFileOpenings = 0, nImagePresses = 0, nButtonStates = 0;
  int nLastCommand = 0;
  std::u16string strLastOpened;
};
tagLOG gLog;

class CInvertFilter : public CLorimoPluginFilter {
 public:
  CInvertFilter() : CLorimoPluginFilter(u"Tools Invert", 101) {
    SetFilterDescription(u"Inverts the colours, keeping the amount given");
  }
  int ApplyFilter(HWND panel) override {
    auto* edit = qobject_cast<QLineEdit*>(GetReceiverObject(panel));
    if (!edit || edit->text() != QStringLiteral("invert")) return 0;
    CLorimoImageBuffer* buffer = GetWorkingImageBuffer();
    uint8_t* pixels = buffer->GetPixels();
    for (size_t i = 0; i < size_t(buffer->Width()) * buffer->Height() * 4; ++i)
      if (i % 4 != 3) pixels[i] = uint8_t(255 - pixels[i]);
    buffer->Modify();
    return 1;
  }
};

class CToolsPlugin : public CLorimoPlugin {
 public:
  void ProcessCommand(int id) override {
    ++gLog.nCommands;
    gLog.nLastCommand = id;
  }
  void GetPluginInformation(CLorimoPluginInfo* info) override {
    CLorimoPlugin::GetPluginInformation(info);
    LorimoCopyText(info->szName, u"Tools");
    LorimoCopyText(info->szDeveloper, u"Lorimo Tests");
    LorimoCopyText(info->szWebAddress, u"example.org/tools");
    // No terminator: the program cuts the text.
    for (char16_t& c : info->szSupportPhone) c = u'5';
  }
  void RegisterPlugin(HWND frame, HWND content) override {
    CLorimoPlugin::RegisterPlugin(frame, content);
    gLog.nToolId = int(RegisterNewTool(u"Tools Action"));
    static _stToolboxButton button;
    button.pszText = u"Tools Pick";
    button.bImageTool = 1;
    button.hNormal = CreateBitmap32(16, 16);
    gLog.nButtonId = int(RegisterNewToolboxButton(&button));
    static _stDockWindow dock;
    m_dockWidget = new QLabel(QStringLiteral("Tools dock"));
    dock.pszName = u"Tools Pane";
    dock.hWnd = CreateMessageReceiver(m_dockWidget, [](HWND, UINT, WPARAM, LPARAM) { return 0; });
    gLog.nDockId = int(RegisterNewDockWindow(&dock));
    gLog.nFilterResult = int(RegisterNewFilter(&m_filter));
    gLog.nCodecResult = int(RegisterAsCodec());
  }
  int Shutdown() override {
    ++gLog.nShutdowns;
    return 1;
  }
  void GetReadableFileTypes(std::vector<const char16_t*>* types) override {
    types->push_back(u".tqf");
  }
  HBITMAP ReadImageFromDisk(const char16_t* file, SIZE*) override {
    std::string path;
    for (const char16_t* p = file; *p; ++p) path += char(*p);
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0;
    in >> magic >> width >> height;
    in.get();
    if (magic != "TQF1") return nullptr;
    // "TQF1 0 0" asks for a broken answer: a bitmap without pixels.
    if (width == 0) {
      auto* broken = CreateBitmap32(1, 1);
      broken->nWidth = 5000;
      return broken;
    }
    HBITMAP bitmap = CreateBitmap32(width, height);
    if (!bitmap) return nullptr;
    for (int y = 0; y < height; ++y)
      in.read(reinterpret_cast<char*>(bitmap->pPixels + size_t(y) * size_t(bitmap->nStride)),
              width * 4);
    return bitmap;
  }
  // Thumbnails of its own files are the pictures themselves.
  HBITMAP ProvideThumbnailForFile(const char16_t* file, SIZE* size) override {
    std::u16string name(file);
    if (name.size() < 4 || name.substr(name.size() - 4) != u".tqf") return nullptr;
    return ReadImageFromDisk(file, size);
  }
  void OnLorimoNotification(unsigned long type, uintptr_t text, intptr_t data) override {
    if (type == LN_FILE_OPENING) {
      ++gLog.nFileOpenings;
      gLog.strLastOpened = reinterpret_cast<const char16_t*>(text);
    } else if (type == LN_LBUTTON_DOWN || type == LN_LBUTTON_UP) {
      ++gLog.nImagePresses;
    } else if (type == LN_TOOLBOX_BUTTON) {
      ++gLog.nButtonStates;
    }
  }

 private:
  CInvertFilter m_filter;
  QLabel* m_dockWidget = nullptr;
};

CToolsPlugin gPlugin;

}  // namespace

LORIMO_PLUGIN_EXPORTS(&gPlugin)

extern "C" __attribute__((visibility("default"))) QWidget* CreateLorimoFilterPanel(
    unsigned int templateID, QWidget* parent) {
  if (templateID != 101) return nullptr;
  return new QLineEdit(QStringLiteral("invert"), parent);
}

extern "C" __attribute__((visibility("default"))) HBITMAP GetLorimoPluginIcon() {
  HBITMAP icon = CreateBitmap32(32, 32);
  if (icon) std::memset(icon->pPixels, 0x80, size_t(icon->nStride) * 32);
  return icon;
}

// For the tests: what the plug-in heard, and its object to send requests.
extern "C" __attribute__((visibility("default"))) const void* ToolsPluginLog() { return &gLog; }
extern "C" __attribute__((visibility("default"))) void* ToolsPluginObject() { return &gPlugin; }
