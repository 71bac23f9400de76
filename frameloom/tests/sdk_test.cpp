// The kit's side of the requests: what reaches the main window, what is
// refused before sending, and how results come back.
#include <QObject>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "frameloom/lorimoplugin.h"

namespace {

class CProbePlugin : public CLorimoPlugin {
 public:
  void ProcessCommand(int) override {}
  using CLorimoPlugin::CreateMPEG;
  using CLorimoPlugin::FlipFlopImage;
  using CLorimoPlugin::ReadImage;
  using CLorimoPlugin::ReadImageBuffer;
  using CLorimoPlugin::RegisterNewFilter;
  using CLorimoPlugin::RegisterNewTool;
  using CLorimoPlugin::SendRequest;
};

class CProbeFilter : public CLorimoPluginFilter {
 public:
  CProbeFilter() : CLorimoPluginFilter(u"Probe", 7) {}
  int ApplyFilter(HWND) override { return 1; }
  using CLorimoPluginFilter::ApplyLorimoStockFilter;
};

// A main window that keeps a copy of every request it gets.
struct tagMAINWINDOW {
  QObject owner;
  std::vector<tagLORIMOPLUGINREQUEST> requests;
  std::vector<tagLORIMOSTOCKFILTERPARAMS> stock;
  std::u16string text = u"Unable to read the file";
  HWND hwnd = nullptr;

  tagMAINWINDOW() {
    const UINT id = RegisterWindowMessage(kLorimoPluginMessageName);
    hwnd = CreateMessageReceiver(&owner, [this, id](HWND, UINT msg, WPARAM w, LPARAM) -> LRESULT {
      if (msg != id) return 0;
      auto* request = reinterpret_cast<tagLORIMOPLUGINREQUEST*>(w);
      requests.push_back(*request);
      switch (request->nRequest) {
        case LPR_READ_IMAGE:
          if (reinterpret_cast<const char16_t*>(request->aParam[0])[0] == u'x')
            return reinterpret_cast<LRESULT>(text.c_str());
          *reinterpret_cast<HBITMAP*>(request->aParam[1]) = CreateBitmap32(3, 2);
          return 1;
        case LPR_CREATE_MPEG: {
          auto* frames = reinterpret_cast<const LORIMO_FRAME*>(request->aParam[1]);
          return request->aParam[2] == 2 && frames[1].dwDuration == 250 ? 1 : 0;
        }
        case LPR_APPLY_STOCK_FILTER:
          stock.push_back(*reinterpret_cast<tagLORIMOSTOCKFILTERPARAMS*>(request->aParam[0]));
          return 1;
      }
      return 5;
    });
  }
};

}  // namespace

TEST(LorimoPluginKit, RequestsCarryThePluginAndTheirPayload) {
  tagMAINWINDOW window;
  CProbePlugin plugin;
  plugin.RegisterPlugin(window.hwnd, nullptr);
  EXPECT_EQ(plugin.GetLorimoFrameWindow(), window.hwnd);
  EXPECT_STREQ(reinterpret_cast<const char*>(plugin.GetLastErrorMessage()), "");

  EXPECT_EQ(plugin.RegisterNewTool(u"Tool"), 5);
  ASSERT_EQ(window.requests.size(), 1u);
  EXPECT_EQ(window.requests[0].nRequest, LPR_REGISTER_NEW_TOOL);
  EXPECT_EQ(window.requests[0].pPlugin, &plugin);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(window.requests[0].aParam[0])),
            u"Tool");

  // Codes past the table never reach the window.
  tagLORIMOPLUGINREQUEST unknown;
  unknown.nRequest = 22;
  EXPECT_EQ(plugin.SendRequest(unknown), -1);
  unknown.nRequest = -3;
  EXPECT_EQ(plugin.SendRequest(unknown), -1);
  EXPECT_EQ(window.requests.size(), 1u);

  // A read hands back the bitmap, or keeps the program's text.
  HBITMAP bitmap = plugin.ReadImage(u"a.png");
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->nWidth, 3);
  DeleteBitmap32(bitmap);
  EXPECT_EQ(plugin.ReadImage(u"x.png"), nullptr);
  EXPECT_EQ(std::u16string(plugin.GetLastErrorMessage()), window.text);
  EXPECT_EQ(plugin.ReadImageBuffer(u"x.png"), nullptr);

  // The frame list arrives as an array of (bitmap, duration).
  LORIMO_FRAME first{nullptr, 1000}, second{nullptr, 250};
  EXPECT_EQ(plugin.CreateMPEG(u"m.mpg", {&first, &second}, 80), 1);
  EXPECT_EQ(window.requests.back().aParam[3], 80u);
}

