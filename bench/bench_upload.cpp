// Uploads one file through ScanControl::UploadFile (progress events shown on the headless
// host) and with `curl -T` to the same local FTP server, alternating, and reports the
// throughput of both and their ratio. "vsftpd-tls" takes both over explicit TLS (FTPS),
// checked against the server's private CA. The qt host is the widget in an offscreen
// window: its mirroring, repaints and event loop run as they do on a desktop.
// usage: bench_upload [MiB=64] [rounds=5] [passive=1] [server=pyftpdlib|vsftpd|vsftpd-tls]
//                     [host=headless|qt]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/ProcessCpu.h"
#include "control/ScanControl.h"
#include "platform/curl/CurlInternet.h"
#include "tests/support/FtpServer.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/Vsftpd.h"

#if FOLIORAY_BENCH_QT
#include <QApplication>

#include "platform/qt/ScanControlWidget.h"
#endif

using folioray::test::FtpServer;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Adds up the time spent in each call of the layer, to tell server waits from our work.
class TimedInternet final : public folioray::Internet {
  public:
    explicit TimedInternet(folioray::Internet& in) : in_(in) {}
    double connect = 0, open = 0, write = 0, close = 0;
    void Reset() { connect = open = write = close = 0; }

    folioray::HINTERNET InternetOpenA(const std::string& a, uint32_t b, const char* c,
                                      const char* d, uint32_t e) override {
        return in_.InternetOpenA(a, b, c, d, e);
    }
    folioray::HINTERNET InternetConnectA(folioray::HINTERNET s, const std::string& v, uint16_t p,
                                         const std::string& u, const std::string& w, uint32_t sv,
                                         uint32_t f, uintptr_t c) override {
        auto t = Clock::now();
        auto h = in_.InternetConnectA(s, v, p, u, w, sv, f, c);
        connect += Since(t);
        return h;
    }
    bool FtpSetCurrentDirectoryA(folioray::HINTERNET c, const std::string& d) override {
        return in_.FtpSetCurrentDirectoryA(c, d);
    }
    folioray::HINTERNET FtpOpenFileA(folioray::HINTERNET c, const std::string& n, uint32_t a,
                                     uint32_t f, uintptr_t x) override {
        auto t = Clock::now();
        auto h = in_.FtpOpenFileA(c, n, a, f, x);
        open += Since(t);
        return h;
    }
    bool InternetWriteFile(folioray::HINTERNET f, const void* b, uint32_t n, uint32_t* w) override {
        auto t = Clock::now();
        bool ok = in_.InternetWriteFile(f, b, n, w);
        write += Since(t);
        return ok;
    }
    bool InternetCloseHandle(folioray::HINTERNET h) override {
        auto t = Clock::now();
        bool ok = in_.InternetCloseHandle(h);
        close += Since(t);
        return ok;
    }
    bool InternetAbortFile(folioray::HINTERNET h) override { return in_.InternetAbortFile(h); }
    bool FtpDeleteFileA(folioray::HINTERNET c, const std::string& n) override {
        return in_.FtpDeleteFileA(c, n);
    }
    void SetWaitCallback(std::function<void()> f) override { in_.SetWaitCallback(std::move(f)); }
    folioray::HINTERNET FtpFindFirstFileA(folioray::HINTERNET c, const std::string& n,
                                          folioray::FtpFindData* d, uint32_t f,
                                          uintptr_t x) override {
        return in_.FtpFindFirstFileA(c, n, d, f, x);
    }
    bool FtpPutFileA(folioray::HINTERNET c, const std::string& l, const std::string& r, uint32_t f,
                     uintptr_t x) override {
        return in_.FtpPutFileA(c, l, r, f, x);
    }
    uint32_t GetLastError() override { return in_.GetLastError(); }
    bool InternetGetLastResponseInfoA(uint32_t* e, std::string& b, size_t n) override {
        return in_.InternetGetLastResponseInfoA(e, b, n);
    }
    std::string FormatMessage(uint32_t c, size_t n) override { return in_.FormatMessage(c, n); }

