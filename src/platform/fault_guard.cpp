#include "platform/fault_guard.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <ucontext.h>

#include <array>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <mutex>

namespace vemra {
namespace {

constexpr std::array<int, 6> kSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr std::size_t kAltStackBytes = 64 * 1024;

struct GuardFrame {
    sigjmp_buf jump;
    FaultReport* report;
    GuardFrame* outer;
};

thread_local GuardFrame* t_frame = nullptr;

struct KindInfo {
    FaultKind kind;
    std::uint32_t code;
    const char* description;
};

// Codes and descriptions as plug-in authors know them.
constexpr KindInfo kKinds[] = {
    {FaultKind::GuardPage, 0x80000001, "ガードされているメモリページにアクセスしようとした"},
    {FaultKind::MisalignedData, 0x80000002, "メモリアクセスにおいてミスアラインメントを起こした"},
    {FaultKind::Breakpoint, 0x80000003, "ブレークポイントに到達した"},
    {FaultKind::SingleStep, 0x80000004, "シングルステップ機構が実行終了を通知した"},
    {FaultKind::AccessViolation, 0xC0000005, nullptr},
    {FaultKind::InPageError, 0xC0000006,
     "ファイルシステム、デバイスドライバが読み出しエラーを起こした"},
    {FaultKind::IllegalInstruction, 0xC000001D, "無効な命令を実行した"},
    {FaultKind::NonContinuable, 0xC0000025, "継続不可能な例外を起こした命令に対して再実行を試みた"},
    {FaultKind::ArrayBoundsExceeded, 0xC000008C, "配列の範囲外をアクセスしようとした"},
    {FaultKind::FloatDenormalOperand, 0xC000008D, "浮動小数点演算において非正規化数を検知した"},
    {FaultKind::FloatDivideByZero, 0xC000008E, "浮動小数点演算において０による除算を行おうとした"},
    {FaultKind::FloatInexactResult, 0xC000008F, "浮動小数点演算の結果が１０進小数で表現できない"},
    {FaultKind::FloatInvalidOperation, 0xC0000090, "浮動小数点演算例外"},
    {FaultKind::FloatOverflow, 0xC0000091, "浮動小数点演算の指数部が有効範囲を超えた"},
    {FaultKind::FloatStackCheck, 0xC0000092,
     "浮動小数点演算の結果スタックがオーバーフロー、あるいはアンダーフローを起こした"},
    {FaultKind::FloatUnderflow, 0xC0000093, "浮動小数点演算の指数部が有効範囲以下である"},
    {FaultKind::IntegerDivideByZero, 0xC0000094, "整数演算で０による除算を行おうとした"},
    {FaultKind::IntegerOverflow, 0xC0000095, "整数演算の結果、オーバーフローが発生した"},
    {FaultKind::PrivilegedInstruction, 0xC0000096, "特権命令を実行しようとした"},
    {FaultKind::StackOverflow, 0xC00000FD, "ユーザースタックを使い果たした"},
    {FaultKind::Timeout, 0x00000102, "時間内に応答しなかった"},
    {FaultKind::ProcessEnded, 0xC0000409, "プラグインのプロセスが異常終了した"},
};

std::atomic<bool> s_abortGuarded{false};

const KindInfo* infoFor(FaultKind kind) {
    for (const KindInfo& k : kKinds) {
        if (k.kind == kind) {
            return &k;
        }
    }
    return nullptr;
}

// The lowest address of the calling thread's stack, learnt outside the
// signal handler: pthread_getattr_np reads /proc for the main thread, with
// stdio and malloc, which must not run in a handler (the fault may have
// struck inside malloc). Zero when unknown.
thread_local std::uintptr_t t_stackBottom = 0;

void learnStackBottom() {
    if (t_stackBottom != 0) {
        return;
    }
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) {
        return;
    }
    void* low = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attr, &low, &size) == 0) {
        t_stackBottom = reinterpret_cast<std::uintptr_t>(low);
    }
    pthread_attr_destroy(&attr);
}

// True when `address` lies just below the calling thread's stack: the
// guard area a runaway recursion runs into.
bool nearStackLimit(std::uintptr_t address) {
    const std::uintptr_t bottom = t_stackBottom;
    if (bottom == 0) {
        return false;
    }
    return address < bottom + 64 * 1024 && address + 1024 * 1024 >= bottom;
}

FaultKind classify(int signal, const siginfo_t* info) {
    switch (signal) {
    case SIGSEGV:
        return nearStackLimit(reinterpret_cast<std::uintptr_t>(info->si_addr))
                   ? FaultKind::StackOverflow
                   : FaultKind::AccessViolation;
    case SIGBUS:
        return info->si_code == BUS_ADRALN ? FaultKind::MisalignedData : FaultKind::InPageError;
    case SIGFPE:
        switch (info->si_code) {
        case FPE_INTDIV:
            return FaultKind::IntegerDivideByZero;
        case FPE_INTOVF:
            return FaultKind::IntegerOverflow;
        case FPE_FLTDIV:
            return FaultKind::FloatDivideByZero;
        case FPE_FLTOVF:
            return FaultKind::FloatOverflow;
        case FPE_FLTUND:
            return FaultKind::FloatUnderflow;
        case FPE_FLTRES:
            return FaultKind::FloatInexactResult;
        case FPE_FLTSUB:
            return FaultKind::ArrayBoundsExceeded;
        default:
            return FaultKind::FloatInvalidOperation;
        }
    case SIGILL:
        return info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG
                   ? FaultKind::PrivilegedInstruction
                   : FaultKind::IllegalInstruction;
    case SIGTRAP:
        return info->si_code == TRAP_TRACE ? FaultKind::SingleStep : FaultKind::Breakpoint;
    default:
        // abort() inside foreign code, caught only where the process ends
        // after reporting it (the plug-in host).
        return FaultKind::NonContinuable;
    }
}