TEST(LorimoPluginKit, StockFiltersFollowTheShapeTable) {
  tagMAINWINDOW window;
  CProbePlugin plugin;
  plugin.RegisterPlugin(window.hwnd, nullptr);
  CProbeFilter filter;
  plugin.RegisterNewFilter(&filter);
  EXPECT_EQ(filter.m_pPlugin, &plugin);
  CLorimoImageBuffer* buffer = filter.GetWorkingImageBuffer();

  // The colour-picker filters are refused unsent.
  const size_t before = window.requests.size();
  for (LORIMOSTOCKFILTER id : {LSF_COLORIZE, LSF_MATTE_FLOODFILL, LSF_OPAQUE, LSF_TRANSPARENT})
    EXPECT_EQ(filter.ApplyLorimoStockFilter(id, buffer, 1.0, 2.0), 54079u);
  EXPECT_EQ(filter.ApplyLorimoStockFilter(LORIMOSTOCKFILTER(32), buffer),
            static_cast<unsigned long>(-1));
  EXPECT_EQ(window.requests.size(), before);

  EXPECT_EQ(filter.ApplyLorimoStockFilter(LSF_ADAPTIVE_THRESHOLD, buffer, 3, 4, 5), 1u);
  EXPECT_EQ(filter.ApplyLorimoStockFilter(LSF_BLUR, buffer, 1.5, 0.5), 1u);
  EXPECT_EQ(filter.ApplyLorimoStockFilter(LSF_GAMMA, buffer, 1, 2.2), 1u);
  EXPECT_EQ(filter.ApplyLorimoStockFilter(LSF_GAMMA, buffer, 0, 1.1, 1.2, 1.3), 1u);
  EXPECT_EQ(filter.ApplyLorimoStockFilter(LSF_EQUALIZE, buffer), 1u);
  ASSERT_EQ(window.stock.size(), 5u);
  EXPECT_EQ(window.stock[0].nValueCount, 3);
  EXPECT_EQ(window.stock[0].nValues[2], 5);
  EXPECT_EQ(window.stock[0].pBuffer, buffer);
  EXPECT_EQ(window.stock[1].nDoubleCount, 2);
  EXPECT_DOUBLE_EQ(window.stock[1].dValues[1], 0.5);
  EXPECT_EQ(window.stock[2].nDoubleCount, 1);
  EXPECT_DOUBLE_EQ(window.stock[2].dValues[0], 2.2);
  EXPECT_EQ(window.stock[3].nDoubleCount, 3);
  EXPECT_DOUBLE_EQ(window.stock[3].dValues[2], 1.3);
  EXPECT_EQ(window.stock[4].nShape, 19);
  EXPECT_EQ(window.stock[4].nValueCount + window.stock[4].nDoubleCount, 0);
}

TEST(LorimoPluginKit, InformationDefaultsLeaveTheWebAddress) {
  CProbePlugin plugin;
  CLorimoPluginInfo info;
  std::memset(&info, 0, sizeof info);
  info.szWebAddress[0] = u'w';
  plugin.GetPluginInformation(&info);
  EXPECT_EQ(std::u16string(info.szName), u"Not specified");
  EXPECT_EQ(std::u16string(info.szDescription), u"Not specified");
  EXPECT_EQ(std::u16string(info.szDeveloper), u"Not specified");
  EXPECT_EQ(std::u16string(info.szSupportPhone), u"Not specified");
  EXPECT_EQ(std::u16string(info.szWebAddress), u"w");
}
