#include "codecs/colourprofile.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include <lcms2.h>

namespace {

struct CProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct CTransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using ProfilePtr = std::unique_ptr<void, CProfileCloser>;
using TransformPtr = std::unique_ptr<void, CTransformDeleter>;

// LittleCMS reports damaged profiles through one handler per context; each
// conversion gets a context of its own, so reports never cross threads.
void CollectError(cmsContext context, cmsUInt32Number, const char* text) {
  auto* error = static_cast<std::string*>(cmsGetContextUserData(context));
  if (error && error->empty() && text) *error = text;
}

struct CContextDeleter {
  void operator()(void* context) const { cmsDeleteContext(static_cast<cmsContext>(context)); }
};

// A context of one conversion, collecting LittleCMS's first complaint.
class CLcmsContext {
 public:
  CLcmsContext() : m_context(cmsCreateContext(nullptr, &m_error)) {
    if (m_context) cmsSetLogErrorHandlerTHR(Get(), CollectError);
  }
  CLcmsContext(const CLcmsContext&) = delete;
  CLcmsContext& operator=(const CLcmsContext&) = delete;

  bool IsValid() const { return m_context != nullptr; }
  cmsContext Get() const { return static_cast<cmsContext>(m_context.get()); }
  // 0, with why and the library's complaint in *warning.
  int Fail(std::string* warning, const char* why) const {
    if (warning) *warning = std::string(why) + (m_error.empty() ? "" : ": " + m_error);
    return 0;
  }

 private:
  std::string m_error;  // before the context, which points at it
  std::unique_ptr<void, CContextDeleter> m_context;
};

std::mutex gDisplayMutex;
// The monitor's profile; null: sRGB. Replaced whole, never changed in place,
// so a conversion holds the one it began with.
std::shared_ptr<const std::string> gDisplay;

std::shared_ptr<const std::string> DisplayProfile() {
  std::lock_guard<std::mutex> lock(gDisplayMutex);
  return gDisplay;
}

}  // namespace

int SetDisplayProfile(const std::string& icc, std::string* warning) {
  if (icc.empty()) {
    std::lock_guard<std::mutex> lock(gDisplayMutex);
    gDisplay.reset();
    return 1;
  }
  const CLcmsContext context;
  if (!context.IsValid()) return 0;
  const cmsContext ctx = context.Get();
  auto fail = [&](const char* why) { return context.Fail(warning, why); };
  ProfilePtr monitor(cmsOpenProfileFromMemTHR(ctx, icc.data(), cmsUInt32Number(icc.size())));
  if (!monitor) return fail("the monitor's colour profile cannot be read");
  if (cmsGetColorSpace(monitor.get()) != cmsSigRgbData)
    return fail("the monitor's colour profile is not an RGB profile");
  // Taken only when a picture can be converted to it.
  ProfilePtr srgb(cmsCreate_sRGBProfileTHR(ctx));
  TransformPtr transform(srgb ? cmsCreateTransformTHR(ctx, srgb.get(), TYPE_BGRA_8, monitor.get(),
                                                      TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                                      cmsFLAGS_COPY_ALPHA)
                              : nullptr);
  if (!transform) return fail("the monitor's colour profile cannot be converted to");
  std::lock_guard<std::mutex> lock(gDisplayMutex);
  gDisplay = std::make_shared<const std::string>(icc);
  return 1;
}

int ConvertBgraToSrgb(const void* icc, size_t iccSize, uint8_t* bgra, size_t pixelCount,
                      std::string* warning) {
  if (!icc || iccSize == 0 || !bgra || pixelCount == 0) return 0;
  const CLcmsContext context;
  if (!context.IsValid()) return 0;
  const cmsContext ctx = context.Get();
  auto fail = [&](const char* why) { return context.Fail(warning, why); };
  ProfilePtr embedded(cmsOpenProfileFromMemTHR(ctx, icc, cmsUInt32Number(iccSize)));
  if (!embedded) return fail("the embedded colour profile cannot be read");
  if (cmsGetColorSpace(embedded.get()) != cmsSigRgbData)
    return fail("the embedded colour profile is not an RGB profile");
  const std::shared_ptr<const std::string> display = DisplayProfile();
  ProfilePtr srgb(
      display ? cmsOpenProfileFromMemTHR(ctx, display->data(), cmsUInt32Number(display->size()))
              : cmsCreate_sRGBProfileTHR(ctx));
  if (!srgb) return fail("no profile for the screen");
  TransformPtr transform(cmsCreateTransformTHR(ctx, embedded.get(), TYPE_BGRA_8, srgb.get(),
                                               TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                               cmsFLAGS_COPY_ALPHA));
  if (!transform) return fail("the embedded colour profile cannot be applied");
  // LittleCMS counts pixels in 32 bits: large pictures go in slices.
  constexpr size_t kSlice = size_t(1) << 24;
  for (size_t done = 0; done < pixelCount; done += kSlice) {
    const size_t count = std::min(kSlice, pixelCount - done);
    cmsDoTransform(transform.get(), bgra + done * 4, bgra + done * 4, cmsUInt32Number(count));
  }
  return 1;
}
