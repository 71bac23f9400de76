#include "viewer/edit/rotateflipfile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

#include "codecs/exifcopy.h"
#include "codecs/losslessjpeg.h"
#include "codecs/orientation.h"
#include "corekit/atomicfile.h"
#include "corekit/loadslot.h"
#include "corekit/platform.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/commandids.h"
#include "shell/programhooks.h"
#include "viewer/edit/editundo.h"
#include "viewer/edit/rotatename.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kSampleVliText[] =
    u"This operation is not permited when DOWNSAMPLE READING LARGE IMAGES is selected.  See "
    u"VIEW/VIEW OPTIONS.";
constexpr char16_t kAskNameText[] =
    u"You have selected to Rotate or Flip the image.\nPlease provide a new file name if you want "
    u"to save the modified image.\nAlso check EDIT/ROTATE AND FLIP OPTIONS...\n";
constexpr char16_t kReadOnlyText[] = u"The file is read only and cannot be rotated.";

// A lossy rotation is written at no less than this JPEG quality.
constexpr int kLossyMinimumQuality = 80;
// Between 1601 and 1970, in 100-nanosecond steps.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

// Raises "JPG Quality" for the life of the object and puts it back after.
class CMinimumJpegQuality {
 public:
  explicit CMinimumJpegQuality(bool raise)
      : m_nSaved(gSO[SO_JPG_QUALITY].nValue), m_bRaised(raise) {
    if (raise) gSO[SO_JPG_QUALITY].nValue = std::max(m_nSaved, kLossyMinimumQuality);
  }
  ~CMinimumJpegQuality() {
    if (m_bRaised) gSO[SO_JPG_QUALITY].nValue = m_nSaved;
  }
  CMinimumJpegQuality(const CMinimumJpegQuality&) = delete;
  CMinimumJpegQuality& operator=(const CMinimumJpegQuality&) = delete;

 private:
  int32_t m_nSaved;
  bool m_bRaised;
};

bool IsFolder(const MyString& path) {
  CFileInfo info;
  return GetFileInfo(path, &info) && info.bDirectory;
}

bool IsSameFile(const MyString& a, const MyString& b) {
  if (a == b) return true;
  std::error_code ec;
  return fs::equivalent(CStrAW::ToPath(a), CStrAW::ToPath(b), ec) && !ec;
}

bool Exists(const MyString& path) {
  std::error_code ec;
  return fs::exists(CStrAW::ToPath(path), ec);
}

void SetLastWriteTime(const MyString& path, FILETIME64 time) {
  if (time < kUnixEpochAsFileTime) return;
  const uint64_t since = time - kUnixEpochAsFileTime;
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = time_t(since / 10000000u);
  times[1].tv_nsec = long(since % 10000000u) * 100;
  utimensat(AT_FDCWD, CStrAW::w_toA(path).c_str(), times, 0);
}

void RotateCachedThumbnail(const MyString& path, int code, const CFileInfo& before) {
  const tagPROGRAMHOOKS& hooks = GetProgramHooks();
  if (gTO[TO_CACHE_DIRECTORY].dwValue != 0 && hooks.rotateCachedThumbnail)
    hooks.rotateCachedThumbnail(path, code, before);
}

void UpdateThumbnailEntry(const MyString& path) {
  if (GetProgramHooks().updateThumbnailEntry) GetProgramHooks().updateThumbnailEntry(path);
}

// A write over the shown file replaces only the file that was loaded: the
// name may have been pointed elsewhere since (a shared folder).
tagATOMICWRITEOPTIONS OverLoadedFile(const CImageDocument& document) {
  tagATOMICWRITEOPTIONS options;
  options.expected = document.GetFileIdentity();
  return options;
}

// A numbered name of our choosing is created, never written through.
tagATOMICWRITEOPTIONS AsNewFile() {
  tagATOMICWRITEOPTIONS options;
  options.nTarget = AT_CREATE_NEW;
  return options;
}

}  // namespace

