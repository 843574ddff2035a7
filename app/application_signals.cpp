#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <utility>

#include "app/application_app.h"

namespace pontiq {

namespace {

// Written by the handler, read on the user-interface thread. Only one TerminationSignals lives at
// a time; the descriptors are published before the handlers are installed.
std::atomic<int> gWriteFd{-1};

extern "C" void OnTerminationSignal(int)
{
    const int saved = errno;
    const int fd = gWriteFd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // a full pipe already holds a wake-up
    }
    errno = saved;
}

constexpr int kSignals[] = {SIGINT, SIGTERM};

}  // namespace

struct TerminationSignals::Impl {
    int fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> onSignal;
    struct sigaction previous[std::size(kSignals)] = {};
    bool taken = false;

    bool Drain()
    {
        char buffer[16];
        bool any = false;
        while (::read(fds[0], buffer, sizeof(buffer)) > 0) any = true;
        return any;
    }

    void Take()
    {
        if (taken) return;
        taken = true;
        // A second signal, for example while the devices are being released, ends at once.
        for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
        if (onSignal) onSignal();
    }
};

TerminationSignals::TerminationSignals(std::function<void()> onSignal) : impl_(std::make_unique<Impl>())
{
    impl_->onSignal = std::move(onSignal);
    if (::pipe2(impl_->fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        impl_->fds[0] = impl_->fds[1] = -1;
        return;  // without the pipe the signals keep their default action
    }
    gWriteFd.store(impl_->fds[1]);
    impl_->notifier = std::make_unique<QSocketNotifier>(impl_->fds[0], QSocketNotifier::Read);
    QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, [impl = impl_.get()] {
        if (impl->Drain()) impl->Take();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &impl_->previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (impl_->fds[1] < 0) return;
    if (!impl_->taken) {
        for (size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &impl_->previous[i], nullptr);
    }
    gWriteFd.store(-1);
    impl_->notifier.reset();
    ::close(impl_->fds[0]);
    ::close(impl_->fds[1]);
}

bool TerminationSignals::TakePending()
{
    if (impl_->fds[0] < 0 || !impl_->Drain()) return false;
    impl_->Take();
    return true;
}

}  // namespace pontiq