  private:
    static double Since(Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count();
    }
    folioray::Internet& in_;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long mib = argc > 1 ? std::atol(argv[1]) : 64;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const int passive = argc > 3 ? std::atoi(argv[3]) : 1;
    const size_t bytes = static_cast<size_t>(mib) * 1024 * 1024;

    folioray::test::TempDir work;
    // pyftpdlib by default; vsftpd (run as root) takes uploads into "up/" as anonymous.
    const std::string serverName = argc > 4 ? argv[4] : "pyftpdlib";
    const bool vsftpd = serverName.rfind("vsftpd", 0) == 0;
    const bool tls = serverName == "vsftpd-tls";
    std::unique_ptr<FtpServer> py;
    std::unique_ptr<folioray::test::Vsftpd> vs;
    std::string address, user, password = "pw-Secret-42", dir;
    if (vsftpd) {
        folioray::test::Vsftpd::Options options;
        if (tls) options.tls = folioray::test::Vsftpd::Tls::Explicit;
        vs = std::make_unique<folioray::test::Vsftpd>(options);
        if (!vs->why().empty()) {
            std::fprintf(stderr, "%s\n", vs->why().c_str());
            return 1;
        }
        address = vs->address();
        user = folioray::test::Vsftpd::kUser;
        if (tls) ::setenv("CURL_CA_BUNDLE", vs->caFile().c_str(), 1);
        dir = "up/";
    } else {
        py = std::make_unique<FtpServer>();
        address = py->address();
        user = py->user();
        password = py->password();
    }
    auto serverFile = [&](const std::string& name) { return vs ? vs->file(name) : py->file(name); };

    // The working file comes from the text-mode store, so the control has a current name.
    folioray::test::HeadlessControl hc;
    const char* flush = std::getenv("BENCH_UPLOAD_FLUSH");
    folioray::CurlInternet internet(
        folioray::CurlInternet::Timeouts{},
        flush ? std::strtoul(flush, nullptr, 10) : folioray::CurlInternet::kDefaultFlushSize);
    // The per-call clock costs time itself, so it is used only when asked for.
    const bool detail = std::getenv("BENCH_UPLOAD_DETAIL") != nullptr;
    TimedInternet timed(internet);
    folioray::Internet* inet = detail ? static_cast<folioray::Internet*>(&timed) : &internet;
    hc.ports.internet = inet;
    const bool qt = argc > 5 && std::string(argv[5]) == "qt";
    const std::string server = (tls ? "ftps://" : "") + address;
    folioray::ScanControl* control = nullptr;
    const folioray::Variant remoteDir =
        dir.empty() ? folioray::Variant::Missing() : folioray::Variant(dir);
    std::function<std::string()> upload = [&] {
        return hc->UploadFile(server, user, password, passive, "ours.bin", remoteDir);
    };
#if FOLIORAY_BENCH_QT
    std::unique_ptr<QApplication> app;
    std::unique_ptr<folioray::ScanControlWidget> widget;
    if (qt) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int qtArgc = 1;
        app = std::make_unique<QApplication>(qtArgc, argv);
        folioray::Ports ports;
        ports.internet = inet;
        widget = std::make_unique<folioray::ScanControlWidget>(ports);
        widget->show();
        widget->setFilePath(QString::fromStdString(work.path()));
        widget->setControlMode(1);
        widget->StartScan();
        control = &widget->control();
        upload = [&] {
            auto q = [](const std::string& t) { return QString::fromStdString(t); };
            return widget
                ->UploadFile(q(server), q(user), q(password), passive, "ours.bin",
                             dir.empty() ? QVariant() : QVariant(q(dir)))
                .toStdString();
        };
    }