int RotateFlipCodeOfCommand(int id) {
  switch (id) {
    case IDM_ROTATE_CLOCKWISE:
      return LT_ROTATE90;
    case IDM_ROTATE_COUNTER_CLOCKWISE:
      return LT_ROTATE270;
    case IDM_ROTATE_180:
      return LT_ROTATE180;
    case IDM_FLIP_LEFT_RIGHT:
      return LT_FLIPH;
    case IDM_FLIP_UP_DOWN:
      return LT_FLIPV;
    default:
      return 0;
  }
}

MyString RotateFlipCaption(int code) {
  switch (code) {
    case LT_ROTATE90:
      return u"Lorimo: Rotate90 Image Function";
    case LT_ROTATE270:
      return u"Lorimo: Rotate270 Image Function";
    case LT_ROTATE180:
      return u"Lorimo: Rotate180 Image Function";
    case LT_FLIPV:
      return u"Lorimo: FlipV Image Function";
    case LT_FLIPH:
      return u"Lorimo: FlipH Image Function";
    default:
      return MyString();
  }
}

bool IsJpegFileName(const MyString& path) {
  const MyString ext = path.GetStringExtension();
  return ext.EqualsNoCase(u".jpg") || ext.EqualsNoCase(u".jpeg");
}

CRotateFlipFile::CRotateFlipFile(CImageDocument& document, CFileEditUi& ui,
                                 const tagFILEEDITHOST& host)
    : m_document(document), m_ui(ui), m_host(host) {}

int CRotateFlipFile::TransformImage(const Magick::Image& image, int code, Magick::Image* result,
                                    MyString* error) {
  if (code < LT_ROTATE90 || code > LT_TRANSVERSE) {
    if (error) *error = u"Unknown transform";
    return 0;
  }
  try {
    Magick::Image turned = image;
    turned.modifyImage();
    TurnImage(turned, code);
    // An aborted turn leaves the picture as it was without a word.
    const bool quarter = code == LT_ROTATE90 || code == LT_ROTATE270 || code == LT_TRANSPOSE ||
                         code == LT_TRANSVERSE;
    if (turned.columns() != (quarter ? image.rows() : image.columns()) ||
        turned.rows() != (quarter ? image.columns() : image.rows())) {
      if (error) *error = u"The image was not turned.";
      return 0;
    }
    *result = turned;
    return 1;
  } catch (const std::exception& e) {
    if (error) *error = CStrAW::a_toW(e.what());
    return 0;
  }
}

int CRotateFlipFile::Run(int code) {
  const MyString caption = RotateFlipCaption(code);
  if (caption.IsEmpty()) return 0;
  if (!m_document.HasImage()) {
    m_ui.Message(u"Please Open Image First.", caption, MK_WARNING);
    return 0;
  }
  const MyString path = m_document.GetPath();
  if (path.IsEmpty() || IsFolder(path) || m_document.GetAnimation().IsRunning()) return 0;
  // The file would be turned under a load that is about to replace it.
  if (m_host.isLoading && m_host.isLoading()) return 0;
  if (gVSO[VSO_SAMPLE_VLI].bFlag) {
    m_ui.Message(kSampleVliText, u"Lorimo: Rotate or Mirror Option.", MK_WARNING);
    return 0;
  }
  const int saveAfter = gSO[SO_SAVE_AFTER_ROTATE].nValue;
  if (saveAfter < int(IDC_SO_SAVE_ORIGINAL_NAME) || saveAfter > int(IDC_SO_SAVE_NOTHING)) {
    // Not chosen yet: the user chooses now and repeats the command.
    m_ui.ShowEditOptions(true);
    return 0;
  }

  if (m_host.removeSelection) m_host.removeSelection();
  tagIMAGEDATA& data = m_document.GetData();
  CEditUndo(data.image, data.pUndoImage, data.bUndoAvailable, data.bRedoAvailable, data.bModified)
      .Discard();

  // An edited image is turned in memory even for a JPEG: the lossless way
  // works on the file and would drop the edits.
  const bool lossless =
      gSO[SO_JPG_LOSSLESS].nValue == 1 && IsJpegFileName(path) && !m_document.IsModified();
  const CMinimumJpegQuality quality(!lossless);
  switch (saveAfter) {
    case IDC_SO_SAVE_ORIGINAL_NAME:
      return SaveOverFile(path, code, lossless);
    case IDC_SO_SAVE_APPEND_SUFFIX:
      return SaveWithSuffix(path, code, lossless);
    case IDC_SO_SAVE_ASK_NAME:
      return SaveUnderAskedName(path, code, lossless);
    default:
      return TurnInMemoryOnly(code);
  }
}

