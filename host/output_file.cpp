#include "host/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX  // the C++ library's configuration may have set it
#define NOMINMAX
#endif
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

#include "model/case_file.h"

namespace kestrol::host {
namespace {

namespace fs = std::filesystem;

std::atomic<int> stopSignal{0};
/// Output files open (a temporary file on disk, or a target written in place); the handler
/// only sets the flag while any is.
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

/// Links followed before the chain is taken for a loop: Linux's own limit (MAXSYMLINKS,
/// path_resolution(7)), so that no chain the system would follow is refused here.
constexpr int kMostLinkHops = 40;
constexpr char kTemporaryEnd[] = ".partial";
/// Hex digits of the random part of a temporary name.
constexpr std::size_t kRandomDigits = 8;

/// The file a chain of symbolic links ends at, whether or not it exists: the rename must
/// replace that file, never a link (a dangling link gets the file it names). Empty for a loop.
fs::path FinalTarget(fs::path path) {
    for (int hop = 0; hop < kMostLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) return path;
        const fs::path next = fs::read_symlink(path, error);
        if (error) return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {};
}

long long ThisProcess() {
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

/// False while the process runs, and when it cannot be told (another user's on Windows).
bool ProcessHasEnded(long long pid) {
#ifdef _WIN32
    if (pid <= 0 || pid > static_cast<long long>(std::numeric_limits<DWORD>::max())) return false;
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
#else
    if (pid <= 0 || pid > static_cast<long long>(std::numeric_limits<pid_t>::max())) return false;
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}

/// ".results.csv.<pid>.<8 hex digits>.partial": hidden, of its target, and naming its writer.
std::string TemporaryName(const std::string& fileName, long long pid, unsigned random) {
    char middle[48];
    std::snprintf(middle, sizeof middle, ".%lld.%0*x", pid, static_cast<int>(kRandomDigits), random);
    return "." + fileName + middle + kTemporaryEnd;
}

/// The writer's pid of a temporary file of `fileName`, or nothing for any other name; exact,
/// so that the temporary files of "results.csv.1" are never taken for those of "results.csv".
std::optional<long long> WriterOf(std::string_view name, const std::string& fileName) {
    const std::string prefix = "." + fileName + ".";
    const std::string_view end = kTemporaryEnd;
    if (name.size() <= prefix.size() + end.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - end.size()) != end)
        return std::nullopt;
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - end.size());
    const std::size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string_view::npos || middle.size() - dot - 1 != kRandomDigits ||
        middle.find_first_not_of("0123456789") != dot ||
        middle.substr(dot + 1).find_first_not_of("0123456789abcdef") != std::string_view::npos ||
        dot > static_cast<std::size_t>(std::numeric_limits<long long>::digits10))
        return std::nullopt;
    long long pid = 0;
    for (const char digit : middle.substr(0, dot)) pid = pid * 10 + (digit - '0');
    return pid;
}

/// Removes what runs of this target left when they were killed (SIGKILL, a power cut). The
/// writer's pid decides, not the file's age: a batch may write for hours, and a suspended run
/// far longer, so no age tells a dead writer from a slow one. A file of a process that still
/// runs, or of another target, is never touched. (A shared folder written from two machines
/// could see another machine's live writer as ended; that run then fails at its rename and
/// says so, and its target stays as it was.)
void RemoveStaleTemporaries(const fs::path& folder, const std::string& fileName) {
    std::vector<fs::path> stale;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::optional<long long> writer = WriterOf(entry->path().filename().string(), fileName);
        if (writer && ProcessHasEnded(*writer)) stale.push_back(entry->path());
    }
    for (const fs::path& path : stale) fs::remove(path, error);
}

int StreamError(const std::ostream& out) { return out ? 0 : errno != 0 ? errno : EIO; }

}  // namespace

int WriteChecked(std::ostream& out, std::string_view text) {
    errno = 0;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return StreamError(out);
}

