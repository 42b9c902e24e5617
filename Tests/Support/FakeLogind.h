// A private system-style message bus of the test's own with a stand-in for
// systemd-logind on it (Tests/Support/fake-logind.py, python3-dbus), so that
// the suspend path runs without a real login manager: inhibitor locks, their
// release when the holder closes the descriptor, and Suspend announcing
// PrepareForSleep(true), waiting for the delay locks, then
// PrepareForSleep(false). Programs find the bus through
// DBUS_SYSTEM_BUS_ADDRESS (BusEnv, or SetSystemBusForThisProcess).
// Header-only: every test folder builds its own program.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Wait.h"

namespace testsupport {

class FakeLogind {
public:
    // `folder`: an empty folder of the test's own (socket, bus configuration,
    // event and output files). `delayMax_s`: how long a sleep waits for the
    // delay locks (logind's InhibitDelayMaxSec).
    explicit FakeLogind(const std::filesystem::path& folder, double delayMax_s = 5.0)
        : folder_(folder), events_(folder / "logind-events.txt") {
        const std::filesystem::path socket = folder_ / "system_bus_socket";
        address_ = "unix:path=" + socket.string();
        std::ofstream(folder_ / "bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n  <type>system</type>\n  <listen>"
            << address_
            << "</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n"
               "    <allow user=\"*\"/>\n    <allow own=\"*\"/>\n"
               "    <allow send_type=\"method_call\"/>\n    <allow send_type=\"signal\"/>\n"
               "    <allow send_type=\"method_return\"/>\n    <allow send_type=\"error\"/>\n"
               "    <allow receive_type=\"method_call\"/>\n    <allow receive_type=\"signal\"/>\n"
               "    <allow receive_type=\"method_return\"/>\n    <allow receive_type=\"error\"/>\n"
               "  </policy>\n</busconfig>\n";
        daemon_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + (folder_ / "bus.conf").string(),
                                     "--nofork", "--nopidfile"},
            std::vector<std::string>{}, folder_ / "dbus-daemon.out");
        if (!daemon_->Started() ||
            !WaitUntil([&] { return std::filesystem::exists(socket); }, std::chrono::seconds(20),
                       std::chrono::milliseconds(20)))
            return;
        std::ostringstream delay;
        delay << delayMax_s;
        // The system interpreter: python3-dbus and python3-gi are Debian packages.
        logind_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", std::string(ORVEX_SOURCE_DIR) + "/Tests/Support/fake-logind.py",
                                     "--address", address_, "--events", events_.string(), "--delay-max-s",
                                     delay.str()},
            std::vector<std::string>{}, folder_ / "fake-logind.out");
        ready_ = logind_->Started() && WaitForEvent("ready", std::chrono::seconds(30));
    }
    ~FakeLogind() {
        if (logind_) logind_->Terminate(std::chrono::seconds(10));
        if (daemon_) daemon_->Terminate(std::chrono::seconds(10));
    }
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;

    // The bus runs and the stand-in owns org.freedesktop.login1.
    bool Ready() const { return ready_; }
    // What went wrong when not Ready.
    std::string Diagnostics() const {
        return "dbus-daemon: " + testfiles::ReadText(folder_ / "dbus-daemon.out") +
               "\nfake-logind: " + testfiles::ReadText(folder_ / "fake-logind.out");
    }
    const std::string& Address() const { return address_; }
    // "DBUS_SYSTEM_BUS_ADDRESS=..." for a child process's environment.
    std::string BusEnv() const { return "DBUS_SYSTEM_BUS_ADDRESS=" + address_; }

    // Every event line so far.
    std::string Events() const { return testfiles::ReadText(events_); }
    // How many event lines equal `line`.
    int Count(const std::string& line) const {
        std::istringstream in(Events());
        std::string each;
        int n = 0;
        while (std::getline(in, each)) n += each == line;
        return n;
    }
    // Waits until at least `count` event lines equal `line`.
    bool WaitForEvent(const std::string& line, std::chrono::milliseconds limit, int count = 1) const {
        return WaitUntil([&] { return Count(line) >= count; }, limit, std::chrono::milliseconds(20));
    }

    // Asks for a suspend, as the power button or an administrator would.
    // Returns at once; the announcements follow on the bus.
    bool Suspend(std::string* error = nullptr) {
        return Call("Suspend", true, error, nullptr);
    }
    // The locks held now, one "WHAT MODE WHO" text each.
    std::vector<std::string> Inhibitors(std::string* error = nullptr) {
        std::vector<std::string> locks;
        Call("ListInhibitors", false, error, &locks);
        return locks;
    }

private:
    // `interactiveArgument`: the method takes Suspend's one boolean (false).
    bool Call(const char* method, bool interactiveArgument, std::string* errorText, std::vector<std::string>* locks) {
        sd_bus* bus = nullptr;
        int r = sd_bus_new(&bus);
        if (r >= 0) r = sd_bus_set_address(bus, address_.c_str());
        if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
        if (r >= 0) r = sd_bus_start(bus);
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        if (r >= 0) {
            r = interactiveArgument ? sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                             "org.freedesktop.login1.Manager", method, &error, &reply, "b", 0)
                        : sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                             "org.freedesktop.login1.Manager", method, &error, &reply, "");
        }
        if (r >= 0 && locks != nullptr) {
            r = sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
            const char *what, *who, *why, *mode;
            uint32_t uid, pid;
            while (r >= 0 && (r = sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid)) > 0)
                locks->push_back(std::string(what) + " " + mode + " " + who);
            if (r >= 0) r = sd_bus_message_exit_container(reply);
        }
        if (r < 0 && errorText != nullptr)
            *errorText = error.message != nullptr ? error.message : std::string("sd-bus error ") + std::to_string(-r);
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
        sd_bus_flush_close_unref(bus);
        return r >= 0;
    }

    std::filesystem::path folder_, events_;
    std::string address_;
    std::unique_ptr<ChildProcess> daemon_, logind_;
    bool ready_ = false;
};

// Points this process's system bus at `address` for the object's lifetime
// (sd_bus_open_system reads DBUS_SYSTEM_BUS_ADDRESS), then restores it.
class SystemBusOverride {
public:
    explicit SystemBusOverride(const std::string& address) {
        const char* previous = getenv("DBUS_SYSTEM_BUS_ADDRESS");
        had_ = previous != nullptr;
        if (had_) previous_ = previous;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    ~SystemBusOverride() {
        if (had_) {
            setenv("DBUS_SYSTEM_BUS_ADDRESS", previous_.c_str(), 1);
        } else {
            unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        }
    }
    SystemBusOverride(const SystemBusOverride&) = delete;
    SystemBusOverride& operator=(const SystemBusOverride&) = delete;

private:
    bool had_ = false;
    std::string previous_;
};

}  // namespace testsupport