#endif
    if (!control) {
        if (qt) {
            std::fprintf(stderr, "built without the Qt widget\n");
            return 1;
        }
        hc.Create();
        hc->FilePath(work.path());
        hc->ControlMode(1);
        hc->SetEditorText("x");
        hc->StartScan();
        control = &*hc;
    }
    const std::string local = control->CurrentName();
    {
        std::string data(bytes, '\0');
        std::mt19937 rng(7);
        for (auto& c : data) c = static_cast<char>(rng());
        folioray::test::WriteFile(local, data);
    }
    long events = 0;
    control->UploadProgress = [&](int32_t, int32_t) { ++events; };

    std::vector<double> ours, theirs, cpuTimes;
    int curlRetries = 0;
    const std::string url = "ftp://" + address + "/" + dir + "curl.bin";
    for (int r = 0; r < rounds; ++r) {
        events = 0;
        timed.Reset();
        // Both uploads create their file: replacing a large one costs the server a truncate.
        std::filesystem::remove(serverFile("ours.bin"));
        std::filesystem::remove(serverFile("curl.bin"));
        const double cpu0 = folioray::bench::ProcessCpuSeconds();
        auto t0 = Clock::now();
        std::string res = upload();
        auto t1 = Clock::now();
        cpuTimes.push_back(folioray::bench::ProcessCpuSeconds() - cpu0);
        if (!res.empty()) {
            std::fprintf(stderr, "UploadFile failed: %s\n", res.c_str());
            return 1;
        }
        if (std::filesystem::file_size(serverFile("ours.bin")) != bytes) {
            std::fprintf(stderr, "uploaded file has the wrong size\n");
            return 1;
        }
        ours.push_back(Seconds(t0, t1));
        if (detail) {
            std::printf("  round %d: %.3f s: connect %.3f, open %.3f, writes %.3f, close %.3f\n", r,
                        Seconds(t0, t1), timed.connect, timed.open, timed.write, timed.close);
        }

        std::vector<std::string> cmd = {"/usr/bin/curl",      "-s", "-S", "-T", local, "--user",
                                        user + ":" + password};
        if (!passive) cmd.insert(cmd.end(), {"-P", "-"});
        if (tls) cmd.insert(cmd.end(), {"--ssl-reqd", "--cacert", vs->caFile()});
        cmd.push_back(url);
        // The curl tool closes a TLS data connection while vsftpd may still send on it,
        // which sometimes costs it the upload ("426"); only whole uploads are timed.
        folioray::test::ProcessResult pr;
        Clock::time_point t2, t3;
        for (int attempt = 0; attempt < 5 && (attempt == 0 || pr.exitCode != 0); ++attempt) {
            if (attempt > 0) ++curlRetries;
            t2 = Clock::now();
            pr = folioray::test::RunProcess(cmd);
            t3 = Clock::now();
        }
        if (pr.exitCode != 0) {
            std::fprintf(stderr, "curl failed: %s\n", pr.err.c_str());
            return 1;
        }
        theirs.push_back(Seconds(t2, t3));
    }
    const double mb = static_cast<double>(bytes) / 1e6;
    const double a = mb / Median(ours), b = mb / Median(theirs);
    std::printf("file %ld MiB, %d rounds, %s mode, %s, %s host, %ld progress events per upload\n",
                mib, rounds, passive ? "passive" : "active", serverName.c_str(),
                qt ? "qt" : "headless", events);
    std::printf("UploadFile: median %.3f s  %.1f MB/s\n", Median(ours), a);
    std::printf("UploadFile CPU time (this process): median %.3f s\n", Median(cpuTimes));
    std::printf("%s median %.3f s  %.1f MB/s\n",
                tls ? "curl -T --ssl-reqd:" : "curl -T:   ", Median(theirs), b);
    std::printf("ratio (UploadFile / curl throughput): %.2f\n", a / b);
    if (curlRetries) std::printf("curl uploads that failed and were repeated: %d\n", curlRetries);
    return 0;
}
