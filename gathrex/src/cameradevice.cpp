#include "gathrex/cameradevice.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <glob.h>
#include <mutex>

#include <gphoto2/gphoto2.h>

namespace {

// Cameras do not nest folders deeper than this; a driver that loops stops here.
constexpr int kMaxFolderDepth = 32;

GPContextFeedback CancelWhenStopped(GPContext*, void* data) {
  const auto* stop = static_cast<const std::atomic<bool>* const*>(data);
  return (*stop && (*stop)->load()) ? GP_CONTEXT_FEEDBACK_CANCEL : GP_CONTEXT_FEEDBACK_OK;
}

std::string JoinFolder(const std::string& folder, const char* name) {
  return folder == "/" ? "/" + std::string(name) : folder + "/" + name;
}

// The model of the camera libgphoto2 detects on port, or empty.
std::string DetectedModel(const std::string& port) {
  std::vector<tagCAMERAPORT> cameras;
  if (CCameraDevice::Autodetect(&cameras) <= 0) return {};
  for (const tagCAMERAPORT& camera : cameras)
    if (camera.strPort.ToUtf8() == port) return camera.strModel.ToUtf8();
  return {};
}

// libgphoto2 loads every driver (and the libraries they need) to list the
// models, and unloads them again; start-up allocations of those libraries
// are lost on each unload. Keeping the drivers loaded once for the life of
// the process makes every later listing and opening cheap and leak-free.
void KeepDriversLoaded() {
  static std::once_flag once;
  std::call_once(once, [] {
    const char* camlibs = std::getenv("CAMLIBS");
    const char* iolibs = std::getenv("IOLIBS");
    const std::string folders[] = {camlibs ? camlibs : LORIMO_GPHOTO2_CAMLIBS,
                                   iolibs ? iolibs : LORIMO_GPHOTO2_IOLIBS};
    for (const std::string& folder : folders) {
      glob_t found{};
      if (::glob((folder + "/*.so").c_str(), 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i)
          ::dlopen(found.gl_pathv[i], RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
      ::globfree(&found);
    }
  });
}

}  // namespace

CCameraDevice::CCameraDevice() {
  KeepDriversLoaded();
  m_context = gp_context_new();
  gp_context_set_cancel_func(m_context, CancelWhenStopped, &m_stop);
}

CCameraDevice::~CCameraDevice() {
  Close();
  gp_context_unref(m_context);
}

int CCameraDevice::Fail(const char* what, int result) {
  m_strLastError = MyString::FromUtf8(std::string(what) + ": " + gp_result_as_string(result));
  return 0;
}

int CCameraDevice::Open(const MyString& port, const MyString& model) {
  Close();
  m_bLibraryFailure = false;
  const std::string portPath = port.ToUtf8();
  std::string modelName = model.ToUtf8();
  if (modelName.empty())
    modelName = portPath.rfind("disk:", 0) == 0 ? "Directory Browse" : DetectedModel(portPath);
  if (modelName.empty()) {
    m_strLastError = u"No camera found on " + port;
    return 0;
  }

  CameraAbilitiesList* abilitiesList = nullptr;
  GPPortInfoList* portList = nullptr;
  Camera* camera = nullptr;
  int result = gp_abilities_list_new(&abilitiesList);
  if (result >= GP_OK) result = gp_abilities_list_load(abilitiesList, m_context);
  if (result < GP_OK || gp_abilities_list_count(abilitiesList) <= 0) {
    if (abilitiesList) gp_abilities_list_free(abilitiesList);
    m_bLibraryFailure = true;
    return Fail("No camera drivers", result < GP_OK ? result : GP_ERROR_MODEL_NOT_FOUND);
  }
  int index =
      result >= GP_OK ? gp_abilities_list_lookup_model(abilitiesList, modelName.c_str()) : result;
  CameraAbilities abilities{};
  if (index >= GP_OK)
    result = gp_abilities_list_get_abilities(abilitiesList, index, &abilities);
  else
    result = index;
  gp_abilities_list_free(abilitiesList);
  if (result < GP_OK) return Fail("Unknown camera model", result);

  result = gp_port_info_list_new(&portList);
  if (result >= GP_OK) result = gp_port_info_list_load(portList);
  index = result >= GP_OK ? gp_port_info_list_lookup_path(portList, portPath.c_str()) : result;
  GPPortInfo portInfo{};
  if (index >= GP_OK)
    result = gp_port_info_list_get_info(portList, index, &portInfo);
  else
    result = index;
  if (result >= GP_OK) result = gp_camera_new(&camera);
  if (result >= GP_OK) result = gp_camera_set_abilities(camera, abilities);
  if (result >= GP_OK) result = gp_camera_set_port_info(camera, portInfo);
  gp_port_info_list_free(portList);
  if (result >= GP_OK) result = gp_camera_init(camera, m_context);
  if (result < GP_OK) {
    if (camera) gp_camera_unref(camera);
    return Fail("Cannot open the camera", result);
  }
  m_camera = camera;
  return 1;
}

void CCameraDevice::Close() {
  if (!m_camera) return;
  gp_camera_exit(m_camera, m_context);
  gp_camera_unref(m_camera);
  m_camera = nullptr;
}

int CCameraDevice::ListFiles(std::vector<tagCAMERAFILE>* files, const std::atomic<bool>* stop) {
  files->clear();
  if (!m_camera) {
    m_strLastError = u"The camera is not open";
    return 0;
  }
  // A new listing sees the camera as it is now, not libgphoto2's cache.
  gp_filesystem_reset(m_camera->fs);
  return ListFolder("/", files, stop, 0);
}

int CCameraDevice::ListFolder(const std::string& folder, std::vector<tagCAMERAFILE>* files,
                              const std::atomic<bool>* stop, int depth) {
  if (depth > kMaxFolderDepth) return 1;
  if (stop && stop->load()) {
    m_strLastError = u"Cancelled";
    return 0;
  }
  CameraList* list = nullptr;
  gp_list_new(&list);
  int result = gp_camera_folder_list_files(m_camera, folder.c_str(), list, m_context);
  if (result < GP_OK) {
    gp_list_free(list);
    return Fail("Cannot list the camera's files", result);
  }
  for (int i = 0, n = gp_list_count(list); i < n; ++i) {
    const char* name = nullptr;
    gp_list_get_name(list, i, &name);
    if (!name) continue;
    tagCAMERAFILE file;
    file.strFolder = MyString::FromUtf8(folder);
    file.strName = MyString::FromUtf8(name);
    CameraFileInfo info{};
    if (gp_camera_file_get_info(m_camera, folder.c_str(), name, &info, m_context) >= GP_OK) {
      if (info.file.fields & GP_FILE_INFO_SIZE) file.nSize = int64_t(info.file.size);
      if (info.file.fields & GP_FILE_INFO_MTIME) file.nTime = int64_t(info.file.mtime);
      if (info.file.fields & GP_FILE_INFO_WIDTH) file.nWidth = int(info.file.width);
      if (info.file.fields & GP_FILE_INFO_HEIGHT) file.nHeight = int(info.file.height);
    }
    files->push_back(std::move(file));
  }
  gp_list_reset(list);
  result = gp_camera_folder_list_folders(m_camera, folder.c_str(), list, m_context);
  if (result < GP_OK) {
    gp_list_free(list);
    return Fail("Cannot list the camera's folders", result);
  }
  std::vector<std::string> folders;
  for (int i = 0, n = gp_list_count(list); i < n; ++i) {
    const char* name = nullptr;
    gp_list_get_name(list, i, &name);
    if (name && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
      folders.push_back(JoinFolder(folder, name));
  }
  gp_list_free(list);
  for (const std::string& sub : folders)
    if (!ListFolder(sub, files, stop, depth + 1)) return 0;
  return 1;
}

int CCameraDevice::ReadFile(const tagCAMERAFILE& file, std::string* data, bool preview,
                            const std::atomic<bool>* stop) {
  data->clear();
  if (!m_camera) {
    m_strLastError = u"The camera is not open";
    return 0;
  }
  CameraFile* cameraFile = nullptr;
  int result = gp_file_new(&cameraFile);
  if (result < GP_OK) return Fail("Out of memory", result);
  m_stop = stop;
  result = gp_camera_file_get(
      m_camera, file.strFolder.ToUtf8().c_str(), file.strName.ToUtf8().c_str(),
      preview ? GP_FILE_TYPE_PREVIEW : GP_FILE_TYPE_NORMAL, cameraFile, m_context);
  m_stop = nullptr;
  const char* bytes = nullptr;
  unsigned long size = 0;
  if (result >= GP_OK) result = gp_file_get_data_and_size(cameraFile, &bytes, &size);
  if (result >= GP_OK && bytes) data->assign(bytes, size);
  gp_file_unref(cameraFile);
  if (result < GP_OK)
    return Fail(preview ? "Cannot read the preview" : "Cannot read the file", result);
  return 1;
}

int CCameraDevice::DeleteFile(const tagCAMERAFILE& file) {
  if (!m_camera) {
    m_strLastError = u"The camera is not open";
    return 0;
  }
  const int result = gp_camera_file_delete(m_camera, file.strFolder.ToUtf8().c_str(),
                                           file.strName.ToUtf8().c_str(), m_context);
  if (result < GP_OK) return Fail("Cannot delete the file from the camera", result);
  return 1;
}

int CCameraDevice::Autodetect(std::vector<tagCAMERAPORT>* cameras) {
  cameras->clear();
  KeepDriversLoaded();
  GPContext* context = gp_context_new();
  CameraList* list = nullptr;
  gp_list_new(&list);
  const int count = gp_camera_autodetect(list, context);
  for (int i = 0; i < count; ++i) {
    const char* model = nullptr;
    const char* port = nullptr;
    gp_list_get_name(list, i, &model);
    gp_list_get_value(list, i, &port);
    if (model && port) cameras->push_back({MyString::FromUtf8(model), MyString::FromUtf8(port)});
  }
  gp_list_free(list);
  gp_context_unref(context);
  return count < GP_OK ? -1 : int(cameras->size());
}
