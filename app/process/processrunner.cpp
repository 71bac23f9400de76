#include "process/processrunner.h"

#include <exception>

namespace {
std::atomic<uint64_t> gnRunName{0};
}  // namespace

CProcessRunner::~CProcessRunner() { Stop(); }

bool CProcessRunner::CRunProgress::OnProgress(int64_t done, uint64_t total) {
  if (total > 0 && done >= 0)
    nPercent = int(uint64_t(done) >= total ? 100 : uint64_t(done) * 100 / total);
  return !bCancel;
}

uint64_t CProcessRunner::Start(const tagFILTERENTRY& entry, Magick::Image image,
                               const tagFILTERARGS& args, Finished finished) {
  Stop();
  m_progress.bCancel = false;
  m_progress.nPercent = 0;
  m_bRunning = true;
  const uint64_t request = ++m_nRequest;
  m_thread = std::thread(&CProcessRunner::Run, this, &entry, std::move(image), args, request,
                         std::move(finished));
  return request;
}

void CProcessRunner::Cancel() { m_progress.bCancel = true; }

void CProcessRunner::Stop() {
  Cancel();
  if (m_thread.joinable()) m_thread.join();
}

int CProcessRunner::Percent() const { return m_progress.nPercent; }

void CProcessRunner::Run(const tagFILTERENTRY* entry, Magick::Image image, tagFILTERARGS args,
                         uint64_t request, Finished finished) {
  tagFILTERRUN run;
  run.nRequest = request;
  // The library names the image in its reports; a name of the run's own
  // tells them apart from other work wherever they come from.
  const std::string name = "lorimo-filter-" + std::to_string(++gnRunName);
  CThreadDecodeProgress threadProgress(&m_progress);
  SetNamedProgress(name, &m_progress);
  try {
    const std::string original = image.fileName();
    image.fileName(name);
    run.nResult = CFilterCatalogue::Apply(*entry, image, args);
    if (run.nResult == FR_DONE) {
      image.fileName(original);
      run.image = std::move(image);
    }
  } catch (const std::exception& e) {
    run.nResult = FR_NOTHING;
    run.strError = e.what();
  }
  SetNamedProgress(name, nullptr);
  // A stopped library call may end as an error or with a partial result.
  if (m_progress.bCancel) {
    run.nResult = FR_CANCELLED;
    run.image = Magick::Image();
    run.strError.clear();
  }
  m_bRunning = false;
  if (finished) finished(std::move(run));
}
