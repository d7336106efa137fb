#include "standin/MappingGuard.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace quillet::standin {

namespace {

std::atomic<int> faults{0};
std::uintptr_t pageSize = 4096;
struct sigaction previous {};

// A page of a mapped file that is gone gets an anonymous page of zeros in its place,
// and the read that faulted runs again. Any other SIGBUS goes to the previous handler:
// returning makes it fault once more, there.
void OnBusError(int, siginfo_t* info, void*) {
    if (info->si_code == BUS_ADRERR && info->si_addr) {
        void* page = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(info->si_addr) & ~(pageSize - 1));
        if (::mmap(page, pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            faults.fetch_add(1);
            return;
        }
    }
    ::sigaction(SIGBUS, &previous, nullptr);
}

} // namespace

MappingGuard::MappingGuard() {
    pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    faults = 0;
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    installed_ = ::sigaction(SIGBUS, &action, &previous) == 0;
}

MappingGuard::~MappingGuard() {
    if (installed_)
        ::sigaction(SIGBUS, &previous, nullptr);
}

bool MappingGuard::faulted() const { return faults.load() != 0; }

} // namespace quillet::standin
