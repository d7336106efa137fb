// A real SMTP or HTTP(S) server on the loopback for one test (tests/support/delivery_servers.py),
// started by the test itself, natively and under wine. Under wine the test starts the Unix
// server but cannot wait for it or end it, so the server watches its folder in /tmp: it says
// it is ready in a file, and removes the folder and ends when a stop file appears (or after
// five minutes).
// Needs quillet_uses_delivery_servers(<target>) in CMake.
#pragma once

#include "platform/Files.h"
#include "platform/Process.h"

#include <chrono>
#include <random>
#include <string>
#include <thread>

namespace quillet::test {

// A Unix path as this program names it: under wine the Unix root is drive Z:.
inline std::string NativeView(std::string path) {
    const std::string drive = QUILLET_UNIX_DRIVE;
    if (drive.empty())
        return path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return drive + path;
}

class DeliveryServer {
public:
    // `kind` is "smtp" or "http"; `options` as delivery_servers.py takes them. A server
    // given `sameCertificateAs` presents that server's certificate (one pin for both).
    DeliveryServer(const std::string& kind, const std::string& options,
                   const DeliveryServer* sameCertificateAs = nullptr) {
        std::random_device rd;
        unixDir_ = "/tmp/quillet-server-" + std::to_string(rd()) + std::to_string(rd()) + "/";
        dir_ = NativeView(unixDir_);
        std::string line = NativeView("/usr/bin/python3") + " " QUILLET_DELIVERY_SERVERS " " + kind + " --dir " +
                           unixDir_ + " " + options;
        if (sameCertificateAs)
            line += " --cert-dir " + sameCertificateAs->unixDir_;
        if (!platform::CreateFolder(dir_) || !platform::StartProcess(line, 0) || !waitFor("ready", 20))
            return;
        const std::string text = read("ready");
        port = std::stoi(value(text, "port="));
        fingerprint = value(text, "fingerprint=");
    }
    ~DeliveryServer() {
        if (!stopped_)
            platform::CreateNewFile(dir_ + "stop", "");
    }
    DeliveryServer(const DeliveryServer&) = delete;
    DeliveryServer& operator=(const DeliveryServer&) = delete;

    bool ready() const { return port > 0; }
    std::string file(const std::string& name) const { return dir_ + name; }
    std::string read(const std::string& name) const {
        std::string bytes;
        platform::ReadWholeFile(file(name), bytes);
        return bytes;
    }
    // Waits for the server to write `name` (it renames files into place whole).
    bool waitFor(const std::string& name, int seconds) const {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!platform::FileExists(file(name))) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    // Ends the server and waits until its ports are closed (it removes its folder then), so
    // that its port refuses connections; what it recorded is gone.
    bool stop() {
        stopped_ = true;
        platform::CreateNewFile(dir_ + "stop", "");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (platform::FolderExists(dir_)) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    int port = 0;
    std::string fingerprint;

private:
    static std::string value(const std::string& text, const std::string& key) {
        const auto at = text.find(key);
        if (at == std::string::npos)
            return "0";
        const auto start = at + key.size();
        return text.substr(start, text.find('\n', start) - start);
    }

    std::string unixDir_;
    std::string dir_;
    bool stopped_ = false;
};

} // namespace quillet::test
