#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

namespace vemra {

// What went wrong inside a guarded call, in the terms of the fault codes
// that plug-in authors know from the interface's home platform.
enum class FaultKind {
    None,
    GuardPage,
    MisalignedData,
    Breakpoint,
    SingleStep,
    AccessViolation,
    InPageError,
    IllegalInstruction,
    NonContinuable,
    ArrayBoundsExceeded,
    FloatDenormalOperand,
    FloatDivideByZero,
    FloatInexactResult,
    FloatInvalidOperation,
    FloatOverflow,
    FloatStackCheck,
    FloatUnderflow,
    IntegerDivideByZero,
    IntegerOverflow,
    PrivilegedInstruction,
    StackOverflow,
    // Not signals: the plug-in host stopped answering within its time limit,
    // or ended without saying why (killed, or a sanitizer ended it).
    Timeout,
    ProcessEnded,
};
inline constexpr FaultKind kLastFaultKind = FaultKind::ProcessEnded;

struct FaultReport {
    FaultKind kind = FaultKind::None;
    std::uint32_t code = 0;           // the fault's numeric code, e.g. 0xC0000005
    std::uintptr_t address = 0;       // where the faulting instruction was
    std::uintptr_t accessAddress = 0; // the memory address touched (access violations)
    bool write = false;               // an access violation was a write
    const char* operation = "";       // the name the guarded call was given
};

// The text shown to the user: "<operation> :Code=<hex> :Address=<hex>\n"
// followed by a description of the fault in Japanese.
std::string faultMessage(const FaultReport& report);
// The numeric code of a kind of fault; 0 for None.
std::uint32_t faultCode(FaultKind kind);

// Whether abort() inside a guarded call is caught like a fault. Off by
// default: glibc aborts when it finds its heap corrupted, and a process whose
// heap is corrupted must not go on. The plug-in host turns it on, because it
// only reports the fault and then ends.
void setAbortGuarded(bool guarded);

namespace detail {
bool runGuardedRaw(const char* operation, void (*call)(void*), void* context, FaultReport& report);
}

// Runs `call` and catches the hardware faults it may cause (bad memory
// access, division by zero, illegal instructions, stack overflow; abort when
// setAbortGuarded() says so):
// true when it returned normally, false when it faulted, with `report`
// filled in. This is for calls into foreign code such as plug-ins. A fault
// abandons the call without unwinding it, so objects with destructors that
// live inside `call` are not destroyed: keep `call` a thin shim around the
// foreign function. Handlers run on an alternate stack, so a runaway
// recursion is caught too. Guards nest; each thread has its own.
template <class F> bool runGuarded(const char* operation, F&& call, FaultReport& report) {
    auto trampoline = [](void* context) { (*static_cast<std::remove_reference_t<F>*>(context))(); };
    return detail::runGuardedRaw(operation, trampoline, &call, report);
}

} // namespace vemra
