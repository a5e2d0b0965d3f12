#include "host/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "host/case_file.h"

namespace kestrol::host {
namespace {

namespace fs = std::filesystem;

std::atomic<int> stopSignal{0};
/// Output files with a temporary file on disk; the handler only sets the flag while any is.
std::atomic<int> pendingOutputs{0};

constexpr char kNothingWritten[] = "kestrol: interrupted; nothing was written\n";
/// Exit status of a process ended by a signal, as shells report it.
constexpr int kSignalExitBase = 128;

extern "C" void OnStopSignal(int signal) {
    if (pendingOutputs.load() == 0) {
#ifdef _WIN32
        _write(2, kNothingWritten, sizeof kNothingWritten - 1);
#else
        [[maybe_unused]] const auto written = write(STDERR_FILENO, kNothingWritten, sizeof kNothingWritten - 1);
#endif
        std::_Exit(kSignalExitBase + signal);
    }
    stopSignal.store(signal);
}

std::string Reason() { return std::string("cannot be written (") + std::strerror(errno) + ")"; }

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
    // Through a symbolic link to the file it names, which the rename would otherwise replace.
    std::error_code linkError;
    if (fs::is_symlink(target_, linkError)) {
        const fs::path resolved = fs::canonical(target_, linkError);
        if (!linkError) target_ = resolved.string();
    }
    const fs::path path(target_);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    // Counted before the file exists, so that a signal never ends the process with it on disk.
    pendingOutputs.fetch_add(1);
    std::random_device seed;
    std::mt19937 random(seed());
    // A hidden name of its own, retried on the unlikely clash with an existing file.
    for (int attempt = 0; attempt < 16 && !open_; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        const fs::path candidate = folder / ("." + path.filename().string() + "." + suffix + ".partial");
        std::error_code error;
        if (fs::exists(candidate, error)) continue;
        temporary_ = candidate.string();
        stream_.open(candidate, std::ios::binary | std::ios::out | std::ios::trunc);
        open_ = stream_.is_open();
        if (!open_) {
            const std::string reason = Reason();
            pendingOutputs.fetch_sub(1);
            throw InputError(target_, "", reason);
        }
    }
    if (!open_) {
        pendingOutputs.fetch_sub(1);
        throw InputError(target_, "", "cannot be written (no free temporary name beside it)");
    }
}

OutputFile::~OutputFile() {
    Discard();
}

void OutputFile::Commit() {
    stream_.flush();
    const bool written = stream_.good();
    stream_.close();
    if (!written || stream_.fail()) {
        const std::string reason = Reason();
        Discard();
        throw InputError(target_, "", reason);
    }
    std::error_code error;
    fs::rename(temporary_, target_, error);
    if (error) {
        Discard();
        throw InputError(target_, "", "cannot be written (" + error.message() + ")");
    }
    open_ = false;
    pendingOutputs.fetch_sub(1);
}

void OutputFile::Discard() noexcept {
    if (!open_) return;
    stream_.close();
    std::error_code error;
    fs::remove(temporary_, error);
    open_ = false;
    pendingOutputs.fetch_sub(1);
}

StopAware::StopAware() { pendingOutputs.fetch_add(1); }
StopAware::~StopAware() { pendingOutputs.fetch_sub(1); }

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = fs::equivalent(a, b, error);
    return !error && same;
}

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

const std::atomic<int>& StopRequest() { return stopSignal; }

void RequestStop(int signal) { stopSignal.store(signal); }

}  // namespace kestrol::host
