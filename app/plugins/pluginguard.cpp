#include "plugins/pluginguard.h"

#include <QApplication>
#include <QMessageBox>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kSignalCount = int(std::size(kSignals));

// The innermost guarded call's return point; GUI thread only.
sigjmp_buf* gJump = nullptr;
CPluginGuard::FailureQuestion gQuestion;

void OnSignalInPlugin(int signal, siginfo_t*, void*) {
  if (gJump) siglongjmp(*gJump, signal);
  // Not in a guarded call: the default action (the caller put the previous
  // handlers back before this can happen).
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Installs the guard's handlers on an alternate stack (a stack overflow in
// the plug-in still reaches them) and puts the previous ones back.
class CSignalScope {
 public:
  CSignalScope() {
    static std::vector<char> stack(size_t(SIGSTKSZ) * 4);
    stack_t alt{};
    alt.ss_sp = stack.data();
    alt.ss_size = stack.size();
    ::sigaltstack(&alt, &m_previousStack);
    struct sigaction action {};
    action.sa_sigaction = OnSignalInPlugin;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &action, &m_previous[i]);
  }
  ~CSignalScope() {
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &m_previous[i], nullptr);
    ::sigaltstack(&m_previousStack, nullptr);
  }

 private:
  struct sigaction m_previous[kSignalCount];
  stack_t m_previousStack{};
};

bool AskToClose(const MyString& pluginName) {
  if (gQuestion) return gQuestion(pluginName);
  return QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Plugin failure!"),
                               CPluginGuard::FailureText(pluginName).ToQString(),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

}  // namespace

void CPluginGuard::SetFailureQuestion(FailureQuestion question) { gQuestion = std::move(question); }

MyString CPluginGuard::FailureText(const MyString& pluginName) {
  return u"The \"" + pluginName +
         u"\" plugin has generated an exception.\nShould Lorimo close now to prevent any "
         u"further errors ? (recommended)";
}

bool CPluginGuard::Run(const MyString& pluginName, const std::function<void()>& call) {
  int signal = 0;
  bool threw = false;
  {
    sigjmp_buf jump;
    sigjmp_buf* outer = gJump;
    CSignalScope scope;
    // volatile: read after the jump back.
    volatile int caught = sigsetjmp(jump, 1);
    if (caught == 0) {
      gJump = &jump;
      try {
        call();
      } catch (...) {
        threw = true;
      }
    }
    signal = caught;
    gJump = outer;
  }
  if (signal == 0 && !threw) return true;
  if (AskToClose(pluginName)) {
    // The previous handlers (the crash reporter's) are back in place.
    if (signal) ::raise(signal);
    std::abort();
  }
  return false;
}
