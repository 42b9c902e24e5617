#include "Video/Camera/ServiceMonitor.h"

#include <atomic>
#include <cstdlib>
#include <pthread.h>
#include <system_error>
#include <thread>
#include <time.h>

#include "Base/Log.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/Socket.h"

namespace picam {

namespace {

// Main thread starts and stops; the monitor thread reads the flag.
std::atomic<bool> monitorRunning{false};
std::thread monitorThread;  // main thread only

// A thread that cannot be started ends the program: without its threads
// the camera link cannot work, and there is nothing sensible to fall back to.
template <typename Fn>
std::thread StartThread(const char* name, Fn&& fn) {
    try {
        std::thread t(std::forward<Fn>(fn));
        pthread_setname_np(t.native_handle(), name);
        return t;
    } catch (const std::system_error& e) {
        LogWrite(LOG_FATAL, LOG_SRC_CAMERA, __LINE__, "ServiceMonitor | could not start thread %s: %s", name,
                 e.what());
        std::abort();
    }
}

// Starting into a joinable thread object is a programming error: std::thread
// ends the program then (std::terminate), as it should.
void StartServiceThreads(Service* s, bool scanlink) {
    if (scanlink) s->scanlinkThread = StartThread("ScanlinkProc", [s] { ScanlinkProc(s); });
    s->serviceThread = StartThread("ServiceProc", [s] { ServiceProc(s); });
}

void JoinServiceThreads(Service* s) {
    if (s->serviceThread.joinable()) s->serviceThread.join();
    if (s->scanlinkThread.joinable()) s->scanlinkThread.join();
}

size_t ListSize() {
    std::lock_guard<std::mutex> lock(serviceListLock);
    return ServiceList.size();
}

Service* ListAt(size_t i) {
    std::lock_guard<std::mutex> lock(serviceListLock);
    return i < ServiceList.size() ? ServiceList[i] : nullptr;
}

void RestartPass(const MonitorOptions& options) {
    for (size_t i = 0; i < ListSize(); ++i) {
        Service* s = ListAt(i);
        if (!s || s->running.load()) continue;
        JoinServiceThreads(s);
        std::string address;
        ResolveIPv4(HostNameForIndex(static_cast<int>(i), options.stem), &address);
        if (address.empty()) continue;  // tried again next iteration
        LogWrite(LOG_INFO, LOG_SRC_CAMERA, __LINE__, "ServiceMonitor | Restarting service (%d)", static_cast<int>(i));
        s->ResetTables();
        s->SetHost(address);
        s->running.store(true);
        StartServiceThreads(s, options.scanlink);
    }
}

void DiscoveryPass(const MonitorOptions& options) {
    const size_t n = ListSize();
    std::string address;
    ResolveIPv4(HostNameForIndex(static_cast<int>(n), options.stem), &address);
    if (address.empty()) return;
    {
        // The same unit answering under a second name: one service only.
        // Only this thread writes the list, so it cannot grow meanwhile.
        std::lock_guard<std::mutex> lock(serviceListLock);
        for (Service* s : ServiceList)
            if (s->Host() == address) return;
    }
    LogWrite(LOG_INFO, LOG_SRC_CAMERA, __LINE__, "ServiceMonitor | Found host ip (%s), starting service[%d]",
             address.c_str(), static_cast<int>(n));
    auto* s = new Service();
    s->SetHost(address);
    s->running.store(true);
    StartServiceThreads(s, options.scanlink);
    std::lock_guard<std::mutex> lock(serviceListLock);
    ServiceList.push_back(s);
}

void StopAllServices() {
    std::vector<Service*> services;
    {
        std::lock_guard<std::mutex> lock(serviceListLock);
        services = ServiceList;
    }
    for (Service* s : services) s->running.store(false);
    for (Service* s : services) JoinServiceThreads(s);
    // Gone from the list before the objects go, so that AcquireService never
    // hands out a destroyed service.
    {
        std::lock_guard<std::mutex> lock(serviceListLock);
        ServiceList.clear();
    }
    for (Service* s : services) delete s;
}

void ServiceMonitor(MonitorOptions options) {
    while (monitorRunning.load()) {
        RestartPass(options);
        DiscoveryPass(options);
        timespec pause{0, 10 * 1000000};
        nanosleep(&pause, nullptr);
    }
    StopAllServices();
}

}  // namespace

std::string HostNameForIndex(int index, const std::string& stem) {
    if (index <= 0) return stem + ".local";
    return stem + "-" + std::to_string(index + 1) + ".local";
}

void StartServiceMonitor(const MonitorOptions& options) {
    if (monitorRunning.exchange(true)) return;
    monitorThread = StartThread("ServiceMonitor", [options] { ServiceMonitor(options); });
}

void StopServiceMonitor() {
    if (!monitorRunning.exchange(false)) return;
    if (monitorThread.joinable()) monitorThread.join();
}

bool ServiceMonitorRunning() { return monitorRunning.load(); }

}  // namespace picam