int CRotateFlipFile::SaveOverFile(const MyString& path, int code, bool lossless) {
  if (IsFileReadOnly(path)) {
    m_ui.Message(kReadOnlyText, MyString(), MK_ERROR);
    return 0;
  }
  // Read before the file is replaced: the new file is born now.
  CFileInfo before;
  const bool haveTimes = GetFileInfo(path, &before) != 0;
  if (lossless) {
    if (!TransformFile(path, path, code, AT_FOLLOW_LINK)) return 0;
  } else {
    Magick::Image turned;
    if (!TransformInMemory(code, &turned)) return 0;
    if (!WriteTurnedImage(turned, path, path, code, OverLoadedFile(m_document))) return 0;
  }
  if (gSO[SO_KEEP_DATE_TIME].nValue != 0 && haveTimes)
    SetLastWriteTime(path, before.ftCreationTime);
  ReloadInPlace(path, code, before);
  UpdateThumbnailEntry(path);
  return 1;
}

int CRotateFlipFile::SaveWithSuffix(const MyString& path, int code, bool lossless) {
  MyString target;
  const MyString suffix(gSO[SO_SAVE_APPEND].szText);
  if (!MakeRotatedFileName(path, suffix, &target)) {
    // Closing, or no free name could be found in the folder.
    if (!GetStopEvent().IsSet()) ReportTransformFailure();
    return 0;
  }
  // The name was free when chosen; it is created only if it still is.
  if (lossless) {
    if (!TransformFile(path, target, code, AT_CREATE_NEW)) return 0;
  } else {
    Magick::Image turned;
    if (!TransformInMemory(code, &turned)) return 0;
    if (!WriteTurnedImage(turned, target, path, code, AsNewFile())) return 0;
  }
  ShowOtherFile(target);
  UpdateThumbnailEntry(target);
  return 1;
}

int CRotateFlipFile::SaveUnderAskedName(const MyString& path, int code, bool lossless) {
  m_ui.Message(kAskNameText, u"Lorimo Rotate or Flip Options...", MK_INFORMATION);
  const MyString target = m_ui.AskSaveName(path);
  if (target.IsEmpty()) return 0;
  if (Exists(target) && IsFileReadOnly(target)) {
    m_ui.Message(kReadOnlyText, MyString(), MK_ERROR);
    return 0;
  }
  const bool same = IsSameFile(path, target);
  // The cached thumbnail is found by the file's facts before the turn.
  CFileInfo before;
  GetFileInfo(path, &before);
  if (lossless && IsJpegFileName(target)) {
    if (!TransformFile(path, same ? path : target, code, AT_FOLLOW_LINK)) return 0;
  } else {
    Magick::Image turned;
    if (!TransformInMemory(code, &turned)) return 0;
    if (!WriteTurnedImage(turned, target, path, code,
                          same ? OverLoadedFile(m_document) : tagATOMICWRITEOPTIONS()))
      return 0;
  }
  if (same)
    ReloadInPlace(path, code, before);
  else
    ShowOtherFile(target);
  UpdateThumbnailEntry(target);
  return 1;
}

int CRotateFlipFile::TurnInMemoryOnly(int code) {
  Magick::Image turned;
  if (!TransformInMemory(code, &turned)) return 0;
  m_document.UpdateImage(turned);
  if (m_host.showAsNewImage) m_host.showAsNewImage();
  return 1;
}

