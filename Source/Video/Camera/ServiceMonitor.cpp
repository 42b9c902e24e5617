#include "Video/Camera/ServiceMonitor.h"

#include <atomic>
#include <thread>
#include <time.h>

#include "Base/Log.h"
#include "Base/Thread.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/Socket.h"

namespace picam {

namespace {

// Main thread starts and stops; the monitor thread reads the flag.
std::atomic<bool> monitorRunning{false};
std::thread monitorThread;  // main thread only

// Starting into a joinable thread object is a programming error: std::thread
// ends the program then (std::terminate), as it should.
void StartServiceThreads(Service* s, bool scanlink) {
    if (scanlink) s->scanlinkThread = base::StartThread("ScanlinkProc", [s] { ScanlinkProc(s); });
    s->serviceThread = base::StartThread("ServiceProc", [s] { ServiceProc(s); });
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
        LOGF(LOG_INFO, LOG_SRC_CAMERA, "ServiceMonitor | Restarting service (%d)", static_cast<int>(i));
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
    LOGF(LOG_INFO, LOG_SRC_CAMERA, "ServiceMonitor | Found host ip (%s), starting service[%d]",
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
    monitorThread = base::StartThread("ServiceMonitor", [options] { ServiceMonitor(options); });
}

void StopServiceMonitor() {
    if (!monitorRunning.exchange(false)) return;
    if (monitorThread.joinable()) monitorThread.join();
}

bool ServiceMonitorRunning() { return monitorRunning.load(); }

}  // namespace picam