int FlushChecked(std::ostream& out) {
    errno = 0;
    out.flush();
    return StreamError(out);
}

InputError CannotWrite(const std::string& output, int error) {
    return InputError(output, "", std::string("cannot be written (") + std::strerror(error) + ")");
}

OutputFile::OutputFile(std::string target) : name_(std::move(target)) {
    target_ = FinalTarget(name_).string();
    if (target_.empty())
        throw InputError(name_, "", "cannot be written (" + std::make_error_code(std::errc::too_many_symbolic_link_levels).message() + ")");
    // What exists and is no regular file (a character or block device, a FIFO, a socket) is
    // written in place: a rename would put a regular file where it was. A folder goes the
    // rename's way, which refuses it. On Windows std::filesystem does not report a device name
    // such as NUL as a device (seen under Wine): it goes the rename's way too and is refused
    // there, exit 2 and no file left; writing it in place would take the Win32 file type.
    std::error_code error;
    const fs::file_status status = fs::status(target_, error);
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
        OpenInPlace();
    } else {
        OpenTemporary();
    }
}

void OutputFile::OpenInPlace() {
    // Unbuffered: each write reaches the target at once, so its error is seen at that write
    // and nothing is left in a buffer for a discarded run to flush later.
    stream_.rdbuf()->pubsetbuf(nullptr, 0);
    errno = 0;
    // A FIFO waits here for its reader, as a shell's redirection does.
    stream_.open(target_, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!stream_.is_open()) throw CannotWrite(name_, errno != 0 ? errno : EIO);
    // Counted only once open: a signal while a FIFO waits for its reader ends the run at once,
    // nothing having been written.
    pendingOutputs.fetch_add(1);
    open_ = true;
}

void OutputFile::OpenTemporary() {
    const fs::path path(target_);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string fileName = path.filename().string();
    RemoveStaleTemporaries(folder, fileName);
    // Counted before the file exists, so that a signal never ends the process with it on disk.
    pendingOutputs.fetch_add(1);
    std::random_device seed;
    std::mt19937 random(seed());
    // A hidden name of its own, retried on the unlikely clash with an existing file.
    for (int attempt = 0; attempt < 16 && !open_; ++attempt) {
        const fs::path candidate = folder / TemporaryName(fileName, ThisProcess(), static_cast<unsigned>(random()));
        std::error_code error;
        if (fs::exists(candidate, error)) continue;
        temporary_ = candidate.string();
        errno = 0;
        stream_.open(candidate, std::ios::binary | std::ios::out | std::ios::trunc);
        open_ = stream_.is_open();
        if (!open_) {
            const int reason = errno != 0 ? errno : EIO;
            pendingOutputs.fetch_sub(1);
            throw CannotWrite(name_, reason);
        }
    }
    if (!open_) {
        pendingOutputs.fetch_sub(1);
        throw InputError(name_, "", "cannot be written (no free temporary name beside it)");
    }
}

OutputFile::~OutputFile() {
    Discard();
}

void OutputFile::Write(std::string_view text) {
    if (error_ == 0) error_ = WriteChecked(stream_, text);
}

void OutputFile::Commit() {
    if (error_ == 0) error_ = FlushChecked(stream_);
    errno = 0;
    stream_.close();
    // A file system may report a failed write only at the close (NFS, a quota).
    if (error_ == 0 && stream_.fail()) error_ = errno != 0 ? errno : EIO;
    if (error_ != 0) {
        Discard();
        throw CannotWrite(name_, error_);
    }
    if (!InPlace()) {
        std::error_code error;
        fs::rename(temporary_, target_, error);
        if (error) {
            Discard();
            throw InputError(name_, "", "cannot be written (" + error.message() + ")");
        }
    }
    open_ = false;
    pendingOutputs.fetch_sub(1);
}

void OutputFile::Discard() noexcept {
    if (!open_) return;
    stream_.close();
    std::error_code error;
    if (!InPlace()) fs::remove(temporary_, error);
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
