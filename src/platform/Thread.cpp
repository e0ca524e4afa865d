#include "platform/Thread.h"

#include <pthread.h>

#include <memory>

namespace sarvo {
namespace {

void* RunWork(void* argument) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(argument));
    (*work)();
    return nullptr;
}

}  // namespace

bool StartDetachedThread(std::function<void()> work, size_t stackSize) {
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0)
        return false;
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize >= static_cast<size_t>(PTHREAD_STACK_MIN))
        ::pthread_attr_setstacksize(&attributes, stackSize);

    auto heapWork = std::make_unique<std::function<void()>>(std::move(work));
    pthread_t thread;
    int result = ::pthread_create(&thread, &attributes, RunWork, heapWork.get());
    ::pthread_attr_destroy(&attributes);
    if (result != 0)
        return false;
    heapWork.release();
    return true;
}

void NameCurrentThread(const char* name) {
    ::pthread_setname_np(::pthread_self(), name);
}

}  // namespace sarvo