int CRotateFlipFile::FileTransform(int code) const {
  const int shown = m_document.GetShownOrientation();
  return shown >= 1 ? ComposeTransforms(UprightTransform(shown), code) : code;
}

int CRotateFlipFile::TransformFile(const MyString& source, const MyString& target, int code,
                                   ATOMICTARGET rule) {
  CLosslessJpeg transform;
  transform.expectedSource = m_document.GetFileIdentity();
  transform.nTargetRule = rule;
  // The transform turned the block's orientation; the rest of it is brought
  // up to date before the one write (copying from the source again would
  // undo the orientation). A picture shown upright is written as shown, so
  // every program shows what the user saw.
  const bool upright = m_document.GetShownOrientation() >= 1;
  transform.finish = [upright](std::string& jpeg, MyString* error) {
    if (upright && SetExifOrientation(jpeg, 1) < 0) {
      *error = u"The EXIF orientation cannot be updated";
      return 0;
    }
    return CExifCopy::Refresh(&jpeg, error);
  };
  if (transform.Transform(source, target, FileTransform(code), gSO[SO_JPG_TRIM].nValue != 0))
    return 1;
  ReportTransformFailure();
  return 0;
}

int CRotateFlipFile::TransformInMemory(int code, Magick::Image* result) {
  CLoadSlotGuard slot(GetLoadSlot());
  if (!slot) return 0;
  CProgressMonitor& monitor = m_document.GetMonitor();
  monitor.Begin();
  MyString error;
  const int turned = TransformImage(m_document.GetImage(), code, result, &error);
  const bool cancelled = monitor.IsCancelled() || CProgressMonitor::IsClosing();
  monitor.End();
  if (cancelled) return 0;
  if (!turned) {
    m_ui.Message(u"The image cannot be rotated.\n" + error, RotateFlipCaption(code), MK_ERROR);
    return 0;
  }
  return 1;
}

int CRotateFlipFile::WriteTurnedImage(const Magick::Image& image, const MyString& target,
                                      const MyString& exifSource, int code,
                                      const tagATOMICWRITEOPTIONS& file) {
  tagIMAGEWRITE write;
  write.file = file;
  Magick::Image output = image;
  if (IsJpegFileName(target)) {
    // The raised setting wins over a quality the image was given before.
    output.quality(unsigned(std::clamp(gSO[SO_JPG_QUALITY].nValue, 0, 100)));
    const int width = int(image.columns()), height = int(image.rows());
    const bool upright = m_document.GetShownOrientation() >= 1;
    write.finish = [&exifSource, width, height, code, upright](std::string& jpeg, MyString* error) {
      if (!CExifCopy::Copy(exifSource, &jpeg, width, height, error)) return 0;
      // The copied block still describes the picture before it was turned;
      // one shown upright is written upright.
      if ((upright ? SetExifOrientation(jpeg, 1) : UpdateExifOrientation(jpeg, code)) >= 0)
        return 1;
      *error = u"The EXIF orientation cannot be updated";
      return 0;
    };
  }
  // The user asked for the file to turn: a failure is always told.
  return SaveImage(m_document.GetWindow(), target, output, write, true) ? 1 : 0;
}

void CRotateFlipFile::ReloadInPlace(const MyString& path, int code, const CFileInfo& before) {
  // How the file's pixels changed, taken before the reload forgets it.
  const int fileCode = FileTransform(code);
  m_document.Open(path);
  if (m_host.showAsNewImage) m_host.showAsNewImage();
  RotateCachedThumbnail(path, fileCode, before);
}

void CRotateFlipFile::ShowOtherFile(const MyString& path) {
  // What was edited in memory is in the new file now; nothing is left to ask about.
  m_document.SetModified(false);
  if (m_host.openFile) m_host.openFile(path);
}

void CRotateFlipFile::ReportTransformFailure() {
  m_ui.Message(u"The file cannot be rotated.", u"An error has ocurred", MK_ERROR);
}