std::array<struct sigaction, kSignals.size()> s_previous{};

// Hands a fault outside any guard to whoever handled the signal before us
// (a sanitizer, a crash reporter, or the default action).
void chain(int signal, siginfo_t* info, void* context) {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (kSignals[i] != signal) {
            continue;
        }
        const struct sigaction& old = s_previous[i];
        if ((old.sa_flags & SA_SIGINFO) != 0 && old.sa_sigaction != nullptr) {
            old.sa_sigaction(signal, info, context);
        } else if (old.sa_handler == SIG_IGN) {
            return;
        } else if (old.sa_handler != SIG_DFL && old.sa_handler != nullptr) {
            old.sa_handler(signal);
        } else {
            // Returning re-runs the faulting instruction, or abort() raises
            // again, now with the default action.
            sigaction(signal, &old, nullptr);
        }
        return;
    }
}

void onFault(int signal, siginfo_t* info, void* context) {
    GuardFrame* frame = t_frame;
    if (frame == nullptr || (signal == SIGABRT && !s_abortGuarded.load())) {
        chain(signal, info, context);
        return;
    }
    FaultReport& r = *frame->report;
    r.kind = classify(signal, info);
    r.code = infoFor(r.kind)->code;
    r.accessAddress = reinterpret_cast<std::uintptr_t>(info->si_addr);
#if defined(__x86_64__)
    const auto* uc = static_cast<const ucontext_t*>(context);
    r.address = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
    // Bit 1 of the page-fault error code tells a write from a read.
    r.write = signal == SIGSEGV && (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)context;
    r.address = r.accessAddress;
#endif
    siglongjmp(frame->jump, 1);
}

// The handlers stay installed for the life of the process: plug-in calls
// are frequent (one per file to identify) and must not race with another
// thread restoring handlers.
void installHandlersOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &action, &s_previous[i]);
        }
    });
}

// Gives the outermost guard of a thread an alternate signal stack, so that
// a stack overflow can still be handled, and puts back the previous one.
class AltStackScope {
public:
    AltStackScope() : m_stack(std::make_unique<char[]>(kAltStackBytes)) {
        stack_t alt{};
        alt.ss_sp = m_stack.get();
        alt.ss_size = kAltStackBytes;
        sigaltstack(&alt, &m_old);
    }
    ~AltStackScope() { sigaltstack(&m_old, nullptr); }
    AltStackScope(const AltStackScope&) = delete;
    AltStackScope& operator=(const AltStackScope&) = delete;

private:
    std::unique_ptr<char[]> m_stack;
    stack_t m_old{};
};

bool runFrame(GuardFrame& frame, void (*call)(void*), void* context) {
    // Nothing with a destructor may live in this frame between sigsetjmp and
    // the end of the call: a fault jumps straight back here.
    if (sigsetjmp(frame.jump, 1) != 0) {
        return false;
    }
    call(context);
    return true;
}

} // namespace

namespace detail {

bool runGuardedRaw(const char* operation, void (*call)(void*), void* context, FaultReport& report) {
    report = FaultReport{};
    report.operation = operation;
    installHandlersOnce();
    learnStackBottom();
    std::unique_ptr<AltStackScope> altStack;
    if (t_frame == nullptr) {
        altStack = std::make_unique<AltStackScope>();
    }
    GuardFrame frame{};
    frame.report = &report;
    frame.outer = t_frame;
    t_frame = &frame;
    const bool completed = runFrame(frame, call, context);
    t_frame = frame.outer;
    if (!completed) {
        report.operation = operation;
    }
    return completed;
}

} // namespace detail

std::uint32_t faultCode(FaultKind kind) {
    const KindInfo* info = infoFor(kind);
    return info != nullptr ? info->code : 0;
}

void setAbortGuarded(bool guarded) {
    s_abortGuarded = guarded;
}

std::string faultMessage(const FaultReport& report) {
    char head[128];
    std::snprintf(head, sizeof head, "%s :Code=%" PRIX32 " :Address=%" PRIXPTR "\n",
                  report.operation, report.code, report.address);
    std::string text = head;
    const KindInfo* info = infoFor(report.kind);
    if (info == nullptr) {
        return text;
    }
    if (report.kind == FaultKind::AccessViolation) {
        char detail[96];
        std::snprintf(detail, sizeof detail, "ｱﾄﾞﾚｽ %" PRIXPTR "の%s違反", report.accessAddress,
                      report.write ? "書込" : "読込");
        text += detail;
    } else if (info->description != nullptr) {
        text += info->description;
    }
    return text;
}

} // namespace vemra
